// Values written through the value driver's device interface, as the
// still-image minidriver writes them, after `ksvcam setup` registered it;
// `ksvcam registry get` reads them back.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/values/value_control.h"
#include "platform/devices/devices.h"
#include "testing/temp_files.h"

namespace {

using namespace ksv::driver::values;

std::string Ksvcam(const std::string& arguments) {
  FILE* pipe = popen((std::string(KSVCAM_BINARY) + " " + arguments + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return "(not run)";
  std::string text;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
  const int status = pclose(pipe);
  return status == 0 ? text : "(failed) " + text;
}

// The first interface of the class that opens, as the minidriver finds it.
HANDLE OpenValueDevice() {
  HDEVINFO list = SetupDiGetClassDevsA(&kValueInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (list == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  HANDLE device = INVALID_HANDLE_VALUE;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD i = 0; device == INVALID_HANDLE_VALUE &&
                    SetupDiEnumDeviceInterfaces(list, nullptr, &kValueInterfaceClass, i, &data);
       ++i) {
    DWORD needed = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(list, &data, nullptr, 0, &needed, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
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

TEST(ValueDriver, WritesWhatTheInterfaceIsSentForTheRegistryToGiveBack) {
  ksv::testing::TempFolder root;
  ::setenv("KSV_ROOT", root.path().c_str(), 1);
  // Not registered yet: no interface to open.
  EXPECT_EQ(OpenValueDevice(), INVALID_HANDLE_VALUE);
  ASSERT_NE(Ksvcam("setup").find("registered the value driver's device interface"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_regular_file(root / "system32" / "OKSV1Dld.LOC"));

  HANDLE device = OpenValueDevice();
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  WriteValueInput trigger{u"TimerTrigger", kValueDword, 1};
  EXPECT_TRUE(DeviceIoControl(device, kWriteValueCode, &trigger, sizeof trigger, nullptr, 0, nullptr, nullptr));
  const char16_t* folder = u"/pictures/KSV1";
  WriteValueInput path{u"WiaRootPath", kValueString, reinterpret_cast<uintptr_t>(folder)};
  EXPECT_TRUE(DeviceIoControl(device, kWriteValueCode, &path, sizeof path, nullptr, 0, nullptr, nullptr));
  // The 32-bit layout (12 bytes) is not this platform's: refused, nothing written.
  WriteValueInput status{u"DriverStatus", kValueDword, 3};
  EXPECT_FALSE(DeviceIoControl(device, kWriteValueCode, &status, 12, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(CloseHandle(device));

  EXPECT_EQ(Ksvcam("registry get TimerTrigger"), "1\n");
  EXPECT_EQ(Ksvcam("registry get WiaRootPath"), "/pictures/KSV1\n");
  EXPECT_NE(Ksvcam("registry get DriverStatus").find("(failed)"), std::string::npos);
  // Unregistered, the interface is gone.
  Ksvcam("setup --unregister");
  EXPECT_EQ(OpenValueDevice(), INVALID_HANDLE_VALUE);
}

}  // namespace
