// Keys as trees: sub-key listing and deletion in the store, and the Win32
// calls that enumerate and delete keys and values, across the three
// predefined keys and their two hives.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry/machine_hive.h"
#include "platform/registry/registry_store.h"
#include "platform/registry/win32_registry.h"
#include "testing/temp_files.h"

namespace ksv::platform {
namespace {

namespace fs = std::filesystem;

class RegistryTree : public ::testing::Test {
 protected:
  RegistryTree() { ::setenv("KSV_ROOT", root_.c_str(), 1); }

  static HKEY Create(HKEY root, const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
  }
  static void SetText(HKEY key, const char* name, const char* text) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             static_cast<DWORD>(std::strlen(text) + 1)),
              ERROR_SUCCESS);
  }
  static std::vector<std::string> SubKeys(HKEY key) {
    std::vector<std::string> names;
    char name[64];
    for (DWORD i = 0;; ++i) {
      DWORD size = sizeof name;
      const LONG result = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_NO_MORE_ITEMS) break;
      EXPECT_EQ(result, ERROR_SUCCESS);
      if (result != ERROR_SUCCESS) break;
      EXPECT_EQ(size, std::strlen(name));
      names.emplace_back(name);
    }
    return names;
  }

  ::ksv::testing::TempFolder temp_;
  fs::path root_ = temp_.path();
};

