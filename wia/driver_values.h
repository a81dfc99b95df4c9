// The driver's values as the minidriver reaches them: read straight from
// the driver's machine key, written through the camera's kernel driver for
// values (a user-mode library cannot write that key itself).
#pragma once

#include <string>

#include "include/win32_types.h"

namespace ksv::wia {

inline constexpr const char* kDriverKey = "Software\\Tarvio\\KSV Drivers\\";

// "DriverStatus" while the camera streams video.
inline constexpr DWORD kCameraStreaming = 5;

// A DWORD value; -1 (0xFFFFFFFF) when missing.
DWORD ReadDriverDword(const char* name);
// The "WiaRootPath" string; empty when missing.
std::string ReadWiaRootPath();

// Through the first value device interface that opens; false when none
// opens or the driver refuses the value.
bool WriteDriverDword(const char* name, DWORD value);
bool WriteDriverString(const char* name, const std::string& value);

}  // namespace ksv::wia
