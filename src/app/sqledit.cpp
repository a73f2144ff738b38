#include "app/sqledit.h"

#include "app/frmmain.h"
#include "app/globals.h"
#include "engine/servers.h"

namespace SQLEdit {

std::unique_ptr<frmMain> Main()
{
    if (!InitGlobals())
        return nullptr;
    // First start: a server list with a ready demo database, so the user can
    // connect and query at once. A folder that cannot be written is no reason to stop.
    Engine::CreateServersFileIfMissing();
    auto window = std::make_unique<frmMain>();
    window->show();
    return window;
}

} // namespace SQLEdit
