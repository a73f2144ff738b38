#pragma once

struct MainControls;

namespace SQLEdit {

/// Puts the result list's selected rows on the clipboard as plain text, written
/// as the copy settings say (read at each call), and reports in the status bar
/// how many rows were copied. With nothing to copy the clipboard is left empty
/// and the status bar unchanged. Returns true.
bool CopyResultRows(MainControls &ui);

} // namespace SQLEdit
