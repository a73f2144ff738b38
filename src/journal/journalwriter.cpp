#include "journal/journalwriter.h"

#include <chrono>

namespace Journal {

Writer::Writer(const QString &path, QObject *parent)
    : QObject(parent)
    , mPath(path)
    , mThread([this] { run(); })
{}

Writer::~Writer()
{
    {
        const std::lock_guard lock(mMutex);
        mStopping = true;
    }
    mWake.notify_all();
    if (mThread.joinable())
        mThread.join();
}

void Writer::setText(const QString &text)
{
    {
        const std::lock_guard lock(mMutex);
        mEdits.clear(); // the whole text makes every earlier edit moot
        mEdits.push_back({0, 0, text, true});
        ++mSent;
    }
    mWake.notify_all();
}

void Writer::replace(qint32 position, qint32 removed, const QString &added)
{
    {
        const std::lock_guard lock(mMutex);
        mEdits.push_back({position, removed, added, false});
        ++mSent;
    }
    mWake.notify_all();
}

void Writer::setDetails(const Snapshot &details)
{
    {
        const std::lock_guard lock(mMutex);
        const QString none;
        mDetails = details;
        mDetails.text = none; // the text comes from the edits alone
        ++mSent;
    }
    mWake.notify_all();
}

bool Writer::flush()
{
    std::unique_lock lock(mMutex);
    const quint64 wanted = mSent;
    mFlushNow = true;
    mWake.notify_all();
    mWritten.wait(lock, [&] { return mSaved >= wanted || mFailed || !mThread.joinable(); });
    return !mFailed && mSaved >= wanted;
}

void Writer::stop()
{
    {
        const std::lock_guard lock(mMutex);
        mStopping = true;
        mSent = mSaved; // nothing more is written
    }
    mWake.notify_all();
    if (mThread.joinable())
        mThread.join();
    mWritten.notify_all();
}

void Writer::run()
{
    QString mirror;
    std::unique_lock lock(mMutex);
    for (;;) {
        mWake.wait(lock, [&] { return mStopping || mSent > mSaved; });
        if (mSent == mSaved || mFailed)
            break; // stopping with nothing to write
        // A moment for more edits to come, unless someone waits for the file.
        if (!mStopping && !mFlushNow)
            mWake.wait_for(lock, std::chrono::milliseconds(DelayMilliseconds),
                           [&] { return mStopping || mFlushNow; });
        mFlushNow = false;
        std::vector<Edit> edits;
        edits.swap(mEdits);
        Snapshot snapshot = mDetails;
        const quint64 taken = mSent;
        lock.unlock();

        for (Edit &edit : edits) {
            if (edit.whole) {
                mirror = std::move(edit.added);
                continue;
            }
            // Positions past the end are cut to it; a mirror that no longer
            // matches the editor is sent whole again by the editor's side.
            const qsizetype position
                = qBound(qsizetype(0), qsizetype(edit.position), mirror.size());
            const qsizetype removed
                = qBound(qsizetype(0), qsizetype(edit.removed), mirror.size() - position);
            mirror.replace(position, removed, edit.added);
        }
        snapshot.text = mirror;
        QString problem;
        const bool written = WriteFile(mPath, snapshot, &problem);
        snapshot = {}; // the mirror is the text's only holder again: edits need no copy

        lock.lock();
        if (written) {
            mSaved = taken;
        } else {
            mFailed = true;
            QMetaObject::invokeMethod(
                this, [this, problem] { emit failed(problem); }, Qt::QueuedConnection);
        }
        mWritten.notify_all();
        if (mFailed)
            break;
    }
    mWritten.notify_all();
}

} // namespace Journal
