// The few kernel types and status codes the camera driver and its class
// driver exchange.
#pragma once

#include <cstdint>

namespace ksv::platform::kernel {

using NTSTATUS = int32_t;

constexpr NTSTATUS MakeStatus(uint32_t code) { return static_cast<NTSTATUS>(code); }

inline constexpr NTSTATUS STATUS_SUCCESS = 0;
inline constexpr NTSTATUS STATUS_UNSUCCESSFUL = MakeStatus(0xC0000001);
inline constexpr NTSTATUS STATUS_INVALID_PARAMETER = MakeStatus(0xC000000D);
inline constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES = MakeStatus(0xC000009A);
inline constexpr NTSTATUS STATUS_DEVICE_DATA_ERROR = MakeStatus(0xC000009C);
inline constexpr NTSTATUS STATUS_NOT_SUPPORTED = MakeStatus(0xC00000BB);

// Success and informational codes are not negative.
constexpr bool NT_SUCCESS(NTSTATUS status) { return status >= 0; }

// A device object as far as the camera driver sees one: an identity handed
// back in calls. Its extension is the class driver's business.
struct DEVICE_OBJECT {
  void* DeviceExtension = nullptr;
};

// The driver object a driver's entry point receives. The class driver the
// minidriver registers with keeps its per-driver data in DriverExtension.
struct DRIVER_OBJECT {
  void* DriverExtension = nullptr;
};

}  // namespace ksv::platform::kernel
