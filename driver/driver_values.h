// Values the driver publishes under its registry key ("Button", ...). They go
// to the installed writer; with none installed they are not recorded.
#pragma once

#include <cstdint>
#include <string_view>

namespace ksv::driver {

using DriverValueWriter = void (*)(void* user, std::string_view name, uint32_t value);

// Installs `writer` (null removes it). Called at passive level only.
void InstallDriverValueWriter(DriverValueWriter writer, void* user);

void WriteDriverValue(std::string_view name, uint32_t value);

}  // namespace ksv::driver
