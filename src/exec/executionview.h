#pragma once

#include <QString>

class QWidget;

namespace SQLEdit {

class ResultModel;

/// How a statement's run ended, for the history.
struct StatementOutcome
{
    qint64 elapsedMs = 0; ///< from just before it was sent to the end of the fill
    qint64 rows = -1;     ///< the rows listed; -1 for a statement without rows
    QString outcome;      ///< "実行", "取得", "中止", "エラー" or "切断"
    QString error;        ///< the message the user was shown; empty when none
};

/// What running a statement needs of the window that shows it. The main window
/// implements it; the statement's run and the fill of the result list know
/// nothing else of the window.
class ExecutionView
{
public:
    virtual ~ExecutionView() = default;

    /// The statement to run: the editor's selection, or its whole text when
    /// nothing is selected, with CR LF between lines.
    virtual QString statementText() const = 0;

    /// True while a statement runs: the commands are disabled, the focus is on
    /// the window (so that Esc reaches it) and the Esc hint stands in place of
    /// the result list. False gives the commands, the list and the editor's
    /// focus back.
    virtual void setRunning(bool running) = 0;
    virtual bool isRunning() const = 0;

    /// The status bar's text; an empty text clears it.
    virtual QString statusText() const = 0;
    virtual void setStatusText(const QString &text) = 0;

    /// The result list's column headers, hidden for a result without rows.
    virtual void setHeaderVisible(bool visible) = 0;
    /// The rows and columns the result list shows.
    virtual ResultModel &resultModel() = 0;

    /// The window that message boxes and questions belong to.
    virtual QWidget *dialogParent() = 0;

    /// Told just before a statement goes to the server, and once when its run
    /// has ended however it ended, so that every statement can be kept, even
    /// one whose run the program does not survive. The text is the statement
    /// as typed.
    virtual void statementStarting(const QString &text) { Q_UNUSED(text); }
    virtual void statementEnded(const StatementOutcome &outcome) { Q_UNUSED(outcome); }
};

} // namespace SQLEdit
