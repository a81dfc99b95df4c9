#include "wia/driver_values.h"

#include <vector>

#include "driver/values/value_control.h"
#include "platform/com/wide_text.h"
#include "platform/devices/devices.h"
#include "platform/registry/win32_registry.h"

namespace ksv::wia {

namespace {

namespace values = driver::values;

// The first present value interface that opens (read access, shared
// reading and writing); INVALID_HANDLE_VALUE when none does.
HANDLE OpenValueDevice() {
  HDEVINFO list = SetupDiGetClassDevsA(&values::kValueInterfaceClass, nullptr, nullptr,
                                       DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (list == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  HANDLE device = INVALID_HANDLE_VALUE;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD index = 0; device == INVALID_HANDLE_VALUE &&
                        SetupDiEnumDeviceInterfaces(list, nullptr, &values::kValueInterfaceClass, index, &data);
       ++index) {
    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailA(list, &data, nullptr, 0, &needed, nullptr);
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
    std::vector<char> bytes(needed);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(bytes.data());
    detail->cbSize = sizeof *detail;
    if (!SetupDiGetDeviceInterfaceDetailA(list, &data, detail, needed, nullptr, nullptr)) continue;
    device = CreateFileA(detail->DevicePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  }
  SetupDiDestroyDeviceInfoList(list);
  return device;
}

bool Send(values::WriteValueInput input) {
  HANDLE device = OpenValueDevice();
  if (device == INVALID_HANDLE_VALUE) return false;
  DWORD returned = 0;
  const BOOL sent = DeviceIoControl(device, values::kWriteValueCode, &input, sizeof input, nullptr, 0, &returned,
                                    nullptr);
  CloseHandle(device);
  return sent != FALSE;
}

}  // namespace

DWORD ReadDriverDword(const char* name) {
  DWORD value = 0xFFFFFFFFu;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD type = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    value = 0xFFFFFFFFu;
  }
  RegCloseKey(key);
  return value;
}

std::string ReadWiaRootPath() {
  char text[261] = {};
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  DWORD type = 0;
  DWORD size = 260;
  const LONG read = RegQueryValueExA(key, "WiaRootPath", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  // Up to 260 bytes, as the driver reads it; a longer path is not its root.
  if (read != ERROR_SUCCESS || type != REG_SZ) return {};
  return text;
}

bool WriteDriverDword(const char* name, DWORD value) {
  const std::u16string wideName = com::Utf8ToUtf16(name);
  return Send({wideName.c_str(), values::kValueDword, value});
}

bool WriteDriverString(const char* name, const std::string& value) {
  const std::u16string wideName = com::Utf8ToUtf16(name);
  const std::u16string wideValue = com::Utf8ToUtf16(value);
  return Send({wideName.c_str(), values::kValueString, reinterpret_cast<uintptr_t>(wideValue.c_str())});
}

}  // namespace ksv::wia
