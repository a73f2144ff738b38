#include "app/codewindow.h"

#include "app/editorbox.h"
#include "app/frmmain.h"
#include "common/common.h"
#include "common/placeform.h"
#include "convert/converter.h"
#include "convert/frmvb.h"
#include "convert/placement.h"

#include <QAction>
#include <QScreen>

using Common::PixelsToTwips;

namespace SQLEdit {
namespace {

void setShownState(MainControls &ui, bool shown)
{
    ui.mnu_v[0]->setChecked(shown);
    ui.toolbarButton(MainControls::CodeWindowButton)->setChecked(shown);
}

CodeWindowPosition placeBeside(const frmMain &window, const frmVb &codeWindow)
{
    const QRect frame = window.frameGeometry();
    const QScreen *screen = window.screen();
    const QRect screenArea = screen ? screen->geometry() : QRect();
    CodeWindowPlacementInput in;
    in.mainLeft = PixelsToTwips(frame.x());
    in.mainTop = PixelsToTwips(frame.y());
    in.mainWidth = PixelsToTwips(frame.width());
    in.mainMaximized = window.isMaximized();
    in.codeWidth = PixelsToTwips(codeWindow.frameGeometry().width());
    in.screenRight = PixelsToTwips(screenArea.x() + screenArea.width());
    return CodeWindowPlacement(in);
}

void returnFocus(MainControls &ui)
{
    ui.window->activateWindow();
}

} // namespace

bool ToggleCodeWindow(MainControls &ui, int index)
{
    frmVb *codeWindow = ui.codeWindow;
    if (!codeWindow)
        return true;
    const CodeWindowPosition position = placeBeside(*ui.window, *codeWindow);
    if (index != 0)
        return true;

    if (ui.mnu_v[0]->isChecked()) {
        ui.mnu_v[0]->setChecked(false);
        codeWindow->hide();
        ui.toolbarButton(MainControls::CodeWindowButton)->setChecked(false);
    } else {
        ui.mnu_v[0]->setChecked(true);
        Common::PlaceForm(codeWindow, position.top, position.left);
        codeWindow->show();
        ui.toolbarButton(MainControls::CodeWindowButton)->setChecked(true);
        returnFocus(ui);
    }
    return true;
}

void ConvertToCodeWindow(MainControls &ui)
{
    frmVb *codeWindow = ui.codeWindow;
    if (!codeWindow)
        return;
    codeWindow->show();
    setShownState(ui, true);
    const CodeWindowPosition position = placeBeside(*ui.window, *codeWindow);
    Common::PlaceForm(codeWindow, position.top, position.left);

    const QPlainTextEdit *editor = ui.txtWindow;
    const QString source
        = editor->textCursor().hasSelection() ? SelectedEditorText(editor) : EditorText(editor);
    codeWindow->txtWindow->setPlainText(ConvertSql(source, CurrentConvertSettings()));

    returnFocus(ui);
}

void CodeWindowClosed(MainControls &ui)
{
    setShownState(ui, false);
}

} // namespace SQLEdit
