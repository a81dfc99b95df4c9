// What a capture filter's output pin answers through IKsPropertySet for the
// pin property set: AMPROPERTY_PIN_CATEGORY reads its category (capture,
// preview) and is never written; any other set or property is unknown.
// A pin's Set, Get and QuerySupported hand their arguments on.
#pragma once

#include "include/win32_types.h"
#include "platform/media/ks_property_set.h"

namespace ksv::media {

HRESULT SetPinCategoryProperty(REFGUID propertySet, DWORD id);
// Without a buffer (null and 0 bytes) the caller learns the size.
HRESULT GetPinCategoryProperty(REFGUID category, REFGUID propertySet, DWORD id,
                               LPVOID propertyData, DWORD dataLength, DWORD* returned);
HRESULT QueryPinCategoryProperty(REFGUID propertySet, DWORD id, DWORD* support);

}  // namespace ksv::media
