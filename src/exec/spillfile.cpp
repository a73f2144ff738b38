#include "exec/spillfile.h"

#include "common/appdir.h"
#include "settings/privateprofile.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace SQLEdit {
namespace {

const QString SpillPrefix = QStringLiteral("spill-");
const QString SpillSuffix = QStringLiteral(".kvs");

// Each record of the file starts with this; a hole or a cut shows as a wrong
// magic number or a wrong checksum.
struct RecordHeader
{
    quint32 magic;
    quint32 cellCount;
    quint32 textChars;
    quint32 textBytes;
    quint32 utf8;
    quint32 reserved;
    quint64 offset; // where the record was written
    quint64 checksum;
};
constexpr quint32 RecordMagic = 0x4B565331; // "KVS1"
// Records start and end on this boundary, as direct I/O needs.
constexpr qint64 Alignment = 4096;

qint64 aligned(qint64 size)
{
    return (size + Alignment - 1) / Alignment * Alignment;
}

// A fast checksum over 64-bit words in four lanes, seeded so that a record
// copied to another place does not pass for the one that belongs there.
quint64 checksum(const char *data, size_t size, quint64 seed)
{
    constexpr quint64 Prime = 0x9E3779B97F4A7C15ull;
    quint64 lanes[4] = {seed, seed ^ 1, seed ^ 2, seed ^ 3};
    size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        for (int lane = 0; lane < 4; ++lane) {
            quint64 word;
            std::memcpy(&word, data + i + lane * 8, 8);
            lanes[lane] = (lanes[lane] ^ word) * Prime;
            lanes[lane] ^= lanes[lane] >> 31;
        }
    }
    quint64 sum = lanes[0] ^ (lanes[1] << 1) ^ (lanes[2] << 2) ^ (lanes[3] << 3);
    for (; i < size; ++i)
        sum = (sum ^ quint8(data[i])) * Prime;
    return sum ^ size;
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A write past the process's file-size limit fails with EFBIG, like a full
// disk, instead of ending the program.
void ignoreFileSizeSignal()
{
    static std::atomic<bool> done{false};
    if (!done.exchange(true))
        std::signal(SIGXFSZ, SIG_IGN);
}

// A named spill file: made, locked so that no other copy takes it for a
// leftover, and unlinked at once; the open file lives on without its name.
int openNamedFile(const QString &folder, int flags)
{
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("%1%2-%3%4")
                             .arg(SpillPrefix)
                             .arg(getpid())
                             .arg(counter.fetch_add(1))
                             .arg(SpillSuffix);
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | flags, 0600);
    if (fd < 0)
        return -1;
    flock(fd, LOCK_EX | LOCK_NB);
    ::unlink(path.constData());
    return fd;
}

} // namespace

void ReturnFreedBlocksToSystem()
{
    // A fixed threshold also stops glibc from raising it each time a block is
    // freed, which is what moved blocks from their own mappings into the heap.
    static const bool done = [] {
        mallopt(M_MMAP_THRESHOLD, 256 * 1024);
        malloc_trim(0);
        return true;
    }();
    Q_UNUSED(done);
}

qint64 DefaultMemoryBudget()
{
    const qint64 pages = sysconf(_SC_PHYS_PAGES);
    const qint64 pageSize = sysconf(_SC_PAGE_SIZE);
    constexpr qint64 Most = qint64(2) << 30;
    if (pages <= 0 || pageSize <= 0)
        return Most;
    return qMin(pages * pageSize / 4, Most);
}

SpillPolicy SpillPolicy::fromSettings()
{
    SpillPolicy policy;
    const QString file = FileIO::SettingsFilePath();
    const qint32 megabytes
        = PrivateProfile::readInt(file, QStringLiteral("RESULT"), QStringLiteral("MEMORY"), 0);
    policy.memoryBudget = megabytes > 0 ? qint64(megabytes) << 20 : DefaultMemoryBudget();
    policy.diskFreePercent = qBound(
        0, PrivateProfile::readInt(file, QStringLiteral("RESULT"), QStringLiteral("DISKFREE"), 10),
        100);
    policy.folder = Common::CacheDirectory();
    return policy;
}

