#include "app/standins.h"

#include "app/frmmain.h"
#include "app/globals.h"
#include "common/dialogs.h"
#include "convert/frmvb.h"

#include <QAction>

namespace SQLEdit {
namespace {

void notYetAvailable(frmMain &window, const QString &title)
{
    Common::Dialogs::instance().message(&window, QStringLiteral("この機能はまだ使えません。"),
                                        title, Common::Dialogs::Icon::Information);
}

} // namespace

bool CopyResultRows(frmMain &window)
{
    notYetAvailable(window, QStringLiteral("ｺﾋﾟｰ"));
    return true;
}

bool ToggleCodeWindow(frmMain &window, int index)
{
    frmVb *codeWindow = window.codeWindow();
    if (index != 0 || !codeWindow)
        return true;
    // The menu check, not the button, says which way the command goes.
    const bool show = !window.mnu_v[0]->isChecked();
    window.mnu_v[0]->setChecked(show);
    window.toolbarButton(frmMain::CodeWindowButton)->setChecked(show);
    codeWindow->setVisible(show);
    if (show)
        window.activateWindow();
    return true;
}

void ConvertToCodeWindow(frmMain &window)
{
    notYetAvailable(window, QStringLiteral("編集用ｳｨﾝﾄﾞｳへ"));
}

void ShowPropertyDialog(frmMain &window)
{
    notYetAvailable(window, QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ"));
}

void ShowAboutBox(frmMain &window)
{
    Common::Dialogs::instance().message(&window, BaseCaption, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"),
                                        Common::Dialogs::Icon::Information);
}

} // namespace SQLEdit
