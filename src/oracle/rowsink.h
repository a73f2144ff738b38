#pragma once

#include <QStringView>
#include <QVariant>

namespace Ora {

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
    /// Any other value, never null and never text.
    virtual void addValue(const QVariant &value) = 0;
};

} // namespace Ora
