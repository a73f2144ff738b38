#include "common/textcodec.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace Common {

QString DecodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;

    QStringDecoder shiftJis("Shift_JIS");
    if (shiftJis.isValid()) {
        QString decoded = shiftJis(bytes);
        if (!shiftJis.hasError())
            return decoded;
    }
    // Neither encoding fits (a binary file): keep what UTF-8 made of it, with
    // replacement characters where bytes were invalid.
    return text;
}

QByteArray EncodeText(const QString &text)
{
    return text.toUtf8();
}

bool ReadTextFile(const QString &path, QString *text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    *text = DecodeText(bytes);
    return true;
}

bool WriteTextFile(const QString &path, const QString &text)
{
    QSaveFile file(path);
    // A folder that refuses new files may still let an existing file be rewritten.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = EncodeText(text);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString TruncateToBytes(const QString &text, int maxBytes)
{
    if (maxBytes <= 0)
        return QString();
    int bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size()
                          && text.at(end + 1).isLowSurrogate();
        const qsizetype length = pair ? 2 : 1;
        const int size = EncodeText(text.mid(end, length)).size();
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        end += length;
    }
    return text.left(end);
}

} // namespace Common
