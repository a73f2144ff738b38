#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

struct MainControls;
class frmHistory;

namespace History {
class Store;
}
namespace SQLEdit {
struct StatementOutcome;
}

/// The statement history as the main window uses it: opened at start, told
/// of every statement as it starts and ends, given the editor's text at a
/// normal exit, and shown in the history window, which puts a chosen
/// statement into the editor.
class StatementHistory : public QObject
{
    Q_OBJECT

public:
    explicit StatementHistory(MainControls &ui);
    ~StatementHistory() override;

    /// Opens history.db in the data folder, keeping as many records as
    /// CONFIG.ini's [HISTORY] KEEP says (100,000 when it says nothing).
    void open();

    void statementStarting(const QString &text);
    void statementEnded(const SQLEdit::StatementOutcome &outcome);
    /// Keeps the editor's text as the newest draft.
    void addDraft(const QString &text);

    /// Shows the history window (created on first use).
    void showWindow();

    History::Store &store() { return *mStore; }

private:
    void turnedOff(const QString &problem);

    MainControls &ui;
    std::unique_ptr<History::Store> mStore;
    QPointer<frmHistory> mWindow;
    qint64 mRunning = 0; // the record of the statement that runs
};
