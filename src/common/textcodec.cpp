#include "common/textcodec.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace Common {

QString DecodeText(const QByteArray &bytes, bool *ok, QString *encoding)
{
    if (ok)
        *ok = true;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) {
        if (encoding)
            *encoding = QStringLiteral("UTF-8");
        return text;
    }

    QStringDecoder shiftJis("Shift_JIS");
    if (shiftJis.isValid()) {
        QString decoded = shiftJis(bytes);
        if (!shiftJis.hasError()) {
            if (encoding)
                *encoding = QStringLiteral("Shift_JIS");
            return decoded;
        }
    }
    if (ok)
        *ok = false;
    return text;
}

QByteArray EncodeText(const QString &text)
{
    return text.toUtf8();
}

bool ReadTextFile(const QString &path, QString *text, bool *isText)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    *text = DecodeText(bytes, isText);
    return true;
}

bool WriteTextFile(const QString &path, const QString &text, QString *error, FileAccess access)
{
    // The text goes to a temporary file beside the old one, which it replaces
    // only when every byte has reached the disk; on any failure the old file
    // keeps all of its bytes. There is no fallback to rewriting the file in
    // place, as a failure half-way through would leave it cut.
    QSaveFile file(path);
    auto fail = [&] {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    // Set on the temporary file, so that the text is never readable by others.
    if (access == FileAccess::OwnerOnly
        && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return fail();
    }
    const QByteArray bytes = EncodeText(text);
    // A full disk may only show when the buffer is flushed, and commit() does
    // not report an error that its own flush meets: flush and check first.
    if (file.write(bytes) != bytes.size() || !file.flush()
        || file.error() != QFileDevice::NoError) {
        return fail();
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
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
