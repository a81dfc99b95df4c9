// The control's state and the parts of its work, one file each.
#pragma once

#include <cstdint>
#include <string>

#include "include/oksv1api.h"
#include "include/oksv1cap.h"
#include "include/oksv1ctl.h"
#include "include/oksv1ui.h"
#include "twainctl/profile.h"
#include "twainctl/status_window.h"

struct TwainControl {
  HINSTANCE module = nullptr;     // the library, where the system sees it (its folder, the camera library's)
  HINSTANCE resources = nullptr;  // the library's resources
  HWND parent = nullptr;
  std::string folder;             // the library's folder, ending in "/"
  ksv::twainctl::DataSourceFiles files;
  ksv::twainctl::Profile profile;

  KXTWNUI_HANDLE ui = nullptr;
  HWND window = nullptr;
  RECT videoView{};
  ksv::twainctl::StatusWindow status;

  QmgHandle* preview = nullptr;
  uint32_t lastDriverStatus = 0;
  bool cameraMissing = false;
  bool downloaded = false;
  int32_t tipIndex = 0, tipTotal = 0;
  bool playback = false;
  bool uiless = false;
  KXTWNCTL_ApplicationCallback callback = nullptr;

  // Work that runs a nested message loop (a snapshot's wait, the settings
  // pages): an Exit pressed meanwhile waits until it has returned.
  int busy = 0;
  bool exitPending = false;
};

namespace ksv::twainctl {

// The driver's "DriverStatus" (the control's last reading is kept).
uint32_t ReadDriverStatus(TwainControl& control);

void StartPreview(TwainControl& control);
void StopPreview(TwainControl& control);

// The window's events.
void OnWindowEvent(intptr_t user, const KXTWNUI_EVENT* event);

// A snapshot: with `trigger` the control asks the driver for one first.
// True when an image was added.
bool TakeSnapshot(TwainControl& control, bool trigger);

// The snapshot the camera's button made: its answer cleared, then read.
bool TakeButtonSnapshot(TwainControl& control);

// How long a triggered snapshot waits for the driver's file.
inline constexpr int kSnapshotWaitMilliseconds = 5000;

}  // namespace ksv::twainctl
