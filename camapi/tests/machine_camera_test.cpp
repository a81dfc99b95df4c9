// A program that links only the camera access library (and the platform's
// window and module handles it is called with) reaches the simulated camera
// once `ksvcam setup` has put it in the machine's device list, as it would
// reach a camera plugged into the machine.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "include/oksv1api.h"
#include "platform/module/module.h"
#include "platform/ui/ui.h"
#include "platform/ui/user32.h"
#include "testing/temp_files.h"

namespace {

namespace fs = std::filesystem;

struct Download {
  fs::path folder;
  std::vector<std::string> written;
  int failures = 0;
};

void Begin(intptr_t user, int kind, char* path, int32_t*) {
  auto& download = *reinterpret_cast<Download*>(user);
  const std::string name = "item" + std::to_string(download.written.size()) + "_kind" +
                           std::to_string(kind);
  std::snprintf(path, 260, "%s", (download.folder / name).c_str());
}

void End(intptr_t user, DWORD status, char* path, int32_t*) {
  auto& download = *reinterpret_cast<Download*>(user);
  if (status == 0) {
    download.written.push_back(path);
  } else {
    ++download.failures;
  }
}

TEST(MachineCamera, ALibraryClientDownloadsTheSimulatedCameraAfterSetup) {
  ksv::testing::TempFolder root;
  ::setenv("KSV_ROOT", (root / "root").c_str(), 1);
  const HINSTANCE module = ksv::platform::RegisterModule((root / "OKSV1API.DLL").string());
  const HWND window = ksv::platform::ui::CreateMessageOnlyWindow();

  EXPECT_EQ(KXCAMAPI_Init(Begin, End, 0, module, window), nullptr)
      << "no camera is on the machine before setup";

  const std::string setup = std::string(KSVCAM_PROGRAM) + " setup > /dev/null";
  ASSERT_EQ(std::system(setup.c_str()), 0);

  Download download{root / "pictures", {}, 0};
  fs::create_directories(download.folder);
  KXCAMAPI_HANDLE camera =
      KXCAMAPI_Init(Begin, End, reinterpret_cast<intptr_t>(&download), module, window);
  ASSERT_NE(camera, nullptr);
  int pictures = 0;
  ASSERT_EQ(KXCAMAPI_GetNumHQImg(camera, &pictures), 0);
  EXPECT_EQ(pictures, 3);
  KXCAMAPI_Download(camera);
  KXCAMAPI_Reset(camera);
  DestroyWindow(window);

  int jpegs = 0;
  for (const std::string& path : download.written) {
    const auto bytes = ksv::testing::ReadFile(path);
    if (bytes.size() > 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) ++jpegs;
  }
  EXPECT_GE(jpegs, 3 + 2 + 5) << "the pictures and the burst's pictures arrive as JPEG files";
}

}  // namespace
