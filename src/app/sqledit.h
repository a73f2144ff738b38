#pragma once

#include <memory>

class frmMain;

namespace SQLEdit {

/// Start-up: resets the program-wide flags and shows the main window, which the
/// caller keeps for the life of the event loop. Returns nullptr if start-up fails.
std::unique_ptr<frmMain> Main();

} // namespace SQLEdit
