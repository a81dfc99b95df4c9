// The live snapshot through the scanner-interface control, and the stored
// pictures through the camera access library's streamed download.
#include "outside/sane/camera_pictures.h"

#include <cstdlib>
#include <cstring>
#include <system_error>

#include "common/bitmap_resample.h"
#include "common/driver_settings.h"
#include "common/packed_bitmap.h"
#include "include/oksv1api.h"
#include "include/oksv1ctl.h"
#include "platform/hardware/device_list.h"
#include "platform/memory/global_memory.h"
#include "platform/module/module.h"
#include "platform/ui/answerer.h"
#include "platform/ui/controls/controls.h"
#include "platform/ui/dialogs/dialogs.h"
#include "platform/ui/user32.h"
#include "platform/usbcamd/camera_stack.h"
#include "support/picture/picture_file.h"

namespace ksv::outside::sane {
namespace {

namespace fs = std::filesystem;
namespace usb = platform::usbcamd;
namespace ui = platform::ui;

// The camera as the machine lists it, started under its driver in this
// process so that the driver publishes its status (as every host of the
// control does). A camera another process streams ("DriverStatus" 5), or
// one this process runs already, is left alone.
std::unique_ptr<usb::CameraStack> BringCameraUp() {
  if (common::ReadMachineDword("DriverStatus") == 5) return nullptr;
  if (usb::CameraStack::HostedSerial() != 0) return nullptr;
  for (platform::hardware::HardwareDevice* device : platform::hardware::EnumerateDevices().devices) {
    if (auto* camera = static_cast<usb::UsbDevice*>(device->Function(usb::kUsbDeviceInterface))) {
      std::string error;
      return usb::CameraStack::Start(*camera, &error);
    }
  }
  return nullptr;
}

// Nobody answers the control's message boxes in a scanning program: each
// is said on stderr (where scanimage's own messages go) and acknowledged.
// False when the program has an answerer of its own. (Ours is removed
// again before this module can be unloaded: its code is here.)
bool AnswerOnStderr() {
  if (ui::HasAnswerer()) return false;
  ui::SetAnswerer([](const ui::ModalElement& element) {
    if (element.kind == ui::ModalKind::MessageBox) {
      std::fprintf(stderr, "ksvcam: %s: %s\n", element.title.c_str(), element.text.c_str());
      ui::answer::PressButton(element.window, IDOK);
      return;
    }
    SendMessageA(element.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  return true;
}

// A bottom-up or top-down 24-bit packed bitmap as top-down RGB.
picture::RgbPicture PictureOf(HGLOBAL bitmap) {
  const void* locked = GlobalLock(bitmap);
  BITMAPINFOHEADER header;
  std::memcpy(&header, locked, sizeof header);
  picture::RgbPicture result;
  if (header.biBitCount != 24 || header.biWidth <= 0 || header.biHeight == 0) {
    GlobalUnlock(bitmap);
    throw PictureFailure{"the camera's snapshot is not a 24-bit picture"};
  }
  result.width = static_cast<uint32_t>(header.biWidth);
  result.height = static_cast<uint32_t>(std::abs(header.biHeight));
  result.pixels.resize(static_cast<size_t>(result.width) * result.height * 3);
  const size_t stride = common::PackedRowBytes(header.biWidth, 24);
  const uint8_t* rows = common::PackedBitmapPixels(locked);
  for (uint32_t y = 0; y < result.height; ++y) {
    const uint8_t* row = rows + stride * (header.biHeight > 0 ? result.height - 1 - y : y);
    uint8_t* to = result.pixels.data() + static_cast<size_t>(y) * result.width * 3;
    for (uint32_t x = 0; x < result.width; ++x, row += 3, to += 3) {
      to[0] = row[2];
      to[1] = row[1];
      to[2] = row[0];
    }
  }
  GlobalUnlock(bitmap);
  return result;
}

struct GlobalBlock {
  HGLOBAL handle;
  ~GlobalBlock() {
    if (handle != nullptr) GlobalFree(handle);
  }
};

}  // namespace

struct LiveCamera::Host {
  std::unique_ptr<usb::CameraStack> camera;  // when this process brought it up
  bool cameraChecked = false;
  bool answering = false;  // our answerer is installed
  ~Host() {
    if (answering) ui::SetAnswerer({});
  }
};

// The control for one snapshot. A control hands on its oldest image when
// none is selected and its list fills up, so each snapshot gets a control
// of its own; the camera stays up between them.
class Control {
 public:
  Control() : handle_(KXTWNCTL_Create(0, nullptr, &ready_, 0)) {}
  ~Control() { KXTWNCTL_Destroy(handle_); }
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  KXTWNCTL_HANDLE get() const { return handle_; }
  bool ready() const { return ready_ != 0; }

 private:
  int32_t ready_ = 0;
  KXTWNCTL_HANDLE handle_;
};

LiveCamera::LiveCamera() : host_(std::make_unique<Host>()) {}
LiveCamera::~LiveCamera() = default;

picture::RgbPicture LiveCamera::Snapshot(int32_t width, int32_t height) {
  if (!host_->answering) host_->answering = AnswerOnStderr();
  if (!host_->cameraChecked) {
    host_->camera = BringCameraUp();
    host_->cameraChecked = true;
  }
  Control control;
  if (control.get() == nullptr) {
    throw PictureFailure{"the scanner-interface control cannot be made: its files are missing "
                         "(run `ksvcam setup` once)"};
  }
  if (!control.ready()) {
    throw PictureFailure{"the camera is not ready (not plugged in, or in use by another program)"};
  }
  KXTWNCTL_UIlessCapture(control.get());
  int32_t w = 0, h = 0;
  if (KXTWNCTL_GetTotalSelectedImg(control.get()) != 1 || KXTWNCTL_GetImgDim(control.get(), 0, &w, &h) == 0) {
    throw PictureFailure{"the camera took no picture"};
  }
  GlobalBlock bitmap{KXTWNCTL_GetDIB(control.get(), 0)};
  if (bitmap.handle == nullptr) throw PictureFailure{"the camera's snapshot cannot be read"};
  if (w != width || h != height) {
    GlobalBlock resampled{common::ResamplePackedBitmap(bitmap.handle, width, height,
                                                       common::ResampleRule::kSingleLastUnblended)};
    if (resampled.handle == nullptr) throw PictureFailure{"out of memory"};
    return PictureOf(resampled.handle);
  }
  return PictureOf(bitmap.handle);
}

namespace {

// What the camera access library's callbacks fill in.
struct DownloadLog {
  fs::path folder;
  int next = 0;
  std::vector<fs::path> pictures;
  int lastKind = 0;
};

void BeginItem(intptr_t user, int kind, char* path, int32_t* /*cancel*/) {
  auto& log = *reinterpret_cast<DownloadLog*>(user);
  log.lastKind = kind;
  const bool still = kind == KXCAMAPI_KIND_HQ_PICTURE || kind == KXCAMAPI_KIND_LQ_PICTURE ||
                     kind == KXCAMAPI_KIND_BURST_PICTURE;
  const std::string name = "item" + std::to_string(log.next++) + (still ? ".jpg" : ".avi");
  std::snprintf(path, KXCAMAPI_PATH_BYTES, "%s", (log.folder / name).c_str());
}

void EndItem(intptr_t user, DWORD status, char* path, int32_t* /*cancel*/) {
  auto& log = *reinterpret_cast<DownloadLog*>(user);
  const bool still = log.lastKind == KXCAMAPI_KIND_HQ_PICTURE || log.lastKind == KXCAMAPI_KIND_LQ_PICTURE ||
                     log.lastKind == KXCAMAPI_KIND_BURST_PICTURE;
  if (!still) return;  // clips are no still pictures: whatever became of them
  if (status == 0) {
    log.pictures.emplace_back(path);
  } else {
    std::fprintf(stderr, "ksvcam: a stored picture could not be downloaded (status 0x%lx)\n",
                 static_cast<unsigned long>(status));
  }
}

}  // namespace

StoredPictures::StoredPictures() {
  std::string pattern = (fs::temp_directory_path() / "ksvcam-sane.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw PictureFailure{"cannot make a folder for the stored pictures"};
  folder_ = pattern;
  DownloadLog log;
  log.folder = folder_;
  HMODULE module = GetModuleHandleA("OKSV1API.DLL");
  HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, module, nullptr);
  KXCAMAPI_HANDLE camera = KXCAMAPI_Init(BeginItem, EndItem, reinterpret_cast<intptr_t>(&log), module, window);
  int status = KXCAMAPI_NO_CONTEXT;
  if (camera != nullptr) {
    status = KXCAMAPI_GetAllImgs(camera, nullptr);
    KXCAMAPI_Reset(camera);
  }
  if (window != nullptr) DestroyWindow(window);
  if (camera == nullptr || (status != KXCAMAPI_OK && log.pictures.empty())) {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    throw PictureFailure{camera == nullptr ? "the camera's memory cannot be opened (no camera)"
                                           : "the camera's memory cannot be read (status " +
                                                 std::to_string(status) + ")"};
  }
  files_ = std::move(log.pictures);
}

StoredPictures::~StoredPictures() {
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

picture::RgbPicture StoredPictures::Picture(size_t index) const {
  try {
    return picture::ReadPicture(files_.at(index));
  } catch (const std::exception& failure) {
    throw PictureFailure{failure.what()};
  }
}

}  // namespace ksv::outside::sane
