// Small questions the graph asks of filters (their pins, a pin's direction,
// owner and peer are pin_search.h's): whether a filter is connected, what it
// feeds, and the order in which filters change state (each filter after every filter downstream of
// it, so renderers go first and no source feeds a filter that is not ready).
#pragma once

#include <vector>

#include "platform/media/filter_interfaces.h"
#include "platform/media/pin_search.h"

namespace ksv::media::graph {

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
