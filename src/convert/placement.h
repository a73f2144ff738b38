#pragma once

/// Where the code window goes when it is shown: beside the main window.
namespace SQLEdit {

/// The main window's frame and the code window's width, in twips.
struct CodeWindowPlacementInput
{
    double mainLeft = 0;
    double mainTop = 0;
    double mainWidth = 0;
    bool mainMaximized = false;
    double codeWidth = 0;
    double screenRight = 0; ///< the right edge of the screen: its width when it starts at 0
};

struct CodeWindowPosition
{
    int top = 0;
    int left = 0;

    friend bool operator==(const CodeWindowPosition &, const CodeWindowPosition &) = default;
};

/// To the right of the main window, touching it, when the code window fits on
/// the screen there and the main window is not maximised; otherwise inside the
/// main window against its right edge. Always level with the main window's top.
CodeWindowPosition CodeWindowPlacement(const CodeWindowPlacementInput &in);

} // namespace SQLEdit
