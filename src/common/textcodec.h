#pragma once

#include <QByteArray>
#include <QString>

namespace Common {

/// Decodes file bytes: UTF-8 when they are valid UTF-8, otherwise Shift_JIS, so
/// that files written by the Windows version of the program read correctly.
QString DecodeText(const QByteArray &bytes);

/// Encodes text for writing: always UTF-8.
QByteArray EncodeText(const QString &text);

/// Reads a whole text file; false when it cannot be opened or read.
bool ReadTextFile(const QString &path, QString *text);

/// Replaces a whole text file safely (the old file stays intact if writing fails).
bool WriteTextFile(const QString &path, const QString &text);

/// Cuts text so that its encoded form has at most maxBytes bytes, never
/// inside a character.
QString TruncateToBytes(const QString &text, int maxBytes);

} // namespace Common