std::unique_ptr<SpillFile> SpillFile::create(const QString &folder, QString *problem)
{
    if (folder.isEmpty()) {
        *problem = QStringLiteral("キャッシュフォルダがありません。");
        return nullptr;
    }
    if (!QFileInfo(folder).isDir()) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                          | QFileDevice::ExeOwner);
    }
    ignoreFileSizeSignal();
    const QByteArray path = QFile::encodeName(folder);
    int fd = -1;
    bool direct = true;
    // Direct I/O first; a file system without it (tmpfs) refuses it with EINVAL.
    for (const int flags : {O_DIRECT, 0}) {
        direct = flags != 0;
        fd = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC | flags, 0600);
        if (fd < 0 && errno != EACCES && errno != EROFS && errno != ENOENT && errno != EINVAL)
            fd = openNamedFile(folder, flags); // a file system without unnamed files
        if (fd >= 0 || errno != EINVAL)
            break;
    }
    if (fd < 0) {
        *problem = QStringLiteral("キャッシュフォルダ %1 に書き込めません（%2）。")
                       .arg(QDir::toNativeSeparators(folder), errnoText(errno));
        return nullptr;
    }
    return std::unique_ptr<SpillFile>(new SpillFile(fd, direct));
}

SpillFile::SpillFile(int fd, bool direct)
    : mFd(fd)
    , mDirect(direct)
{}

char *SpillFile::Buffer::reserve(size_t size)
{
    if (size > mSize) {
        mData.reset();
        mSize = size_t(aligned(qint64(size)));
        mData.reset(static_cast<char *>(std::aligned_alloc(size_t(Alignment), mSize)));
        if (!mData)
            throw std::bad_alloc();
    }
    return mData.get();
}

void SpillFile::Buffer::Free::operator()(char *data) const
{
    std::free(data);
}

SpillFile::~SpillFile()
{
    ::close(mFd);
}

QString SpillFile::path() const
{
    return QStringLiteral("/proc/self/fd/%1").arg(mFd);
}

