// The preview, the window's events and the camera watch.
#include "common/driver_settings.h"
#include "include/oksv1dep.h"
#include "include/oksv1gra.h"
#include "twainctl/control.h"
#include "twainctl/texts.h"

namespace ksv::twainctl {

namespace {

enum Event {
  kSnapShotButton = 1,
  kColoringButton = 2,
  kTransferButton = 3,
  kTransferAllButton = 4,
  kExitButton = 5,
  kTick = 8,
  kDownloadButton = 9,
  kSaveAllButton = 10,
  kOverThumbnail = 12,
  kOverNothing = 13,
  kClipDoubleClick = 14,
};

enum Action { kEntered = 1, kLeft = 2, kClicked = 3 };

void ShowTip(TwainControl& control, const std::string& text) { KXTWNUI_ShowToolTip(control.ui, text.c_str(), 1); }
void HideTip(TwainControl& control) { KXTWNUI_ShowToolTip(control.ui, nullptr, 0); }

void Call(TwainControl& control, int32_t event) {
  if (control.callback != nullptr) control.callback(event);
}

void Exit(TwainControl& control) {
  if (control.preview != nullptr) QMG_Stop(control.preview);
  Call(control, KXTWNCTL_EXIT);
}

// The camera, looked at every second: gone, back, or its button pressed.
void WatchCamera(TwainControl& control) {
  const uint32_t status = ReadDriverStatus(control);
  if (control.cameraMissing) {
    if (status == 8) return;
    // Only a camera that is there and free streams again; otherwise the
    // window keeps saying the camera is not available.
    if (status == 3 || status == 7) {
      StartPreview(control);
      control.cameraMissing = false;
      KXTWNUI_ChangeUIState(control.ui, kStateNormal);
    }
    return;
  }
  if (status == 8) {
    StopPreview(control);
    control.cameraMissing = true;
    control.downloaded = false;
    ForgetCompletedDownload();
    control.saved = false;
    control.downloadCounter = 0;
    KXTWNUI_ChangeUIState(control.ui, kStateNoCamera);
    return;
  }
  if (control.profile.watchButton && common::ReadMachineDword("SnapShot") == 1) {
    // The camera's button made a snapshot.
    if (TakeButtonSnapshot(control)) KXTWNUI_ChangeUIState(control.ui, kStateNormal);
  }
}

void OnButton(TwainControl& control, const KXTWNUI_EVENT& event, int tip) {
  if (event.action == kEntered) {
    ShowTip(control, Text(control.files.localization, tip, DownloadCompletedInProcess()));
  } else if (event.action == kLeft) {
    HideTip(control);
  }
}

void Handle(TwainControl& control, const KXTWNUI_EVENT& event) {
  const bool clicked = event.action == kClicked;
  switch (event.event) {
    case kSnapShotButton:
      OnButton(control, event, kTipSnapShot);
      if (clicked && TakeSnapshot(control, true)) KXTWNUI_ChangeUIState(control.ui, kStateNormal);
      break;
    case kColoringButton:
      OnButton(control, event, kTipColoring);
      if (clicked && ReadDriverStatus(control) == 5) {
        ++control.busy;
        KXDSEXPG_Open(control.profile.deviceName.c_str(), control.profile.vidPid.c_str(),
                      control.profile.locName.c_str());
        --control.busy;
      }
      break;
    case kTransferButton:
      OnButton(control, event, kTipTransfer);
      if (clicked) Call(control, KXTWNCTL_TRANSFER);
      break;
    case kTransferAllButton:
      OnButton(control, event, kTipTransferAll);
      if (clicked) Call(control, KXTWNCTL_TRANSFER_ALL);
      break;
    case kExitButton:
      OnButton(control, event, kTipExit);
      if (clicked) {
        // Pressed while a snapshot, the pages, a download or Save All run
        // (their loops deliver it): the work is stopped, and the exit
        // handled once it has returned.
        if (control.busy > 0) {
          control.exitPending = true;
          control.cancelWork = true;
        } else {
          Exit(control);
        }
      }
      break;
    case kTick:
      if (control.busy == 0) WatchCamera(control);
      break;
    case kDownloadButton:
      OnButton(control, event, kTipDownload);
      if (clicked) OnDownloadClick(control);
      break;
    case kSaveAllButton:
      OnButton(control, event, kTipSaveAll);
      if (clicked && control.busy == 0) {
        KXTWNUI_ChangeUIState(control.ui, kStateBusy);
        ++control.busy;
        if (SaveAll(control)) {
          control.saved = true;
          control.downloadCounter = 0;
        }
        --control.busy;
        KXTWNUI_ChangeUIState(control.ui, kStateNormal);
      }
      break;
    case kOverThumbnail:
      if (event.action >= 1 && event.action <= 6) {
        control.tipIndex = event.first;
        control.tipTotal = event.second;
        const Profile& p = control.profile;
        ShowTip(control, ThumbnailTip(control.files.localization, event.action, event.first, event.second,
                                      p.snapWidth, p.snapHeight, p.burstWidth, p.burstHeight));
      }
      break;
    case kOverNothing:
      HideTip(control);
      break;
    case kClipDoubleClick:
      if (event.action == KXTWNUI_CLIP || event.action == KXTWNUI_LOW_CLIP) OpenClip(control, event.first);
      break;
    default:
      break;
  }
}

}  // namespace

uint32_t ReadDriverStatus(TwainControl& control) {
  control.lastDriverStatus = common::ReadMachineDword("DriverStatus");
  return control.lastDriverStatus;
}

void StartPreview(TwainControl& control) {
  const Profile& p = control.profile;
  const RECT& v = control.videoView;
  control.preview = KXCAP_Init(control.module, control.window);
  KXCAP_SetViewWnd(control.preview, control.window, v.left, v.top, v.right - v.left, v.bottom - v.top);
  KXCAP_BuildPreview(control.preview, p.deviceName.c_str(), p.previewWidth, p.previewHeight, p.fourCc);
  KXCAP_StartPreview(control.preview);
}

void StopPreview(TwainControl& control) {
  if (control.preview == nullptr) return;
  KXCAP_Reset(control.preview);
  control.preview = nullptr;
}

void OnWindowEvent(intptr_t user, const KXTWNUI_EVENT* event) {
  auto* control = reinterpret_cast<TwainControl*>(user);
  if (control == nullptr || event == nullptr || event->category != 1) return;
  Handle(*control, *event);
  ExitWhenIdle(*control);
}

void ExitWhenIdle(TwainControl& control) {
  if (!control.exitPending || control.busy > 0) return;
  control.exitPending = false;
  control.cancelWork = false;
  Exit(control);
}

}  // namespace ksv::twainctl
