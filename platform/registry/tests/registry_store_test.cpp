#include "platform/registry/registry_store.h"
#include "testing/temp_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace ksv::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDriverKey = "Software\\Tarvio\\KSV Drivers\\";

// Each test gets a fresh system root, as every test of the system does.
class RegistryStoreTest : public ::testing::Test {
 protected:
  RegistryStoreTest() { ::setenv("KSV_ROOT", root_.c_str(), 1); }
  ::ksv::testing::TempFolder temp_;
  fs::path root_ = temp_.path();
};

TEST_F(RegistryStoreTest, KeepsDwordsAndStringsAcrossOpenings) {
  {
    auto hive = RegistryStore::OpenMachineHive();
    hive->SetDword(kDriverKey, "SnapShoot", 1);
    hive->SetDword(kDriverKey, "Big", 0xFFFFFFFFu);
    hive->SetString(kDriverKey, "WiaRootPath", "/srv/pictures");
  }
  EXPECT_TRUE(fs::exists(root_ / "registry" / "machine.sqlite3"));
  auto hive = RegistryStore::OpenMachineHive();
  EXPECT_EQ(hive->GetDword(kDriverKey, "SnapShoot"), 1u);
  EXPECT_EQ(hive->GetDword(kDriverKey, "Big"), 0xFFFFFFFFu);
  EXPECT_EQ(hive->GetString(kDriverKey, "WiaRootPath"), "/srv/pictures");
}

TEST_F(RegistryStoreTest, AbsentValuesAndOtherTypesReadAsNothing) {
  auto hive = RegistryStore::OpenMachineHive();
  EXPECT_EQ(hive->GetDword(kDriverKey, "BulkMode"), std::nullopt);
  hive->SetString(kDriverKey, "BulkMode", "1");
  EXPECT_EQ(hive->GetDword(kDriverKey, "BulkMode"), std::nullopt);  // a REG_SZ is not a DWORD
  hive->SetDword(kDriverKey, "BulkMode", 0);                        // replacing changes the type
  EXPECT_EQ(hive->GetDword(kDriverKey, "BulkMode"), 0u);
  EXPECT_EQ(hive->GetString(kDriverKey, "BulkMode"), std::nullopt);
  EXPECT_EQ(hive->GetDword("Software\\Other", "BulkMode"), std::nullopt);
}

TEST_F(RegistryStoreTest, KeysAndNamesMatchAsWindowsMatchesThem) {
  auto hive = RegistryStore::OpenMachineHive();
  hive->SetDword(kDriverKey, "DriverStatus", 3);
  EXPECT_EQ(hive->GetDword("software\\TARVIO\\ksv drivers", "driverstatus"), 3u);
  EXPECT_EQ(hive->GetDword("\\Software\\\\Tarvio\\KSV Drivers", "DriverStatus"), 3u);
  EXPECT_EQ(hive->GetDword("Software\\Tarvio", "DriverStatus"), std::nullopt);
  hive->SetDword("SOFTWARE\\tarvio\\KSV DRIVERS\\", "DRIVERSTATUS", 5);  // the same value
  EXPECT_EQ(hive->GetDword(kDriverKey, "DriverStatus"), 5u);
  EXPECT_EQ(RegistryStore::NormaliseKey("\\\\a\\\\b\\"), "a\\b");
}

TEST_F(RegistryStoreTest, StringsEndAtTheirFirstZeroAndMayBeEmpty) {
  auto hive = RegistryStore::OpenMachineHive();
  hive->SetString(kDriverKey, "Empty", "");
  hive->SetString(kDriverKey, "Cut", std::string_view("abc\0def", 7));
  EXPECT_EQ(hive->GetString(kDriverKey, "Empty"), "");
  EXPECT_EQ(hive->GetString(kDriverKey, "Cut"), "abc");
}

