#pragma once

#include "engine/rowsink.h"

#include <QByteArray>
#include <QStringList>

#include <atomic>

namespace SQLEdit {
class RowStore;
}

namespace Export {

/// One value on its way into a file: its kind and its text in UTF-8 (numbers
/// and dates as the result list shows them), and the number itself for the
/// kinds that have one.
struct Cell
{
    enum Kind { Null, Text, Integer, Real };
    Kind kind = Null;
    QByteArrayView text;
    qint64 integer = 0;
    double real = 0;
};

/// Receives the rows of a result, as the engine's row sink or from the result
/// list's store, and writes them into a file of one format. The rows may come
/// on a connection's thread: nothing here raises or touches the window, and a
/// failure is kept for failed() and error().
class TableWriter : public Engine::RowSink
{
public:
    /// Starts the file with the column names (a header where the format has one).
    virtual void begin(const QStringList &columns) = 0;
    /// Ends the last row and writes everything out, still under the temporary
    /// name; false when anything failed, with error() saying why.
    virtual bool complete() = 0;
    /// Gives the completed file its own name, replacing a file of that name.
    virtual bool commit() = 0;
    /// Both; a writer destroyed before commit() leaves no file behind.
    bool finish() { return complete() && commit(); }
    virtual bool failed() const = 0;
    /// Characters that the file's encoding cannot hold (written as "?"), once
    /// complete, and the first few of them.
    virtual qint64 unencodableCount() const { return 0; }
    virtual QStringList unencodableSamples() const { return {}; }
    /// Values cut to fit what the format holds (an Excel cell's 32,767 characters).
    virtual qint64 cutValues() const { return 0; }
    /// The bytes of the file, once committed.
    virtual qint64 fileSize() const = 0;
    virtual QString error() const = 0;

    /// Rows begun so far; may be read from another thread.
    qint64 rowsWritten() const { return mRows.load(std::memory_order_relaxed); }

    // Engine::RowSink: every value becomes a Cell.
    void beginRow() final;
    void addNull() final;
    void addText(QStringView text) final;
    void addUtf8Text(QByteArrayView text) final;
    void addInteger(qint64 value) final;
    void addReal(double value) final;
    void addValue(const QVariant &value) final;

protected:
    TableWriter() = default;

    /// A row starts (never before begin()); the previous one, if any, has ended.
    virtual void startRow() = 0;
    /// The row's values, with their column from 0.
    virtual void cell(int column, const Cell &value) = 0;
    /// The row begun last is complete.
    virtual void endRow() = 0;
    /// Ends the row still open; for finish().
    void endLastRow();
    /// Counts a row written whole by the writer itself.
    void countRow() { mRows.fetch_add(1, std::memory_order_relaxed); }

    int mColumnCount = 0;

private:
    void put(const Cell &value);

    std::atomic<qint64> mRows = 0;
    int mColumn = 0;
    bool mInRow = false;
    QByteArray mScratch; // a UTF-16 value in UTF-8
};

/// Hands rows [first, first + count) of the store to the writer, each cell as
/// its text or NULL.
void WriteStoredRows(const SQLEdit::RowStore &store,
                     qsizetype first,
                     qsizetype count,
                     TableWriter &writer);

/// Appends text as UTF-8.
void AppendUtf8(QByteArray &out, QStringView text);

} // namespace Export
