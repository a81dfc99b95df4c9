#include "platform/media/capture_builder/pin_search.h"

#include "platform/media/ks_property_set.h"

namespace ksv::media::capture {

using com::ComPtr;

bool IsClass(IBaseFilter* filter, REFCLSID clsid) {
  CLSID actual{};
  return filter != nullptr && SUCCEEDED(filter->GetClassID(&actual)) && actual == clsid;
}

std::optional<GUID> CategoryOf(IPin* pin) {
  ComPtr<IKsPropertySet> properties;
  if (FAILED(pin->QueryInterface(IID_PPV_ARGS(properties.GetAddressOf())))) return std::nullopt;
  GUID category{};
  DWORD returned = 0;
  if (FAILED(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category,
                             sizeof(category), &returned)) ||
      returned != sizeof(category)) {
    return std::nullopt;
  }
  return category;
}

bool CarriesMajorType(IPin* pin, const GUID& major) {
  AM_MEDIA_TYPE connection{};
  if (SUCCEEDED(pin->ConnectionMediaType(&connection))) {
    const bool same = connection.majortype == major;
    FreeMediaType(connection);
    return same;
  }
  ComPtr<IEnumMediaTypes> types;
  if (FAILED(pin->EnumMediaTypes(types.GetAddressOf())) || !types) return false;
  AM_MEDIA_TYPE* type = nullptr;
  bool found = false;
  while (!found && types->Next(1, &type, nullptr) == S_OK) {
    found = type->majortype == major;
    DeleteMediaType(type);
  }
  return found;
}

bool Matches(IPin* pin, const PinQuery& query) {
  if (DirectionOf(pin) != query.direction) return false;
  if (query.unconnected && PeerOf(pin)) return false;
  if (query.category != nullptr && CategoryOf(pin) != *query.category) return false;
  return query.type == nullptr || CarriesMajorType(pin, *query.type);
}

ComPtr<IPin> FindPinOf(IBaseFilter* filter, const PinQuery& query, int index) {
  for (const ComPtr<IPin>& pin : PinsOf(filter)) {
    if (Matches(pin.Get(), query) && index-- == 0) return pin;
  }
  return nullptr;
}

}  // namespace ksv::media::capture
