// The routines every build shares: finding and creating filters into the
// handle's graph, connecting two filters pin to pin, the FilterList,
// recording the graph's filters, attaching the run controls and the event
// notification, the file writer, the event dispatch and the teardown.
#pragma once

#include <cstdint>
#include <string>

#include "graph/graph_context.h"

namespace ksv::graph {

// Friendly names longer than this never match (the name is read into a
// 120-byte buffer).
inline constexpr size_t kFriendlyNameMax = 119;

// A fresh context: a filter graph and a capture graph builder set to it;
// null when either cannot be made.
GraphContext* CreateGraphContext();

// Appends {kind, filter} to the FilterList. A nonzero kind hands the entry
// the caller's reference; when the list is full that reference is released
// and the result is false. Kind 0 takes no reference (and a full list
// records nothing).
bool AppendFilter(GraphContext& context, int32_t kind, IBaseFilter* filter);

// The first filter of `category` whose FriendlyName is `name` (for a video
// compressor with useVexel5 set, also the first whose name contains
// "Vexel" and "5"), added to the graph. `listed`: the FilterList owns the
// reference and the result is borrowed; otherwise the caller owns it.
// Null when none matches, the list is full or AddFilter fails.
IBaseFilter* FindFilterByFriendlyName(GraphContext& context, REFCLSID category, const char* name,
                                      int32_t kind, bool listed);

// The same for a filter made from its class identifier.
IBaseFilter* CreateFilter(GraphContext& context, REFCLSID clsid, int32_t kind, bool listed);

// Connects a free output pin of `upstream` to a free input pin of
// `downstream` directly, trying the output's own media types in order
// (QueryAccept, then Connect); no filter is ever put in between.
bool ConnectFilters(IBaseFilter* upstream, IBaseFilter* downstream);

// Walks the graph's filters; with `add`, records each as a kind 0 entry
// while the list has room.
void RecordGraphFilters(GraphContext& context, bool add);

// Queries the graph for IVideoWindow (with `videoWindow`), IMediaControl
// and IMediaEventEx, and has the events posted to the handle's hidden
// window.
void AttachControls(QmgHandle& handle, bool videoWindow);

// A File Writer (listed, kind 16) writing `path`, stored as the context's
// aviWriter (`avi`) or wavWriter.
bool AddFileWriter(GraphContext& context, const char* path, bool avi);

// The library's event handler: code 2 drains the graph's events (an
// EC_COMPLETE clears eventFlag); codes 0..3 then reach the client's
// callback; higher codes are ignored.
void DispatchEvent(int32_t code, QmgHandle* handle);

// Breaks every connection downstream of each listed filter, so that a
// capture pin is free to change its format.
void DisconnectDownstream(GraphContext& context);

// Releases the controls, disconnects and removes the listed filters,
// releases the graph and the builder and frees the context.
void TearDownGraph(GraphContext* context);

// QMG_Stop when running or paused, then TearDownGraph; the handle's graph
// is null afterwards.
void StopAndDestroy(QmgHandle& handle);

// Applies the stored view window rectangle to the graph's video window, as
// QMG_SetViewWnd does; false without a video window or when positioning
// failed.
bool ApplyViewWindow(GraphContext& context, HWND owner, int32_t x, int32_t y, int32_t width,
                     int32_t height);

// ANSI (the process's code page, UTF-8 here) to UTF-16; null gives "".
std::u16string Wide(const char* text);

// One line of debug output (OutputDebugStringA).
void DebugLine(const char* line);

}  // namespace ksv::graph
