#include "app/filecommands.h"

#include "app/editorbox.h"
#include "app/frmmain.h"
#include "app/globals.h"
#include "common/appdir.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/waitcursor.h"
#include "connections/pendingwork.h"
#include "engine/errors.h"
#include "files/loadtextfile.h"
#include "files/textfiles.h"
#include "oracle/db.h"

#include <QFileInfo>
#include <QStatusBar>

namespace SQLEdit {
namespace {

const QString FileFilter = QStringLiteral("SQLﾌｧｲﾙ (*.sql *.txt)");
const QString OpenTitle = QStringLiteral("ファイルを開く");
const QString SaveTitle = QStringLiteral("ファイルを保存する");

void openFile(MainControls &ui)
{
    using Common::Dialogs;
    const QString path = Dialogs::instance().openFileName(ui.window, OpenTitle,
                                                          Common::DocumentsDirectory(), FileFilter);
    if (path.isEmpty())
        return;
    try {
        Common::WaitCursor wait;
        QString encoding;
        FileIO::LoadTextFile(path, ui.txtWindow, &encoding);
        ui.window->SourceFileChanged(path, encoding);
    } catch (const Common::RuntimeError &error) {
        // A file that vanished or cannot be read ends the command quietly; one
        // that is not text is said to be so rather than shown as garbage.
        if (error.number() == Common::ErrBadFileFormat)
            Dialogs::instance().message(ui.window, FileIO::NotTextMessage(path), OpenTitle,
                                        Dialogs::Icon::Warning);
        return;
    }
    ui.window->UpdateEditButtons();
    ui.window->UpdateSaveButton();
}

void saveFile(MainControls &ui)
{
    using Common::Dialogs;
    const QString chosen = Dialogs::instance().saveFileName(
        ui.window, SaveTitle, Common::DocumentsDirectory(), FileFilter);
    if (chosen.isEmpty())
        return;
    // The chooser asked about the name as typed; a file under the extended name
    // is asked about here, so that no file is replaced unasked.
    const QString path = FileIO::SqlFileName(chosen);
    if (path != chosen && QFileInfo::exists(path)
        && !Dialogs::instance().question(
            ui.window, QStringLiteral("%1 は既に存在します。\n上書きしますか?").arg(path),
            SaveTitle)) {
        return;
    }

    QString text = SelectedEditorText(ui.txtWindow);
    if (text.isEmpty())
        text = EditorText(ui.txtWindow);
    try {
        FileIO::WriteTextToFile(text, path);
        ui.window->SourceFileChanged(path, QStringLiteral("UTF-8"));
    } catch (const Common::RuntimeError &error) {
        Dialogs::instance().message(ui.window,
                                    QStringLiteral("ファイルを保存できませんでした。\n%1\n%2")
                                        .arg(path, error.description()),
                                    SaveTitle, Dialogs::Icon::Critical);
    }
}

void endTransaction(MainControls &ui, bool commit)
{
    // On a lost connection the command fails every time, so that nothing ever
    // claims to have committed work the server has discarded.
    if (!DB::ConnectionLost()
        && (!DB::InTransaction() || !HasConnected || !DB::UncommittedChanges()))
        return;
    try {
        const Connections::LiveWait wait;
        if (commit)
            DB::CommitTransaction();
        else
            DB::RollbackTransaction();
    } catch (const Common::RuntimeError &error) {
        ui.staMsg->showMessage(error.description());
        if (error.number() == Engine::ErrConnectionLost
            && Connections::ReportLostConnection(ui.window, true))
            ui.staMsg->showMessage(QStringLiteral("接続し直しました。"));
        // Otherwise the work is still pending: the user may try again.
        return;
    }
    ui.staMsg->showMessage(commit ? QStringLiteral("コミットしました。")
                                  : QStringLiteral("ロールバックしました。"));
}

} // namespace

bool RunFileCommand(MainControls &ui, int index)
{
    switch (index) {
    case 0:
        openFile(ui);
        break;
    case 1:
        saveFile(ui);
        break;
    case 3:
    case 4:
        endTransaction(ui, index == 3);
        break;
    case 6:
        ui.window->unloadFromCode();
        break;
    default:
        break;
    }
    return true;
}

} // namespace SQLEdit
