// The driver's registry key "\Registry\MACHINE\Software\Tarvio\KSV Drivers\":
// the values it publishes ("DriverStatus", "Button", ...) and reads
// ("BulkMode", settings). Writes go to the machine registry at passive
// level; an installed observer is told of each write as well.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace ksv::driver {

inline constexpr const char* kDriverKeyPath =
    "\\Registry\\MACHINE\\Software\\Tarvio\\KSV Drivers\\";

using DriverValueWriter = void (*)(void* user, std::string_view name, uint32_t value);

// Installs `observer` (null removes it). Called at passive level only.
void InstallDriverValueWriter(DriverValueWriter observer, void* user);

// Writes a REG_DWORD value under the driver's key. A registry that cannot
// be written loses the value, as the kernel's write would; the observer is
// told either way.
void WriteDriverValue(std::string_view name, uint32_t value);

// Reads the named values in one query. Each target is first set to -1, the
// mark of an absent value, and keeps it when the value is absent or the
// registry cannot be read.
struct DriverValueTarget {
  const char* name;
  int32_t* target;
};
void ReadDriverValues(std::initializer_list<DriverValueTarget> targets);

}  // namespace ksv::driver
