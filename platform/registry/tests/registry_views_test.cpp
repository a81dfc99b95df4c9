// The kernel's and the user-mode calls reach the same values of the one
// machine hive, from any process and thread.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/kernel_registry.h"
#include "platform/registry/machine_hive.h"
#include "platform/registry/win32_registry.h"
#include "testing/temp_files.h"

namespace ksv::platform {
namespace {

namespace fs = std::filesystem;
namespace k = platform::kernel;

constexpr const char* kKernelPath = "\\Registry\\MACHINE\\Software\\Tarvio\\KSV Drivers\\";
constexpr const char* kUserKey = "Software\\Tarvio\\KSV Drivers";

class RegistryViews : public ::testing::Test {
 protected:
  RegistryViews() { ::setenv("KSV_ROOT", root_.c_str(), 1); }

  static k::NTSTATUS KernelWrite(const char* name, uint32_t value) {
    return k::RtlWriteRegistryValue(k::RTL_REGISTRY_ABSOLUTE, kKernelPath, name, k::REG_DWORD,
                                    &value, 4);
  }
  static LONG UserWrite(const char* name, uint32_t value) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUserKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &key, nullptr);
    if (result != ERROR_SUCCESS) return result;
    result = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    RegCloseKey(key);
    return result;
  }
  static std::optional<uint32_t> UserRead(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUserKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    uint32_t value = 0;
    DWORD type = 0;
    DWORD size = 4;
    const LONG result =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != 4) return std::nullopt;
    return value;
  }

  ::ksv::testing::TempFolder temp_;
  fs::path root_ = temp_.path();
};

TEST_F(RegistryViews, KernelAndUserModeSeeTheSameValues) {
  ASSERT_EQ(KernelWrite("DriverStatus", 5), k::STATUS_SUCCESS);
  EXPECT_EQ(UserRead("DriverStatus"), 5u);
  EXPECT_EQ(UserRead("driverstatus"), 5u);
  ASSERT_EQ(UserWrite("BulkMode", 1), ERROR_SUCCESS);

  // Read from the file as every process reads it, and from a hive in
  // memory, which keeps what it has read.
  for (const bool inMemory : {false, true}) {
    SCOPED_TRACE(inMemory ? "in memory" : "file");
    if (inMemory) {
      UseOwnMachineHive(RegistryStore::OpenInMemory());
      ASSERT_EQ(KernelWrite("DriverStatus", 5), k::STATUS_SUCCESS);
      ASSERT_EQ(KernelWrite("BulkMode", 1), k::STATUS_SUCCESS);
    }
    ASSERT_EQ(k::RtlWriteRegistryValue(k::RTL_REGISTRY_ABSOLUTE, kKernelPath, "Mode", k::REG_SZ,
                                       "fast", 5),
              k::STATUS_SUCCESS);
    int32_t bulk = -1, iso = -1, status = -1, mode = -1, gain = -1;
    const uint32_t fallback = 9;
    k::RTL_QUERY_REGISTRY_TABLE table[6];
    table[0] = {nullptr, k::RTL_QUERY_REGISTRY_DIRECT, "bulkmode", &bulk};
    table[1] = {nullptr, k::RTL_QUERY_REGISTRY_DIRECT, "IsoMode", &iso};
    table[2] = {nullptr, k::RTL_QUERY_REGISTRY_DIRECT, "DriverStatus", &status};
    table[3] = {nullptr, k::RTL_QUERY_REGISTRY_DIRECT, "Mode", &mode, k::REG_DWORD, &fallback, 4};
    table[4] = {nullptr, k::RTL_QUERY_REGISTRY_DIRECT, "Gain", &gain, k::REG_DWORD, &fallback, 4};
    ASSERT_EQ(k::RtlQueryRegistryValues(k::RTL_REGISTRY_ABSOLUTE, kKernelPath, table, nullptr,
                                        nullptr),
              k::STATUS_SUCCESS);
    EXPECT_EQ(bulk, 1) << "names compare without regard to case";
    EXPECT_EQ(iso, -1) << "an absent value leaves its target as it was set";
    EXPECT_EQ(status, 5);
    EXPECT_EQ(mode, 9) << "a value that is not a REG_DWORD gives the default";
    EXPECT_EQ(gain, 9) << "an absent value with a default gives the default";
  }
  UseOwnMachineHive(nullptr);
}

