// Taking a graph apart: the connections downstream of the listed filters,
// the filters themselves, the controls, the graph and its builder.
#include "graph/graph_routines.h"
#include "platform/media/pin_search.h"

namespace ksv::graph {

using com::ComPtr;

namespace {

// Breaks every connection from `filter`'s pins to input pins, the
// furthest downstream first.
void DisconnectFrom(IFilterGraph* graph, IBaseFilter* filter) {
  for (const ComPtr<IPin>& pin : media::PinsOf(filter)) {
    ComPtr<IPin> peer;
    if (FAILED(pin->ConnectedTo(peer.GetAddressOf())) || !peer) continue;
    PIN_INFO info{};
    if (FAILED(peer->QueryPinInfo(&info))) continue;
    const auto peerFilter = ComPtr<IBaseFilter>::Adopt(info.pFilter);
    if (info.dir != PINDIR_INPUT) continue;
    if (peerFilter) DisconnectFrom(graph, peerFilter.Get());
    graph->Disconnect(peer.Get());
    graph->Disconnect(pin.Get());
  }
}

}  // namespace

void DisconnectDownstream(GraphContext& context) {
  if (!context.graph) return;
  for (int index = 0; index < context.filterCount; ++index) {
    DisconnectFrom(context.graph.Get(), context.filters[index].filter);
  }
}

void TearDownGraph(GraphContext* context) {
  if (context == nullptr) return;
  context->videoConfig = nullptr;
  context->audioConfig = nullptr;
  context->control = nullptr;
  if (context->videoWindow) context->videoWindow->put_Visible(OAFALSE);
  context->videoWindow = nullptr;
  if (context->events) {
    // No more posts to a window that may go before the graph does.
    context->events->SetNotifyWindow(0, 0, 0);
  }
  context->events = nullptr;
  context->caption = nullptr;
  context->aviMaker = nullptr;
  DisconnectDownstream(*context);
  for (int index = 0; index < context->filterCount; ++index) {
    FilterEntry& entry = context->filters[index];
    if (context->graph) context->graph->RemoveFilter(entry.filter);
    if (entry.kind != kKindRecorded) entry.filter->Release();
    entry = FilterEntry{};
  }
  context->filterCount = 0;
  context->videoTail = context->audioTail = nullptr;
  context->aviWriter = context->wavWriter = nullptr;
  context->videoSource = nullptr;
  context->audioSource = nullptr;
  context->graph = nullptr;
  context->builder = nullptr;
  delete context;
}

void StopAndDestroy(QmgHandle& handle) {
  if (handle.mediaState == QMG_STATE_RUNNING || handle.mediaState == QMG_STATE_PAUSED) {
    QMG_Stop(&handle);
  }
  TearDownGraph(handle.graph);
  handle.graph = nullptr;
}

}  // namespace ksv::graph
