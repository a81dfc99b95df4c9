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
inline constexpr NTSTATUS STATUS_TIMEOUT = MakeStatus(0x00000102);
inline constexpr NTSTATUS STATUS_BUFFER_OVERFLOW = MakeStatus(0x80000005);
inline constexpr NTSTATUS STATUS_NOT_IMPLEMENTED = MakeStatus(0xC0000002);
inline constexpr NTSTATUS STATUS_INVALID_HANDLE = MakeStatus(0xC0000008);
inline constexpr NTSTATUS STATUS_NO_SUCH_FILE = MakeStatus(0xC000000F);
inline constexpr NTSTATUS STATUS_BUFFER_TOO_SMALL = MakeStatus(0xC0000023);
inline constexpr NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND = MakeStatus(0xC0000034);
inline constexpr NTSTATUS STATUS_OBJECT_NAME_COLLISION = MakeStatus(0xC0000035);
inline constexpr NTSTATUS STATUS_DEVICE_NOT_CONNECTED = MakeStatus(0xC000009D);
inline constexpr NTSTATUS STATUS_NO_MATCH = MakeStatus(0xC0000272);

// Success and informational codes are not negative.
constexpr bool NT_SUCCESS(NTSTATUS status) { return status >= 0; }

// Kernel objects a driver holds by handle (threads, files); ZwClose releases them.
using HANDLE = void*;

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
