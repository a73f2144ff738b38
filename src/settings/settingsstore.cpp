#include "settings/settingsstore.h"

namespace FileIO {

void InitSettings() {}

} // namespace FileIO
