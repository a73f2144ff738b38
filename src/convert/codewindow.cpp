#include "convert/codewindow.h"

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

void setShownState(frmMain &window, bool shown)
{
    window.mnu_v[0]->setChecked(shown);
    window.toolbarButton(frmMain::CodeWindowButton)->setChecked(shown);
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

void returnFocus(frmMain &window)
{
    window.activateWindow();
}

} // namespace

bool ToggleCodeWindow(frmMain &window, int index)
{
    frmVb *codeWindow = window.codeWindow();
    if (!codeWindow)
        return true;
    const CodeWindowPosition position = placeBeside(window, *codeWindow);
    if (index != 0)
        return true;

    if (window.mnu_v[0]->isChecked()) {
        window.mnu_v[0]->setChecked(false);
        codeWindow->hide();
        window.toolbarButton(frmMain::CodeWindowButton)->setChecked(false);
    } else {
        window.mnu_v[0]->setChecked(true);
        Common::PlaceForm(codeWindow, position.top, position.left);
        codeWindow->show();
        window.toolbarButton(frmMain::CodeWindowButton)->setChecked(true);
        returnFocus(window);
    }
    return true;
}

void ConvertToCodeWindow(frmMain &window)
{
    frmVb *codeWindow = window.codeWindow();
    if (!codeWindow)
        return;
    codeWindow->show();
    setShownState(window, true);
    const CodeWindowPosition position = placeBeside(window, *codeWindow);
    Common::PlaceForm(codeWindow, position.top, position.left);

    const QPlainTextEdit *editor = window.txtWindow;
    const QString source
        = editor->textCursor().hasSelection() ? SelectedEditorText(editor) : EditorText(editor);
    codeWindow->txtWindow->setPlainText(ConvertSql(source, CurrentConvertSettings()));

    returnFocus(window);
}

void CodeWindowClosed(frmMain &window)
{
    setShownState(window, false);
}

} // namespace SQLEdit
