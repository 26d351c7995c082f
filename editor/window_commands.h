// The Window menu's arrangements of the document windows inside the MDI area. Minimised windows
// keep their place in the tilings and are lined up along the bottom by ArrangeChildren.
#pragma once

class QMdiArea;

namespace movinta::editor {

// Mode 0: the windows side by side (one column each; a grid past three); 1: one above the other.
void TileChildren(QMdiArea& area, int mode);
void CascadeChildren(QMdiArea& area);
void MinimizeAllChildren(QMdiArea& area);
// Lines the minimised windows up along the bottom edge, left to right, in window order.
void ArrangeChildren(QMdiArea& area);

}  // namespace movinta::editor
