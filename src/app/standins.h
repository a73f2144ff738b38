#pragma once

class frmMain;

/// Commands whose windows and routines are still being built. Until they are,
/// each tells the user so in a message box (the code window is shown and hidden).
namespace SQLEdit {

/// Copies the selected result rows to the clipboard (Ctrl+C in the result list).
bool CopyResultRows(frmMain &window);
/// Shows or hides the code window (index 0); other indexes change nothing.
bool ToggleCodeWindow(frmMain &window, int index);
/// Turns the editor's SQL into program code in the code window.
void ConvertToCodeWindow(frmMain &window);
void ShowPropertyDialog(frmMain &window);
void ShowAboutBox(frmMain &window);

} // namespace SQLEdit
