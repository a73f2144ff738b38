#pragma once

/// Geometry of the main window's stacked controls, in twips of its client area.
namespace MainLayout {

struct Rect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const Rect &) const = default;
};

/// What the layout reads: the client area, the heights of the fixed controls,
/// and the remembered editor height (0 until the first layout computes it).
struct Input
{
    int clientWidth = 0;
    int clientHeight = 0;
    int toolbarHeight = 0;
    int statusHeight = 0;
    int hintHeight = 0;
    int editorHeight = 0;
};

/// Where each control goes, and the editor height to remember.
struct Result
{
    Rect editor;
    Rect splitterGrip;
    Rect splitterBar;
    Rect resultList;
    int hintTop = 0;
    int hintLeft = 0;
    int editorHeight = 0;
};

inline constexpr int StackLeft = 15;
inline constexpr int SplitterHeight = 60;
inline constexpr int HintLeft = 60;
inline constexpr double FirstEditorShare = 0.62;

/// Stacks toolbar, editor, splitter grip, result list and status bar. The editor
/// keeps its remembered height; the result list takes what is left, never less than 0.
Result ArrangeControls(const Input &input);

} // namespace MainLayout
