// The camera download: every picture and clip the camera stores shown as a
// thumbnail; each clip kept as an AVI file that a double click opens.
#include <cstdio>
#include <cstring>
#include <string>

#include "include/oksv1jpg.h"
#include "platform/memory/global_memory.h"
#include "platform/shell/shell.h"
#include "twainctl/control.h"
#include "twainctl/texts.h"

namespace ksv::twainctl {

namespace {

constexpr unsigned kDownloadDelayMs = 1000;
// How long the line saying how many items failed stays up.
constexpr unsigned kFailureLineMs = 3000;

// A camera download has completed in this process (the Download button's
// tooltip says so).
bool downloadCompleted = false;

// The thumbnail kind of a downloaded item; 0 for an item without one.
int ThumbnailKindOf(int itemKind) {
  switch (itemKind) {
    case KXCAMAPI_KIND_BURST_PICTURE:
      return KXTWNUI_BURST_PICTURE;
    case KXCAMAPI_KIND_HQ_PICTURE:
      return KXTWNUI_STORED_PICTURE;
    case KXCAMAPI_KIND_LQ_PICTURE:
      return KXTWNUI_LOW_PICTURE;
    case KXCAMAPI_KIND_STREAM_CLIP:
      return KXTWNUI_CLIP;
    case KXCAMAPI_KIND_STREAM_LORES_CLIP:
      return KXTWNUI_LOW_CLIP;
    default:
      return 0;
  }
}

// The next clip's file: a unique name from the platform's temporary names
// in this process's clip folder, with the clip table entry and ".AVI".
std::string ClipName(TwainControl& control) {
  if (!control.clipWork.claimed()) return {};
  char temporary[260] = {};
  if (GetTempFileNameA(control.clipWork.path().c_str(), "AVI", 0, temporary) == 0) return {};
  std::string base(temporary);
  base = base.substr(0, base.find_last_of('.'));
  return base + "_" + std::to_string(ClipTableEntry(control.clipCounter)) + ".AVI";
}

void OnBegin(intptr_t user, int kind, char* path, int32_t* cancel) {
  BeginDownloadItem(*reinterpret_cast<TwainControl*>(user), kind, path, cancel);
}
void OnEnd(intptr_t user, DWORD status, char* path, int32_t* cancel) {
  EndDownloadItem(*reinterpret_cast<TwainControl*>(user), status, path, cancel);
}
// Never stops the download itself; an Exit pressed meanwhile does.
int OnProgress(intptr_t user, const KXCAMAPI_ProgressRecord* /*record*/) {
  return user != 0 && reinterpret_cast<TwainControl*>(user)->cancelWork ? 1 : 0;
}

std::string FailureLine(const std::string& localization, int failed) {
  return Text(localization, kDownloading) + " : " + std::to_string(failed) +
         (failed == 1 ? " item could not be downloaded" : " items could not be downloaded");
}

}  // namespace

void CopyPath(char* path, const std::string& text) {
  std::snprintf(path, KXCAMAPI_PATH_BYTES, "%s", text.c_str());
}

bool DownloadCompletedInProcess() { return downloadCompleted; }
void ForgetCompletedDownload() { downloadCompleted = false; }

void BeginDownloadItem(TwainControl& control, int kind, char* path, int32_t* cancel) {
  control.status.SetText(Text(control.files.localization, kDownloading) + " : " +
                         std::to_string(control.downloadCounter++));
  control.itemKind = kind;
  if (control.cancelWork) {
    *cancel = 1;
  } else if (outside::download::IsPictureKind(kind)) {
    CopyPath(path, control.files.picture);
  } else if (kind == KXCAMAPI_KIND_STREAM_CLIP || kind == KXCAMAPI_KIND_STREAM_LORES_CLIP) {
    const std::string name = ClipName(control);
    control.clipTable[ClipTableEntry(control.clipCounter)] = name;
    // Without a name the camera library fails the item and goes on.
    CopyPath(path, name);
  } else {
    *cancel = 1;
  }
}

void EndDownloadItem(TwainControl& control, DWORD status, char* /*path*/, int32_t* cancel) {
  if (control.cancelWork) {
    *cancel = 1;
    return;
  }
  const int thumbnail = ThumbnailKindOf(control.itemKind);
  if (status != 0 || thumbnail == 0) {
    // The item is skipped; the rest still come.
    ++control.failedItems;
    return;
  }
  if (outside::download::IsPictureKind(control.itemKind)) {
    HGLOBAL picture = JPEG_2Dib(control.files.picture.c_str());
    if (picture == nullptr) {
      ++control.failedItems;
      return;
    }
    KXTWNUI_AddImage(control.ui, nullptr, picture, thumbnail);
    GlobalFree(picture);
  } else {
    ShowClipFrame(control, KXCAMAPI_GetVideoFrame(control.camera), thumbnail);
  }
}

void ShowClipFrame(TwainControl& control, HGLOBAL frame, int kind) {
  if (frame == nullptr) {
    ++control.failedItems;
    return;
  }
  const bool shown = KXTWNUI_AddImage(control.ui, nullptr, frame, kind) != 0;
  GlobalFree(frame);
  if (shown) {
    if (control.clipCounter < 255) ++control.clipCounter;
  } else {
    ++control.failedItems;
  }
}

void CloseStatus(TwainControl& control, const std::string& failures) {
  if (failures.empty()) {
    control.status.Show(false);
    control.status.SetText("");
    return;
  }
  // Said for a moment before the status window goes.
  control.status.SetText(failures);
  control.status.RunLater(kFailureLineMs, [&control] {
    control.status.Show(false);
    control.status.SetText("");
  });
}

void OpenClip(TwainControl& control, int number) {
  if (!control.playback || number < 0) return;
  const std::string& clip = control.clipTable[ClipTableEntry(static_cast<uint32_t>(number))];
  if (!clip.empty()) ShellExecuteA(nullptr, "open", clip.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OnDownloadClick(TwainControl& control) {
  if (ReadDriverStatus(control) == 8 || control.downloading || control.busy > 0) return;
  if (control.downloaded) {
    KXTWNUI_ShowToolTip(control.ui, Text(control.files.localization, kTipDownloaded).c_str(), 1);
    return;
  }
  KXTWNUI_ChangeUIState(control.ui, kStateBusy);
  KXTWNUI_ShowToolTip(control.ui, nullptr, 0);
  StopPreview(control);
  control.status.Show(true);
  // Busy from now on: the camera watch waits until the download is over.
  ++control.busy;
  control.status.RunLater(kDownloadDelayMs, [&control] {
    RunCameraDownload(control);
    --control.busy;
    ExitWhenIdle(control);
  });
}

void RunCameraDownload(TwainControl& control) {
  // Not when Exit was pressed before the download began.
  if (!control.cancelWork) {
    control.camera = KXCAMAPI_Init(OnBegin, OnEnd, reinterpret_cast<intptr_t>(&control), control.module,
                                   control.status.handle());
  }
  if (control.camera == nullptr) {
    // No download: the window comes back as it was.
    CloseStatus(control, {});
    const uint32_t status = ReadDriverStatus(control);
    if (status == 3 || status == 7) StartPreview(control);
    KXTWNUI_ChangeUIState(control.ui, kStateNormal);
    return;
  }
  KXCAMAPI_SetAudioUpSampleRate(control.camera, 0);
  control.downloading = true;
  control.downloadCounter = 1;
  control.failedItems = 0;
  control.status.SetText(Text(control.files.localization, kDownloading));
  const int result = KXCAMAPI_GetAllImgs(control.camera, OnProgress);
  KXCAMAPI_Reset(control.camera);
  control.camera = nullptr;
  CloseStatus(control, control.failedItems == 0 ? std::string()
                                                : FailureLine(control.files.localization, control.failedItems));
  control.downloading = false;
  KXTWNUI_ChangeUIState(control.ui, kStateNormal);
  if (ReadDriverStatus(control) == 8 || (result != 0 && result != KXCAMAPI_CANCELLED)) {
    KXTWNUI_ChangeUIState(control.ui, kStateNoCamera);
    return;
  }
  if (control.playback) StartPreview(control);
  control.downloaded = true;
  downloadCompleted = true;
}

}  // namespace ksv::twainctl
