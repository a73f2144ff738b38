#pragma once

#include "common/errors.h"

#include <QDateTime>
#include <QString>

/// The two logs a run appends to: Korvane.log for errors and SQL.log for the
/// statements sent. They record exactly the text they are given: no connection
/// details, and never a password.
namespace SQLEdit {

/// Korvane.log in the data folder (Common::DataDirectory).
QString ErrorLogPath();

/// SQL.log in the data folder (Common::DataDirectory).
QString SqlLogPath();

/// Appends the text and a CR LF to the file, creating it when missing, in the
/// encoding the program writes files in (UTF-8). Raises Common::RuntimeError
/// ErrFileAccess with the reason when the file cannot be opened or the text
/// cannot be written whole (a full disk included); the file is then put back to
/// its old length, or removed when the call created it, so that no partial
/// record stays.
void AppendTextToFile(const QString &text, const QString &path);

/// Appends one record to the error log: a separator line, the local date and
/// time "yyyy/MM/dd HH:mm:ss", "Error[number]", "Description[text]" and
/// "Souce[source]", each on its line. Raises like AppendTextToFile.
void WriteErrorLog(const Common::ErrorInfo &error,
                   const QDateTime &now = QDateTime::currentDateTime());

/// Appends one entry to the SQL log: the local date and time "yyyy/MM/dd
/// HH:mm:ss" on its line, then the statement with every line indented by one
/// space. Raises like AppendTextToFile.
void WriteSqlLog(const QString &statement, const QDateTime &now = QDateTime::currentDateTime());

} // namespace SQLEdit
