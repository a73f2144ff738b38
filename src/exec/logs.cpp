#include "exec/logs.h"

#include "common/appdir.h"
#include "common/errortext.h"
#include "common/textcodec.h"

#include <QFile>
#include <QFileInfo>

namespace SQLEdit {
namespace {

const QString ErrorSource = QStringLiteral("SQLEdit");
const QString CrLf = QStringLiteral("\r\n");

// The record separator of the error log: 22 '-' and 21 '*', alternating.
const QString ErrorSeparator = QStringLiteral("-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-");

QString stampText(const QDateTime &now)
{
    return now.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

} // namespace

QString ErrorLogPath()
{
    return Common::DataFilePath(QStringLiteral("Korvane.log"));
}

QString SqlLogPath()
{
    return Common::DataFilePath(QStringLiteral("SQL.log"));
}

void AppendTextToFile(const QString &text, const QString &path)
{
    const bool existed = QFileInfo::exists(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw Common::RuntimeError(Common::ErrFileAccess, Common::FileErrorText(file.errorString()),
                                   ErrorSource);
    const qint64 oldSize = file.size();

    // A full disk may only show when the buffer is flushed, or when the file is
    // closed, so the write, the flush and the close must all succeed.
    const QByteArray bytes = Common::EncodeText(text + CrLf);
    bool written = file.write(bytes) == bytes.size() && file.flush();
    // A short write directly to the file sets no error of its own.
    QString reason = file.error() != QFileDevice::NoError
                         ? Common::FileErrorText(file.errorString())
                         : QStringLiteral("%1 にテキストの全体を書き込めませんでした。").arg(path);
    file.close();
    if (written && file.error() != QFileDevice::NoError) {
        written = false;
        reason = Common::FileErrorText(file.errorString());
    }
    if (written)
        return;

    // Part of the text may have reached the file; cut it off so that the log
    // holds whole records only. The file is closed first, which drops what its
    // buffer still holds. Should the cut itself fail, the write error is still
    // the one worth reporting.
    if (existed)
        QFile::resize(path, oldSize);
    else
        QFile::remove(path);
    throw Common::RuntimeError(Common::ErrFileAccess, reason, ErrorSource);
}

void WriteErrorLog(const Common::ErrorInfo &error, const QDateTime &now)
{
    // "Souce" is the label as the log has always spelt it; whatever reads the
    // log looks for it so.
    const QString record = ErrorSeparator + CrLf + stampText(now) + CrLf + QStringLiteral("Error[")
                           + QString::number(error.number) + QStringLiteral("]") + CrLf
                           + QStringLiteral("Description[") + error.description
                           + QStringLiteral("]") + CrLf + QStringLiteral("Souce[") + error.source
                           + QStringLiteral("]");
    AppendTextToFile(record, ErrorLogPath());
}

void WriteSqlLog(const QString &statement, const QDateTime &now)
{
    QString indented = statement;
    indented.replace(CrLf, CrLf + QStringLiteral(" "));
    AppendTextToFile(stampText(now) + CrLf + QStringLiteral(" ") + indented, SqlLogPath());
}

} // namespace SQLEdit
