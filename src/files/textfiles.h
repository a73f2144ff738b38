#pragma once

#include "common/textcodec.h"

#include <QString>
#include <QStringList>

/// The text files the user opens and saves, and the connection list: read as
/// lines, written whole with CR LF line ends.
namespace FileIO {

/// Splits file text into lines without their ends. A line ends at CR LF or at a
/// CR alone; an LF without a CR stays inside the line. A text that ends with a
/// line end has no empty line after it.
QStringList SplitFileLines(const QString &text);

/// The lines of a text file in UTF-8 or Shift_JIS. Raises Common::RuntimeError:
/// ErrFileNotFound when there is no such file, ErrFileAccess when it cannot be
/// read, ErrBadFileFormat when it is not text in either encoding (a binary file).
/// *encoding, when given, is set to the encoding read.
QStringList ReadTextLines(const QString &path, QString *encoding = nullptr);

/// Replaces the file with the text and one CR LF after it. Raises
/// Common::RuntimeError ErrFileAccess with the reason when the file cannot be
/// written; the old file, if any, is then left whole.
void WriteTextToFile(const QString &text,
                     const QString &path,
                     Common::FileAccess access = Common::FileAccess::Default);

/// True when the name ends in ".sql" or ".txt", in any letter case: the files
/// that a drop on the editor inserts.
bool HasSqlFileEnding(const QString &name);

/// The name a save writes to: ".sql" is appended unless the name ends in ".sql"
/// or ".txt", in any letter case.
QString SqlFileName(const QString &name);

} // namespace FileIO
