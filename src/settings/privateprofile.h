#pragma once

#include <QString>

#include <optional>

/// The INI reader and writer behind the `ini` class: one key per call, read
/// from and written to a whole file of "[section]" headers and "key=value" lines.
///
/// Rules: section and key names match without regard to letter case; the first
/// of duplicate sections or keys counts; lines starting with ';' are comments;
/// key and value are trimmed of spaces and tabs around the '='; quotes are kept.
/// Files are read as UTF-8 or Shift_JIS and written in UTF-8 with CR LF line ends.
namespace PrivateProfile {

/// The key's text, or nothing when the file, the section or the key is missing.
/// A NUL character in the text ends it, as it would end a C string.
std::optional<QString>
readString(const QString &fileName, const QString &section, const QString &key);

/// The key's number: an optional sign and the leading decimal digits ("12abc"
/// gives 12, "abc" gives 0), clamped to the 32-bit range. A missing key or an
/// empty value gives defaultValue.
qint32
readInt(const QString &fileName, const QString &section, const QString &key, qint32 defaultValue);

/// Sets the key to value: replaces the first matching key line in place, adds a
/// missing key after the last key line of its section, adds a missing section
/// (with the key) at the end, and creates a missing file. Every other line is
/// kept. Returns false, leaving the file as it was, when the file cannot be read
/// or written or when a name or the value cannot be stored on one line.
bool writeString(const QString &fileName,
                 const QString &section,
                 const QString &key,
                 const QString &value);

} // namespace PrivateProfile
