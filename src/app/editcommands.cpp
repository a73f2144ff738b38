#include "app/editcommands.h"

#include "about/frmabout.h"
#include "app/codewindow.h"
#include "app/editorbox.h"
#include "app/frmmain.h"
#include "app/maincontrols.h"
#include "connections/frmdb.h"
#include "settings/frmproperty.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QStatusBar>

namespace SQLEdit {
namespace {

// The dialogs open under the toolbar, at these buttons.
constexpr int FromConnectionButton = 5;
constexpr int FromPropertyButton = 17;

} // namespace

bool RunEditCommand(MainControls &ui, int index)
{
    QPlainTextEdit *editor = ui.txtWindow;
    QClipboard *clipboard = QGuiApplication::clipboard();
    const bool selected = editor->textCursor().hasSelection();
    switch (index) {
    case 0:
        clipboard->clear();
        if (selected)
            clipboard->setText(SelectedEditorText(editor));
        ui.window->UpdateEditButtons();
        break;
    case 1:
        clipboard->clear();
        if (selected) {
            clipboard->setText(SelectedEditorText(editor));
            editor->textCursor().removeSelectedText();
        }
        ui.window->UpdateEditButtons();
        ui.window->UpdateSaveButton();
        break;
    case 2:
        if (const QString text = clipboard->text(); !text.isEmpty())
            editor->insertPlainText(text);
        ui.window->UpdateEditButtons();
        ui.window->UpdateSaveButton();
        break;
    case 3:
        if (selected)
            editor->textCursor().removeSelectedText();
        ui.window->UpdateEditButtons();
        ui.window->UpdateSaveButton();
        break;
    case 5:
        ConvertToCodeWindow(ui);
        break;
    default:
        break;
    }
    return true;
}

bool RunSettingsCommand(MainControls &ui, int index)
{
    if (index == 0) {
        frmDB dialog(ui.window, ui.dialogPlacement(FromConnectionButton));
        QObject::connect(&dialog, &frmDB::confirmed, ui.staMsg, &QStatusBar::clearMessage);
        dialog.exec();
    } else if (index == 1) {
        frmProperty dialog(ui.window, ui.dialogPlacement(FromPropertyButton));
        dialog.exec();
    }
    return true;
}

bool RunHelpCommand(MainControls &ui, int index)
{
    if (index == 1) {
        frmAbout dialog(ui.window);
        dialog.exec();
    }
    return true;
}

} // namespace SQLEdit
