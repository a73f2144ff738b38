#pragma once

struct MainControls;

namespace SQLEdit {

/// The File menu's commands by item index: 0 opens a SQL file into the editor at
/// its caret, 1 saves the editor's selection or whole text, 3 commits and 4 rolls
/// back (only while a transaction holds changes), 6 closes the main window.
/// Other indexes do nothing. Returns true.
///
/// Opening stays silent when the file cannot be read, but says so when it is not
/// text; a save that fails says which file and why, and the old file stays whole.
bool RunFileCommand(MainControls &ui, int index);

} // namespace SQLEdit
