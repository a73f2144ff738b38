#pragma once

struct MainControls;

/// The commands that show the code window: the View toggle and the conversion.
/// The window's visibility, the View menu's check and toolbar button 14 always
/// change together.
namespace SQLEdit {

/// Index 0 (View item 0 and toolbar button 14): hides the code window when the
/// View item is checked, otherwise places it beside the main window and shows
/// it, leaving the focus in the main window. The menu check, not the button,
/// decides. Other indexes change nothing. Returns true.
bool ToggleCodeWindow(MainControls &ui, int index);

/// Edit index 5: shows the code window (again) at its place beside the main
/// window and fills it with the code for the editor's selection, or for the
/// whole editor text when nothing is selected, under the current settings. The
/// focus goes back to the main window.
void ConvertToCodeWindow(MainControls &ui);

/// The code window was closed by the user or unloaded: the View item is
/// unchecked and button 14 released.
void CodeWindowClosed(MainControls &ui);

} // namespace SQLEdit
