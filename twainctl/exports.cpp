// The control's C functions: creation, the data source's calls, destruction.
#include <memory>

#include "common/driver_settings.h"
#include "common/folders.h"
#include "include/oksv1ctl.h"
#include "platform/files/files.h"
#include "platform/module/module.h"
#include "platform/root/system_root.h"
#include "platform/ui/dialogs/message_box.h"
#include "support/no_throw.h"
#include "twainctl/control.h"
#include "twainctl/texts.h"

using ksv::support::NoThrow;
using namespace ksv::twainctl;

namespace {

// The library as the system sees it: in the scanner-interface folder, where
// the data source and the driver's raw snapshot file lie.
HINSTANCE Module() {
  return ksv::platform::RegisterModule(
      (ksv::platform::SystemRoot() / "TWAIN_32" / "Orvan" / "KSV1" / "OKSV1Ctl.DLL").string());
}
// Its compiled-in resources (the status window).
HINSTANCE Resources() { return ksv::platform::RegisterSystemModule("OKSV1Ctl.DLL"); }

std::string FolderOf(HINSTANCE module) {
  char path[260] = {};
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  if (length == 0 || length >= sizeof path) return {};
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('/') + 1);
}

std::string WindowsFolder() {
  char path[260] = {};
  const UINT length = GetWindowsDirectoryA(path, sizeof path);
  return length == 0 || length >= sizeof path ? std::string() : std::string(path, length);
}

std::string ClipsFolder(const TwainControl& control) { return control.folder + "Clips/"; }

void DestroyControl(TwainControl* control) {
  if (control->ui != nullptr) {
    control->status.Destroy();
    KXTWNUI_Reset(control->ui);
    control->ui = nullptr;
    // This process's clips go; other processes' stay.
    control->clipWork.Release();
  }
  StopPreview(*control);
  delete control;
}

// Creation up to the camera check; false when the control cannot be made.
bool Build(TwainControl& control) {
  control.folder = FolderOf(control.module);
  if (control.folder.empty()) return false;
  const auto files = FindDataSource(control.folder);
  if (!files) return false;
  control.files = *files;
  auto profile = ReadProfile(files->profile, control.folder, WindowsFolder());
  if (!profile) return false;
  control.profile = std::move(*profile);
  const Profile& p = control.profile;

  for (int slot = 0; slot < 5; ++slot) {
    KXTWNUI_LocalizeBtnStr(slot, Text(files->localization, kLabelSnapShot + slot).c_str());
  }
  control.ui = KXTWNUI_Init(0, p.logoX, p.logoY, p.logoPath.c_str(), p.logoMaskPath.c_str(),
                            p.cameraDownload ? 1 : 0);
  if (control.ui == nullptr) return false;
  KXTWNUI_SetCallback(control.ui, OnWindowEvent, reinterpret_cast<intptr_t>(&control));
  control.window = KXTWNUI_GetWndHandle(control.ui);
  KXTWNUI_GetVideoViewRect(control.ui, &control.videoView);

  // Over the video view's lower left, on the screen.
  POINT at{control.videoView.left - 14, control.videoView.top + 107};
  ClientToScreen(control.window, &at);
  at.y -= 18;
  if (!control.status.Make(control.resources, at)) return false;
  // Clips are made in a folder of this control's own under the Clips
  // folder; only the folders of controls that are gone are cleared.
  if (p.cameraDownload) control.clipWork.Claim(ClipsFolder(control));
  return true;
}

KXTWNCTL_HANDLE Create(HWND parent, int32_t* cameraReady, int32_t playback) {
  if (cameraReady != nullptr) *cameraReady = 0;
  auto* control = new TwainControl;
  control->module = Module();
  control->resources = Resources();
  control->parent = parent;
  bool built = false;
  try {
    built = Build(*control);
  } catch (...) {
  }
  if (!built) {
    DestroyControl(control);
    return nullptr;
  }
  control->playback = playback != 0;
  const uint32_t status = ReadDriverStatus(*control);
  if (status == 3 || status == 7) {
    StartPreview(*control);
    if (cameraReady != nullptr) *cameraReady = 1;
  } else {
    const int text = status == 5 ? kCameraInUse : kCameraAbsent;
    MessageBoxA(nullptr, Text(control->files.localization, text).c_str(), control->profile.productName.c_str(),
                MB_OK);
  }
  return control;
}

}  // namespace

extern "C" {

KSV_EXPORT KXTWNCTL_HANDLE KXTWNCTL_Create(int32_t /*reserved*/, HWND parent, int32_t* cameraReady,
                                           int32_t playback) {
  return NoThrow<KXTWNCTL_HANDLE>(nullptr, [&] { return Create(parent, cameraReady, playback); });
}

KSV_EXPORT int32_t KXTWNCTL_Destroy(KXTWNCTL_HANDLE control) {
  return NoThrow<int32_t>(0, [&]() -> int32_t {
    if (control == nullptr) return 0;
    DestroyControl(control);
    return 1;
  });
}

KSV_EXPORT int32_t KXTWNCTL_SetCallback(KXTWNCTL_HANDLE control, KXTWNCTL_ApplicationCallback callback) {
  if (control == nullptr) return 0;
  control->callback = callback;
  return 1;
}

KSV_EXPORT int32_t KXTWNCTL_Show(KXTWNCTL_HANDLE control, int32_t command) {
  return NoThrow<int32_t>(0, [&] { return control == nullptr ? 0 : KXTWNUI_Show(control->ui, command); });
}

KSV_EXPORT HWND KXTWNCTL_GetHWnd(KXTWNCTL_HANDLE control) {
  return NoThrow<HWND>(nullptr, [&] { return control == nullptr ? nullptr : KXTWNUI_GetWndHandle(control->ui); });
}

KSV_EXPORT int32_t KXTWNCTL_GetTotalSelectedImg(KXTWNCTL_HANDLE control) {
  return NoThrow<int32_t>(0, [&] { return control == nullptr ? 0 : KXTWNUI_GetTotalSelectedImg(control->ui); });
}

KSV_EXPORT int32_t KXTWNCTL_GetImgDim(KXTWNCTL_HANDLE control, int32_t index, int32_t* width, int32_t* height) {
  return NoThrow<int32_t>(0, [&] {
    return control == nullptr ? 0 : KXTWNUI_GetImgDim(control->ui, index, width, height);
  });
}

KSV_EXPORT HGLOBAL KXTWNCTL_GetDIB(KXTWNCTL_HANDLE control, int32_t index) {
  return NoThrow<HGLOBAL>(nullptr, [&] { return control == nullptr ? nullptr : KXTWNUI_GetDIB(control->ui, index); });
}

KSV_EXPORT void KXTWNCTL_TransferProgress(KXTWNCTL_HANDLE control, int32_t current, int32_t total, int32_t show) {
  ksv::support::NoThrowVoid([&] {
    if (control == nullptr) return;
    const bool visible = show != 0 && !control->uiless;
    if (visible != control->status.shown()) control->status.Show(visible);
    if (visible) {
      control->status.SetText(Text(control->files.localization, kTransferText) + " ... " + std::to_string(current) +
                              " / " + std::to_string(total));
    }
  });
}

KSV_EXPORT int32_t KXTWNCTL_UIlessCapture(KXTWNCTL_HANDLE control) {
  return NoThrow<int32_t>(0, [&]() -> int32_t {
    if (control == nullptr) return 0;
    control->uiless = true;
    TakeSnapshot(*control, true);
    return 1;
  });
}

}  // extern "C"
