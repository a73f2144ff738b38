#pragma once

struct MainControls;

/// The Edit, Settings and Help commands of the main window, by item index.
namespace SQLEdit {

/// On the main window's editor, whichever control is active: 0 copies the
/// selection (emptying the clipboard first, so copying nothing empties it), 1
/// cuts, 2 pastes at the caret, 3 deletes the selection, 5 converts the SQL into
/// the code window. Other indexes do nothing. Returns true.
bool RunEditCommand(MainControls &ui, int index);

/// 0: the connection dialog; 1: the properties dialog. Returns true.
bool RunSettingsCommand(MainControls &ui, int index);

/// 1: the About box; 0 (Help) does nothing. Returns true.
bool RunHelpCommand(MainControls &ui, int index);

} // namespace SQLEdit
