// The download library on a small memory image: files named by kind,
// pictures as bitmaps, a camera that is not ready, an item that cannot be
// written, and the folder routines the still-image service uses.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "include/oksv1dld.h"
#include "include/oksv1dnl.h"
#include "outside/bulk/memory/memory_image.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/registry/win32_registry.h"
#include "platform/root/system_root.h"
#include "platform/ui/answerer.h"
#include "platform/ui/dialogs/message_box.h"
#include "simcam/memory_builder.h"
#include "simcam/simulated_modes.h"
#include "support/picture/picture_file.h"
#include "testing/temp_files.h"

namespace {

namespace fs = std::filesystem;
using namespace ksv;
using ksv::platform::ui::ModalElement;

constexpr const char* kDriverKey = "Software\\Tarvio\\KSV Drivers\\";

void SetDriverStatus(DWORD status) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "DriverStatus", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&status), sizeof status);
  RegCloseKey(key);
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

class WiaDownload : public ::testing::Test {
 protected:
  WiaDownload() {
    EXPECT_TRUE(plugins_.ok()) << plugins_.error();
    using namespace simcam;
    using namespace outside::bulk;
    CameraMemory memory{{"fw", "sensor", "chip"}, SimulatedCameraModes(), {}};
    const picture::RgbPicture photo = picture::ReadPicture(KSV_TESTDATA_DIR "/photos/coffee.png");
    const auto& high = *memory.FindMode(kHighQualityPictureMode);
    memory.items.push_back(MakePictureItem(photo, high, kHighQualitySubtype));
    memory.items.push_back(MakePictureItem(photo, *memory.FindMode(kLowQualityPictureMode), kLowQualitySubtype));
    const std::vector<picture::RgbPicture> frames(5, photo);
    memory.items.push_back(MakeBurstItem(frames, *memory.FindMode(kClipMode)));
    memory.items.push_back(MakeClipItem({frames.data(), 2}, *memory.FindMode(kClipMode), kClipSubtype,
                                        ClipSound::kAdpcm8000, MonoAudio{8000, {}}));
    memory.items.push_back(MakePictureItem(photo, high, kHighQualitySubtype));
    ksv::testing::WriteFile(folder_ / "camera.mem", WriteMemoryImage(memory));
    BULK_UseCameraMemory((folder_ / "camera.mem").c_str());
    // Every message box is answered, its text kept.
    platform::ui::SetAnswerer([this](const ModalElement& element) {
      said_.push_back(element.text);
      platform::ui::answer::PressButton(element.window, IDOK);
    });
  }
  ~WiaDownload() override {
    platform::ui::SetAnswerer({});
    BULK_UseCameraMemory(nullptr);
  }

  media::testing::PluginRoot plugins_{{"Dextro.so", "ksvvexel5.so", "trsmplrt.so", "ksvavimux.so",
                                       "ksvfilewriter.so", "ksvavimaker.so", "ksvavico.so",
                                       "ksvcolour.so", "ksvacm.so", "ksvcapture.so"}};
  ksv::testing::TempFolder folder_;
  std::vector<std::string> said_;
};

TEST_F(WiaDownload, NamesEachKindFromZeroAndConvertsPicturesToBitmaps) {
  SetDriverStatus(3);
  const fs::path plain = folder_ / "plain" / "deeper";
  ASSERT_EQ(KXWIADLD_Download(kDriverKey, plain.c_str(), 0), 1);
  EXPECT_EQ(Names(plain), (std::set<std::string>{"HQ0.JPG", "WQ0.JPG", "Burst0.JPG", "Burst1.JPG",
                                                 "Burst2.JPG", "Burst3.JPG", "Burst4.JPG", "Clip0.AVI",
                                                 "HQ1.JPG"}));
  // The window went with the call.
  EXPECT_EQ(FindWindowA(nullptr, ""), nullptr);

  SetDriverStatus(7);
  const fs::path bitmaps = folder_ / "bitmaps";
  ASSERT_EQ(KXWIADLD_Download(kDriverKey, bitmaps.c_str(), 1), 1);
  EXPECT_EQ(Names(bitmaps), (std::set<std::string>{"HQ0.BMP", "WQ0.BMP", "Burst0.BMP", "Burst1.BMP",
                                                   "Burst2.BMP", "Burst3.BMP", "Burst4.BMP", "Clip0.AVI",
                                                   "HQ1.BMP"}));
  const picture::RgbPicture high = picture::ReadPicture(bitmaps / "HQ0.BMP");
  EXPECT_EQ(high.width, 640u);
  EXPECT_EQ(high.height, 480u);
  EXPECT_TRUE(said_.empty());
}

