#include "journal/journalfile.h"

#include "common/errortext.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QSaveFile>

namespace Journal {
namespace {

const QByteArray Magic = QByteArrayLiteral("KVJOURNL");
constexpr quint32 FormatVersion = 1;
constexpr int HeaderSize = 8 + 4 + 8;
constexpr int ChecksumSize = 16;

QByteArray checksum(QByteArrayView payload)
{
    return QCryptographicHash::hash(payload, QCryptographicHash::Md5);
}

// The text goes as its UTF-16 code units, unconverted: a large text costs one
// copy, and every character, even a lone surrogate, comes back as it was.
void writeText(QDataStream &out, const QString &text)
{
    out << quint64(text.size());
    out.writeRawData(reinterpret_cast<const char *>(text.utf16()), int(text.size() * 2));
}

bool readText(QDataStream &in, QString *text, qint64 bytesLeft)
{
    quint64 size = 0;
    in >> size;
    if (in.status() != QDataStream::Ok || size > quint64(bytesLeft) / 2)
        return false;
    text->resize(qsizetype(size));
    return in.readRawData(reinterpret_cast<char *>(text->data()), int(size * 2)) == int(size * 2);
}

} // namespace

QByteArray Encode(const Snapshot &snapshot)
{
    QByteArray payload;
    payload.reserve(snapshot.text.size() * 2 + 4096);
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out.setByteOrder(QDataStream::LittleEndian);
        writeText(out, snapshot.text);
        out << snapshot.caret << snapshot.anchor << snapshot.sourcePath << snapshot.sourceEncoding
            << snapshot.sourceChanged << snapshot.sourceSize << snapshot.sourceModified
            << snapshot.workPending << snapshot.pendingStatements << snapshot.server
            << snapshot.user;
    }
    QByteArray bytes;
    bytes.reserve(HeaderSize + payload.size() + ChecksumSize);
    QDataStream header(&bytes, QIODevice::WriteOnly);
    header.setByteOrder(QDataStream::LittleEndian);
    header.writeRawData(Magic.constData(), int(Magic.size()));
    header << FormatVersion << quint64(payload.size());
    bytes += payload;
    bytes += checksum(payload);
    return bytes;
}

ReadResult Decode(const QByteArray &bytes)
{
    const ReadResult damaged{std::nullopt, ReadProblem::Damaged};
    if (bytes.size() < HeaderSize + ChecksumSize || !bytes.startsWith(Magic))
        return damaged;
    QDataStream header(bytes);
    header.setByteOrder(QDataStream::LittleEndian);
    header.skipRawData(int(Magic.size()));
    quint32 version = 0;
    quint64 length = 0;
    header >> version >> length;
    if (version > FormatVersion)
        return {std::nullopt, ReadProblem::Newer};
    if (version == 0 || length != quint64(bytes.size() - HeaderSize - ChecksumSize))
        return damaged;
    const QByteArrayView payload(bytes.constData() + HeaderSize, qsizetype(length));
    if (checksum(payload) != bytes.right(ChecksumSize))
        return damaged;

    const QByteArray payloadBytes = QByteArray::fromRawData(payload.data(), payload.size());
    QDataStream in(payloadBytes);
    in.setVersion(QDataStream::Qt_6_4);
    in.setByteOrder(QDataStream::LittleEndian);
    Snapshot snapshot;
    if (!readText(in, &snapshot.text, payload.size()))
        return damaged;
    in >> snapshot.caret >> snapshot.anchor >> snapshot.sourcePath >> snapshot.sourceEncoding
        >> snapshot.sourceChanged >> snapshot.sourceSize >> snapshot.sourceModified
        >> snapshot.workPending >> snapshot.pendingStatements >> snapshot.server >> snapshot.user;
    if (in.status() != QDataStream::Ok)
        return damaged;
    return {std::move(snapshot), ReadProblem::None};
}

bool WriteFile(const QString &path, const Snapshot &snapshot, QString *problem)
{
    // QSaveFile writes a temporary file, flushes it to the disk and renames it
    // over the old journal, so that a crash at any point leaves one whole file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *problem = Common::FileErrorText(file.errorString());
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray bytes = Encode(snapshot);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        *problem = Common::FileErrorText(file.errorString());
        return false;
    }
    return true;
}

ReadResult ReadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, file.exists() ? ReadProblem::Damaged : ReadProblem::Missing};
    return Decode(file.readAll());
}

} // namespace Journal
