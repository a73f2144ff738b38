#include "common/textcodec.h"

#include "common/errortext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

namespace {

// The file a save really writes: a symbolic link is followed to the file it
// names, so that the link stays and its file gets the text.
QFileInfo savedFile(const QString &path)
{
    QFileInfo file(path);
    for (int depth = 0; depth < 40 && file.isSymLink(); ++depth)
        file.setFile(file.symLinkTarget());
    return file;
}

// Why a save cannot start, before anything is written; empty when it can.
QString refusalOf(const QFileInfo &file)
{
    if (file.isSymLink())
        return QStringLiteral("シンボリックリンクが多すぎます（循環している可能性があります）。");
    // A device, a FIFO or a socket would be replaced by a plain file.
    if (file.exists() && !file.isFile())
        return QStringLiteral("%1 は通常のファイルではないため、保存できません。"
                              "別のファイル名で保存してください。")
            .arg(file.filePath());
    return QString();
}

} // namespace

bool WriteTextFile(const QString &path, const QString &text, QString *error, FileAccess access)
{
    // The text goes to a temporary file beside the old one, which it replaces
    // only when every byte has reached the disk; on any failure the old file
    // keeps all of its bytes. There is no fallback to rewriting the file in
    // place, as a failure half-way through would leave it cut.
    const QFileInfo target = savedFile(path);
    if (const QString refusal = refusalOf(target); !refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return false;
    }
    QSaveFile file(target.filePath());
    auto reason = [&] {
        // The temporary file needs a folder that can be written, even when the
        // file itself can be: say so, and what the user can do.
        const QFileInfo folder(target.absolutePath());
        if (folder.exists() && !folder.isWritable())
            return QStringLiteral(
                       "フォルダ %1 に書き込めないため、保存できません"
                       "（新しいファイルを作ってから置き換えるため、"
                       "フォルダへの書き込みが必要です）。"
                       "別のフォルダに保存するか、フォルダに書き込めるようにしてください。")
                .arg(QDir::toNativeSeparators(folder.filePath()));
        return FileErrorText(file.errorString());
    };
    auto fail = [&] {
        if (error)
            *error = reason();
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
            *error = reason();
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
