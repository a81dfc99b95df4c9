#include "camapi/tests/camapi_test_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "common/packed_bitmap.h"
#include "include/oksv1dnl.h"
#include "include/oksv1jpg.h"
#include "platform/memory/global_memory.h"
#include "platform/module/module.h"
#include "platform/ui/ui.h"
#include "platform/ui/user32.h"
#include "simcam/default_memory.h"
#include "simcam/memory_builder.h"
#include "outside/bulk/memory/memory_image.h"
#include "simcam/simulated_modes.h"
#include "support/picture/bmp_file.h"
#include "support/picture/picture_file.h"
#include "support/test_data.h"

namespace ksv::camapi::testing {

namespace fs = std::filesystem;

namespace {

const char* const kNames[8] = {"", "Clip", "Burst", "HQ", "WQ", "Raw", "Clip", "Clip"};
const char* const kExtensions[8] = {"", ".AVI", ".JPG", ".JPG", ".JPG", ".WAV", ".AVI", ".AVI"};

Recorder& RecorderOf(intptr_t user) { return *reinterpret_cast<Recorder*>(user); }

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

std::vector<ItemEvent> Recorder::Ends() const {
  std::vector<ItemEvent> ends;
  for (const ItemEvent& event : events) {
    if (!event.begin) ends.push_back(event);
  }
  return ends;
}

std::vector<std::string> Recorder::FileNames() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

void RecordBegin(intptr_t user, int kind, char* path, int32_t* cancel) {
  Recorder& recorder = RecorderOf(user);
  const size_t index = static_cast<size_t>(
      std::count_if(recorder.events.begin(), recorder.events.end(), [](auto& e) { return e.begin; }));
  std::string named;
  if (kind >= 1 && kind <= 7) {
    named = (recorder.folder / (kNames[kind] + std::to_string(recorder.counters[kind]++) +
                                kExtensions[kind]))
                .string();
  }
  if (recorder.pathFor) named = recorder.pathFor(index, named);
  std::snprintf(path, KXCAMAPI_PATH_BYTES, "%s", named.c_str());
  recorder.events.push_back({true, kind, 0, named});
  if (recorder.cancelAtBegin && recorder.cancelAtBegin(index, kind)) *cancel = 1;
}

void RecordEnd(intptr_t user, DWORD status, char* path, int32_t*) {
  Recorder& recorder = RecorderOf(user);
  int kind = 0;
  for (auto it = recorder.events.rbegin(); it != recorder.events.rend(); ++it) {
    if (it->begin) {
      kind = it->kind;
      break;
    }
  }
  recorder.events.push_back({false, kind, status, path});
}

int RecordProgress(intptr_t user, const KXCAMAPI_ProgressRecord* record) {
  Recorder& recorder = RecorderOf(user);
  recorder.progress.push_back(*record);
  return recorder.stopProgress && recorder.stopProgress(*record) ? 1 : 0;
}

const std::vector<std::string> kClipModules = {
    "Dextro.so",       "ksvvexel5.so",   "trsmplrt.so", "ksvavimux.so", "ksvfilewriter.so",
    "ksvavimaker.so",  "ksvavico.so",    "ksvcolour.so", "ksvacm.so",    "ksvcapture.so"};

CamapiTest::CamapiTest() {
  EXPECT_TRUE(plugins_.ok()) << plugins_.error();
  root_ = plugins_ / "root";  // KSV_ROOT
  ::unsetenv("KSV_CAMERA_MEMORY");
  BULK_UseCameraMemory(nullptr);
  outFolder_ = root_ / "out";
  fs::create_directories(outFolder_);
  fs::create_directories(root_ / "lib");
  recorder_.folder = outFolder_;
  module_ = platform::RegisterModule((root_ / "lib" / "OKSV1API.so").string());
  window_ = platform::ui::CreateMessageOnlyWindow();
}

CamapiTest::~CamapiTest() {
  for (KXCAMAPI_HANDLE context : contexts_) KXCAMAPI_Reset(context);
  DestroyWindow(window_);
  BULK_UseCameraMemory(nullptr);
}

void CamapiTest::UseMemory(const outside::bulk::CameraMemory& memory) {
  const fs::path image = root_ / "camera.mem";
  WriteFile(image, outside::bulk::WriteMemoryImage(memory));
  BULK_UseCameraMemory(image.c_str());
}

namespace {

// The image file `name` in the test temporary folder, made by `make` when
// it is not there yet; the rename makes it appear whole to other processes.
// The name carries the test binary's build time, so a rebuilt encoder never
// meets an image of the one before.
fs::path CachedImage(const std::string& name, const std::function<outside::bulk::CameraMemory()>& make) {
  std::error_code error;
  const auto built = fs::last_write_time("/proc/self/exe", error).time_since_epoch().count();
  const fs::path cached = fs::path(::testing::TempDir()) / (std::to_string(built < 0 ? -built : built) + "-" + name);
  if (!fs::exists(cached)) {
    const fs::path partial = cached.string() + "." + std::to_string(::getpid());
    WriteFile(partial, outside::bulk::WriteMemoryImage(make()));
    fs::rename(partial, cached);
  }
  return cached;
}

}  // namespace

void CamapiTest::UseDefaultMemory() {
  const fs::path image = CachedImage("ksv-camapi-default-memory.mem", [] {
    return simcam::DefaultCameraMemory(simcam::DefaultPhotosDir());
  });
  BULK_UseCameraMemory(image.c_str());
}

fs::path CamapiTest::PhotoMemoryImage() {
  return CachedImage("ksv-camapi-photo-memory.mem", [] { return PhotoMemory(); });
}

void CamapiTest::UsePhotoMemory() { BULK_UseCameraMemory(PhotoMemoryImage().c_str()); }

KXCAMAPI_HANDLE CamapiTest::Open(bool ksv) {
  const auto user = reinterpret_cast<intptr_t>(&recorder_);
  KXCAMAPI_HANDLE context = ksv ? KXCAMAPI_InitKSV(RecordBegin, RecordEnd, user, module_, window_)
                                : KXCAMAPI_Init(RecordBegin, RecordEnd, user, module_, window_);
  if (context != nullptr) contexts_.push_back(context);
  return context;
}

picture::RgbPicture Photo(const std::string& stem) {
  return picture::ReadPicture(support::TestDataPath("photos/" + stem + ".png"));
}

outside::bulk::CameraMemory PhotoMemory(const std::vector<uint8_t>& rawFile) {
  using namespace simcam;
  using namespace outside::bulk;
  CameraMemory memory = EmptyMemory();
  auto mode = [&](uint8_t index) -> const RecordingMode& { return *memory.FindMode(index); };
  memory.items.push_back(
      MakePictureItem(Photo("chelsea"), mode(kHighQualityPictureMode), kHighQualitySubtype));
  memory.items.push_back(
      MakePictureItem(Photo("coffee"), mode(kLowQualityPictureMode), kLowQualitySubtype));
  const std::vector<picture::RgbPicture> burst = {Photo("astronaut"), Photo("chelsea"),
                                                  Photo("coffee"), Photo("hubble_deep_field"),
                                                  Photo("astronaut")};
  memory.items.push_back(MakeBurstItem(burst, mode(kClipMode)));
  memory.items.push_back(MakeClipItem(std::span(burst).first(3), mode(kClipMode), kClipSubtype,
                                      ClipSound::kAdpcm8000, MonoAudio{8000, {}}));
  memory.items.push_back(
      MakePictureItem(Photo("astronaut"), mode(kHighQualityPictureMode), kHighQualitySubtype));
  memory.items.push_back(MakeRecordingItem(rawFile, 0));
  return memory;
}

outside::bulk::CameraMemory EmptyMemory() {
  return {{"fw 1.0", "sensor 2.0", "chip 3.0"}, simcam::SimulatedCameraModes(), {}};
}

std::vector<uint8_t> BitmapToRgb(HGLOBAL bitmap) {
  const auto* bits = static_cast<const uint8_t*>(GlobalLock(bitmap));
  picture::RgbPicture decoded = picture::DecodeDib({bits, GlobalSize(bitmap)}, "bitmap");
  GlobalUnlock(bitmap);
  return std::move(decoded.pixels);
}

std::vector<uint8_t> DecodeJpegFile(const fs::path& path, uint32_t& width, uint32_t& height) {
  width = height = 0;
  HGLOBAL block = JPEG_2Dib(path.c_str());
  if (block == nullptr) return {};
  const void* bits = GlobalLock(block);
  width = static_cast<uint32_t>(common::PackedBitmapWidth(bits));
  height = static_cast<uint32_t>(common::PackedBitmapHeight(bits));
  GlobalUnlock(block);
  std::vector<uint8_t> rgb = BitmapToRgb(block);
  GlobalFree(block);
  return rgb;
}

}  // namespace ksv::camapi::testing
