#pragma once

#include <QLockFile>
#include <QString>

namespace Common {

/// Holds the lock of a file shared by every running Korvane (a file beside it, its
/// name followed by ".lock") for as long as it lives, so that the read, change and
/// write of CONFIG.ini or DB.ini by one program is never interleaved with another's.
/// A lock left by a program that ended without releasing it is taken over.
class FileLock
{
public:
    /// Waits at most timeoutMs for another program to finish with the file.
    explicit FileLock(const QString &path, int timeoutMs = 5000);
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool isLocked() const { return mLock.isLocked(); }
    /// Why the lock was not taken, for a message.
    QString errorString() const;

private:
    QLockFile mLock;
};

} // namespace Common
