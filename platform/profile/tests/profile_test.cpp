#include "platform/profile/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(Profile, ValuesAreWrittenFoundAndRemoved) {
  const fs::path file = fs::path(::testing::TempDir()) / "profile_test.pro";
  fs::remove(file);
  ASSERT_TRUE(WritePrivateProfileStringA("CLIP_INFO", "TOTAL", "30", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("CLIP_FILE", "1", "\"CLP1.TMP\"", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("CLIP_INFO", "FRAME_MS", "100", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("clip_info", "total", "31", file.c_str()));

  char text[64];
  EXPECT_EQ(GetPrivateProfileStringA("Clip_File", "1", "NULL", text, sizeof text, file.c_str()), 8u);
  EXPECT_STREQ(text, "CLP1.TMP");
  GetPrivateProfileStringA("CLIP_FILE", "2", "NULL", text, sizeof text, file.c_str());
  EXPECT_STREQ(text, "NULL");
  EXPECT_EQ(GetPrivateProfileIntA("CLIP_INFO", "TOTAL", -1, file.c_str()), 31u);
  EXPECT_EQ(GetPrivateProfileIntA("CLIP_INFO", "FRAME_MS", -1, file.c_str()), 100u);
  EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA("CLIP_INFO", "NONE", -1, file.c_str())), -1);
  // Cut to the buffer.
  char small[4];
  EXPECT_EQ(GetPrivateProfileStringA("CLIP_FILE", "1", "", small, sizeof small, file.c_str()), 3u);
  EXPECT_STREQ(small, "CLP");

  ASSERT_TRUE(WritePrivateProfileStringA("CLIP_INFO", "TOTAL", nullptr, file.c_str()));
  EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA("CLIP_INFO", "TOTAL", -1, file.c_str())), -1);
  EXPECT_EQ(GetPrivateProfileIntA("CLIP_INFO", "FRAME_MS", -1, file.c_str()), 100u);
  ASSERT_TRUE(WritePrivateProfileStringA("CLIP_INFO", nullptr, nullptr, file.c_str()));
  EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA("CLIP_INFO", "FRAME_MS", -1, file.c_str())), -1);
  GetPrivateProfileStringA("CLIP_FILE", "1", "NULL", text, sizeof text, file.c_str());
  EXPECT_STREQ(text, "CLP1.TMP");
  fs::remove(file);
}

}  // namespace
