#pragma once

#include "exec/spillfile.h"

#include <QAbstractTableModel>
#include <QStringConverter>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <vector>

namespace SQLEdit {

/// The cells of a query's rows, kept compactly: the texts of a block of rows lie
/// end to end in one string, and each cell costs one 32-bit end offset beside
/// its text (its top bit marks SQL NULL). A cell becomes a QString only when
/// somebody asks for it.
///
/// With a spill policy, blocks beyond its memory budget go to a spill file,
/// oldest first, and are read back into a small cache when asked for. A block
/// that cannot be read back shows ReadErrorText in every cell.
class RowStore
{
public:
    /// What a cell of a spilled block that cannot be read back shows.
    static const QString ReadErrorText;

    RowStore();
    ~RowStore();
    RowStore(RowStore &&) noexcept;
    // Not assigned: a store's blocks may be on their way to disk.
    RowStore &operator=(RowStore &&) = delete;

    /// Removes every row (and the spill file); the spill policy stays.
    void clear(int columnCount = 0);
    int columnCount() const { return mColumnCount; }
    qsizetype rowCount() const { return mRowCount; }

    /// Starts a new row; its cells follow with addCell or addNull, one per column.
    void beginRow();
    void addCell(QStringView text);
    void addCell(QLatin1StringView text);
    void addUtf8Cell(QByteArrayView text);
    void addNull();

    /// Makes the first block, with room for the given text and a whole block
    /// of cells, and touches that memory: a store filled on one thread can be
    /// made ready on another, which then pays for the fresh memory meanwhile.
    void prepareFirstBlock(qsizetype characters);
    /// Moves the rows of another store (of the same columns) after these. The
    /// blocks over the budget stay until spill(), so that the fill can write
    /// them while the next rows are read.
    void append(RowStore &&rows);

    /// Sets where and how far the rows may spill, for the rows added from now.
    void setSpillPolicy(const SpillPolicy &policy) { mPolicy = policy; }
    /// Hands the finished blocks beyond the memory budget to the spill file's
    /// thread, and lets go of the memory of those written; with wait, once
    /// every block handed over is written. False when the disk (or its budget)
    /// is full: the rows stay, in memory, and spillStopReason() says why; the
    /// store should take no more rows.
    bool spill(bool wait = false);
    /// Why spilling stopped; empty while it goes on.
    QString spillStopReason() const;
    /// Why the rows stay in memory although over budget (the spill file could
    /// not be made); empty when spilling works or was never needed.
    QString spillProblem() const;
    /// Bytes of the blocks held in memory, the cache of spilled blocks aside.
    qint64 residentBytes() const { return mResidentBytes; }
    /// Blocks in the spill file, and its path (for tests); empty when none.
    qsizetype spilledBlocks() const;
    QString spillFilePath() const;
    /// The characters of text held in the last block.
    qsizetype lastBlockText() const { return mBlocks.empty() ? 0 : mBlocks.back().text.size(); }

    /// The cell's text ("<NULL>" for NULL). A text of a spilled block stays
    /// valid until CacheBlocks other spilled blocks have been read.
    QStringView cell(qsizetype row, int column) const;
    bool isNull(qsizetype row, int column) const;

    class RowCells;
    /// The cells of one row, found once for all its columns.
    RowCells cells(qsizetype row) const;

    /// Memory held beyond the UTF-16 text of the cells, in bytes (for measuring).
    qsizetype overheadBytes() const;

    /// Spilled blocks kept in memory once read back.
    static constexpr int CacheBlocks = 16;

private:
    struct Block
    {
        QString text;
        std::vector<quint32> ends; // per cell, row after row
    };
    struct Spill;
    /// A block as read: its text and ends, and what keeps a spilled one alive.
    struct BlockRef
    {
        const Block *block;
        std::shared_ptr<const Block> pin;
    };
    static constexpr quint32 NullBit = 0x80000000u;
    static constexpr qsizetype RowsPerBlock = 4096;
    static constexpr qsizetype MaxBlockText = 0x10000000; // characters

    /// The memory that the budget counts: the finished blocks in memory, and
    /// what the result list keeps for each row whatever the store does (its
    /// row header's section, 8 bytes a row: 236 MB at 30,000,000 rows).
    qint64 heldBytes() const { return mResidentBytes + qint64(mRowCount) * ListBytesPerRow; }
    static constexpr qint64 ListBytesPerRow = 8;

    BlockRef blockOf(qsizetype row, qsizetype *index) const;
    bool takeWritten(bool wait);
    void pushBlock(Block &&block, qsizetype firstRow);
    static qint64 blockBytes(const Block &block);

    std::vector<Block> mBlocks;        // those spilled are empty
    std::vector<qsizetype> mFirstRows; // of each block
    int mColumnCount = 0;
    qsizetype mRowCount = 0;
    qsizetype mRowsInLastBlock = 0;
    QStringDecoder mUtf8{QStringDecoder::Utf8, QStringConverter::Flag::Stateless};
    SpillPolicy mPolicy;
    qint64 mResidentBytes = 0;     // of the finished blocks in memory
    std::unique_ptr<Spill> mSpill; // made when the first block spills
    Block mErrorRow;               // what a row that cannot be read shows
};

/// One row of a store, for reading all its cells without looking the row up
/// per cell. Valid while the store is not changed, also when its block is a
/// spilled one that the cache lets go meanwhile.
class RowStore::RowCells
{
public:
    /// The cell's text: empty for NULL (unlike RowStore::cell).
    QStringView text(int column) const
    {
        const quint32 begin = column == 0 ? mBegin : mEnds[column - 1] & ~NullBit;
        return QStringView(mText + begin, qsizetype((mEnds[column] & ~NullBit) - begin));
    }
    bool isNull(int column) const { return mEnds[column] & NullBit; }
    /// The characters of all the row's cells together.
    qsizetype textSize(int columnCount) const
    {
        return columnCount == 0 ? 0 : qsizetype((mEnds[columnCount - 1] & ~NullBit) - mBegin);
    }

private:
    friend class RowStore;
    RowCells(const QChar *text,
             const quint32 *ends,
             quint32 begin,
             std::shared_ptr<const void> pin = nullptr)
        : mText(text)
        , mEnds(ends)
        , mBegin(begin)
        , mPin(std::move(pin))
    {}

    const QChar *mText;
    const quint32 *mEnds;             // of the row's cells
    quint32 mBegin;                   // where the row's first cell starts
    std::shared_ptr<const void> mPin; // keeps a spilled block read back alive
};

/// The result list's model: the column names and the rows of the last query.
/// Rows are added to the store first and shown in batches (publishRows), so
/// that a view is told of new rows a few times a second, not once per row.
class ResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    /// The longest text a cell shows; longer values are cut for display only.
    static constexpr qsizetype DisplayLimit = 4096;

    using QAbstractTableModel::QAbstractTableModel;

    /// Removes every column and row.
    void clear();
    /// Sets the column names (once per query, from its first row).
    void setColumns(const QStringList &names);
    /// The rows not yet shown are added to the model.
    void publishRows();

    RowStore &store() { return mStore; }
    const RowStore &store() const { return mStore; }
    QStringList columnNames() const { return mColumns; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    RowStore mStore;
    QStringList mColumns;
    qsizetype mShownRows = 0;
};

} // namespace SQLEdit
