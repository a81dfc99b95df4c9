#include "common/profile_text.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "common/driver_settings.h"
#include "platform/registry/registry_store.h"
#include "testing/temp_files.h"

namespace ksv::common {
namespace {

namespace fs = std::filesystem;

TEST(ProfileText, NullReadsAsMissing) {
  const fs::path file = fs::path(::testing::TempDir()) / "profile_text.loc";
  std::ofstream(file) << "[LOCALIZE_STR]\nID_STR_DNLOAD=Lataa...\nID_LOC_CAMERA_NAME=NULL\n"
                         "[CLIP_FILE]\n1=\"CLP1A.TMP\"\n";
  EXPECT_EQ(ProfileText(file.string(), "CLIP_FILE", "1"), "CLP1A.TMP");
  EXPECT_EQ(ProfileText(file.string(), "CLIP_FILE", "2"), std::nullopt);
  EXPECT_EQ(LocalizedText(file.string(), "ID_STR_DNLOAD", "Downloading..."), "Lataa...");
  EXPECT_EQ(LocalizedText(file.string(), "ID_LOC_CAMERA_NAME", "Digital Camera"), "Digital Camera");
  EXPECT_EQ(LocalizedText((fs::path(::testing::TempDir()) / "none.loc").string(),
                          "ID_STR_DNLOAD", "Downloading..."),
            "Downloading...");
  fs::remove(file);
}

TEST(DriverSettings, MissingValuesReadAsMinusOne) {
  const ::ksv::testing::TempFolder root;
  ::setenv("KSV_ROOT", root.path().c_str(), 1);
  EXPECT_EQ(ReadMachineDword("Sync Frames"), kMissingDword);
  platform::RegistryStore::OpenMachineHive()->SetDword(kDriverKey, "Sync Frames", 3);
  EXPECT_EQ(ReadMachineDword("sync frames"), 3u);
  EXPECT_EQ(ReadMachineDword("Sync Frames", "Software\\Other"), kMissingDword);
}

}  // namespace
}  // namespace ksv::common
