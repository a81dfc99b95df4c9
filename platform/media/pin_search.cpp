#include "platform/media/pin_search.h"

namespace ksv::media {

using com::ComPtr;

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> enumerator;
  if (filter == nullptr || FAILED(filter->EnumPins(enumerator.GetAddressOf())) || !enumerator) {
    return pins;
  }
  IPin* pin = nullptr;
  ULONG fetched = 0;
  while (enumerator->Next(1, &pin, &fetched) == S_OK && fetched == 1) {
    pins.push_back(ComPtr<IPin>::Adopt(pin));
  }
  return pins;
}

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter, PIN_DIRECTION direction, bool unconnected) {
  std::vector<ComPtr<IPin>> pins;
  for (ComPtr<IPin>& pin : PinsOf(filter)) {
    PIN_DIRECTION its{};
    if (FAILED(pin->QueryDirection(&its)) || its != direction) continue;
    if (unconnected && PeerOf(pin.Get())) continue;
    pins.push_back(std::move(pin));
  }
  return pins;
}

ComPtr<IPin> NthPin(IBaseFilter* filter, PIN_DIRECTION direction, int index) {
  std::vector<ComPtr<IPin>> pins = PinsOf(filter, direction);
  if (index < 0 || static_cast<size_t>(index) >= pins.size()) return nullptr;
  return std::move(pins[static_cast<size_t>(index)]);
}

PIN_DIRECTION DirectionOf(IPin* pin) {
  PIN_DIRECTION direction = PINDIR_INPUT;
  if (pin == nullptr || FAILED(pin->QueryDirection(&direction))) return PINDIR_INPUT;
  return direction;
}

ComPtr<IPin> PeerOf(IPin* pin) {
  ComPtr<IPin> peer;
  if (pin != nullptr && SUCCEEDED(pin->ConnectedTo(peer.GetAddressOf()))) return peer;
  return nullptr;
}

ComPtr<IBaseFilter> OwnerOf(IPin* pin) {
  PIN_INFO info{};
  if (pin == nullptr || FAILED(pin->QueryPinInfo(&info))) return nullptr;
  return ComPtr<IBaseFilter>::Adopt(info.pFilter);
}

}  // namespace ksv::media
