#include "app/sqledit.h"

#include "app/frmmain.h"
#include "app/globals.h"

namespace SQLEdit {

std::unique_ptr<frmMain> Main()
{
    if (!InitGlobals())
        return nullptr;
    auto window = std::make_unique<frmMain>();
    window->show();
    return window;
}

} // namespace SQLEdit
