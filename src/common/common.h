#pragma once

#include <QString>
#include <QVariant>

/// Small routines shared by every subsystem.
namespace Common {

/// True for the empty text and for text made only of CR, LF and tab characters.
/// Callers pass text already trimmed of spaces.
bool IsBlankText(const QString &text);

/// Input kinds understood by ValidateInput.
enum InputKind { InputRequired = 4 };

/// Kind 4 (InputRequired): true when the value is neither null nor empty after
/// removing leading and trailing spaces. Every other kind gives false.
bool ValidateInput(const QVariant &value, int kind);

/// Renames a damaged file to "<path>.damaged-yyyyMMdd-hhmmss" (with "-2", "-3"
/// and on when that name is taken), so that it is kept aside, never deleted.
/// The new name, or an empty one when the file could not be renamed.
QString MoveAside(const QString &path);

/// Removes leading and trailing space characters (only U+0020).
QString TrimSpaces(const QString &text);

/// Twips are the unit of every layout rule; 15 twips are one pixel at 96 dpi.
inline constexpr int TwipsPerPixel = 15;
int TwipsToPixels(double twips);
int PixelsToTwips(int pixels);

} // namespace Common
