#include "platform/media/graph/filter_graph.h"

#include "platform/media/graph/pin_walk.h"

namespace ksv::media::graph {

FilterGraph::FilterGraph() = default;

FilterGraph::~FilterGraph() {
  // Released while running: stop every filter (their threads end), then
  // let them go, each told it has left the graph.
  std::lock_guard guard(lock_);
  StopLocked();
  // Connected pins hold each other: break every connection so that no
  // filter outlives its last user.
  for (const Member& member : members_) {
    for (const com::ComPtr<IPin>& pin : PinsOf(member.filter.Get())) {
      if (PeerOf(pin.Get())) DisconnectBothLocked(pin.Get());
    }
  }
  for (const Member& member : members_) {
    member.filter->SetSyncSource(nullptr);
    member.filter->JoinFilterGraph(nullptr, nullptr);
  }
  members_.clear();
  pendingReconnections_.clear();
}

void* FilterGraph::FindInterface(REFIID iid) {
  if (iid == IID_IFilterGraph) return static_cast<IFilterGraph*>(this);
  if (iid == IID_IMediaEvent) return static_cast<IMediaEvent*>(this);
  if (iid == IID_IDispatch) return static_cast<IDispatch*>(static_cast<IMediaControl*>(this));
  if (iid == IID_IPersist) return static_cast<IPersist*>(this);
  return ComObject::FindInterface(iid);
}

}  // namespace ksv::media::graph
