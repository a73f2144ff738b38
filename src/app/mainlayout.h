#pragma once

#include <optional>

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
/// and the remembered editor height (none until the first layout computes it;
/// 0 is a height like any other, which a drag may leave).
struct Input
{
    int clientWidth = 0;
    int clientHeight = 0;
    int toolbarHeight = 0;
    int statusHeight = 0;
    int hintHeight = 0;
    std::optional<int> editorHeight;
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

/// Where the splitter bar's top may go while it is dragged: from the toolbar's
/// bottom edge (no editor left) down to where the result list keeps the hint's
/// height. Empty when the client area is too low for both.
struct SplitterRange
{
    int top = 0;
    int bottom = 0;

    bool isEmpty() const { return bottom < top; }
    bool operator==(const SplitterRange &) const = default;
};

SplitterRange SplitterLimits(const Input &input);

/// The bar's top with the mouse mouseY twips below the grip's top edge (negative
/// above it): the mouse's position, held within the limits, so that a quick
/// drag past a limit still ends on it. With no room at all the bar stays at barTop.
int SplitterBarTop(int barTop, int gripTop, double mouseY, const SplitterRange &limits);

/// The layout once the splitter is released with its bar at barTop: the editor
/// ends at the bar, and later layouts keep that editor height.
Result ReleaseSplitter(const Input &input, int barTop);

} // namespace MainLayout
