#include "app/statementhistory.h"

#include "app/editorbox.h"
#include "app/frmmain.h"
#include "app/maincontrols.h"
#include "common/appdir.h"
#include "common/dialogs.h"
#include "exec/executionview.h"
#include "history/frmhistory.h"
#include "history/historystore.h"
#include "oracle/db.h"
#include "settings/privateprofile.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QLineEdit>

namespace {

const QString HistoryFile = QStringLiteral("history.db");

} // namespace

StatementHistory::StatementHistory(MainControls &controls)
    : ui(controls)
    , mStore(std::make_unique<History::Store>())
{}

StatementHistory::~StatementHistory()
{
    delete mWindow;
}

void StatementHistory::open()
{
    // A folder of its own keeps the database with its companion files.
    const QString folder = Common::DataSubfolder(QStringLiteral("history"));
    if (folder.isEmpty())
        return; // no data folder: said when the program starts
    const QString path = QDir(folder).filePath(HistoryFile);
    const qint32 keep
        = PrivateProfile::readInt(FileIO::SettingsFilePath(), QStringLiteral("HISTORY"),
                                  QStringLiteral("KEEP"), qint32(History::Store::DefaultKeep));
    mStore->setFailureHandler([this](const QString &problem) { turnedOff(problem); });
    if (!mStore->open(path, qMax(1, keep)))
        turnedOff(mStore->problem());
}

void StatementHistory::statementStarting(const QString &text)
{
    mRunning = mStore->recordStart({text, DB::CurrentServerName(), DB::CurrentUserId()});
}

void StatementHistory::statementEnded(const SQLEdit::StatementOutcome &outcome)
{
    mStore->recordEnd(mRunning, {outcome.elapsedMs, outcome.rows, outcome.outcome, outcome.error});
    mRunning = 0;
    if (mWindow && mWindow->isVisible())
        mWindow->refresh();
}

void StatementHistory::addDraft(const QString &text)
{
    mStore->addDraft(text);
}

void StatementHistory::showWindow()
{
    if (!mWindow) {
        mWindow = new frmHistory(*mStore, ui.window);
        connect(mWindow, &frmHistory::statementChosen, this, [this](const QString &text) {
            // Into the editor in place of its selection, as a typed text would
            // go; never run.
            if (ui.window->isRunning())
                return;
            QTextCursor cursor = ui.txtWindow->textCursor();
            cursor.insertText(text); // CR LF is one line end to the editor
            ui.txtWindow->setTextCursor(cursor);
            ui.window->activateWindow();
            ui.txtWindow->setFocus();
        });
    }
    mWindow->refresh();
    mWindow->show();
    mWindow->raise();
    mWindow->activateWindow();
    mWindow->txtSearch->setFocus();
    mWindow->txtSearch->selectAll();
}

void StatementHistory::turnedOff(const QString &problem)
{
    Common::Dialogs::instance().message(
        ui.window, QStringLiteral("文の履歴は、この実行中は記録されません。\n%1").arg(problem),
        QStringLiteral("履歴"), Common::Dialogs::Icon::Warning);
}
