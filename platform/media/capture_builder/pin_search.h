// The questions the capture graph builder asks of filters and pins beyond
// the common ones (pin_search.h in platform/media): a filter's class, a
// pin's category (through the pin property set) and major type, and the
// n-th pin that fits a description.
#pragma once

#include <optional>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/pin_search.h"

namespace ksv::media::capture {

bool IsClass(IBaseFilter* filter, REFCLSID clsid);

// The category the pin reports through IKsPropertySet; none when it
// reports none.
std::optional<GUID> CategoryOf(IPin* pin);
// The major type of the pin's connection, or, unconnected, of any type it
// offers.
bool CarriesMajorType(IPin* pin, const GUID& major);

// A pin description: null category or type match any.
struct PinQuery {
  PIN_DIRECTION direction = PINDIR_OUTPUT;
  const GUID* category = nullptr;
  const GUID* type = nullptr;
  bool unconnected = false;
};
bool Matches(IPin* pin, const PinQuery& query);
// The `index`-th pin of `filter` that matches, in pin order.
com::ComPtr<IPin> FindPinOf(IBaseFilter* filter, const PinQuery& query, int index = 0);

}  // namespace ksv::media::capture
