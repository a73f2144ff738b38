#pragma once

class frmMain;

/// Commands whose routines are still being built. Until they are, each tells
/// the user so in a message box.
namespace SQLEdit {

/// Copies the selected result rows to the clipboard (Ctrl+C in the result list).
bool CopyResultRows(frmMain &window);

} // namespace SQLEdit
