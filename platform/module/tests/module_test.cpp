#include "platform/module/module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(Module, RegisteredModulesGiveTheirFileBack) {
  const HMODULE library = ksv::platform::RegisterModule("/opt/ksv/lib/OKSV1API.so");
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(ksv::platform::RegisterModule("/opt/ksv/lib/../lib/OKSV1API.so"), library);
  EXPECT_NE(ksv::platform::RegisterModule("/opt/ksv/lib/Other.so"), library);
  EXPECT_EQ(GetModuleHandleA("oksv1api.SO"), library);
  EXPECT_EQ(GetModuleHandleA("missing.so"), nullptr);

  char path[260];
  EXPECT_EQ(GetModuleFileNameA(library, path, sizeof path), 24u);
  EXPECT_STREQ(path, "/opt/ksv/lib/OKSV1API.so");
  // Cut to the buffer, still terminated.
  char small[8];
  EXPECT_EQ(GetModuleFileNameA(library, small, sizeof small), 8u);
  EXPECT_STREQ(small, "/opt/ks");
  EXPECT_EQ(GetModuleFileNameA(library, small, 0), 0u);
}

TEST(Module, UnknownHandlesAreRefusedAndNullIsTheExecutable) {
  char path[4096];
  EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(uintptr_t{999999}), path, sizeof path), 0u);
  ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
  EXPECT_TRUE(std::filesystem::exists(path));
  const HMODULE self = GetModuleHandleA(nullptr);
  ASSERT_NE(self, nullptr);
  char again[4096];
  ASSERT_GT(GetModuleFileNameA(self, again, sizeof again), 0u);
  EXPECT_STREQ(again, path);
}

}  // namespace
