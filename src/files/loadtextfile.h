#pragma once

#include <QString>

class QWidget;

namespace FileIO {

/// Reads a text file into a control, by the kind its name starts with: an editor
/// ("txt…") gets every line followed by CR LF at its caret, replacing the
/// selection; a list box ("lst…") gets each line that is not blank once spaces
/// are trimmed, untrimmed, as a new last item; other controls get nothing.
/// Raises Common::RuntimeError as FileIO::ReadTextLines does, before anything
/// is added. *encoding, when given, is set to the encoding read.
void LoadTextFile(const QString &path, QWidget *control, QString *encoding = nullptr);

/// What the user is told about a file that is neither UTF-8 nor Shift_JIS text.
QString NotTextMessage(const QString &path);

} // namespace FileIO
