// The camera driver's values in the machine registry, as the bulk library
// writes them.
#pragma once

#include <cstdint>
#include <string_view>

namespace ksv::outside::bulk {

inline constexpr std::string_view kDriverKey = "Software\\Tarvio\\KSV Drivers\\";
// Non-zero while bulk work runs: the driver then refuses to open the video
// stream.
inline constexpr std::string_view kBulkModeValue = "BulkMode";

// False when the registry cannot be opened or written.
bool WriteDriverDword(std::string_view name, uint32_t value);
bool WriteDriverString(std::string_view name, std::string_view text);

}  // namespace ksv::outside::bulk
