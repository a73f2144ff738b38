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
        return QStringLiteral("another Korvane is writing the file");
    case QLockFile::PermissionError:
        return QStringLiteral("the folder cannot be written");
    case QLockFile::UnknownError:
        break;
    }
    return QStringLiteral("the file cannot be locked");
}

} // namespace Common
