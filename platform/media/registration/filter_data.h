// A filter's registration data as the mapper stores it in the "FilterData"
// value: its merit and its pins with their media types, mediums and pin
// category. The layout is ours, little-endian, field by field:
//   u32 format (2), u32 merit, u32 pin count, then per pin:
//     u32 flags (REG_PINFLAG_B_), u32 instances,
//     u32 type count, per type: major GUID, subtype GUID (GUID_NULL: any),
//     u32 medium count, per medium: GUID, u32, u32,
//     pin category GUID (GUID_NULL: none)
// a GUID as u32, u16, u16, 8 bytes. Reading checks every count against what
// is left, so damaged data is refused, never read past its end.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/media/registration_interfaces.h"

namespace ksv::media::registration {

struct PinType {
  GUID major{};
  GUID subtype{};
};

struct PinData {
  DWORD flags = 0;
  UINT instances = 0;
  std::vector<PinType> types;
  std::vector<REGPINMEDIUM> mediums;
  GUID category{};

  bool IsOutput() const { return (flags & REG_PINFLAG_B_OUTPUT) != 0; }
  bool IsRendered() const { return (flags & REG_PINFLAG_B_RENDERER) != 0; }
};

struct FilterData {
  DWORD merit = 0;
  std::vector<PinData> pins;
};

// The record in our form, from a version-1 or version-2 REGFILTER2 (null
// type pointers become GUID_NULL); nothing for another version or a pin
// array missing where pins are counted.
std::optional<FilterData> FromRegFilter(const REGFILTER2& record);

std::vector<uint8_t> EncodeFilterData(const FilterData& data);
// Nothing when the bytes are not filter data of our format.
std::optional<FilterData> DecodeFilterData(const uint8_t* bytes, size_t size);

}  // namespace ksv::media::registration
