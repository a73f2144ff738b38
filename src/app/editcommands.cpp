#include "app/editcommands.h"

#include "about/frmabout.h"
#include "app/editorbox.h"
#include "app/frmmain.h"
#include "connections/frmdb.h"
#include "convert/codewindow.h"
#include "settings/frmproperty.h"

#include <QClipboard>
#include <QGuiApplication>

namespace SQLEdit {

bool RunEditCommand(frmMain &window, int index)
{
    QPlainTextEdit *editor = window.txtWindow;
    QClipboard *clipboard = QGuiApplication::clipboard();
    const bool selected = editor->textCursor().hasSelection();
    switch (index) {
    case 0:
        clipboard->clear();
        if (selected)
            clipboard->setText(SelectedEditorText(editor));
        window.UpdateEditButtons();
        break;
    case 1:
        clipboard->clear();
        if (selected) {
            clipboard->setText(SelectedEditorText(editor));
            editor->textCursor().removeSelectedText();
        }
        window.UpdateEditButtons();
        window.UpdateSaveButton();
        break;
    case 2:
        if (const QString text = clipboard->text(); !text.isEmpty())
            editor->insertPlainText(text);
        window.UpdateEditButtons();
        window.UpdateSaveButton();
        break;
    case 3:
        if (selected)
            editor->textCursor().removeSelectedText();
        window.UpdateEditButtons();
        window.UpdateSaveButton();
        break;
    case 5:
        ConvertToCodeWindow(window);
        break;
    default:
        break;
    }
    return true;
}

bool RunSettingsCommand(frmMain &window, int index)
{
    if (index == 0) {
        frmDB dialog(window);
        dialog.exec();
    } else if (index == 1) {
        frmProperty dialog(window);
        dialog.exec();
    }
    return true;
}

bool RunHelpCommand(frmMain &window, int index)
{
    if (index == 1) {
        frmAbout dialog(&window);
        dialog.exec();
    }
    return true;
}

} // namespace SQLEdit
