#pragma once

#include <QString>

namespace Export {

/// Reads a finished workbook back and says whether every worksheet in it is
/// whole (its XML ends as a worksheet ends). libxlsxwriter does not notice when
/// the temporary files it keeps the rows in are cut short by a file size
/// limit: the workbook, smaller, would look written, and lack rows.
bool WorksheetsComplete(const QString &path);

} // namespace Export
