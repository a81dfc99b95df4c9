// Snapshots: asking the driver for one (the "SnapShoot" request, then its
// "SnapShot" answer), and reading the raw snapshot file it wrote.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "common/bitmap_resample.h"
#include "common/driver_settings.h"
#include "common/packed_bitmap.h"
#include "include/oksv1sna.h"
#include "platform/kernel/performance_counter.h"
#include "platform/kernel/timing.h"
#include "platform/memory/global_memory.h"
#include "platform/ui/user32.h"
#include "twainctl/control.h"

namespace ksv::twainctl {

namespace {

constexpr int64_t kPollInterval100ns = 20 * 10'000;  // 20 ms between reads

// The wait cursor for as long as this lives.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

void NoBegin(intptr_t, int, char*, int32_t* cancel) { *cancel = 1; }
void NoEnd(intptr_t, DWORD, char*, int32_t* cancel) { *cancel = 1; }

// The camera library, open for one short piece of work.
class CameraLibrary {
 public:
  explicit CameraLibrary(TwainControl& control)
      : handle_(KXCAMAPI_Init(NoBegin, NoEnd, reinterpret_cast<intptr_t>(&control), control.module,
                              control.status.handle() != nullptr ? control.status.handle() : control.window)) {}
  ~CameraLibrary() {
    if (handle_ != nullptr) KXCAMAPI_Reset(handle_);
  }
  CameraLibrary(const CameraLibrary&) = delete;
  CameraLibrary& operator=(const CameraLibrary&) = delete;
  bool open() const { return handle_ != nullptr; }
  void Write(const char* name, DWORD value) { KXCAMAPI_WriteDriverRegistryDword(handle_, name, value); }

 private:
  KXCAMAPI_HANDLE handle_;
};

// Asks the driver for a snapshot and waits, sleeping between reads, until
// it says the file is written; false when the camera library cannot be
// opened or the driver has not answered within the bound.
bool TriggerSnapshot(TwainControl& control) {
  CameraLibrary camera(control);
  if (!camera.open()) return false;
  camera.Write("SnapShoot", 1);
  const int64_t deadline = platform::kernel::PerformanceCounterNow100ns() + kSnapshotWaitMilliseconds * 10'000LL;
  bool answered = false;
  for (;;) {
    if (common::ReadMachineDword("SnapShot") == 1) {
      answered = true;
      break;
    }
    if (platform::kernel::PerformanceCounterNow100ns() >= deadline) break;
    platform::kernel::KeDelayExecutionThread(kPollInterval100ns);
  }
  camera.Write("SnapShot", 0);
  return answered;
}

// Adds `bitmap` (freed here) as a snapshot, resampled to `width` x `height`
// when asked.
bool AddSnapshot(TwainControl& control, HGLOBAL bitmap, int width, int height) {
  if (bitmap == nullptr) return false;
  const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(bitmap));
  const bool resample = width > 0 && height > 0 && (header->biWidth != width || std::abs(header->biHeight) != height);
  GlobalUnlock(bitmap);
  if (resample) {
    HGLOBAL resampled = common::ResamplePackedBitmap(bitmap, width, height, common::ResampleRule::kSingleLastUnblended);
    GlobalFree(bitmap);
    if (resampled == nullptr) return false;
    bitmap = resampled;
  }
  const bool added = KXTWNUI_AddImage(control.ui, nullptr, bitmap, KXTWNUI_SNAPSHOT) != 0;
  GlobalFree(bitmap);
  return added;
}

bool ConvertRaw(TwainControl& control) {
  const Profile& profile = control.profile;
  if (profile.rawMode != 1 && profile.rawMode != 2) return false;
  {
    CameraLibrary camera(control);
    if (camera.open()) camera.Write("SnapShot", 0);
  }
  WaitCursor wait;
  HGLOBAL bitmap = nullptr;
  if (KXSNAPSHOT_RawToFile(profile.rawDataType, profile.rawFile.c_str(), profile.rawMode, &bitmap) != KXSNAPSHOT_OK) {
    return false;
  }
  // The default snapshot size keeps the converted picture at its own size.
  const bool keep = profile.snapWidth == 640 && profile.snapHeight == 480;
  return AddSnapshot(control, bitmap, keep ? 0 : profile.snapWidth, keep ? 0 : profile.snapHeight);
}

}  // namespace

bool TakeButtonSnapshot(TwainControl& control) {
  {
    CameraLibrary camera(control);
    if (camera.open()) camera.Write("SnapShot", 0);
  }
  return TakeSnapshot(control, false);
}

bool TakeSnapshot(TwainControl& control, bool trigger) {
  ++control.busy;
  struct Done {
    TwainControl& control;
    ~Done() { --control.busy; }
  } done{control};
  {
    WaitCursor wait;
    if (trigger && !TriggerSnapshot(control)) return false;
  }
  std::ifstream file(control.profile.rawFile, std::ios::binary);
  uint8_t header[69] = {};
  if (!file || !file.read(reinterpret_cast<char*>(header), sizeof header)) return false;
  uint32_t word = 0;
  std::memcpy(&word, header + 1, 4);
  const int type = header[64];
  if (word != 0 || type == 0) return ConvertRaw(control);
  if (type != 1) return false;
  const int width = header[65] | header[66] << 8;
  const int height = header[67] | header[68] << 8;
  HGLOBAL bitmap = common::CreatePackedBitmap(width, height, 24);
  if (bitmap == nullptr) return false;
  // The rows lie in the file as the bitmap keeps them, bottom-up; each
  // file row is width x 3 bytes, each bitmap row padded to 4.
  uint8_t* pixels = common::PackedBitmapPixels(GlobalLock(bitmap));
  const size_t stride = common::PackedRowBytes(width, 24);
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  file.seekg(1024);
  for (int row = 0; row < height && file; ++row) {
    file.read(reinterpret_cast<char*>(pixels + static_cast<size_t>(row) * stride), static_cast<std::streamsize>(rowBytes));
  }
  GlobalUnlock(bitmap);
  return AddSnapshot(control, bitmap, control.profile.snapWidth, control.profile.snapHeight);
}

}  // namespace ksv::twainctl
