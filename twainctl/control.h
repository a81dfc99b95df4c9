// The control's state and the parts of its work, one file each.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/work_folder.h"
#include "include/oksv1api.h"
#include "include/oksv1cap.h"
#include "include/oksv1ctl.h"
#include "include/oksv1ui.h"
#include "outside/download/item_files.h"
#include "platform/files/files.h"
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
  // pages, a camera download or Save All, whose clip graph pumps): an Exit
  // pressed meanwhile waits until it has returned, and stops a download.
  int busy = 0;
  bool exitPending = false;
  bool cancelWork = false;

  // The camera download and Save All.
  KXCAMAPI_HANDLE camera = nullptr;  // open for the one operation running
  bool downloading = false;
  bool saving = false;
  bool saved = false;
  uint32_t downloadCounter = 0;
  int itemKind = 0;
  int failedItems = 0;
  // Clips: each process's in a folder of its own under the Clips folder.
  ksv::common::WorkFolder clipWork;
  uint32_t clipCounter = 0;  // the next clip table entry, stays at 255
  std::array<std::string, 256> clipTable;
  std::string saveFolder;  // Save All's time-stamped target, ending in "/"
  ksv::outside::download::ItemNamer saveNames;
};

namespace ksv::twainctl {

// The window's UI states the control sets (KXTWNUI_ChangeUIState).
inline constexpr int kStateNormal = 2;
inline constexpr int kStateBusy = 4;
inline constexpr int kStateNoCamera = 5;

// Writes `text` into a camera library path buffer (KXCAMAPI_PATH_BYTES),
// cut to fit.
void CopyPath(char* path, const std::string& text);

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

// The Download button clicked: the download starts from the status
// window's timer a second later.
void OnDownloadClick(TwainControl& control);
// The camera download the status window's timer runs.
void RunCameraDownload(TwainControl& control);
// True once a camera download has completed in this process.
bool DownloadCompletedInProcess();
void ForgetCompletedDownload();

// The download's item callbacks (their user data is the control).
void BeginDownloadItem(TwainControl& control, int kind, char* path, int32_t* cancel);
void EndDownloadItem(TwainControl& control, DWORD status, char* path, int32_t* cancel);
// A clip's first frame (null when it could not be read) shown as a
// thumbnail of `kind`; the clip table moves on only for a shown clip, so
// the window's clip numbers and the table stay aligned.
void ShowClipFrame(TwainControl& control, HGLOBAL frame, int kind);
// A double click on clip thumbnail `number` (from 0): its file opened.
void OpenClip(TwainControl& control, int number);
// The clip table entry of clip counter value `counter`.
inline uint32_t ClipTableEntry(uint32_t counter) { return counter < 255 ? counter : 255; }

// Save All, answered through the folder browser and a Yes/No question.
// True when everything was saved.
bool SaveAll(TwainControl& control);
// The time-stamped folder's name for `time`: month, day, year, "_", hour,
// minute, second ("12062026_093005").
std::string SaveAllFolderName(const SYSTEMTIME& time);
// The target folder under the chosen `folder` (a root gets no second
// separator), ending in "/".
std::string SaveAllTarget(const std::string& folder, const std::string& name);
// Throws away up to 99 messages queued for this thread, not waiting for
// any: the clicks made while the thread was blocked.
void DiscardQueuedMessages();

// Hides the status window, or, when items failed, first shows `failures`
// in it for a moment.
void CloseStatus(TwainControl& control, const std::string& failures);

// The Exit the data source hears, unless work still runs (then it waits).
void ExitWhenIdle(TwainControl& control);

// How long a triggered snapshot waits for the driver's file.
inline constexpr int kSnapshotWaitMilliseconds = 5000;

}  // namespace ksv::twainctl