TEST_F(WiaDownload, ACameraNotReadyIsToldAndNothingIsWritten) {
  const fs::path target = folder_ / "never";
  SetDriverStatus(5);
  EXPECT_EQ(KXWIADLD_Download(kDriverKey, target.c_str(), 0), 0);
  SetDriverStatus(8);
  EXPECT_EQ(KXWIADLD_Download(kDriverKey, target.c_str(), 0), 0);
  // A key without the value: the camera was never seen.
  EXPECT_EQ(KXWIADLD_Download("Software\\Nobody\\", target.c_str(), 0), 0);
  // The texts come from the localization file beside the library when it has them.
  fs::create_directories(platform::SystemRoot() / "system32");
  std::ofstream(platform::SystemRoot() / "system32" / "OKSV1Dld.LOC")
      << "[LOCALIZE_STR]\nID_LOC_CAMNOTEXIST=Kamera fehlt\n";
  EXPECT_EQ(KXWIADLD_Download(kDriverKey, target.c_str(), 0), 0);
  EXPECT_EQ(said_, (std::vector<std::string>{"Camera is used by another application",
                                              "Camera is not connected to PC", "Camera is not connected to PC",
                                              "Kamera fehlt"}));
  EXPECT_FALSE(fs::exists(target));
}

TEST_F(WiaDownload, AnItemThatCannotBeWrittenIsSkippedAndTheRestCopied) {
  SetDriverStatus(3);
  const fs::path target = folder_ / "blocked";
  // A folder where the first picture's file would go.
  fs::create_directories(target / "HQ0.JPG");
  EXPECT_EQ(KXWIADLD_Download(kDriverKey, target.c_str(), 0), 0);
  const std::set<std::string> names = Names(target);
  for (const char* name : {"WQ0.JPG", "Burst4.JPG", "Clip0.AVI", "HQ1.JPG"}) {
    EXPECT_TRUE(names.count(name)) << name;
  }
  EXPECT_TRUE(fs::is_directory(target / "HQ0.JPG"));
}

TEST(WiaFolders, CleanFolderAndCreatePathKeepWhatTheyShould) {
  ksv::testing::TempFolder root;
  fs::create_directories(root / "stale");
  fs::create_directories(root / "kept");
  ksv::testing::TempFolder other;
  ksv::testing::WriteFile(root / "stale" / "A.TMB", std::vector<uint8_t>{1});
  ksv::testing::WriteFile(root / "stale" / "notes.txt", std::vector<uint8_t>{1});
  ksv::testing::WriteFile(root / "kept" / "A.tmb", std::vector<uint8_t>{1});
  ksv::testing::WriteFile(root / "kept" / "B.bmp", std::vector<uint8_t>{1});
  ksv::testing::WriteFile(root / "top.tmb", std::vector<uint8_t>{1});
  ksv::testing::WriteFile(other / "C.txt", std::vector<uint8_t>{1});
  // A link to a folder elsewhere is not a folder of the root's to empty.
  fs::create_directory_symlink(other.path(), root / "link");
  EXPECT_EQ(KXWIADLD_CleanFolder((root.path().string() + "/").c_str(), ".tmb"), 1);
  EXPECT_FALSE(fs::exists(root / "stale"));
  EXPECT_EQ(Names(root / "kept"), (std::set<std::string>{"B.bmp"}));
  EXPECT_TRUE(fs::exists(root / "top.tmb"));
  EXPECT_TRUE(fs::exists(other / "C.txt"));

  EXPECT_EQ(KXWIADLD_CreatePath(""), 0);
  EXPECT_EQ(KXWIADLD_CreatePath(nullptr), 0);
  EXPECT_EQ(KXWIADLD_CreatePath((root / "a" / "b" / "c").c_str()), 1);
  EXPECT_TRUE(fs::is_directory(root / "a" / "b" / "c"));
  ksv::testing::WriteFile(root / "file", std::vector<uint8_t>{1});
  EXPECT_EQ(KXWIADLD_CreatePath((root / "file" / "below").c_str()), 0);
}

}  // namespace
