#include "connections/initialconnection.h"

namespace SQLEdit {

bool OpenInitialConnection()
{
    // No saved connections are kept yet: nothing to open.
    return false;
}

} // namespace SQLEdit
