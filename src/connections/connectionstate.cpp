#include "connections/connectionstate.h"

namespace SQLEdit {

bool HasConnected = false;
QString BaseCaption;

} // namespace SQLEdit