bool SpillFile::write(QStringView text,
                      const quint32 *ends,
                      size_t cellCount,
                      int diskFreePercent,
                      SpilledBlock *block,
                      QString *why)
{
    const qsizetype endsBytes = qsizetype(cellCount * sizeof(quint32));
    const qsizetype utf16Bytes = text.size() * qsizetype(sizeof(QChar));
    // Room for the text in UTF-8 (at most three bytes a UTF-16 unit) or UTF-16,
    // and for the padding to the next boundary.
    char *const record = mWriteBuffer.reserve(size_t(
        aligned(qint64(sizeof(RecordHeader)) + endsBytes + qMax(text.size() * 3, utf16Bytes))));
    char *body = record + sizeof(RecordHeader);
    std::memcpy(body, ends, size_t(endsBytes));
    char *textOut = body + endsBytes;

    // UTF-8 where it is smaller and gives back the very same text: a lone
    // surrogate would not survive it.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    char *utf8End = encoder.appendToBuffer(textOut, text);
    const bool utf8 = !encoder.hasError() && utf8End - textOut < utf16Bytes;
    if (!utf8) {
        std::memcpy(textOut, text.constData(), size_t(utf16Bytes));
        utf8End = textOut + utf16Bytes;
    }
    const qsizetype bytes = utf8End - record;
    const qsizetype padded = aligned(bytes);
    std::memset(utf8End, 0, size_t(padded - bytes));

    struct statvfs disk;
    if (fstatvfs(mFd, &disk) == 0) {
        const double total = double(disk.f_blocks) * double(disk.f_frsize);
        const double free = double(disk.f_bavail) * double(disk.f_frsize);
        if (free - double(padded) < total * diskFreePercent / 100.0) {
            *why = QStringLiteral("ディスクの空きが %1% を切るため").arg(diskFreePercent);
            return false;
        }
    }

    RecordHeader header{RecordMagic,          quint32(cellCount),
                        quint32(text.size()), quint32(utf8End - textOut),
                        utf8 ? 1u : 0u,       0,
                        quint64(mEnd),        0};
    header.checksum = checksum(body, size_t(utf8End - body), quint64(mEnd));
    std::memcpy(record, &header, sizeof header);

    qsizetype written = 0;
    while (written < padded) {
        const ssize_t n
            = ::pwrite(mFd, record + written, size_t(padded - written), off_t(mEnd + written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            // Nothing of a block written in part stays in the file.
            if (ftruncate(mFd, off_t(mEnd)) != 0) {
                // The record's checksum still marks the rest as no block.
            }
            *why = QStringLiteral("一時ファイルに書き込めないため（%1）").arg(errnoText(error));
            return false;
        }
        written += n;
    }
    *block = {mEnd, quint32(bytes), header.textChars, header.cellCount, utf8};
    mEnd += padded;
    return true;
}

bool SpillFile::read(const SpilledBlock &block, QString *text, std::vector<quint32> *ends) const
{
    // The whole padded record, as direct I/O reads whole aligned spans.
    const qint64 padded = aligned(block.bytes);
    char *const record = mReadBuffer.reserve(size_t(padded));
    qint64 done = 0;
    while (done < block.bytes) {
        const ssize_t n
            = ::pread(mFd, record + done, size_t(padded - done), off_t(block.offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false; // cut short, or unreadable
        done += n;
    }
    RecordHeader header;
    if (block.bytes < sizeof header)
        return false;
    std::memcpy(&header, record, sizeof header);
    const char *body = record + sizeof header;
    const size_t bodySize = size_t(block.bytes) - sizeof header;
    const size_t endsBytes = size_t(block.cellCount) * sizeof(quint32);
    if (header.magic != RecordMagic || header.offset != quint64(block.offset)
        || header.cellCount != block.cellCount || header.textChars != block.textChars
        || endsBytes + header.textBytes != bodySize || (header.utf8 != 0) != block.utf8
        || header.checksum != checksum(body, bodySize, quint64(block.offset)))
        return false;

    ends->resize(block.cellCount);
    std::memcpy(ends->data(), body, endsBytes);
    const QByteArrayView textBytes(body + endsBytes, qsizetype(header.textBytes));
    if (block.utf8) {
        // Into the string's own room, which a block read before may have left.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        text->resize(decoder.requiredSpace(textBytes.size()));
        const QChar *end = decoder.appendToBuffer(text->data(), textBytes);
        text->resize(end - text->constData());
    } else {
        text->resize(textBytes.size() / qsizetype(sizeof(QChar)));
        std::memcpy(static_cast<void *>(text->data()), textBytes.data(), size_t(textBytes.size()));
    }
    return text->size() == qsizetype(block.textChars);
}

SpillWriter::SpillWriter(SpillFile &file, int diskFreePercent)
    : mFile(file)
    , mDiskFreePercent(diskFreePercent)
    , mThread([this] { run(); })
{}

SpillWriter::~SpillWriter()
{
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mStop = true;
        mJobs.clear();
    }
    mChanged.notify_all();
    mThread.join();
}

void SpillWriter::enqueue(const Job &job)
{
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        if (mFailed)
            return; // dropped, as those waiting were
        mJobs.push_back(job);
    }
    mChanged.notify_all();
}

std::vector<SpillWriter::Result> SpillWriter::take(bool wait)
{
    std::unique_lock<std::mutex> lock(mMutex);
    if (wait)
        mChanged.wait(lock, [this] { return mJobs.empty() && !mBusy; });
    std::vector<Result> results;
    results.swap(mResults);
    return results;
}

void SpillWriter::run()
{
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        mChanged.wait(lock, [this] { return mStop || !mJobs.empty(); });
        if (mStop)
            return;
        const Job job = mJobs.front();
        mJobs.pop_front();
        mBusy = true;
        lock.unlock();
        Result result;
        const bool written = mFile.write(job.text, job.ends, job.cellCount, mDiskFreePercent,
                                         &result.block, &result.failure);
        lock.lock();
        mBusy = false;
        if (!written) {
            mFailed = true;
            mJobs.clear();
        }
        mResults.push_back(std::move(result));
        mChanged.notify_all();
    }
}

int RemoveSpillLeftovers(const QString &folder)
{
    if (folder.isEmpty())
        return 0;
    int removed = 0;
    const QDir dir(folder);
    const QStringList names
        = dir.entryList({SpillPrefix + QLatin1Char('*') + SpillSuffix}, QDir::Files);
    for (const QString &name : names) {
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        // A copy that still runs holds the lock of its file.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

} // namespace SQLEdit
