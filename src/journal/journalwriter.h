#pragma once

#include "journal/journalfile.h"

#include <QObject>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace Journal {

/// Keeps a journal file up to date on a thread of its own, so that typing never
/// waits for the disk. The editor's text is mirrored there from the edits the
/// editor reports (a 50 MB text is never copied out of the editor per
/// keystroke); the file is rewritten a short moment after the first change that
/// it does not hold yet, so that it is never more than about a second behind.
class Writer : public QObject
{
    Q_OBJECT

public:
    /// How long after a change the file is written: the edits of that moment
    /// go into one write.
    static constexpr int DelayMilliseconds = 300;

    explicit Writer(const QString &path, QObject *parent = nullptr);
    /// Writes what the file does not hold yet, then ends the thread.
    ~Writer() override;

    QString path() const { return mPath; }

    /// The whole text, replacing the mirror (at the start, and whenever the
    /// mirror may no longer match the editor).
    void setText(const QString &text);
    /// An edit: `removed` characters at `position` replaced by `added`.
    void replace(qint32 position, qint32 removed, const QString &added);
    /// Everything in the snapshot but its text.
    void setDetails(const Snapshot &details);

    /// Waits until the file holds everything sent so far; false when the
    /// journal has failed.
    bool flush();
    /// Ends the thread without writing again (a normal exit removes the file).
    void stop();

signals:
    /// The file could not be written; the writer does nothing more. Emitted
    /// once, in the thread the writer belongs to.
    void failed(const QString &problem);

private:
    struct Edit
    {
        qint32 position = 0;
        qint32 removed = 0;
        QString added;
        bool whole = false; ///< `added` replaces the whole text
    };

    void run();

    const QString mPath;
    std::mutex mMutex;
    std::condition_variable mWake;
    std::condition_variable mWritten;
    std::vector<Edit> mEdits; // sent, not yet applied to the mirror
    Snapshot mDetails;        // the latest details sent
    quint64 mSent = 0;        // counts changes sent ...
    quint64 mSaved = 0;       // ... and the count that the file holds
    bool mFlushNow = false;
    bool mStopping = false;
    bool mFailed = false;
    std::thread mThread; // last: started once the members above exist
};

} // namespace Journal
