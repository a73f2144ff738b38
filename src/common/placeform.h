#pragma once

class QWidget;

namespace Common {

/// Moves a top-level window: first its top, then its left edge (twips, frame included).
void PlaceForm(QWidget *window, int top, int left);

/// Places a control in its parent at a rectangle in twips. Edges are converted,
/// not sizes, so that stacked controls meet without gaps.
void PlaceControl(QWidget *control, int left, int top, int width, int height);

} // namespace Common
