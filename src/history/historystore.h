#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

/// The statement history: every statement that runs, and the editor's last text
/// at each normal exit, kept in a SQLite database of the data folder with a
/// full-text index. Several copies of the program may write to one file at once.
namespace History {

/// What is known of a statement just before it runs.
struct RunStart
{
    QString text;   ///< the statement as typed
    QString server; ///< the connection's server name; empty when not connected
    QString user;   ///< the connection's user ID
    QDateTime started = QDateTime::currentDateTime();
};

/// How a run ended.
struct RunEnd
{
    qint64 elapsedMs = 0;
    qint64 rows = -1; ///< rows shown for a query; -1 for a statement without rows
    QString outcome;  ///< in a word: "実行", "取得", "中止", "エラー", "切断"
    QString error;    ///< the error's message; empty when none
};

/// One line of the history window: every run of one text, grouped.
struct Entry
{
    qint64 textId = 0;
    QString head;       ///< the start of the text, enough for a line of the list
    qint64 runs = 0;    ///< how often it ran (drafts count as runs)
    QDateTime lastRun;
    QString server;     ///< of the last run
    QString user;
    QString outcome;    ///< of the last run ("下書き" for an editor draft)
    QString error;      ///< of the last run
    qint64 rows = -1;   ///< of the last run
    qint64 elapsedMs = -1; ///< of the last run; -1 while it runs or never ended
};

class Store
{
public:
    Store();
    ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    /// Opens (creating when missing) the history at path, keeping the newest
    /// `keep` records. False when the history cannot be used: problem() says
    /// why, in words for the user. A damaged file is moved aside (never
    /// deleted) and the problem names where it went.
    bool open(const QString &path, qint64 keep = DefaultKeep);
    bool isOpen() const;
    QString problem() const;

    /// Called once when a later call finds the file unusable (damaged, locked,
    /// disk full, read-only): the store is then closed for the rest of the run
    /// and the callback gets problem().
    void setFailureHandler(std::function<void(const QString &)> handler);

    /// Records a statement before it runs; returns its record's id, 0 when the
    /// history is off.
    qint64 recordStart(const RunStart &run);
    /// Completes the record made by recordStart; nothing for id 0.
    void recordEnd(qint64 id, const RunEnd &end);
    /// Keeps the editor's text as a draft (at a normal exit).
    void addDraft(const QString &text, const QDateTime &when = QDateTime::currentDateTime());

    /// The newest groups first; `words` separated by blanks must all occur in
    /// the text (letter case aside). An empty search lists everything.
    QList<Entry> search(const QString &words, int limit = 1000) const;
    /// The whole text of a group.
    QString text(qint64 textId) const;
    /// Deletes a group: every record of that text.
    bool remove(qint64 textId);

    static constexpr qint64 DefaultKeep = 100000;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace History
