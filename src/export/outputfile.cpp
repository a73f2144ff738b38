#include "export/outputfile.h"

#include "common/errortext.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace Export {

QString WriteErrorText(int errorNumber, const QString &path)
{
    const QString file = QDir::toNativeSeparators(path);
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ディスクの空きが足りないため、%1 を書き込めませんでした。")
            .arg(file);
    case EFBIG:
        return QStringLiteral("ファイルの大きさの上限を超えるため、%1 を書き込めませんでした。")
            .arg(file);
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("フォルダ %1 に書き込めません。別のフォルダを選んでください。")
            .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
    default:
        return QStringLiteral("%1 を書き込めませんでした。\n%2")
            .arg(file, Common::SystemErrorText(errorNumber));
    }
}

void ByteBuffer::grow(qsizetype more)
{
    const qsizetype capacity = qMax(mSize + more, qMax<qsizetype>(mCapacity * 2, 1 << 16));
    auto data = std::make_unique<char[]>(size_t(capacity));
    if (mSize > 0)
        std::memcpy(data.get(), mData.get(), size_t(mSize));
    mData = std::move(data);
    mCapacity = capacity;
}

OutputFile::OutputFile(const QString &path, Encoding encoding)
    : mPath(path)
    , mEncoding(encoding)
{
    // A hidden name beside the chosen one: the rename at the end stays within
    // one file system, and a name left by a crash is plainly not the result.
    // Made with the permissions a new file gets (the umask applies).
    const QFileInfo target(path);
    for (int attempt = 0; attempt < 100 && mFd < 0; ++attempt) {
        mTemporaryPath = target.absoluteDir().filePath(
            QStringLiteral(".%1.part-%2")
                .arg(target.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        mFd = ::open(QFile::encodeName(mTemporaryPath).constData(),
                     O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (mFd < 0 && errno != EEXIST)
            break;
    }
    if (mFd < 0) {
        failWithErrno(errno);
        mTemporaryPath.clear();
        return;
    }
    if (encoding == Encoding::ShiftJis) {
        mIconv = iconv_open("CP932", "UTF-8");
        if (mIconv == iconv_t(-1))
            fail(QStringLiteral("Shift_JIS（CP932）に変換できません。"));
    }
    if (encoding == Encoding::Utf8Bom)
        mBuffer.append(QByteArrayView(Bom, 3));
}

OutputFile::~OutputFile()
{
    if (mFd >= 0)
        ::close(mFd);
    if (!mCommitted && !mTemporaryPath.isEmpty())
        ::unlink(QFile::encodeName(mTemporaryPath).constData());
    if (mIconv != iconv_t(-1))
        iconv_close(mIconv);
}

void OutputFile::fail(const QString &error)
{
    if (mError.isEmpty())
        mError = error;
}

void OutputFile::failWithErrno(int error)
{
    fail(WriteErrorText(error, mPath));
}

void OutputFile::flush()
{
    if (!failed()) {
        if (mIconv != iconv_t(-1))
            writeEncoded(mBuffer.data(), mBuffer.size());
        else
            writeBytes(mBuffer.data(), mBuffer.size());
    }
    mBuffer.clear();
}

void OutputFile::writeBytes(const char *data, qsizetype size)
{
    while (size > 0 && !failed()) {
        const ssize_t written = ::write(mFd, data, size_t(size));
        if (written < 0) {
            if (errno != EINTR)
                failWithErrno(errno);
            continue;
        }
        data += written;
        size -= written;
        mWritten += written;
    }
}

// UTF-8 into CP932 with iconv, which stops at each character CP932 lacks: that
// one is counted, written as "?", and the conversion goes on after it.
void OutputFile::writeEncoded(const char *data, qsizetype size)
{
    mEncoded.resize(qMax<qsizetype>(size * 2, 64));
    char *in = const_cast<char *>(data);
    size_t inLeft = size_t(size);
    char *out = mEncoded.data();
    size_t outLeft = size_t(mEncoded.size());
    while (inLeft > 0) {
        if (iconv(mIconv, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno == E2BIG) {
            const qsizetype used = out - mEncoded.data();
            mEncoded.resize(mEncoded.size() * 2);
            out = mEncoded.data() + used;
            outLeft = size_t(mEncoded.size() - used);
            continue;
        }
        // EILSEQ (or EINVAL for a cut sequence): one character is skipped.
        qsizetype length = 1;
        const auto lead = uchar(*in);
        if (lead >= 0xF0)
            length = 4;
        else if (lead >= 0xE0)
            length = 3;
        else if (lead >= 0xC0)
            length = 2;
        length = qMin<qsizetype>(length, qsizetype(inLeft));
        noteUnencodable(QByteArrayView(in, length));
        in += length;
        inLeft -= size_t(length);
        if (outLeft < 1) {
            const qsizetype used = out - mEncoded.data();
            mEncoded.resize(mEncoded.size() * 2);
            out = mEncoded.data() + used;
            outLeft = size_t(mEncoded.size() - used);
        }
        *out++ = '?';
        --outLeft;
    }
    writeBytes(mEncoded.constData(), out - mEncoded.constData());
}

void OutputFile::noteUnencodable(QByteArrayView character)
{
    ++mUnencodable;
    const QString text = QString::fromUtf8(character);
    if (mSamples.size() < SampleCount && !mSamples.contains(text))
        mSamples.append(text);
}

bool OutputFile::close()
{
    if (mFd >= 0) {
        flush();
        if (::close(mFd) != 0 && !failed())
            failWithErrno(errno);
        mFd = -1;
    }
    return !failed();
}

bool OutputFile::commit()
{
    if (!close())
        return false;
    if (::rename(QFile::encodeName(mTemporaryPath).constData(),
                 QFile::encodeName(mPath).constData())
        != 0) {
        failWithErrno(errno);
        return false;
    }
    mCommitted = true;
    return true;
}

} // namespace Export
