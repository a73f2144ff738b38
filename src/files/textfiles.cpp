#include "files/textfiles.h"

#include "common/errors.h"
#include "common/errortext.h"
#include "common/textcodec.h"

#include <QFile>
#include <QFileInfo>

namespace FileIO {
namespace {

const QString ErrorSource = QStringLiteral("FileIO");

[[noreturn]] void raise(int number, const QString &description)
{
    throw Common::RuntimeError(number, description, ErrorSource);
}

} // namespace

QStringList SplitFileLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('\r'))
            continue;
        lines << text.mid(start, i - start);
        if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

QStringList ReadTextLines(const QString &path, QString *encoding)
{
    const QFileInfo info(path);
    if (!info.exists())
        raise(Common::ErrFileNotFound, QStringLiteral("ファイルが見つかりません: %1").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        raise(Common::ErrFileAccess, Common::FileErrorText(file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        raise(Common::ErrFileAccess, Common::FileErrorText(file.errorString()));
    // No text in either encoding holds a NUL byte: most binary files end here,
    // before a costly attempt to decode them.
    bool ok = !bytes.contains('\0');
    const QString text = ok ? Common::DecodeText(bytes, &ok, encoding) : QString();
    if (!ok)
        raise(Common::ErrBadFileFormat,
              QStringLiteral("UTF-8 または Shift_JIS のテキストではありません: %1").arg(path));
    return SplitFileLines(text);
}

void WriteTextToFile(const QString &text, const QString &path, Common::FileAccess access)
{
    QString reason;
    if (!Common::WriteTextFile(path, text + QStringLiteral("\r\n"), &reason, access))
        raise(Common::ErrFileAccess, reason);
}

bool HasSqlFileEnding(const QString &name)
{
    const QString ending = name.right(4).toLower();
    return ending == QLatin1String(".sql") || ending == QLatin1String(".txt");
}

QString SqlFileName(const QString &name)
{
    return HasSqlFileEnding(name) ? name : name + QStringLiteral(".sql");
}

} // namespace FileIO
