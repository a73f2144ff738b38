#include "files/filecommands.h"

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

void openFile(frmMain &window)
{
    using Common::Dialogs;
    const QString path = Dialogs::instance().openFileName(&window, OpenTitle,
                                                          Common::DocumentsDirectory(), FileFilter);
    if (path.isEmpty())
        return;
    try {
        Common::WaitCursor wait;
        FileIO::LoadTextFile(path, window.txtWindow);
    } catch (const Common::RuntimeError &error) {
        // A file that vanished or cannot be read ends the command quietly; one
        // that is not text is said to be so rather than shown as garbage.
        if (error.number() == Common::ErrBadFileFormat)
            Dialogs::instance().message(&window, NotTextMessage(path), OpenTitle,
                                        Dialogs::Icon::Warning);
        return;
    }
    window.UpdateEditButtons();
    window.UpdateSaveButton();
}

void saveFile(frmMain &window)
{
    using Common::Dialogs;
    const QString chosen = Dialogs::instance().saveFileName(
        &window, SaveTitle, Common::DocumentsDirectory(), FileFilter);
    if (chosen.isEmpty())
        return;
    // The chooser asked about the name as typed; a file under the extended name
    // is asked about here, so that no file is replaced unasked.
    const QString path = FileIO::SqlFileName(chosen);
    if (path != chosen && QFileInfo::exists(path)
        && !Dialogs::instance().question(
            &window, QStringLiteral("%1 は既に存在します。\n上書きしますか?").arg(path),
            SaveTitle)) {
        return;
    }

    QString text = SelectedEditorText(window.txtWindow);
    if (text.isEmpty())
        text = EditorText(window.txtWindow);
    try {
        FileIO::WriteTextToFile(text, path);
    } catch (const Common::RuntimeError &error) {
        Dialogs::instance().message(&window,
                                    QStringLiteral("ファイルを保存できませんでした。\n%1\n%2")
                                        .arg(path, error.description()),
                                    SaveTitle, Dialogs::Icon::Critical);
    }
}

void endTransaction(frmMain &window, bool commit)
{
    // On a lost connection the command fails every time, so that nothing ever
    // claims to have committed work the server has discarded.
    if (!DB::ConnectionLost() && (!DB::InTransaction() || !HasConnected || !UncommittedChanges()))
        return;
    try {
        const Connections::LiveWait wait;
        if (commit)
            DB::CommitTransaction();
        else
            DB::RollbackTransaction();
    } catch (const Common::RuntimeError &error) {
        window.staMsg->showMessage(error.description());
        if (error.number() == Engine::ErrConnectionLost
            && Connections::ReportLostConnection(&window, true))
            window.staMsg->showMessage(QStringLiteral("接続し直しました。"));
        // Otherwise the work is still pending: the user may try again.
        return;
    }
    window.staMsg->showMessage(commit ? QStringLiteral("コミットしました。")
                                      : QStringLiteral("ロールバックしました。"));
}

} // namespace

QString NotTextMessage(const QString &path)
{
    return QStringLiteral("%1\nは UTF-8 または Shift_JIS のテキストファイルではないため、"
                          "読み込めません。")
        .arg(path);
}

bool RunFileCommand(frmMain &window, int index)
{
    switch (index) {
    case 0:
        openFile(window);
        break;
    case 1:
        saveFile(window);
        break;
    case 3:
    case 4:
        endTransaction(window, index == 3);
        break;
    case 6:
        window.unloadFromCode();
        break;
    default:
        break;
    }
    return true;
}

} // namespace SQLEdit
