#pragma once

#include "journal/journalfile.h"

#include <QString>

#include <memory>
#include <optional>

class QLockFile;

namespace Journal {

/// This copy's journal file in the data folder, and the journals that copies
/// which ended abnormally left behind. Each copy holds a lock beside its own
/// journal for as long as it runs, so a journal whose lock nobody holds belongs
/// to a copy that is gone; the journals of copies still running are never
/// touched.
class Slot
{
public:
    /// Takes a journal name of its own in the folder. isOpen() is false, with
    /// problem() saying why, when the folder cannot hold it.
    explicit Slot(const QString &folder);
    ~Slot();
    Slot(const Slot &) = delete;
    Slot &operator=(const Slot &) = delete;

    bool isOpen() const { return mOwnLock != nullptr; }
    QString problem() const { return mProblem; }
    QString journalPath() const { return mPath; }

    /// The path of a journal left by a copy that no longer runs, the newest
    /// first; it stays locked by this copy until it is discarded, set aside or
    /// left. Empty when there is none.
    QString takeOrphan();
    /// The orphan has been restored (and journalled again here): its file goes.
    void discardOrphan();
    /// A damaged orphan is kept under another name, never deleted; returns it.
    QString setOrphanAside();
    /// An orphan this copy cannot read (from a newer version) is left as it is.
    void leaveOrphan();

    /// A normal end: this copy's journal is removed.
    void removeJournal();

    /// The lock file that guards a journal.
    static QString lockPath(const QString &journalPath);

private:
    QString mFolder;
    QString mPath;
    QString mProblem;
    std::unique_ptr<QLockFile> mOwnLock;
    QString mOrphanPath;
    std::unique_ptr<QLockFile> mOrphanLock;
};

} // namespace Journal
