// One download of the camera's items into a folder: the progress window
// (dialog 1000: the camera's name in control 1001, the file in progress in
// control 1000, both in the icon-title font) and the camera library's
// callbacks, which name the files by kind and turn pictures into bitmaps.
#pragma once

#include <memory>
#include <string>

#include "include/oksv1api.h"
#include "outside/download/item_files.h"
#include "platform/mfc/controls.h"
#include "platform/mfc/dialog.h"
#include "wiadl/texts.h"

namespace ksv::wiadl {

inline constexpr UINT kProgressDialogId = 1000;
inline constexpr int kProgressLineId = 1000;
inline constexpr int kCameraNameId = 1001;

class DownloadWindow : public mfc::CDialog {
 public:
  // `localization` is the localization file the texts come from.
  DownloadWindow(std::string localization, bool convert);
  // The window goes before the font its statics use.
  ~DownloadWindow() override;

  // Makes the window, not yet visible; false when it cannot be made.
  bool Make();
  // The folder the files go into ("/" is added when missing).
  void SetFolder(std::string folder);
  // Shows the window with the camera's name and the first progress line.
  void ShowStarted();
  void Hide() { ShowWindow(SW_HIDE); }

  // The camera library's callbacks, with the window as user data.
  static void OnBeginItem(intptr_t user, int kind, char* path, int32_t* cancel);
  static void OnEndItem(intptr_t user, DWORD status, char* path, int32_t* cancel);
  static int OnProgress(intptr_t user, const KXCAMAPI_ProgressRecord* record);

  // Items that were not copied whole (skipped, or a picture not converted).
  unsigned failedItems() const { return failed_; }
  unsigned progressCalls() const { return progressCalls_; }

  BOOL OnInitDialog() override;

 protected:
  HINSTANCE ResourceModule() const override;

 private:
  void BeginItem(int kind, char* path, int32_t* cancel);
  void EndItem(DWORD status, const char* path);
  std::string Localized(const Text& text) const;

  std::string localization_;
  bool convert_;
  std::string folder_;
  outside::download::ItemNamer namer_;
  int32_t skip_ = 0;  // what the cancel flag is set to at each item's start
  int kind_ = 0;
  unsigned failed_ = 0;
  unsigned progressCalls_ = 0;
  mfc::CFont font_;
};

// The library's module as the system knows it ("OKSV1Dld.DLL" in the
// system folder): its resources and the folder of its localization file.
HINSTANCE LibraryModule();

// A short beep, as before each of the library's message boxes.
void Beep();

}  // namespace ksv::wiadl
