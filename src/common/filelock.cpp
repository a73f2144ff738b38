#include "common/filelock.h"

namespace Common {

FileLock::FileLock(const QString &path, int timeoutMs)
    : mLock(path + QStringLiteral(".lock"))
{
    // A write takes milliseconds: a lock older than this is one nobody holds.
    mLock.setStaleLockTime(10000);
    mLock.tryLock(timeoutMs);
}

QString FileLock::errorString() const
{
    switch (mLock.error()) {
    case QLockFile::NoError:
        return QString();
    case QLockFile::LockFailedError:
        return QStringLiteral("別の Korvane がファイルに書き込んでいます。");
    case QLockFile::PermissionError:
        return QStringLiteral("フォルダに書き込めません。");
    case QLockFile::UnknownError:
        break;
    }
    return QStringLiteral("ファイルをロックできません。");
}

} // namespace Common
