#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/module/module.h"

namespace {

std::string FileOf(HMODULE module) {
  char path[1024];
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  return length == 0 ? std::string() : std::string(path, length);
}

// A library of the system lives in the system folder under the root as it
// is when asked, whatever file the process loaded it from.
TEST(SystemModule, LivesInTheSystemFolderOfTheCurrentRoot) {
  const HMODULE library = ksv::platform::RegisterSystemModule("OKSV9API.DLL");
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(ksv::platform::RegisterSystemModule("OKSV9API.DLL"), library);
  EXPECT_EQ(GetModuleHandleA("oksv9api.dll"), library);

  ASSERT_EQ(setenv("KSV_ROOT", "/first/root", 1), 0);
  EXPECT_EQ(FileOf(library), "/first/root/system32/OKSV9API.DLL");
  ASSERT_EQ(setenv("KSV_ROOT", "/second/root", 1), 0);
  EXPECT_EQ(FileOf(library), "/second/root/system32/OKSV9API.DLL");

  // A file of that name registered by path is another module.
  const HMODULE byPath = ksv::platform::RegisterModule("/second/root/system32/OKSV9API.DLL");
  EXPECT_NE(byPath, library);
  EXPECT_EQ(ksv::platform::RegisterSystemModule("sub/OKSV9API.DLL"), nullptr);
  EXPECT_EQ(ksv::platform::RegisterSystemModule(""), nullptr);
}

}  // namespace
