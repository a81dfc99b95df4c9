// Small questions the graph asks of filters and pins: their pins in
// enumeration order, a pin's direction, owner and peer, and the order in
// which filters change state (each filter after every filter downstream of
// it, so renderers go first and no source feeds a filter that is not ready).
#pragma once

#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/media/filter_interfaces.h"

namespace ksv::media::graph {

std::vector<com::ComPtr<IPin>> PinsOf(IBaseFilter* filter);
// PINDIR_INPUT when the pin does not answer.
PIN_DIRECTION DirectionOf(IPin* pin);
com::ComPtr<IPin> PeerOf(IPin* pin);
com::ComPtr<IBaseFilter> OwnerOf(IPin* pin);
// Whether `filter` has a connected pin of `direction`.
bool HasConnected(IBaseFilter* filter, PIN_DIRECTION direction);
// The filters a connected output pin of `filter` feeds.
std::vector<IBaseFilter*> DownstreamOf(IBaseFilter* filter);

// `filters` ordered downstream first; a filter in a cycle (no graph should
// have one) comes after the others in its place in `filters`.
std::vector<IBaseFilter*> DownstreamFirst(const std::vector<IBaseFilter*>& filters);
// The sinks of `filters`: connected inputs and no connected outputs.
std::vector<IBaseFilter*> SinksOf(const std::vector<IBaseFilter*>& filters);

}  // namespace ksv::media::graph
