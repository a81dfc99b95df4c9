#include "platform/media/graph/pin_walk.h"

#include <algorithm>

namespace ksv::media::graph {

using com::ComPtr;

bool HasConnected(IBaseFilter* filter, PIN_DIRECTION direction) {
  for (const ComPtr<IPin>& pin : PinsOf(filter)) {
    if (DirectionOf(pin.Get()) == direction && PeerOf(pin.Get())) return true;
  }
  return false;
}

std::vector<IBaseFilter*> DownstreamOf(IBaseFilter* filter) {
  std::vector<IBaseFilter*> downstream;
  for (const ComPtr<IPin>& pin : PinsOf(filter)) {
    if (DirectionOf(pin.Get()) != PINDIR_OUTPUT) continue;
    const ComPtr<IPin> peer = PeerOf(pin.Get());
    const ComPtr<IBaseFilter> owner = OwnerOf(peer.Get());
    // Identity is enough: the graph holds every filter it orders.
    if (owner) downstream.push_back(owner.Get());
  }
  return downstream;
}

std::vector<IBaseFilter*> DownstreamFirst(const std::vector<IBaseFilter*>& filters) {
  std::vector<std::vector<IBaseFilter*>> feeds;
  feeds.reserve(filters.size());
  for (IBaseFilter* filter : filters) feeds.push_back(DownstreamOf(filter));
  std::vector<IBaseFilter*> ordered;
  std::vector<bool> placed(filters.size(), false);
  const auto isPlaced = [&](IBaseFilter* filter) {
    const auto at = std::find(filters.begin(), filters.end(), filter);
    // A peer outside the graph never holds anything back.
    return at == filters.end() || placed[static_cast<size_t>(at - filters.begin())];
  };
  for (bool progress = true; progress;) {
    progress = false;
    for (size_t i = 0; i < filters.size(); ++i) {
      if (placed[i] || !std::all_of(feeds[i].begin(), feeds[i].end(), isPlaced)) continue;
      placed[i] = true;
      ordered.push_back(filters[i]);
      progress = true;
    }
  }
  for (size_t i = 0; i < filters.size(); ++i) {
    if (!placed[i]) ordered.push_back(filters[i]);
  }
  return ordered;
}

std::vector<IBaseFilter*> SinksOf(const std::vector<IBaseFilter*>& filters) {
  std::vector<IBaseFilter*> sinks;
  for (IBaseFilter* filter : filters) {
    if (HasConnected(filter, PINDIR_INPUT) && !HasConnected(filter, PINDIR_OUTPUT)) {
      sinks.push_back(filter);
    }
  }
  return sinks;
}

}  // namespace ksv::media::graph
