#include "convert/placement.h"

#include <cmath>

namespace SQLEdit {

CodeWindowPosition CodeWindowPlacement(const CodeWindowPlacementInput &in)
{
    // The sum is compared in single precision, as the window positions are kept.
    const float rightEdge = float(in.mainLeft + in.mainWidth + in.codeWidth);
    const bool besideFits = !(rightEdge > in.screenRight) && !in.mainMaximized;
    const double left
        = besideFits ? in.mainLeft + in.mainWidth : in.mainLeft + in.mainWidth - in.codeWidth;
    // Halves go to the even neighbour.
    return {int(std::nearbyint(in.mainTop)), int(std::nearbyint(left))};
}

} // namespace SQLEdit
