// The device list: listed modules are loaded once when devices are
// enumerated, modules that cannot be loaded are reported without hiding the
// others, and devices plugged in directly come first.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <string>

#include "platform/hardware/device_list.h"
#include "testing/temp_files.h"

namespace ksv::platform::hardware {
namespace {

class DeviceList : public ::testing::Test {
 protected:
  DeviceList() { ::setenv("KSV_ROOT", root_.path().c_str(), 1); }
  ::ksv::testing::TempFolder root_;
};

class PluggedDevice final : public HardwareDevice {
 public:
  std::string_view Name() const override { return "Plugged"; }
  void* Function(std::string_view name) override { return name == "test-counter" ? &value : nullptr; }
  int value = -1;
};

TEST_F(DeviceList, ListsReplacesAndUnlistsModulesByName) {
  EXPECT_TRUE(ListedModules().empty());
  ListModule("Camera", "/a/camera.so");
  ListModule("camera", "/b/camera.so");  // names compare without regard to case
  ListModule("Microphone", "/b/microphone.so");
  const auto listed = ListedModules();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].path, "/b/camera.so");
  EXPECT_TRUE(UnlistModule("CAMERA"));
  EXPECT_FALSE(UnlistModule("Camera"));
  ASSERT_EQ(ListedModules().size(), 1u);
  EXPECT_EQ(ListedModules()[0].name, "Microphone");
}

TEST_F(DeviceList, LoadsAListedModuleOnceAndFindsItsFunction) {
  EXPECT_EQ(FindFunction("test-counter"), nullptr);
  ListModule("Test Device", KSV_TEST_DEVICE_MODULE);
  auto* made = static_cast<int*>(FindFunction("test-counter"));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(*made, 1);
  EXPECT_EQ(FindFunction("test-counter"), made);
  EXPECT_EQ(*made, 1) << "enumerating again must not make the device again";
  EXPECT_EQ(FindFunction("no-such-function"), nullptr);
}

TEST_F(DeviceList, ReportsModulesThatCannotBeLoadedAndKeepsTheOthers) {
  const auto notShared = root_ / "not-a-module.so";
  std::ofstream(notShared) << "text";
  ListModule("Missing", root_ / "missing.so");
  ListModule("Broken", notShared);
  ListModule("Test Device", KSV_TEST_DEVICE_MODULE);

  const Enumeration found = EnumerateDevices();
  ASSERT_EQ(found.devices.size(), 1u);
  EXPECT_EQ(found.devices[0]->Name(), "Test Device");
  ASSERT_EQ(found.problems.size(), 2u);
  const std::string text = DescribeMissing("camera", found.problems);
  EXPECT_NE(text.find("Missing"), std::string::npos) << text;
  EXPECT_NE(text.find("Broken"), std::string::npos) << text;
}

TEST_F(DeviceList, AnEmptyListSaysHowToListDevices) {
  std::vector<LoadProblem> problems;
  EXPECT_EQ(FindFunction("test-counter", &problems), nullptr);
  EXPECT_NE(DescribeMissing("camera", problems).find("ksvcam setup"), std::string::npos);
}

TEST_F(DeviceList, PluggedDevicesCountWhenTheListCannotBeRead) {
  const auto notAFolder = root_ / "file";
  std::ofstream(notAFolder) << "x";
  ::setenv("KSV_ROOT", notAFolder.c_str(), 1);
  PluggedDevice plugged;
  PlugDevice(&plugged);
  std::vector<LoadProblem> problems;
  EXPECT_EQ(FindFunction("test-counter", &problems), &plugged.value);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(DescribeMissing("camera", problems).find("device list"), std::string::npos);
  UnplugDevice(&plugged);
}

TEST_F(DeviceList, PluggedDevicesComeFirstUntilPulledOut) {
  ListModule("Test Device", KSV_TEST_DEVICE_MODULE);
  PluggedDevice plugged;
  PlugDevice(&plugged);
  PlugDevice(&plugged);  // once is enough
  EXPECT_EQ(FindFunction("test-counter"), &plugged.value);
  EXPECT_EQ(EnumerateDevices().devices.size(), 2u);
  UnplugDevice(&plugged);
  EXPECT_NE(FindFunction("test-counter"), &plugged.value);
}

}  // namespace
}  // namespace ksv::platform::hardware
