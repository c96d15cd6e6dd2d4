#pragma once

// Dresses a list view for a glass card: no frame, no fill of its own (the
// delegate paints the rows), rows scrolled by the pixel, and a thin
// translucent vertical scroll bar while the rows overflow.
//
// Threads: the GUI thread.

class QListView;

namespace quiller {

void dressGlassListView(QListView* list);

} // namespace quiller
