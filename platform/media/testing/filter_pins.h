// For tests: a filter's pins of one direction, counted, in EnumPins order.
#pragma once

#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/media/media.h"

namespace ksv::media::testing {

inline std::vector<com::ComPtr<IPin>> PinsOf(IBaseFilter* filter, PIN_DIRECTION direction) {
  std::vector<com::ComPtr<IPin>> found;
  com::ComPtr<IEnumPins> pins;
  if (filter == nullptr || FAILED(filter->EnumPins(pins.GetAddressOf()))) return found;
  com::ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    PIN_DIRECTION its{};
    if (SUCCEEDED(pin->QueryDirection(&its)) && its == direction) found.push_back(pin);
  }
  return found;
}

// The first of them, or null.
inline com::ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction) {
  auto pins = PinsOf(filter, direction);
  return pins.empty() ? com::ComPtr<IPin>() : pins.front();
}

}  // namespace ksv::media::testing
