// The data source: the machine's camera brought up in this process, the
// control made on it, and the transfers the control asks for.
#include "outside/twainds/data_source.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "common/driver_settings.h"
#include "platform/hardware/device_list.h"
#include "platform/memory/global_memory.h"
#include "platform/ui/user32.h"
#include "platform/usbcamd/camera_stack.h"
#include "support/no_throw.h"

namespace usb = ksv::platform::usbcamd;

struct KsvDataSource {
  std::unique_ptr<usb::CameraStack> camera;  // when this process brought the camera up
  KXTWNCTL_HANDLE control = nullptr;
  KSVDS_ImageCallback callback = nullptr;
  intptr_t user = 0;
  bool finished = false;
  int32_t transferred = 0;
};

namespace {

// The control's callback carries no user data: the one open data source.
KsvDataSource* current = nullptr;

// The camera as the machine lists it, started under its driver in this
// process so that the driver publishes its status. A camera another process
// streams ("DriverStatus" 5) is left to it: the control then says it is in
// use.
std::unique_ptr<usb::CameraStack> BringCameraUp() {
  if (ksv::common::ReadMachineDword("DriverStatus") == 5) return nullptr;
  if (usb::CameraStack::HostedSerial() != 0) return nullptr;  // this process runs it already
  for (ksv::platform::hardware::HardwareDevice* device : ksv::platform::hardware::EnumerateDevices().devices) {
    if (auto* camera = static_cast<usb::UsbDevice*>(device->Function(usb::kUsbDeviceInterface))) {
      std::string error;
      return usb::CameraStack::Start(*camera, &error);
    }
  }
  return nullptr;
}

void Transfer(KsvDataSource& source) {
  const int32_t total = KXTWNCTL_GetTotalSelectedImg(source.control);
  for (int32_t index = 0; index < total; ++index) {
    KXTWNCTL_TransferProgress(source.control, index + 1, total, 1);
    int32_t width = 0, height = 0;
    if (KXTWNCTL_GetImgDim(source.control, index, &width, &height) == 0) continue;
    HGLOBAL bitmap = KXTWNCTL_GetDIB(source.control, index);
    if (bitmap == nullptr) continue;
    if (source.callback != nullptr) source.callback(source.user, bitmap, index, total);
    GlobalFree(bitmap);
    ++source.transferred;
  }
  KXTWNCTL_TransferProgress(source.control, 0, 0, 0);
}

void OnControlEvent(int32_t event) {
  if (current == nullptr) return;
  if (event == KXTWNCTL_TRANSFER || event == KXTWNCTL_TRANSFER_ALL) Transfer(*current);
  // Exit: the control is closed after its callback has returned.
  if (event == KXTWNCTL_EXIT) current->finished = true;
}

void Say(char* error, const char* text) {
  if (error != nullptr) std::snprintf(error, 256, "%s", text);
}

}  // namespace

extern "C" {

KSV_EXPORT KSVDS_HANDLE KSVDS_Open(HWND parent, int32_t show, KSVDS_ImageCallback callback, intptr_t user,
                                   int32_t* cameraReady, char* error) {
  return ksv::support::NoThrow<KSVDS_HANDLE>(nullptr, [&]() -> KSVDS_HANDLE {
    if (current != nullptr) {
      Say(error, "a data source is open already");
      return nullptr;
    }
    auto source = std::make_unique<KsvDataSource>();
    source->callback = callback;
    source->user = user;
    source->camera = BringCameraUp();
    int32_t ready = 0;
    source->control = KXTWNCTL_Create(0, parent, &ready, 1);
    if (cameraReady != nullptr) *cameraReady = ready;
    if (source->control == nullptr) {
      Say(error, "the scanner-interface control cannot be made (its data source's files are missing or incomplete)");
      return nullptr;
    }
    KXTWNCTL_SetCallback(source->control, OnControlEvent);
    if (show != 0) KXTWNCTL_Show(source->control, SW_SHOW);
    current = source.get();
    return source.release();
  });
}

KSV_EXPORT KXTWNCTL_HANDLE KSVDS_Control(KSVDS_HANDLE source) { return source == nullptr ? nullptr : source->control; }

KSV_EXPORT HWND KSVDS_Window(KSVDS_HANDLE source) {
  return source == nullptr ? nullptr : KXTWNCTL_GetHWnd(source->control);
}

KSV_EXPORT int32_t KSVDS_Capture(KSVDS_HANDLE source) {
  return ksv::support::NoThrow<int32_t>(0, [&]() -> int32_t {
    if (source == nullptr) return 0;
    const int32_t before = source->transferred;
    KXTWNCTL_UIlessCapture(source->control);
    Transfer(*source);
    return source->transferred - before;
  });
}

KSV_EXPORT int32_t KSVDS_Finished(KSVDS_HANDLE source) { return source != nullptr && source->finished ? 1 : 0; }

KSV_EXPORT int32_t KSVDS_Transferred(KSVDS_HANDLE source) { return source == nullptr ? 0 : source->transferred; }

KSV_EXPORT void KSVDS_Close(KSVDS_HANDLE source) {
  ksv::support::NoThrowVoid([&] {
    if (source == nullptr) return;
    KXTWNCTL_Destroy(source->control);
    if (current == source) current = nullptr;
    delete source;  // the camera goes last, after the control let it go
  });
}

}  // extern "C"
