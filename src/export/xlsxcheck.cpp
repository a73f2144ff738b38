#include "export/xlsxcheck.h"

#include <QFile>

#include <zlib.h>

#include <cstring>

namespace Export {

namespace {

quint64 Little(const uchar *bytes, int size)
{
    quint64 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

// Inflates one deflated entry and checks that it ends with the closing tag.
bool EndsAsWorksheet(QFile &file, quint64 compressedSize)
{
    static const char Closing[] = "</worksheet>";
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    QByteArray in(1 << 16, Qt::Uninitialized);
    QByteArray out(1 << 18, Qt::Uninitialized);
    QByteArray tail; // the last bytes inflated
    int result = Z_OK;
    while (result != Z_STREAM_END && compressedSize > 0) {
        const qint64 read = file.read(in.data(), qint64(qMin<quint64>(compressedSize, in.size())));
        if (read <= 0)
            break;
        compressedSize -= quint64(read);
        stream.next_in = reinterpret_cast<Bytef *>(in.data());
        stream.avail_in = uInt(read);
        do {
            stream.next_out = reinterpret_cast<Bytef *>(out.data());
            stream.avail_out = uInt(out.size());
            result = inflate(&stream, Z_NO_FLUSH);
            const qsizetype produced = out.size() - qsizetype(stream.avail_out);
            if (produced > 0) {
                tail.append(out.constData(), produced);
                tail = tail.right(64);
            }
        } while (result == Z_OK && stream.avail_out == 0);
        if (result != Z_OK && result != Z_STREAM_END)
            break;
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END && tail.trimmed().endsWith(Closing);
}

} // namespace

bool WorksheetsComplete(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // The local file headers one after another, as the workbook's zip holds them.
    for (;;) {
        uchar header[30];
        if (file.read(reinterpret_cast<char *>(header), 30) != 30
            || Little(header, 4) != 0x04034b50)
            return true; // the central directory: every entry has been seen
        const quint64 method = Little(header + 8, 2);
        quint64 compressed = Little(header + 18, 4);
        const QByteArray name = file.read(qint64(Little(header + 26, 2)));
        const QByteArray extra = file.read(qint64(Little(header + 28, 2)));
        // ZIP64: the sizes are in an extra field of their own.
        for (qsizetype at = 0; compressed == 0xFFFFFFFF && at + 4 <= extra.size();) {
            const auto *field = reinterpret_cast<const uchar *>(extra.constData() + at);
            const qsizetype size = qsizetype(Little(field + 2, 2));
            if (Little(field, 2) == 1 && size >= 16)
                compressed = Little(field + 12, 8);
            at += 4 + size;
        }
        const qint64 dataStart = file.pos();
        if (name.startsWith("xl/worksheets/sheet")) {
            if (method != Z_DEFLATED || !EndsAsWorksheet(file, compressed))
                return false;
        }
        if (!file.seek(dataStart + qint64(compressed)))
            return false;
    }
}

} // namespace Export
