#pragma once

#include <QByteArray>
#include <QString>

namespace Common {

/// Decodes file bytes: UTF-8 when they are valid UTF-8, otherwise Shift_JIS, so
/// that files written by the Windows version of the program read correctly. Bytes
/// that are neither (a binary file) decode as UTF-8 with a replacement character
/// for each invalid byte, and *ok, when given, is set to false. *encoding, when
/// given, is set to the encoding read ("UTF-8" or "Shift_JIS").
QString DecodeText(const QByteArray &bytes, bool *ok = nullptr, QString *encoding = nullptr);

/// Encodes text for writing: always UTF-8.
QByteArray EncodeText(const QString &text);

/// Reads a whole text file; false when it cannot be opened or read. *isText, when
/// given, says whether the bytes were UTF-8 or Shift_JIS (see DecodeText).
bool ReadTextFile(const QString &path, QString *text, bool *isText = nullptr);

/// Who may read a file the program writes: the user's default (the umask, or the
/// old file's permissions), or its owner only, for files that hold passwords.
enum class FileAccess { Default, OwnerOnly };

/// Replaces a whole text file. True only when every byte reached the new file and
/// it replaced the old one; on any failure (a full disk, a folder that refuses new
/// files) the old file is left exactly as it was, and *error, when given, says why.
/// A symbolic link is followed: the file it names is replaced and the link kept.
/// A device, FIFO or socket is never replaced: writing one is refused.
bool WriteTextFile(const QString &path,
                   const QString &text,
                   QString *error = nullptr,
                   FileAccess access = FileAccess::Default);

/// Cuts text so that its encoded form has at most maxBytes bytes, never
/// inside a character.
QString TruncateToBytes(const QString &text, int maxBytes);

} // namespace Common
