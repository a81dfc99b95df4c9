// Device interfaces as programs find and use them: the SetupDi calls list
// the present interfaces of a class, CreateFileA opens one by its path and
// DeviceIoControl hands its kernel driver a control code.
//
// An interface is registered in the machine registry, as an installer (or
// `ksvcam setup`) registers it: under
// "System\CurrentControlSet\Control\DeviceClasses\{class}" one REG_SZ value
// an interface, named by its path ("\\?\KSV#NAME#0000#{class}") and holding
// the file of the kernel driver module behind it. It is present while that
// file is there. The module exports
//   extern "C" ksv::platform::devices::DeviceDriver* KsvOpenDeviceDriver();
// and is loaded, once a process, when an interface of it is first opened.
//
// CreateFileA here opens device interfaces only; files are reached through
// the file calls of platform/files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "include/win32_errors.h"
#include "platform/com/guid.h"
#include "platform/sync/sync.h"

typedef void* HDEVINFO;

// SetupDiGetClassDevsA flags.
inline constexpr DWORD DIGCF_DEFAULT = 0x01;
inline constexpr DWORD DIGCF_PRESENT = 0x02;
inline constexpr DWORD DIGCF_ALLCLASSES = 0x04;
inline constexpr DWORD DIGCF_PROFILE = 0x08;
inline constexpr DWORD DIGCF_DEVICEINTERFACE = 0x10;

// SP_DEVICE_INTERFACE_DATA flags.
inline constexpr DWORD SPINT_ACTIVE = 0x1;

inline constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr LONG ERROR_INVALID_USER_BUFFER = 1784;
inline constexpr LONG ERROR_INVALID_FUNCTION = 1;

struct SP_DEVINFO_DATA {
  DWORD cbSize;
  GUID ClassGuid;
  DWORD DevInst;
  uintptr_t Reserved;
};

struct SP_DEVICE_INTERFACE_DATA {
  DWORD cbSize;
  GUID InterfaceClassGuid;
  DWORD Flags;
  uintptr_t Reserved;
};

// Variable-sized: DevicePath runs on past the structure's end. cbSize is
// the size of the fixed part, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A).
struct SP_DEVICE_INTERFACE_DETAIL_DATA_A {
  DWORD cbSize;
  char DevicePath[1];
};

// CreateFileA access, sharing and disposition.
inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD OPEN_EXISTING = 3;

extern "C" {

// The present interfaces of `classGuid` (flags must hold DIGCF_DEVICEINTERFACE;
// `enumerator` and `parent` are not used). INVALID_HANDLE_VALUE with
// ERROR_INVALID_PARAMETER without a class or that flag.
HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, const char* enumerator, HWND parent, DWORD flags);
// The `index`-th interface of the list of `classGuid`: FALSE with
// ERROR_NO_MORE_ITEMS past the last, ERROR_INVALID_USER_BUFFER when
// data->cbSize is not sizeof(SP_DEVICE_INTERFACE_DATA).
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO list, SP_DEVINFO_DATA* device, const GUID* classGuid, DWORD index,
                                 SP_DEVICE_INTERFACE_DATA* data);
// The interface's path into `detail` of `detailSize` bytes. With a null
// `detail` or one too small: FALSE, ERROR_INSUFFICIENT_BUFFER and the bytes
// needed in *requiredSize. ERROR_INVALID_USER_BUFFER when detail->cbSize is
// not sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A).
BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO list, SP_DEVICE_INTERFACE_DATA* data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize,
                                      DWORD* requiredSize, SP_DEVINFO_DATA* device);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO list);

// Opens the device interface at `path` (OPEN_EXISTING): a handle for
// DeviceIoControl, closed with CloseHandle. INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND for a path that names no present interface, or
// whose driver cannot be loaded.
HANDLE CreateFileA(const char* path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
// Hands the control code and buffers to the device's driver; FALSE with the
// driver's error in GetLastError when it refuses. `overlapped` must be null.
BOOL DeviceIoControl(HANDLE device, DWORD code, void* input, DWORD inputBytes, void* output, DWORD outputBytes,
                     DWORD* bytesReturned, void* overlapped);

}  // extern "C"

namespace ksv::platform::devices {

// A kernel driver as its device interfaces reach it.
class DeviceDriver {
 public:
  virtual ~DeviceDriver() = default;
  // One control call: ERROR_SUCCESS, or the Win32 error the caller gets.
  // *returned receives the bytes written into `output`.
  virtual LONG Control(DWORD code, const void* input, DWORD inputBytes, void* output, DWORD outputBytes,
                       DWORD* returned) = 0;
};

inline constexpr const char* kOpenDriverEntry = "KsvOpenDeviceDriver";
using OpenDriverFunction = DeviceDriver* (*)();

// The path of interface `name` of `classGuid`: "\\?\KSV#NAME#0000#{class}".
std::string InterfacePath(const GUID& classGuid, std::string_view name);
// Registers (or re-registers) the interface with the driver module
// `module`. Throws RegistryError when the registry cannot be written.
void RegisterDeviceInterface(const GUID& classGuid, std::string_view name, const std::filesystem::path& module);
// False when it was not registered.
bool UnregisterDeviceInterface(const GUID& classGuid, std::string_view name);

}  // namespace ksv::platform::devices
