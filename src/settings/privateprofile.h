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

/// The key's text in the text of a whole file, or nothing when the section or
/// the key is missing. A NUL character in the text ends it, as it would end a C
/// string.
std::optional<QString> findString(const QString &text, const QString &section, const QString &key);

/// The text of a whole file with the key set to value, the value taken up to its
/// first NUL character as a C string would be. Nothing when the names or the
/// value cannot be read back as they are: a line break or a lone surrogate in
/// any of them; in the section a ']' or blanks at either end; in the key an '=',
/// a leading ';' or '[', or blanks at either end. Blanks around the value are
/// trimmed when it is read, as for every value.
std::optional<QString>
setString(const QString &text, const QString &section, const QString &key, const QString &value);

/// The key's text, or nothing when the file, the section or the key is missing.
/// A NUL character in the text ends it, as it would end a C string.
std::optional<QString>
readString(const QString &fileName, const QString &section, const QString &key);

/// The number in a key's text: an optional sign and the leading decimal digits
/// ("12abc" gives 12, "abc" gives 0), clamped to the 32-bit range. A missing key
/// or an empty text gives defaultValue.
qint32 toInt(const std::optional<QString> &text, qint32 defaultValue);

/// The key's number, as toInt reads it.
qint32
readInt(const QString &fileName, const QString &section, const QString &key, qint32 defaultValue);

/// Sets the key to value: replaces the first matching key line in place, adds a
/// missing key after the last key line of its section, adds a missing section
/// (with the key) at the end, and creates a missing file. Every other line is
/// kept. Returns false, leaving the file as it was, when the file cannot be read,
/// is not text in UTF-8 or Shift_JIS, or cannot be written, or when setString
/// refuses the names or the value.
bool writeString(const QString &fileName,
                 const QString &section,
                 const QString &key,
                 const QString &value);

} // namespace PrivateProfile
