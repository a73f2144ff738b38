#include "app/mainlayout.h"

#include <cmath>

namespace MainLayout {

Result ArrangeControls(const Input &in)
{
    Result out;
    out.editorHeight = in.editorHeight;
    if (out.editorHeight == 0) // first layout: rounds halves to even
        out.editorHeight = int(std::nearbyint(in.clientHeight * FirstEditorShare));

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

} // namespace MainLayout
