#pragma once

struct MainControls;

namespace SQLEdit {

/// Wires the editor's SQL aids to the main window: find, replace, find next
/// and previous at the end of the Edit menu; the line numbers' switch at the
/// end of the View menu, kept in CONFIG.ini; and a note in the status bar
/// while the text is too long to be coloured.
void InstallEditorAids(MainControls &ui);

/// Whether CONFIG.ini asks for line numbers (the default), and keeping the choice.
bool LineNumbersWanted();
void KeepLineNumbersWanted(bool wanted);

} // namespace SQLEdit
