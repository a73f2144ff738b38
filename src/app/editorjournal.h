#pragma once

#include "journal/journalfile.h"

#include <QObject>

#include <memory>
#include <thread>

struct MainControls;

namespace Journal {
class Slot;
class Writer;
} // namespace Journal

/// Keeps the editor's journal while the program runs: the text, the caret and
/// selection, the file the text came from, and the work pending on the
/// connection. At start it puts back the editor of a copy that ended without
/// closing, and says what the server undid of that copy's pending work.
class EditorJournal : public QObject
{
    Q_OBJECT

public:
    explicit EditorJournal(MainControls &ui);
    /// A normal end: the journal is removed; nothing is restored next time.
    ~EditorJournal() override;

    /// Takes this copy's journal in the data folder and restores the newest
    /// journal that a copy which ended abnormally left behind.
    void start();

    /// The file the editor's text was read from or saved to.
    void setSource(const QString &path, const QString &encoding);

    /// A statement runs, and has ended: the journal follows the statements
    /// that ran in the pending transaction.
    void statementStarting();
    void statementEnded(const QString &text, bool query);
    /// The connection's state changed (a commit, a rollback, a new connection).
    void connectionStateChanged();

    /// Waits until the journal file holds the editor as it is now; false when
    /// the journal is off.
    bool flush();
    /// This copy's journal file; empty when the journal is off.
    QString path() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void beginJournalling();
    void contentsChanged(int position, int removed, int added);
    void sendDetails();
    void turnOff(const QString &problem);
    void orphanRead(const Journal::ReadResult &read, const QString &path);
    void restoreStep(const Journal::Snapshot &snapshot, qsizetype done);
    void restored(const Journal::Snapshot &snapshot);

    MainControls &ui;
    std::unique_ptr<Journal::Slot> mSlot;
    std::unique_ptr<Journal::Writer> mWriter;
    Journal::Snapshot mDetails;
    qsizetype mLength = 0;    // the editor's length as the journal's edits make it
    bool mWorkBefore = false; // work was pending when the running statement started
    QString mLargeOrphan;     // a journal to read once the window is up
    std::thread mReader;      // reads it
};
