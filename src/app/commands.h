#pragma once

#include <QString>

#include <array>
#include <optional>

/// The main window's command tables and button-state rules, as logic that needs
/// no window: which routine a toolbar button runs, and when the editing buttons,
/// the Save button and the Edit menu's items are enabled.
namespace SQLEdit {

/// The routine a menu item or toolbar button runs, with the index it passes.
struct Command
{
    enum Routine { None, File, Edit, CodeWindow, Settings, Help };
    Routine routine = None;
    int index = -1;

    friend bool operator==(const Command &, const Command &) = default;
};

/// Toolbar buttons by their index from 1; separators and unknown indexes run nothing.
Command ToolbarCommand(int button);

/// Buttons 8, 9 and 11 (copy, cut, delete), 10 (paste) and 13 (convert).
struct EditButtonStates
{
    bool copyCutDelete = false;
    bool paste = false;
    bool convert = false;
};

/// The editing buttons for an editor that is or is not the active control, with
/// or without a selection, over this text and this clipboard text.
EditButtonStates
EditButtonRule(bool editorActive, bool hasSelection, const QString &text, const QString &clipboard);

/// Save (button 2 and File item 1): the text is not empty once spaces are trimmed.
bool SaveEnabled(const QString &text);

/// Convert (button 13 and Edit item 5): the text is neither empty once spaces are
/// trimmed nor made only of line breaks and tabs.
bool ConvertEnabled(const QString &text);

/// The Edit menu's six items when it opens: a value where the item changes,
/// nothing where it keeps its state (item 4 is the separator).
using EditMenuStates = std::array<std::optional<bool>, 6>;

/// The Edit menu for the active control, named by its objectName: an editor
/// ("txt…") with its selection length and text, the result list ("lvw…"), or
/// anything else (no change).
EditMenuStates EditMenuRule(const QString &activeControl,
                            qsizetype selectionLength,
                            const QString &text,
                            const QString &clipboard);

} // namespace SQLEdit
