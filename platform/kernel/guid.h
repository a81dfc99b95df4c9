// A globally unique identifier as kernel and kernel-streaming structures
// hold it (16 bytes, Data1..Data3 little-endian in memory on this machine).
#pragma once

#include <cstdint>

namespace ksv::platform::kernel {

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};
  friend bool operator==(const GUID&, const GUID&) = default;
};

static_assert(sizeof(GUID) == 16);

}  // namespace ksv::platform::kernel