TEST_F(RegistryStoreTest, ConcurrentWritersInSeveralProcessesLoseNothing) {
  constexpr int kWriters = 4;
  constexpr int kValuesEach = 40;
  RegistryStore::OpenMachineHive();  // the file exists before the writers race
  pid_t children[kWriters];
  for (int w = 0; w < kWriters; ++w) {
    children[w] = ::fork();
    ASSERT_GE(children[w], 0);
    if (children[w] == 0) {
      int status = 0;
      try {
        auto hive = RegistryStore::OpenMachineHive();
        for (int i = 0; i < kValuesEach; ++i) {
          hive->SetDword(kDriverKey, "W" + std::to_string(w) + "_" + std::to_string(i),
                         static_cast<uint32_t>(w * 1000 + i));
          hive->SetDword(kDriverKey, "Shared", static_cast<uint32_t>(w));
        }
      } catch (...) {
        status = 1;
      }
      ::_exit(status);
    }
  }
  for (pid_t child : children) {
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto hive = RegistryStore::OpenMachineHive();
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kValuesEach; ++i) {
      EXPECT_EQ(hive->GetDword(kDriverKey, "W" + std::to_string(w) + "_" + std::to_string(i)),
                static_cast<uint32_t>(w * 1000 + i));
    }
  }
  const auto shared = hive->GetDword(kDriverKey, "Shared");
  ASSERT_TRUE(shared.has_value());
  EXPECT_LT(*shared, static_cast<uint32_t>(kWriters));
}

// A hive in memory keeps what it has listed on its side: whatever is
// written, changed in case or type, deleted or not changed at all, it reads
// as a hive in a file does.
TEST_F(RegistryStoreTest, AHiveInMemoryReadsAsAHiveInAFile) {
  auto file = RegistryStore::OpenMachineHive();
  auto memory = RegistryStore::OpenInMemory();
  const auto same = [&](const char* step) {
    for (const char* key : {kDriverKey, "Software\\Tarvio"}) {
      const auto want = file->ListValues(key);
      const auto got = memory->ListValues(key);
      ASSERT_EQ(got.size(), want.size()) << step;
      for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].name, want[i].name) << step;
        EXPECT_EQ(got[i].type, want[i].type) << step;
        EXPECT_EQ(got[i].data, want[i].data) << step;
      }
      EXPECT_EQ(memory->GetDword(key, "isomode"), file->GetDword(key, "isomode")) << step;
      EXPECT_EQ(memory->GetString(key, "Path"), file->GetString(key, "Path")) << step;
    }
  };
  // What the statements that see the whole hive give.
  constexpr const char* kFresh = "Software\\Tarvio\\Fresh";
  const auto sameTree = [&](const char* step) {
    EXPECT_EQ(memory->ListSubKeys("Software\\Tarvio"), file->ListSubKeys("Software\\Tarvio"))
        << step;
    EXPECT_EQ(memory->KeyExists(kFresh), file->KeyExists(kFresh)) << step;
  };
  const auto both = [&](const auto& change) {
    change(*file);
    change(*memory);
  };
  same("empty");
  both([](RegistryStore& hive) { hive.SetDword(kDriverKey, "IsoMode", 1); });
  both([](RegistryStore& hive) { hive.SetDword(kDriverKey, "Brightness", 7); });
  same("listed");
  both([](RegistryStore& hive) { hive.SetDword("software\\TARVIO\\ksv drivers", "ISOMODE", 0); });
  both([](RegistryStore& hive) { hive.SetDword(kDriverKey, "Brightness", 7); });  // no change
  both([](RegistryStore& hive) { hive.SetDword(kDriverKey, "Contrast", 3); });
  same("changed in case, unchanged, added");
  both([](RegistryStore& hive) { hive.SetDword("SOFTWARE\\Other", "A", 1); });  // a new key
  EXPECT_TRUE(memory->ListValues(kFresh).empty());  // a key listed before it has values
  both([kFresh](RegistryStore& hive) { hive.SetDword(kFresh, "A", 1); });
  sameTree("new keys");
  same("after the tree was seen");
  // The same four bytes as another type are another value.
  both([](RegistryStore& hive) { hive.SetString(kDriverKey, "IsoMode", std::string(4, '\0')); });
  both([](RegistryStore& hive) { hive.SetString(kDriverKey, "Path", "/srv"); });
  same("type changed");
  both([](RegistryStore& hive) { hive.DeleteValue(kDriverKey, "isomode"); });
  same("deleted");
  both([](RegistryStore& hive) { hive.DeleteTree("Software\\Tarvio"); });
  same("tree deleted");
  sameTree("tree deleted");
  both([](RegistryStore& hive) { hive.SetDword(kDriverKey, "Brightness", 7); });
  same("written again");
}

TEST_F(RegistryStoreTest, AnUnusableRootIsAClearError) {
  const fs::path blocker = root_ / "file";
  std::FILE* file = std::fopen(blocker.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  ::setenv("KSV_ROOT", blocker.c_str(), 1);  // a file where a folder must be
  try {
    RegistryStore::OpenMachineHive();
    FAIL() << "opened a hive under a plain file";
  } catch (const RegistryError& error) {
    EXPECT_NE(std::string(error.what()).find("registry"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace ksv::platform
