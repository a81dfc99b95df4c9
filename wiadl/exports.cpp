// The library's C functions.
#include <cstring>
#include <memory>
#include <string>

#include "common/driver_settings.h"
#include "common/folders.h"
#include "common/profile_text.h"
#include "include/oksv1api.h"
#include "include/oksv1dld.h"
#include "platform/module/module.h"
#include "platform/ui/dialogs/message_box.h"
#include "support/no_throw.h"
#include "wiadl/clean_folder.h"
#include "wiadl/download_window.h"
#include "wiadl/texts.h"

using ksv::support::NoThrow;
using namespace ksv::wiadl;

namespace {

// The localization file: the library's folder and base name, ".LOC".
std::string LocalizationFile() {
  char module[260] = {};
  const DWORD length = GetModuleFileNameA(LibraryModule(), module, sizeof module);
  if (length == 0 || length >= sizeof module) return {};
  std::string path(module, length);
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
  return path + ".LOC";
}

void Tell(const std::string& text, const char* title) {
  Beep();
  MessageBoxA(nullptr, text.c_str(), title, MB_OK);
}

int32_t Download(const char* key, const char* folder, int32_t convert) {
  // Released, window and all, when the call returns.
  const std::string localization = LocalizationFile();
  auto window = std::make_unique<DownloadWindow>(localization, convert != 0);
  if (!window->Make()) return 0;
  if (localization.empty()) {
    Tell("Localization file NOT found", "KX WIA DLL");
    return 0;
  }
  const uint32_t status =
      key != nullptr ? ksv::common::ReadMachineDword("DriverStatus", key) : ksv::common::kMissingDword;
  if (status == 5) {
    Tell(ksv::common::LocalizedText(localization, kCameraInUse.key, kCameraInUse.english), nullptr);
    return 0;
  }
  if (status != 3 && status != 7) {
    Tell(ksv::common::LocalizedText(localization, kCameraAbsent.key, kCameraAbsent.english), nullptr);
    return 0;
  }
  if (folder == nullptr || !ksv::common::CreateFolderChain(folder)) return 0;
  window->SetFolder(folder);
  KXCAMAPI_HANDLE camera = KXCAMAPI_Init(DownloadWindow::OnBeginItem, DownloadWindow::OnEndItem,
                                         reinterpret_cast<intptr_t>(window.get()), LibraryModule(),
                                         window->m_hWnd);
  if (camera == nullptr) return 0;
  window->ShowStarted();
  const int result = KXCAMAPI_GetAllImgs(camera, DownloadWindow::OnProgress);
  window->Hide();
  KXCAMAPI_Reset(camera);
  return result == KXCAMAPI_OK && window->failedItems() == 0 ? 1 : 0;
}

}  // namespace

extern "C" {

int32_t KXWIADLD_Download(const char* key, const char* folder, int32_t convert) {
  return NoThrow<int32_t>(0, [&] { return Download(key, folder, convert); });
}

int32_t KXWIADLD_CreatePath(const char* path) {
  return NoThrow<int32_t>(0, [&] {
    return path != nullptr && *path != '\0' && ksv::common::CreateFolderChain(path) ? 1 : 0;
  });
}

int32_t KXWIADLD_CleanFolder(const char* root, const char* extension) {
  return NoThrow<int32_t>(0, [&] {
    if (root != nullptr) CleanFolder(root, extension != nullptr ? extension : "");
    return 1;
  });
}

}  // extern "C"
