#include "exec/cellvalue.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

namespace SQLEdit {

namespace {

// yyyy/MM/dd, the year of a date before the common era counted back from 1 (Qt
// has no year 0: -44 is 44 BC); its " BC" is the caller's to add.
QString DateText(QDate date)
{
    return QStringLiteral("%1/%2")
        .arg(qAbs(date.year()), 4, 10, QLatin1Char('0'))
        .arg(date.toString(QStringLiteral("MM/dd")));
}

// HH:mm:ss, followed by the milliseconds where there are some, as PostgreSQL
// writes fractions: without trailing zeros (12:34:56.5).
QString TimeText(QTime time)
{
    QString text = time.toString(QStringLiteral("HH:mm:ss"));
    if (const int msec = time.msec()) {
        text += QStringLiteral(".%1").arg(msec, 3, 10, QLatin1Char('0'));
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
    }
    return text;
}

// An offset from UTC as PostgreSQL writes it: +09, -03:30, +00.
QString OffsetText(int offset)
{
    const int seconds = qAbs(offset);
    QString text = QStringLiteral("%1%2")
                       .arg(QLatin1Char(offset < 0 ? '-' : '+'))
                       .arg(seconds / 3600, 2, 10, QLatin1Char('0'));
    if (seconds % 3600)
        text += QStringLiteral(":%1").arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
    if (seconds % 60)
        text += QStringLiteral(":%1").arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return text;
}

// The date and time as they were given. One in UTC or at a given offset or
// zone keeps that offset; one in local time was given without an offset and
// gets none. " BC" ends it, as in PostgreSQL.
QString DateTimeText(const QDateTime &dateTime)
{
    QString text = DateText(dateTime.date()) + QLatin1Char(' ') + TimeText(dateTime.time());
    if (dateTime.timeSpec() != Qt::LocalTime)
        text += OffsetText(dateTime.offsetFromUtc());
    if (dateTime.date().year() < 0)
        text += QLatin1String(" BC");
    return text;
}

} // namespace

QString FormatCellValue(const QVariant &value)
{
    if (value.isNull())
        return NullText.toString();
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QDate:
        return DateText(value.toDate()) + QLatin1String(value.toDate().year() < 0 ? " BC" : "");
    case QMetaType::QTime:
        return TimeText(value.toTime());
    case QMetaType::QDateTime:
        return DateTimeText(value.toDateTime());
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
