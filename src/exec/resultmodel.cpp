#include "exec/resultmodel.h"

#include "exec/cellvalue.h"

#include <algorithm>
#include <array>
#include <limits>
#include <mutex>

namespace SQLEdit {

const QString RowStore::ReadErrorText = QStringLiteral("<読み取りエラー>");

/// The spill file of a store, where its blocks went, and the blocks read back
/// lately. Readers on several threads share the cache under its mutex.
struct RowStore::Spill
{
    std::unique_ptr<SpillFile> file;
    std::unique_ptr<SpillWriter> writer; // goes before the file
    std::vector<SpilledBlock> blocks;    // the store's first blocks, in order
    size_t queuedEnd = 0;                // blocks before it are written or on their way
    qint64 queuedBytes = 0;              // of the blocks on their way
    QString problem;                     // why no file could be made
    QString stopReason;                  // why spilling stopped

    struct Entry
    {
        size_t block = std::numeric_limits<size_t>::max();
        std::shared_ptr<Block> data; // none when it could not be read
        quint64 used = 0;
    };
    mutable std::mutex mutex;
    mutable std::array<Entry, CacheBlocks> cache;
    mutable quint64 clock = 0;

    /// The block read back, from the cache or the file, the least recently
    /// used block of the cache making room; nothing when it cannot be read.
    std::shared_ptr<const Block> load(size_t index) const
    {
        const std::lock_guard<std::mutex> lock(mutex);
        Entry *oldest = &cache[0];
        for (Entry &entry : cache) {
            if (entry.block == index) {
                entry.used = ++clock;
                return entry.data;
            }
            if (entry.used < oldest->used)
                oldest = &entry;
        }
        // The memory of the block let go is used again when nobody reads it:
        // fresh memory costs more than reading the block.
        std::shared_ptr<Block> block = std::move(oldest->data);
        if (!block || block.use_count() > 1)
            block = std::make_shared<Block>();
        if (!file->read(blocks[index], &block->text, &block->ends))
            block.reset();
        *oldest = {index, std::move(block), ++clock};
        return oldest->data;
    }
};

RowStore::RowStore()
{
    clear();
}

RowStore::~RowStore() = default;
RowStore::RowStore(RowStore &&) noexcept = default;

void RowStore::clear(int columnCount)
{
    mSpill.reset(); // first: its thread may still read the blocks
    mBlocks.clear();
    mFirstRows.clear();
    mColumnCount = columnCount;
    mRowCount = 0;
    mRowsInLastBlock = 0;
    mResidentBytes = 0;
    // A row that cannot be read back: the marker in every column.
    mErrorRow.text = ReadErrorText.repeated(columnCount);
    mErrorRow.ends.clear();
    for (int column = 1; column <= columnCount; ++column)
        mErrorRow.ends.push_back(quint32(column * ReadErrorText.size()));
}

qint64 RowStore::blockBytes(const Block &block)
{
    return block.text.capacity() * qint64(sizeof(QChar))
           + qint64(block.ends.capacity() * sizeof(quint32));
}

void RowStore::pushBlock(Block &&block, qsizetype firstRow)
{
    // The block before it is finished: it now counts against the budget.
    if (!mBlocks.empty())
        mResidentBytes += blockBytes(mBlocks.back());
    mBlocks.push_back(std::move(block));
    mFirstRows.push_back(firstRow);
}

bool RowStore::spill(bool wait)
{
    if (mPolicy.memoryBudget <= 0 || mPolicy.folder.isEmpty())
        return true;
    if (!mSpill) {
        if (heldBytes() <= mPolicy.memoryBudget)
            return true;
        mSpill = std::make_unique<Spill>();
        ReturnFreedBlocksToSystem();
    }
    Spill &spill = *mSpill;
    if (!spill.stopReason.isEmpty())
        return false;
    if (!spill.file && spill.problem.isEmpty()) {
        spill.file = SpillFile::create(mPolicy.folder, &spill.problem);
        if (spill.file)
            spill.writer = std::make_unique<SpillWriter>(*spill.file, mPolicy.diskFreePercent);
    }
    if (!spill.file)
        return true; // the rows stay in memory, as without a budget
    // The oldest blocks go first; the last one may still take rows. When the
    // disk falls behind, the fill waits for it rather than outgrow the budget.
    constexpr size_t MostOnTheirWay = 16;
    while (heldBytes() - spill.queuedBytes > mPolicy.memoryBudget
           && spill.queuedEnd + 1 < mBlocks.size()) {
        if (spill.queuedEnd - spill.blocks.size() >= MostOnTheirWay && !takeWritten(true))
            return false;
        const Block &block = mBlocks[spill.queuedEnd++];
        spill.writer->enqueue({block.text, block.ends.data(), block.ends.size()});
        spill.queuedBytes += blockBytes(block);
    }
    return takeWritten(wait);
}

// The memory of the blocks written goes; a block that could not be written
// stops spilling, and it and those after it stay in memory.
bool RowStore::takeWritten(bool wait)
{
    Spill &spill = *mSpill;
    for (const SpillWriter::Result &result : spill.writer->take(wait)) {
        if (!result.failure.isEmpty()) {
            spill.stopReason = result.failure;
            spill.queuedEnd = spill.blocks.size();
            spill.queuedBytes = 0;
            return false;
        }
        Block &block = mBlocks[spill.blocks.size()];
        spill.queuedBytes -= blockBytes(block);
        mResidentBytes -= blockBytes(block);
        block = Block();
        spill.blocks.push_back(result.block);
    }
    return true;
}

QString RowStore::spillStopReason() const
{
    return mSpill ? mSpill->stopReason : QString();
}

QString RowStore::spillProblem() const
{
    return mSpill ? mSpill->problem : QString();
}

qsizetype RowStore::spilledBlocks() const
{
    return mSpill ? qsizetype(mSpill->blocks.size()) : 0;
}

QString RowStore::spillFilePath() const
{
    return mSpill && mSpill->file ? mSpill->file->path() : QString();
}

void RowStore::beginRow()
{
    // A block is closed by its row count, or early by the size of its text, so
    // that the 31-bit end offsets always fit.
    if (mBlocks.empty() || mRowsInLastBlock == RowsPerBlock
        || mBlocks.back().text.size() > MaxBlockText) {
        qsizetype expected = 0;
        if (!mBlocks.empty()) {
            // A full block gives back what its growth reserved; the next one
            // starts with room for as much text, so that it rarely grows.
            expected = mBlocks.back().text.size();
            mBlocks.back().text.squeeze();
            mBlocks.back().ends.shrink_to_fit();
        }
        Block block;
        block.text.reserve(qMin(expected + expected / 8, MaxBlockText));
        block.ends.reserve(size_t(RowsPerBlock) * size_t(qMax(mColumnCount, 1)));
        pushBlock(std::move(block), mRowCount);
        mRowsInLastBlock = 0;
        spill();
    }
    ++mRowsInLastBlock;
    ++mRowCount;
}

void RowStore::addCell(QStringView text)
{
    Block &block = mBlocks.back();
    block.text.append(text);
    block.ends.push_back(quint32(block.text.size()));
}

void RowStore::addCell(QLatin1StringView text)
{
    Block &block = mBlocks.back();
    block.text.append(text);
    block.ends.push_back(quint32(block.text.size()));
}

void RowStore::addUtf8Cell(QByteArrayView text)
{
    // Decoded straight into the block: UTF-16 never needs more code units than
    // UTF-8 has bytes, and the text is cut back to what the decoder wrote.
    Block &block = mBlocks.back();
    const qsizetype size = block.text.size();
    const qsizetype room = mUtf8.requiredSpace(text.size());
    if (size + room > block.text.capacity()) {
        // Near the end of the block's room the text goes through a string of
        // its own, so that the block grows only by what the text needs.
        block.text.append(QString::fromUtf8(text));
    } else {
        block.text.resize(size + room);
        const QChar *end = mUtf8.appendToBuffer(block.text.data() + size, text);
        block.text.resize(end - block.text.constData());
    }
    block.ends.push_back(quint32(block.text.size()));
}

void RowStore::addNull()
{
    Block &block = mBlocks.back();
    block.ends.push_back(quint32(block.text.size()) | NullBit);
}

void RowStore::prepareFirstBlock(qsizetype characters)
{
    Q_ASSERT(mBlocks.empty());
    mBlocks.emplace_back();
    Block &block = mBlocks.back();
    block.text.resize(qMin(characters, MaxBlockText));
    std::fill_n(block.text.data(), block.text.size(), QChar());
    block.text.resize(0); // the room stays
    block.ends.resize(size_t(RowsPerBlock) * size_t(qMax(mColumnCount, 1)));
    block.ends.clear();
    mFirstRows.push_back(mRowCount);
    mRowsInLastBlock = 0;
}

void RowStore::append(RowStore &&rows)
{
    Q_ASSERT(rows.mColumnCount == mColumnCount || rows.mRowCount == 0);
    Q_ASSERT(!rows.mSpill); // batches never spill
    for (size_t i = 0; i < rows.mBlocks.size(); ++i) {
        Block &block = rows.mBlocks[i];
        if (block.ends.empty())
            continue; // made ready, never filled
        // A block that is kept for good gives back room it will never use, when
        // that is worth a copy of the block.
        if (block.text.capacity() - block.text.size() > block.text.size() / 4)
            block.text.squeeze();
        if (block.ends.capacity() - block.ends.size() > block.ends.size() / 4)
            block.ends.shrink_to_fit();
        pushBlock(std::move(block), mRowCount + rows.mFirstRows[i]);
    }
    if (rows.mRowCount > 0)
        mRowsInLastBlock = rows.mRowsInLastBlock;
    mRowCount += rows.mRowCount;
    rows.clear(rows.mColumnCount);
}

RowStore::BlockRef RowStore::blockOf(qsizetype row, qsizetype *index) const
{
    // The last block whose first row is at or before the row.
    const auto next = std::upper_bound(mFirstRows.begin(), mFirstRows.end(), row);
    const size_t block = size_t(next - mFirstRows.begin()) - 1;
    *index = (row - mFirstRows[block]) * mColumnCount;
    if (!mSpill || block >= mSpill->blocks.size())
        return {&mBlocks[block], nullptr};
    std::shared_ptr<const Block> read = mSpill->load(block);
    if (!read)
        return {nullptr, nullptr}; // shown as a read error
    const Block *data = read.get();
    return {data, std::move(read)};
}

QStringView RowStore::cell(qsizetype row, int column) const
{
    qsizetype index = 0;
    const BlockRef ref = blockOf(row, &index);
    if (!ref.block)
        return ReadErrorText;
    const Block &block = *ref.block;
    index += column;
    if (block.ends[size_t(index)] & NullBit)
        return NullText;
    const qsizetype begin = index == 0 ? 0 : qsizetype(block.ends[size_t(index - 1)] & ~NullBit);
    const qsizetype end = qsizetype(block.ends[size_t(index)] & ~NullBit);
    return QStringView(block.text).mid(begin, end - begin);
}

RowStore::RowCells RowStore::cells(qsizetype row) const
{
    qsizetype index = 0;
    BlockRef ref = blockOf(row, &index);
    if (!ref.block)
        return RowCells(mErrorRow.text.constData(), mErrorRow.ends.data(), 0);
    const Block &block = *ref.block;
    const quint32 begin = index == 0 ? 0 : block.ends[size_t(index - 1)] & ~NullBit;
    return RowCells(block.text.constData(), block.ends.data() + index, begin, std::move(ref.pin));
}

bool RowStore::isNull(qsizetype row, int column) const
{
    qsizetype index = 0;
    const BlockRef ref = blockOf(row, &index);
    return ref.block && (ref.block->ends[size_t(index + column)] & NullBit);
}

qsizetype RowStore::overheadBytes() const
{
    qsizetype bytes
        = qsizetype(mBlocks.capacity() * sizeof(Block) + mFirstRows.capacity() * sizeof(qsizetype));
    for (const Block &block : mBlocks) {
        bytes += qsizetype(block.ends.capacity() * sizeof(quint32));
        bytes += (block.text.capacity() - block.text.size()) * qsizetype(sizeof(QChar));
    }
    if (mSpill)
        bytes += qsizetype(mSpill->blocks.capacity() * sizeof(SpilledBlock));
    return bytes;
}

void ResultModel::clear()
{
    beginResetModel();
    mStore.clear();
    mColumns.clear();
    mShownRows = 0;
    endResetModel();
}

void ResultModel::setColumns(const QStringList &names)
{
    beginResetModel();
    mStore.clear(int(names.size()));
    mColumns = names;
    mShownRows = 0;
    endResetModel();
}

void ResultModel::publishRows()
{
    const qsizetype rows = qMin<qsizetype>(mStore.rowCount(), std::numeric_limits<int>::max());
    if (rows <= mShownRows)
        return;
    beginInsertRows(QModelIndex(), int(mShownRows), int(rows - 1));
    mShownRows = rows;
    endInsertRows();
}

int ResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(mShownRows);
}

int ResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(mColumns.size());
}

QVariant ResultModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= mShownRows || index.column() >= mColumns.size())
        return QVariant();
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return QVariant();
    const QStringView text = mStore.cell(index.row(), index.column());
    // A very long value would make every repaint lay out megabytes of text.
    if (text.size() > DisplayLimit)
        return text.left(DisplayLimit).toString() + QChar(0x2026);
    return text.toString();
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= mColumns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return mColumns.at(section);
}

} // namespace SQLEdit