TEST_F(RegistryTree, StoreListsAndDeletesSubTrees) {
  auto hive = RegistryStore::OpenMachineHive();
  hive->SetString("A\\b\\x", "", "deep");
  hive->SetDword("A\\B\\y", "v", 1);  // the same "b" key, other case
  hive->CreateKey("A\\c");
  hive->SetDword("A", "own", 2);
  hive->SetDword("Ab", "neighbour", 3);  // shares a prefix, is no sub-key
  hive->SetDword("A_", "escaped", 4);
  EXPECT_EQ(hive->ListSubKeys("A"), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(hive->ListSubKeys("a\\B"), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(hive->ListSubKeys(""), (std::vector<std::string>{"A", "A_", "Ab"}));
  EXPECT_TRUE(hive->ListSubKeys("Nobody").empty());

  EXPECT_TRUE(hive->DeleteTree("a\\b"));
  EXPECT_FALSE(hive->KeyExists("A\\b\\x"));
  EXPECT_EQ(hive->ListSubKeys("A"), (std::vector<std::string>{"c"}));
  EXPECT_TRUE(hive->DeleteTree("A"));
  EXPECT_FALSE(hive->KeyExists("A"));
  EXPECT_EQ(hive->GetDword("Ab", "neighbour"), 3u);
  EXPECT_EQ(hive->GetDword("A_", "escaped"), 4u);
  EXPECT_FALSE(hive->DeleteTree("A"));
}

TEST_F(RegistryTree, BinaryAndDefaultValuesRoundTrip) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Filters\\One");
  const BYTE blob[] = {0x02, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x7F};
  ASSERT_EQ(RegSetValueExA(key, "FilterData", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  SetText(key, nullptr, "Default text");
  BYTE back[16] = {};
  DWORD size = sizeof back, type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "filterdata", nullptr, &type, back, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  ASSERT_EQ(size, sizeof blob) << "zero bytes inside binary data are kept";
  EXPECT_EQ(std::memcmp(back, blob, sizeof blob), 0);
  char text[32] = {};
  size = sizeof text;
  ASSERT_EQ(RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_STREQ(text, "Default text");

  // Enumeration: the default value first, then by name.
  char name[32];
  DWORD nameSize = sizeof name;
  size = sizeof back;
  ASSERT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, back, &size), ERROR_SUCCESS);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(nameSize, 0u);
  nameSize = 4;  // too small for "FilterData"
  EXPECT_EQ(RegEnumValueA(key, 1, name, &nameSize, nullptr, &type, nullptr, nullptr),
            ERROR_MORE_DATA);
  nameSize = sizeof name;
  size = 3;  // too small for the data: the size needed comes back
  EXPECT_EQ(RegEnumValueA(key, 1, name, &nameSize, nullptr, &type, back, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof blob);
  nameSize = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 2, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);

  DWORD values = 0, longestName = 0, longestData = 0, subKeys = 9;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                             &longestName, &longestData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(longestName, std::strlen("FilterData"));
  EXPECT_EQ(longestData, std::strlen("Default text") + 1);
  RegCloseKey(key);
}

TEST_F(RegistryTree, ClassesRootIsTheMachinesSoftwareClassesAndTheUserHiveIsApart) {
  HKEY key = Create(HKEY_CLASSES_ROOT, "CLSID\\{X}\\InprocServer32");
  SetText(key, "ThreadingModel", "Both");
  RegCloseKey(key);
  EXPECT_EQ(SharedMachineHive()->GetString("Software\\Classes\\CLSID\\{X}\\InprocServer32",
                                           "ThreadingModel"),
            "Both");

  key = Create(HKEY_CURRENT_USER, "Software\\Maker\\Codec");
  DWORD one = 1;
  ASSERT_EQ(RegSetValueExA(key, "QuickCompress", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(SharedUserHive()->GetDword("Software\\Maker\\Codec", "QuickCompress"), 1u);
  EXPECT_FALSE(SharedMachineHive()->KeyExists("Software\\Maker"));
  EXPECT_TRUE(fs::exists(root_ / "registry" / "user.sqlite3"));
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Maker", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);

  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Maker", 0, nullptr, 0, KEY_READ, nullptr,
                            &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_READ, nullptr,
                            &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegCloseKey(key);
}

TEST_F(RegistryTree, EnumeratesAndDeletesKeysAsWin32Does) {
  HKEY classes = Create(HKEY_CLASSES_ROOT, "CLSID");
  RegCloseKey(Create(classes, "{B}\\InprocServer32"));
  RegCloseKey(Create(classes, "{a}"));
  HKEY c = Create(classes, "{C}");
  SetText(c, "", "Class C");
  RegCloseKey(c);
  EXPECT_EQ(SubKeys(classes), (std::vector<std::string>{"{a}", "{B}", "{C}"}));
  char small[3];
  DWORD size = sizeof small;
  EXPECT_EQ(RegEnumKeyExA(classes, 0, small, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  DWORD subKeys = 0, longest = 0;
  ASSERT_EQ(RegQueryInfoKeyA(classes, nullptr, nullptr, nullptr, &subKeys, &longest, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 3u);
  EXPECT_EQ(longest, 3u);

  EXPECT_EQ(RegDeleteKeyA(classes, "{B}"), ERROR_ACCESS_DENIED) << "it has a sub-key";
  EXPECT_EQ(RegDeleteKeyA(classes, "{C}"), ERROR_SUCCESS) << "values go with the key";
  EXPECT_EQ(RegDeleteKeyA(classes, "{C}"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteTreeA(classes, "{B}"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeA(classes, "{B}"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(SubKeys(classes), (std::vector<std::string>{"{a}"}));

  // A null sub-key empties the key and keeps it.
  HKEY d = Create(classes, "{D}");
  SetText(d, "Name", "x");
  RegCloseKey(Create(d, "Below"));
  ASSERT_EQ(RegDeleteTreeA(d, nullptr), ERROR_SUCCESS);
  DWORD values = 9;
  ASSERT_EQ(RegQueryInfoKeyA(d, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(values, 0u);
  RegCloseKey(d);
  HKEY reopened = nullptr;
  EXPECT_EQ(RegOpenKeyExA(classes, "{D}", 0, KEY_READ, &reopened), ERROR_SUCCESS);
  RegCloseKey(reopened);
  RegCloseKey(classes);
  EXPECT_EQ(RegEnumKeyExA(nullptr, 0, small, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_HANDLE);
}

// Handles in the predefined range that this registry has no hive for
// (HKEY_USERS, HKEY_CURRENT_CONFIG ...) are refused, not followed as if
// they were keys this process opened.
TEST_F(RegistryTree, PredefinedKeysWithoutAHiveAreInvalidHandles) {
  for (const uintptr_t value : {0x80000003u, 0x80000005u, 0x80000050u}) {
    const auto other = reinterpret_cast<HKEY>(value);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(other, "Software", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegCreateKeyExA(other, "Software", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(other, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueExA(other, "x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_INVALID_HANDLE);
    char name[8];
    size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(other, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteTreeA(other, "Software"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(other), ERROR_INVALID_HANDLE);
  }
}

}  // namespace
}  // namespace ksv::platform
