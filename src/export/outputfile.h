#pragma once

#include "export/exportoptions.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstring>
#include <memory>

#include <iconv.h>

namespace Export {

/// A growing run of bytes, appended to without the checks of a QByteArray:
/// the export appends a few bytes at a time, hundreds of millions of times.
class ByteBuffer
{
public:
    void append(QByteArrayView bytes)
    {
        if (bytes.size() > mCapacity - mSize)
            grow(bytes.size());
        if (!bytes.isEmpty())
            std::memcpy(mData.get() + mSize, bytes.data(), size_t(bytes.size()));
        mSize += bytes.size();
    }
    void append(char c)
    {
        if (mSize == mCapacity)
            grow(1);
        mData[mSize++] = c;
    }
    const char *data() const { return mData.get(); }
    qsizetype size() const { return mSize; }
    void clear() { mSize = 0; }

private:
    void grow(qsizetype more);

    std::unique_ptr<char[]> mData;
    qsizetype mSize = 0;
    qsizetype mCapacity = 0;
};

/// A file written under a temporary name in the folder of the file it becomes,
/// and renamed to that name only once everything is written: a cancel, a
/// failure or a full disk never leaves a partial file under the chosen name.
///
/// Text comes in as UTF-8 and goes out in the chosen encoding through a buffer.
/// Writes never raise, as they may run on a connection's thread: the first
/// failure is kept, later writes are dropped, and commit() reports it.
/// Characters that Shift_JIS cannot hold are written as "?" and counted.
class OutputFile
{
public:
    /// Creates the temporary file beside path; failed() says whether it could be.
    OutputFile(const QString &path, Encoding encoding);
    /// Removes the temporary file unless it was committed.
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    QString path() const { return mPath; }
    /// Where the bytes go until commit(), for a writer that makes the file itself.
    QString temporaryPath() const { return mTemporaryPath; }

    /// Appends UTF-8 text made of whole characters.
    void write(QByteArrayView utf8) { mBuffer.append(utf8); }
    void write(char c) { mBuffer.append(c); }
    /// The buffer itself, for writers that build text in place.
    ByteBuffer &buffer() { return mBuffer; }
    /// Writes the buffer out once it holds a good deal: called between records,
    /// so that a character is never split.
    void flushIfFull()
    {
        if (mBuffer.size() >= FlushBytes)
            flush();
    }

    /// Writes out what is buffered, closes the file and renames it to its path,
    /// replacing a file of that name. False on failure, with error() saying why;
    /// the temporary file is then removed.
    bool commit();
    /// Writes out what is buffered and closes the file, which commit() then
    /// renames; false on failure.
    bool close();
    bool failed() const { return !mError.isEmpty(); }
    QString error() const { return mError; }
    /// Records a failure met by the writer itself; the first one is kept.
    void fail(const QString &error);

    /// Bytes written to the file so far.
    qint64 bytesWritten() const { return mWritten; }
    /// Characters that the encoding cannot hold, and the first few of them.
    qint64 unencodableCount() const { return mUnencodable; }
    QStringList unencodableSamples() const { return mSamples; }

    /// The UTF-8 byte order mark.
    static constexpr char Bom[] = "\xEF\xBB\xBF";

private:
    static constexpr qsizetype FlushBytes = 1 << 20;
    static constexpr int SampleCount = 5;

    void flush();
    void writeBytes(const char *data, qsizetype size);
    void writeEncoded(const char *data, qsizetype size);
    void noteUnencodable(QByteArrayView character);
    void failWithErrno(int error);

    QString mPath;
    QString mTemporaryPath;
    Encoding mEncoding;
    int mFd = -1;
    iconv_t mIconv = iconv_t(-1);
    ByteBuffer mBuffer;
    QByteArray mEncoded; // Shift_JIS bytes of a buffer
    QString mError;
    qint64 mWritten = 0;
    qint64 mUnencodable = 0;
    QStringList mSamples;
    bool mCommitted = false;
};

/// A Japanese sentence for a failure to create or write the file.
QString WriteErrorText(int errorNumber, const QString &path);

} // namespace Export
