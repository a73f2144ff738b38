#include "exec/cellvalue.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

namespace SQLEdit {

QString FormatCellValue(const QVariant &value)
{
    if (value.isNull())
        return NullText.toString();
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy/MM/dd"));
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    case QMetaType::Double:
        return FormatReal(value.toDouble());
    case QMetaType::QByteArray:
        // Bytes need not be text in any encoding: shown in a form that reads the
        // same whatever they hold.
        return QStringLiteral("0x") + QString::fromLatin1(value.toByteArray().toHex().toUpper());
    default:
        return value.toString();
    }
}

QString FormatReal(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace SQLEdit
