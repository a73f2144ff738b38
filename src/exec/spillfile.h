#pragma once

#include <QString>

#include <QStringView>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace SQLEdit {

/// How much of a result may stay in memory and where the rest goes.
struct SpillPolicy
{
    /// Bytes of row blocks kept in memory before older blocks go to disk; 0
    /// keeps every row in memory.
    qint64 memoryBudget = 0;
    /// The folder of the spill file; empty keeps every row in memory.
    QString folder;
    /// The share of the disk, in percent, that spilling leaves free.
    int diskFreePercent = 10;

    /// The policy CONFIG.ini sets: [RESULT] MEMORY in MB (0 or missing: the
    /// default budget) and DISKFREE in percent (10 when missing), in the cache
    /// folder of this process.
    static SpillPolicy fromSettings();
};

/// A quarter of the machine's memory, at most 2 GB.
qint64 DefaultMemoryBudget();

/// From now on memory of blocks of rows goes back to the system as soon as it
/// is freed. By default the allocator keeps freed blocks of this size for
/// reuse, which at 30,000,000 rows held 600 MB beyond the memory budget once
/// most blocks had spilled. Called when a result first spills.
void ReturnFreedBlocksToSystem();

/// Where a block went in the spill file, and what it holds.
struct SpilledBlock
{
    qint64 offset = 0;
    quint32 bytes = 0;     ///< the whole record: header, end offsets and text
    quint32 textChars = 0; ///< the UTF-16 length of the block's text
    quint32 cellCount = 0;
    bool utf8 = false; ///< the text is kept in UTF-8, being smaller so
};

/// The file that a result's blocks of rows spill into: one per result, never
/// named on disk where the file system allows it (O_TMPFILE), so that nothing
/// stays behind however the program ends. Elsewhere it is made under a name
/// with the process id, locked, and unlinked at once; a name left by a crash
/// in between is removed by RemoveSpillLeftovers. Blocks are written at its end
/// with a header and a checksum and read back with pread, so that a file cut
/// short under the program gives an error, never a crash or wrong values.
/// Where the file system allows, it bypasses the page cache (O_DIRECT): the
/// spilled rows take no memory there either, and writing them costs no fresh
/// pages of memory, which the system would otherwise have to provide.
class SpillFile
{
public:
    /// Opens a new spill file in the folder, making the folder when missing.
    /// Nothing, and the reason in problem, when that fails.
    static std::unique_ptr<SpillFile> create(const QString &folder, QString *problem);
    ~SpillFile();
    SpillFile(const SpillFile &) = delete;
    SpillFile &operator=(const SpillFile &) = delete;

    /// Writes a block of rows at the end of the file, unless that would leave
    /// less than diskFreePercent of the disk free. On failure nothing of the
    /// block stays in the file, and why says what stopped it.
    bool write(QStringView text,
               const quint32 *ends,
               size_t cellCount,
               int diskFreePercent,
               SpilledBlock *block,
               QString *why);
    /// Reads a block back; false when the file no longer holds it intact. Not
    /// on two threads at once (it reads into one buffer).
    bool read(const SpilledBlock &block, QString *text, std::vector<quint32> *ends) const;

    /// A path that opens this very file (for tests that damage it).
    QString path() const;
    /// Bytes written so far.
    qint64 size() const { return mEnd; }

private:
    /// Memory aligned for direct I/O, kept for the next record.
    class Buffer
    {
    public:
        char *reserve(size_t size);

    private:
        struct Free
        {
            void operator()(char *data) const;
        };
        std::unique_ptr<char, Free> mData;
        size_t mSize = 0;
    };

    SpillFile(int fd, bool direct);

    int mFd = -1;
    bool mDirect = false;
    qint64 mEnd = 0;
    Buffer mWriteBuffer;
    mutable Buffer mReadBuffer;
};

/// Writes blocks to a spill file on a thread of its own, in the order given,
/// so that the thread that hands them over never waits for the disk. After a
/// block that cannot be written, the blocks still waiting are dropped.
class SpillWriter
{
public:
    /// A block to write; its memory must stay until its result is taken.
    struct Job
    {
        QStringView text;
        const quint32 *ends;
        size_t cellCount;
    };
    /// A block written, or why it was not (failure is then set).
    struct Result
    {
        SpilledBlock block;
        QString failure;
    };

    SpillWriter(SpillFile &file, int diskFreePercent);
    /// Finishes the write under way; the blocks still waiting are dropped.
    ~SpillWriter();
    SpillWriter(const SpillWriter &) = delete;
    SpillWriter &operator=(const SpillWriter &) = delete;

    void enqueue(const Job &job);
    /// The results of the blocks written since the last call, in order; with
    /// wait, once every block handed over has been dealt with.
    std::vector<Result> take(bool wait);

private:
    void run();

    SpillFile &mFile;
    const int mDiskFreePercent;
    std::mutex mMutex;
    std::condition_variable mChanged;
    std::deque<Job> mJobs;
    std::vector<Result> mResults;
    bool mBusy = false;
    bool mFailed = false;
    bool mStop = false;
    std::thread mThread; // last: it starts once the rest is ready
};

/// Removes spill files of copies that ended without removing them: those in
/// the folder whose lock no running copy holds. Returns how many went.
int RemoveSpillLeftovers(const QString &folder);

} // namespace SQLEdit
