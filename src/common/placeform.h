#pragma once

class QWidget;

namespace Common {

/// Moves a top-level window: first its top, then its left edge (twips, frame included).
void PlaceForm(QWidget *window, int top, int left);

} // namespace Common
