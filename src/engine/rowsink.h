#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

namespace Engine {

/// Receives the rows of a query read in bulk, cell by cell in select-list
/// order. It is called on the connection's own thread, never on the caller's,
/// and must touch nothing else the caller uses meanwhile.
class RowSink
{
public:
    virtual ~RowSink() = default;
    virtual void beginRow() = 0;
    /// SQL NULL.
    virtual void addNull() = 0;
    /// A text value, trailing blanks already removed unless they are kept.
    virtual void addText(QStringView text) = 0;
    /// A text value in UTF-8, as some drivers hold it; trailing blanks already
    /// removed unless they are kept. A sink that stores its own text can decode
    /// it in place instead of through a string made for each value.
    virtual void addUtf8Text(QByteArrayView text) { addText(QString::fromUtf8(text)); }
    /// Integers and reals, which a sink may write without a QVariant apiece.
    virtual void addInteger(qint64 value) { addValue(QVariant(value)); }
    virtual void addReal(double value) { addValue(QVariant(value)); }
    /// Any other value, never null and never text.
    virtual void addValue(const QVariant &value) = 0;
};

/// How a server writes a query's rows as CSV itself: one ASCII character
/// between values and one around those that need it (doubled inside them), the
/// text for NULL, and whether texts keep their trailing blanks.
struct CsvFormat
{
    char delimiter = ',';
    char quote = '"';
    QString nullText;
    bool keepTrailingBlanks = false;
};

/// Receives the rows of a query as CSV lines that the server wrote (through
/// PostgreSQL's COPY), on the connection's thread, like RowSink. Values are as
/// the result list shows them.
class CsvSink
{
public:
    virtual ~CsvSink() = default;
    /// The column names, before any row.
    virtual void columns(const QStringList &names) = 0;
    /// One row in UTF-8, ending with its LF.
    virtual void csvRow(QByteArrayView line) = 0;
};

/// Hands a value as the driver gave it to the sink, the trailing blanks of a
/// text removed unless they are kept.
void SendValue(RowSink &sink, const QVariant &value, bool keepTrailingBlanks);

} // namespace Engine