// The process's hive follows the root however often it is reached, and a
// hive the process keeps to itself takes the place of the root's until it is
// given back, kernel and user-mode calls alike.
TEST_F(RegistryViews, FollowTheRootOrTheProcessesOwnHive) {
  ASSERT_EQ(KernelWrite("DriverStatus", 5), k::STATUS_SUCCESS);
  ::ksv::testing::TempFolder other;
  ::setenv("KSV_ROOT", other.path().c_str(), 1);
  EXPECT_EQ(UserRead("DriverStatus"), std::nullopt) << "another root is another hive";
  ::setenv("KSV_ROOT", root_.c_str(), 1);
  EXPECT_EQ(UserRead("DriverStatus"), 5u);

  UseOwnMachineHive(RegistryStore::OpenInMemory());
  EXPECT_EQ(UserRead("DriverStatus"), std::nullopt);
  ASSERT_EQ(KernelWrite("DriverStatus", 7), k::STATUS_SUCCESS);
  EXPECT_EQ(UserRead("DriverStatus"), 7u);
  ::setenv("KSV_ROOT", other.path().c_str(), 1);
  EXPECT_EQ(UserRead("DriverStatus"), 7u) << "the own hive stays whatever the root";
  ::setenv("KSV_ROOT", root_.c_str(), 1);
  UseOwnMachineHive(nullptr);
  EXPECT_EQ(UserRead("DriverStatus"), 5u) << "the root's hive is back, untouched";
}

TEST_F(RegistryViews, RefusesWhatIsNotAMachineKeyOrAValue) {
  uint32_t one = 1;
  EXPECT_EQ(k::RtlWriteRegistryValue(k::RTL_REGISTRY_ABSOLUTE, "\\Registry\\User\\X", "V",
                                     k::REG_DWORD, &one, 4),
            k::STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(k::RtlWriteRegistryValue(k::RTL_REGISTRY_ABSOLUTE, kKernelPath, "V", k::REG_DWORD,
                                     &one, 2),
            k::STATUS_INVALID_PARAMETER);
  int32_t target = -1;
  k::RTL_QUERY_REGISTRY_TABLE table[2];
  table[0] = {nullptr, k::RTL_QUERY_REGISTRY_DIRECT, "V", &target};
  EXPECT_EQ(k::RtlQueryRegistryValues(k::RTL_REGISTRY_ABSOLUTE,
                                      "\\Registry\\Machine\\Software\\Nobody", table, nullptr,
                                      nullptr),
            k::STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(target, -1);

  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Nobody", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(UserWrite("Small", 7), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarvio", 0, KEY_READ, &key),
            ERROR_SUCCESS) << "a key above a value exists";
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUserKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  uint16_t tooSmall = 0;
  DWORD size = sizeof tooSmall;
  EXPECT_EQ(RegQueryValueExA(key, "Small", nullptr, nullptr, reinterpret_cast<BYTE*>(&tooSmall),
                             &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  const char text[] = "/srv/wia";
  ASSERT_EQ(RegSetValueExA(key, "WiaRootPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                           sizeof text),
            ERROR_SUCCESS);
  char back[32] = {};
  size = sizeof back;
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "WiaRootPath", nullptr, &type, reinterpret_cast<BYTE*>(back),
                             &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_STREQ(back, text);
  EXPECT_EQ(size, sizeof text);
  EXPECT_EQ(RegDeleteValueA(key, "WiaRootPath"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "WiaRootPath"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

// One process writes through the kernel's path, the other through the
// user-mode view, each from two threads at once; every write survives.
TEST_F(RegistryViews, TwoProcessesAndTheirThreadsLoseNoWrite) {
  constexpr int kValues = 60;
  ASSERT_EQ(KernelWrite("Start", 0), k::STATUS_SUCCESS);  // the hive exists before the race
  auto writeAll = [&](bool kernel) {
    auto writer = [kernel](int thread) {
      for (int i = 0; i < kValues; ++i) {
        const std::string name = std::string(kernel ? "K" : "U") + std::to_string(thread) + "_" +
                                 std::to_string(i);
        const uint32_t value = static_cast<uint32_t>(thread * 1000 + i);
        const bool ok = kernel ? KernelWrite(name.c_str(), value) == k::STATUS_SUCCESS
                               : UserWrite(name.c_str(), value) == ERROR_SUCCESS;
        if (!ok) ::_exit(3);
      }
    };
    std::thread first(writer, 0);
    writer(1);
    first.join();
  };
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    writeAll(true);
    ::_exit(0);
  }
  writeAll(false);
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (const char* prefix : {"K", "U"}) {
    for (int thread = 0; thread < 2; ++thread) {
      for (int i = 0; i < kValues; ++i) {
        const std::string name = prefix + std::to_string(thread) + "_" + std::to_string(i);
        EXPECT_EQ(UserRead(name.c_str()), static_cast<uint32_t>(thread * 1000 + i)) << name;
      }
    }
  }
}

}  // namespace
}  // namespace ksv::platform
