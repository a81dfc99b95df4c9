// What the camera access library's tests share: a fresh system root, a
// camera memory image, a module and window for the context, and callbacks
// that name the files by kind and record every call.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "include/oksv1api.h"
#include "outside/bulk/memory/camera_memory.h"
#include "platform/media/testing/plugin_root.h"
#include "support/picture/picture.h"
#include "support/picture/psnr.h"
#include "testing/temp_files.h"

namespace ksv::camapi::testing {

// One callback call.
struct ItemEvent {
  bool begin = false;  // else the end of an item
  int kind = 0;        // begin: the kind; end: the kind of the matching begin
  DWORD status = 0;    // end only
  std::string path;
};

// The application's side: names each file "HQ0.JPG", "WQ0.JPG",
// "Burst0.JPG", "Clip0.AVI", "Raw0.WAV" (each kind counted from 0) in
// `folder`, and records every call.
struct Recorder {
  std::filesystem::path folder;
  std::vector<ItemEvent> events;
  std::vector<KXCAMAPI_ProgressRecord> progress;
  // Optional hooks: return true to set the cancel flag.
  std::function<bool(size_t beginIndex, int kind)> cancelAtBegin;
  std::function<bool(const KXCAMAPI_ProgressRecord&)> stopProgress;
  // Overrides the path of the n-th begin.
  std::function<std::string(size_t beginIndex, const std::string& named)> pathFor;
  unsigned counters[8] = {};

  std::vector<ItemEvent> Ends() const;
  std::vector<std::string> FileNames() const;  // sorted names in `folder`
};

void RecordBegin(intptr_t user, int kind, char* path, int32_t* cancel);
void RecordEnd(intptr_t user, DWORD status, char* path, int32_t* cancel);
int RecordProgress(intptr_t user, const KXCAMAPI_ProgressRecord* record);

// The plug-ins a clip download creates: the clip graph's five filters, and
// the AVI maker and compressors of the media graph library's build.
extern const std::vector<std::string> kClipModules;

// Each test runs with KSV_ROOT set to a new folder in which the clip
// download's plug-ins are registered (COM initialised on the test's
// thread), a module registered as ROOT/lib/OKSV1API.so and a message-only
// window.
class CamapiTest : public ::testing::Test {
 protected:
  CamapiTest();
  ~CamapiTest() override;

  media::testing::PluginRoot plugins_{kClipModules};

  // Writes `memory` as an image file and makes it the camera.
  void UseMemory(const outside::bulk::CameraMemory& memory);
  // The simulated camera's default memory and PhotoMemory(), each kept as
  // an image file between test processes so it is made once per build.
  void UseDefaultMemory();
  void UsePhotoMemory();
  // The image file UsePhotoMemory() chooses.
  static std::filesystem::path PhotoMemoryImage();
  // Opens a context with the recorder's callbacks; closed at the end.
  KXCAMAPI_HANDLE Open(bool ksv = false);

  ::ksv::testing::TempFolder folder_;
  std::filesystem::path root_;
  std::filesystem::path outFolder_;
  HINSTANCE module_ = nullptr;
  HWND window_ = nullptr;
  Recorder recorder_;

 private:
  std::vector<KXCAMAPI_HANDLE> contexts_;
};

// Photographs of the shared test data.
picture::RgbPicture Photo(const std::string& stem);

// Two high-quality pictures, one low-quality picture, a burst of five
// different photographs, a clip and a raw recording of `rawFile`.
outside::bulk::CameraMemory PhotoMemory(const std::vector<uint8_t>& rawFile = {0x40, 0x20, 0x7E, 0xFF});

// The camera's versions and recording modes, and no items.
outside::bulk::CameraMemory EmptyMemory();

using ::ksv::testing::ReadFile;  // throws std::runtime_error

// A JPEG file decoded by libjpeg-turbo (through JPEG_2Dib) to top-down
// R, G, B; `width` and `height` are set, 0 when it does not decode.
std::vector<uint8_t> DecodeJpegFile(const std::filesystem::path& path, uint32_t& width,
                                    uint32_t& height);

// A 24-bit packed bitmap as top-down R, G, B.
std::vector<uint8_t> BitmapToRgb(HGLOBAL bitmap);

using ::ksv::picture::Psnr;

}  // namespace ksv::camapi::testing
