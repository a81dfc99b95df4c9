// The hidden child window through which the 33 ms timer and the graph's
// events reach the library's event handler on the thread that made it.
#pragma once

#include "graph/graph_context.h"

namespace ksv::graph {

// The window (a child of `handle.parentWindow`) and its timer, with
// `handler` as the record's event handler; null when the window cannot be
// made (no parent, for one).
NotifyWindow* CreateNotifyWindow(QmgHandle& handle, EventHandler handler);

// Kills the timer, destroys the window and frees the record.
void DestroyNotifyWindow(NotifyWindow* notify);

}  // namespace ksv::graph
