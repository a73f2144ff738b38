#include "app/mainlayout.h"

#include <algorithm>
#include <cmath>

namespace MainLayout {

Result ArrangeControls(const Input &in)
{
    Result out;
    // First layout: rounds halves to even.
    out.editorHeight
        = in.editorHeight.value_or(int(std::nearbyint(in.clientHeight * FirstEditorShare)));

    out.editor = {StackLeft, in.toolbarHeight, in.clientWidth, out.editorHeight};

    const int gripTop = in.toolbarHeight + out.editor.height;
    out.splitterGrip = {StackLeft, gripTop, in.clientWidth, SplitterHeight};
    out.splitterBar = out.splitterGrip;

    const int listHeight = in.clientHeight - out.editor.height - out.splitterGrip.height
                           - in.statusHeight - in.toolbarHeight;
    out.resultList = {StackLeft, in.toolbarHeight + out.splitterGrip.height + out.editor.height,
                      in.clientWidth, listHeight >= 0 ? listHeight : 0};

    out.hintTop = in.clientHeight - in.statusHeight - in.hintHeight;
    out.hintLeft = HintLeft;
    return out;
}

SplitterRange SplitterLimits(const Input &in)
{
    return {in.toolbarHeight, in.clientHeight - (in.statusHeight + SplitterHeight + in.hintHeight)};
}

int SplitterBarTop(int barTop, int gripTop, double mouseY, const SplitterRange &limits)
{
    if (limits.isEmpty())
        return barTop;
    return std::clamp(int(std::lround(gripTop + mouseY)), limits.top, limits.bottom);
}

Result ReleaseSplitter(const Input &in, int barTop)
{
    Input released = in;
    released.editorHeight = barTop - in.toolbarHeight;
    return ArrangeControls(released);
}

} // namespace MainLayout
