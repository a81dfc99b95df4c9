// Where LoadBitmapA finds a module's bitmap resources. The layer that
// keeps modules' resources installs a finder; without one, or when it finds
// nothing, LoadBitmapA fails as the platform does for a missing resource.
#pragma once

#include <cstdint>
#include <span>

#include "platform/gdi/gdi.h"

namespace ksv::platform::gdi {

// The bytes of resource `name` (a string or MAKEINTRESOURCEA id) of type
// `type` in `module`, empty when it has none. The bytes must stay as long
// as the module.
using ResourceFinder = std::span<const uint8_t> (*)(HINSTANCE module, const char* name, const char* type);
void SetResourceFinder(ResourceFinder finder);

// A bitmap made from a packed DIB of 1, 4, 8 or 24 bits (the bytes of a
// bitmap resource, or of a bitmap file after its file header); null when
// the bytes do not hold what the header says.
HBITMAP BitmapFromPackedDib(std::span<const uint8_t> bytes);

}  // namespace ksv::platform::gdi
