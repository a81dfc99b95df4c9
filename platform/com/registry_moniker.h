// A moniker over a registry key, as the system device enumerator hands them
// out for each device and filter of a category:
//   - BindToStorage(IPropertyBag) opens the key's values as a property bag:
//     REG_SZ reads as VT_BSTR, REG_DWORD as VT_I4 (or VT_UI4 when asked
//     for), REG_BINARY as VT_ARRAY | VT_UI1; writes go the other way;
//   - BindToObject creates the object whose class identifier is the key's
//     "CLSID" value (a string in registry form) and, when that object has
//     IPersistPropertyBag, loads it from the key's property bag first;
//     MK_E_NOOBJECT when the key has no usable "CLSID";
//   - GetDisplayName gives "HKEY_CLASSES_ROOT\<path>" (or the other root).
// `root` must be HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER.
#pragma once

#include "include/win32_types.h"
#include "platform/com/moniker.h"
#include "platform/com/property_bag.h"
#include "platform/registry/win32_registry.h"

namespace ksv::com {

HRESULT CreateRegistryMoniker(HKEY root, const char* keyPath, IMoniker** moniker);

// The property bag alone, over the same key.
HRESULT CreateRegistryPropertyBag(HKEY root, const char* keyPath, IPropertyBag** bag);

}  // namespace ksv::com
