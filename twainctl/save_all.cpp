// Save All: every picture and clip the camera stores written into a
// time-stamped folder under a folder the person chooses.
#include <cstdio>
#include <cstring>
#include <string>

#include "common/driver_settings.h"
#include "common/folders.h"
#include "common/profile_text.h"
#include "platform/registry/win32_registry.h"
#include "platform/ui/dialogs/message_box.h"
#include "twainctl/control.h"
#include "twainctl/save_all_browser.h"
#include "twainctl/texts.h"

namespace ksv::twainctl {

namespace {

constexpr const char* kSavedFolderValue = "TWNSAVEALLPATH";
constexpr int kMaxDiscarded = 99;

std::string TwoDigits(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u", value);
  return text;
}

std::string SavedFolder() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, std::string(common::kDriverKey).c_str(), 0, KEY_QUERY_VALUE, &key) != 0) {
    return {};
  }
  char path[260] = {};
  DWORD type = 0, size = sizeof path - 1;
  const LONG read = RegQueryValueExA(key, kSavedFolderValue, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(key);
  return read == 0 && type == REG_SZ ? std::string(path) : std::string();
}

void StoreSavedFolder(const std::string& folder) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, std::string(common::kDriverKey).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != 0) {
    return;
  }
  RegSetValueExA(key, kSavedFolderValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                 static_cast<DWORD>(folder.size() + 1));
  RegCloseKey(key);
}

bool SavedKind(int kind) {
  return kind == KXCAMAPI_KIND_BURST_PICTURE || kind == KXCAMAPI_KIND_HQ_PICTURE || kind == KXCAMAPI_KIND_LQ_PICTURE ||
         kind == KXCAMAPI_KIND_STREAM_CLIP || kind == KXCAMAPI_KIND_STREAM_LORES_CLIP;
}

void OnSaveBegin(intptr_t user, int kind, char* path, int32_t* cancel) {
  TwainControl& control = *reinterpret_cast<TwainControl*>(user);
  *cancel = control.cancelWork ? 1 : 0;
  control.itemKind = kind;
  const auto name = SavedKind(kind) ? control.saveNames.Next(kind) : std::nullopt;
  if (!name) {
    *cancel = 1;
    return;
  }
  CopyPath(path, control.saveFolder + *name);
  if (*cancel == 0) {
    control.status.SetText(common::LocalizedText(control.files.localization, "ID_LOC_BTN_SAVEALL", "Save All") +
                           " : " + *name);
  }
}

void OnSaveEnd(intptr_t user, DWORD status, char* /*path*/, int32_t* cancel) {
  TwainControl& control = *reinterpret_cast<TwainControl*>(user);
  if (control.cancelWork) {
    *cancel = 1;
  } else if (status != 0 || !SavedKind(control.itemKind)) {
    ++control.failedItems;  // skipped; the rest are still saved
  }
}

int OnSaveProgress(intptr_t user, const KXCAMAPI_ProgressRecord* /*record*/) {
  return user != 0 && reinterpret_cast<TwainControl*>(user)->cancelWork ? 1 : 0;
}

// Everything into the target folder; true when the camera library finished.
bool SaveEverything(TwainControl& control) {
  control.saveNames = {};
  control.failedItems = 0;
  control.camera = KXCAMAPI_Init(OnSaveBegin, OnSaveEnd, reinterpret_cast<intptr_t>(&control), control.module,
                                 control.status.handle());
  if (control.camera == nullptr) return false;
  control.status.Show(true);
  control.saving = true;
  KXCAMAPI_SetAudioUpSampleRate(control.camera, 0);
  const int result = KXCAMAPI_GetAllImgs(control.camera, OnSaveProgress);
  control.saving = false;
  CloseStatus(control, control.failedItems == 0
                           ? std::string()
                           : common::LocalizedText(control.files.localization, "ID_LOC_BTN_SAVEALL", "Save All") +
                                 " : " + std::to_string(control.failedItems) +
                                 (control.failedItems == 1 ? " item could not be saved" : " items could not be saved"));
  KXCAMAPI_Reset(control.camera);
  control.camera = nullptr;
  return result == 0;
}

}  // namespace

std::string SaveAllFolderName(const SYSTEMTIME& time) {
  return TwoDigits(time.wMonth) + TwoDigits(time.wDay) + std::to_string(time.wYear) + "_" + TwoDigits(time.wHour) +
         TwoDigits(time.wMinute) + TwoDigits(time.wSecond);
}

std::string SaveAllTarget(const std::string& folder, const std::string& name) {
  const bool separated = !folder.empty() && folder.back() == '/';
  return folder + (separated ? "" : "/") + name + "/";
}

void DiscardQueuedMessages() {
  MSG message{};
  for (int i = 0; i < kMaxDiscarded && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != FALSE; ++i) {
  }
}

bool SaveAll(TwainControl& control) {
  const std::string& texts = control.files.localization;
  const auto chosen = BrowseForSaveFolder(control.window, Text(texts, kSaveAllPrompt), SavedFolder());
  if (!chosen) return false;
  const bool previewed = control.preview != nullptr;
  StopPreview(control);
  bool saved = false;
  const std::string question = Text(texts, kSaveAllQuestion) + "\n" + *chosen;
  // Exit pressed while the person was asked: nothing is saved.
  if (MessageBoxA(nullptr, question.c_str(), Text(texts, kSaveAllTitle).c_str(), MB_YESNO) != IDNO &&
      !control.cancelWork) {
    StoreSavedFolder(*chosen);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    control.saveFolder = SaveAllTarget(*chosen, SaveAllFolderName(now));
    if (!common::CreateFolderChain(control.saveFolder)) {
      const std::string text = "Cannot make the folder " + control.saveFolder;
      MessageBoxA(nullptr, text.c_str(), control.profile.productName.c_str(), MB_OK);
    } else {
      saved = SaveEverything(control);
    }
  }
  if (previewed) StartPreview(control);
  DiscardQueuedMessages();
  return saved;
}

}  // namespace ksv::twainctl
