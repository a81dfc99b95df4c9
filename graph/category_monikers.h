// The monikers of a device category, as the name lists and the search by
// friendly name walk them.
#pragma once

#include <cstddef>

#include "platform/com/com_ptr.h"
#include "platform/com/property_bag.h"
#include "platform/media/media.h"

namespace ksv::graph {

// The category's enumerator; null on any failure and for an empty category.
com::ComPtr<IEnumMoniker> EnumerateCategory(REFCLSID category);

// The moniker's property bag, null when it does not open.
com::ComPtr<IPropertyBag> OpenPropertyBag(IMoniker* moniker);

// Reads "FriendlyName" into `name` (ANSI, at most `capacity` - 1 bytes and a
// zero). False, with `name` left alone, when it cannot be read.
bool ReadFriendlyName(IPropertyBag* bag, char* name, size_t capacity);

}  // namespace ksv::graph
