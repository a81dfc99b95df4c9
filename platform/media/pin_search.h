// The questions every graph-building layer asks of a filter's pins: its
// pins in enumeration order (all, or of one direction), a pin's direction,
// peer and owner, and the n-th pin of a direction.
#pragma once

#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/media/filter_interfaces.h"

namespace ksv::media {

// Empty for a null filter or one whose pins cannot be enumerated.
std::vector<com::ComPtr<IPin>> PinsOf(IBaseFilter* filter);
// Those of `direction`; with `unconnected`, only the ones not connected.
std::vector<com::ComPtr<IPin>> PinsOf(IBaseFilter* filter, PIN_DIRECTION direction,
                                      bool unconnected = false);
// The `index`-th pin of `direction` in pin order, or null.
com::ComPtr<IPin> NthPin(IBaseFilter* filter, PIN_DIRECTION direction, int index = 0);

// PINDIR_INPUT when the pin is null or does not answer.
PIN_DIRECTION DirectionOf(IPin* pin);
// Null when the pin is null or not connected.
com::ComPtr<IPin> PeerOf(IPin* pin);
com::ComPtr<IBaseFilter> OwnerOf(IPin* pin);

}  // namespace ksv::media
