#pragma once

#include <QString>
#include <QVariant>

namespace SQLEdit {

/// The text that a NULL shows in the result list and in copied rows.
inline constexpr QStringView NullText = u"<NULL>";

/// A field's value as the result list shows it: "<NULL>" for SQL NULL; dates as
/// "yyyy/MM/dd", times as "HH:mm:ss" followed by any milliseconds without
/// trailing zeros ("12:34:56.5"), date-times as both, followed by their offset
/// from UTC ("+09", "-03:30") unless they are in local time, and by " BC" before
/// the common era; binary data as "0x" and two hexadecimal digits a byte;
/// everything else in its plain text form.
QString FormatCellValue(const QVariant &value);

/// A real number as FormatCellValue shows it: the shortest text that reads
/// back as the same number.
QString FormatReal(double value);

} // namespace SQLEdit
