#include "app/standins.h"

#include "app/frmmain.h"
#include "common/dialogs.h"

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

} // namespace SQLEdit
