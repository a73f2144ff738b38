#include "journal/journalslot.h"

#include "common/common.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>

namespace Journal {
namespace {

const QString Prefix = QStringLiteral("journal-");
const QString Suffix = QStringLiteral(".kvj");

// A lock is taken over only when its holder no longer runs: never because it
// is old, as a copy may run for weeks.
std::unique_ptr<QLockFile> tryLock(const QString &path)
{
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

} // namespace

QString Slot::lockPath(const QString &journalPath)
{
    return journalPath.left(journalPath.size() - Suffix.size()) + QStringLiteral(".lock");
}

Slot::Slot(const QString &folder)
    : mFolder(folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        mProblem = QStringLiteral("%1 を作れません。").arg(QDir::toNativeSeparators(folder));
        return;
    }
    const QString name = Prefix + QString::number(QCoreApplication::applicationPid()) + '-'
                         + QString::number(QRandomGenerator::global()->generate(), 16) + Suffix;
    mPath = QDir(folder).filePath(name);
    mOwnLock = tryLock(lockPath(mPath));
    if (!mOwnLock)
        mProblem = QStringLiteral("%1 に書き込めません。").arg(QDir::toNativeSeparators(folder));
}

Slot::~Slot()
{
    mOrphanLock.reset(); // an orphan not dealt with stays for the next start
}

QString Slot::takeOrphan()
{
    if (!isOpen())
        return {};
    const QFileInfoList journals
        = QDir(mFolder).entryInfoList({Prefix + '*' + Suffix}, QDir::Files, QDir::Time);
    for (const QFileInfo &journal : journals) {
        const QString path = journal.absoluteFilePath();
        if (path == QFileInfo(mPath).absoluteFilePath())
            continue;
        std::unique_ptr<QLockFile> lock = tryLock(lockPath(path));
        if (!lock)
            continue; // its copy still runs
        mOrphanLock = std::move(lock);
        mOrphanPath = path;
        return path;
    }
    return {};
}

void Slot::discardOrphan()
{
    if (mOrphanPath.isEmpty())
        return;
    QFile::remove(mOrphanPath);
    mOrphanLock.reset(); // removes the lock file
    mOrphanPath.clear();
}

QString Slot::setOrphanAside()
{
    if (mOrphanPath.isEmpty())
        return {};
    const QString aside = Common::MoveAside(mOrphanPath);
    const QString kept = aside.isEmpty() ? mOrphanPath : aside;
    mOrphanLock.reset();
    mOrphanPath.clear();
    return kept;
}

void Slot::leaveOrphan()
{
    mOrphanLock.reset();
    mOrphanPath.clear();
}

void Slot::removeJournal()
{
    if (!isOpen())
        return;
    QFile::remove(mPath);
    mOwnLock.reset();
}

} // namespace Journal
