#pragma once

#include <QByteArrayView>
#include <QString>
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

/// Hands a value as the driver gave it to the sink, the trailing blanks of a
/// text removed unless they are kept.
void SendValue(RowSink &sink, const QVariant &value, bool keepTrailingBlanks);

} // namespace Engine
