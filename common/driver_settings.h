// The camera driver's values in the machine registry, as the user-mode
// libraries read them.
#pragma once

#include <cstdint>
#include <string_view>

namespace ksv::common {

// The driver's key under the machine hive.
inline constexpr std::string_view kDriverKey = "Software\\Tarvio\\KSV Drivers\\";

// What a missing value reads as.
inline constexpr uint32_t kMissingDword = 0xFFFFFFFF;

// The REG_DWORD value `name` under `key` (default: the driver's key); -1
// (0xFFFFFFFF) when it, its key or the registry is missing or unreadable.
uint32_t ReadMachineDword(std::string_view name, std::string_view key = kDriverKey);

}  // namespace ksv::common
