#include "platform/media/base/pin_category_property.h"

#include <cstring>

namespace ksv::media {
namespace {

HRESULT Known(REFGUID propertySet, DWORD id) {
  if (propertySet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  return S_OK;
}

}  // namespace

HRESULT SetPinCategoryProperty(REFGUID propertySet, DWORD id) {
  const HRESULT known = Known(propertySet, id);
  return FAILED(known) ? known : E_NOTIMPL;  // the category is read-only
}

HRESULT GetPinCategoryProperty(REFGUID category, REFGUID propertySet, DWORD id,
                               LPVOID propertyData, DWORD dataLength, DWORD* returned) {
  const HRESULT known = Known(propertySet, id);
  if (FAILED(known)) return known;
  if (returned == nullptr) return E_POINTER;
  *returned = sizeof(GUID);
  if (propertyData == nullptr && dataLength == 0) return S_OK;
  if (propertyData == nullptr) return E_POINTER;
  if (dataLength < sizeof(GUID)) return E_UNEXPECTED;
  std::memcpy(propertyData, &category, sizeof(GUID));
  return S_OK;
}

HRESULT QueryPinCategoryProperty(REFGUID propertySet, DWORD id, DWORD* support) {
  const HRESULT known = Known(propertySet, id);
  if (FAILED(known)) return known;
  if (support != nullptr) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

}  // namespace ksv::media
