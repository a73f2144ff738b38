#include "common/errortext.h"

#include <cerrno>
#include <cstring>

namespace Common {
namespace {

struct SystemError
{
    int number;
    const char *japanese;
};

// The errors met when opening, reading and writing files, in the words the
// program uses elsewhere.
constexpr SystemError SystemErrors[] = {
    {ENOENT, "ファイルまたはフォルダが見つかりません。"},
    {EACCES, "アクセスが拒否されました（権限がありません）。"},
    {EPERM, "この操作は許可されていません。"},
    {ENOSPC, "ディスクの空き容量が足りません。"},
    {EDQUOT, "ディスクの使用量の上限を超えました。"},
    {EROFS, "読み取り専用のファイルシステムです。"},
    {EISDIR, "フォルダです。ファイルではありません。"},
    {ENOTDIR, "パスの途中にフォルダではないものがあります。"},
    {EEXIST, "ファイルがすでにあります。"},
    {EBUSY, "ファイルが使用中です。"},
    {ETXTBSY, "ファイルが使用中です。"},
    {EIO, "入出力エラーが発生しました。"},
    {EMFILE, "開いているファイルが多すぎます。"},
    {ENFILE, "開いているファイルが多すぎます。"},
    {ENAMETOOLONG, "ファイル名が長すぎます。"},
    {ELOOP, "シンボリックリンクが多すぎます（循環している可能性があります）。"},
    {EFBIG, "ファイルが大きすぎます。"},
    {ENXIO, "デバイスがありません。"},
    {ENODEV, "デバイスがありません。"},
    {EXDEV, "別のファイルシステムへは移動できません。"},
};

// Texts that Qt writes itself rather than taking from the system.
struct QtError
{
    const char *english;
    const char *japanese;
};

constexpr QtError QtErrors[] = {
    {"is not writable", "既存のファイルに書き込めません。"},
    {"refers to a directory", "フォルダです。ファイルではありません。"},
    {"Writing canceled", "書き込みが取り消されました。"},
    {"Unknown error", "原因不明のエラーが発生しました。"},
};

QString systemText(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

} // namespace

QString SystemErrorText(int errorNumber)
{
    for (const SystemError &error : SystemErrors) {
        if (error.number == errorNumber)
            return QString::fromUtf8(error.japanese);
    }
    return systemText(errorNumber);
}

QString FileErrorText(const QString &qtText)
{
    // Qt words a few errors in English whatever the locale, and takes the rest
    // from the system in the locale's language: both are looked for.
    for (const SystemError &error : SystemErrors) {
        const QString system = systemText(error.number);
        if (!system.isEmpty() && qtText.contains(system, Qt::CaseInsensitive))
            return QString::fromUtf8(error.japanese);
    }
    for (const QtError &error : QtErrors) {
        if (qtText.contains(QLatin1String(error.english), Qt::CaseInsensitive))
            return QString::fromUtf8(error.japanese);
    }
    if (qtText.isEmpty())
        return QStringLiteral("ファイルの読み書きに失敗しました。");
    return QStringLiteral("ファイルの読み書きに失敗しました（%1）。").arg(qtText);
}

} // namespace Common
