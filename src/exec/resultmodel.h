#pragma once

#include <QAbstractTableModel>
#include <QStringConverter>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace SQLEdit {

/// The cells of a query's rows, kept compactly: the texts of a block of rows lie
/// end to end in one string, and each cell costs one 32-bit end offset beside
/// its text (its top bit marks SQL NULL). A cell becomes a QString only when
/// somebody asks for it.
class RowStore
{
public:
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
    /// Moves the rows of another store (of the same columns) after these.
    void append(RowStore &&rows);
    /// The characters of text held in the last block.
    qsizetype lastBlockText() const { return mBlocks.empty() ? 0 : mBlocks.back().text.size(); }

    /// The cell's text ("<NULL>" for NULL).
    QStringView cell(qsizetype row, int column) const;
    bool isNull(qsizetype row, int column) const;

    class RowCells;
    /// The cells of one row, found once for all its columns.
    RowCells cells(qsizetype row) const;

    /// Memory held beyond the UTF-16 text of the cells, in bytes (for measuring).
    qsizetype overheadBytes() const;

private:
    struct Block
    {
        QString text;
        std::vector<quint32> ends; // per cell, row after row
    };
    static constexpr quint32 NullBit = 0x80000000u;
    static constexpr qsizetype RowsPerBlock = 4096;
    static constexpr qsizetype MaxBlockText = 0x10000000; // characters

    const Block &blockOf(qsizetype row, qsizetype *index) const;

    std::vector<Block> mBlocks;
    std::vector<qsizetype> mFirstRows; // of each block
    int mColumnCount = 0;
    qsizetype mRowCount = 0;
    qsizetype mRowsInLastBlock = 0;
    QStringDecoder mUtf8{QStringDecoder::Utf8, QStringConverter::Flag::Stateless};
};

/// One row of a store, for reading all its cells without looking the row up
/// per cell. Valid while the store is not changed.
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
    RowCells(const QChar *text, const quint32 *ends, quint32 begin)
        : mText(text)
        , mEnds(ends)
        , mBegin(begin)
    {}

    const QChar *mText;
    const quint32 *mEnds; // of the row's cells
    quint32 mBegin;       // where the row's first cell starts
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
