#include "wiadl/download_window.h"

#include <cstdio>
#include <utility>

#include "common/profile_text.h"
#include "platform/gdi/gdi.h"
#include "platform/module/module.h"
#include "platform/sound/sound.h"

namespace ksv::wiadl {

HINSTANCE LibraryModule() { return platform::RegisterSystemModule("OKSV1Dld.DLL"); }

void Beep() { MessageBeep(MB_OK); }

DownloadWindow::DownloadWindow(std::string localization, bool convert)
    : localization_(std::move(localization)), convert_(convert) {}

DownloadWindow::~DownloadWindow() {
  if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
    SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
    ::DestroyWindow(m_hWnd);
  }
}

HINSTANCE DownloadWindow::ResourceModule() const { return LibraryModule(); }

bool DownloadWindow::Make() { return Create(kProgressDialogId) != FALSE; }

BOOL DownloadWindow::OnInitDialog() {
  LOGFONTA iconTitle{};
  if (SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof iconTitle, &iconTitle, 0) &&
      font_.CreateFontIndirect(&iconTitle)) {
    for (const int id : {kCameraNameId, kProgressLineId}) {
      if (CWnd* item = GetDlgItem(id)) item->SetFont(&font_);
    }
  }
  return TRUE;
}

void DownloadWindow::SetFolder(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  folder_ = std::move(folder);
}

std::string DownloadWindow::Localized(const Text& text) const {
  return common::LocalizedText(localization_, text.key, text.english);
}

void DownloadWindow::ShowStarted() {
  ShowWindow(SW_SHOW);
  SetDlgItemText(kCameraNameId, Localized(kCameraName).c_str());
  SetDlgItemText(kProgressLineId, Localized(kInitialDevice).c_str());
}

void DownloadWindow::BeginItem(int kind, char* path, int32_t* cancel) {
  *cancel = skip_;
  kind_ = kind;
  const bool named = outside::download::IsPictureKind(kind) || kind == KXCAMAPI_KIND_STREAM_CLIP ||
                     kind == KXCAMAPI_KIND_STREAM_LORES_CLIP;
  const std::optional<std::string> name = named ? namer_.Next(kind) : std::nullopt;
  // An item of a kind this download does not know ends it.
  if (!name) {
    *cancel = 1;
    return;
  }
  const std::string file = folder_ + *name;
  if (file.size() >= KXCAMAPI_PATH_BYTES) {
    // No item's name fits after such a folder: the download cannot go on.
    *cancel = 1;
    return;
  }
  std::snprintf(path, KXCAMAPI_PATH_BYTES, "%s", file.c_str());
  const std::string line = Localized(kDownloading) + " : " + *name;
  SetDlgItemText(kProgressLineId, line.c_str());
}

void DownloadWindow::EndItem(DWORD status, const char* path) {
  if (status != KXCAMAPI_OK) {
    // The item is skipped and the copy goes on; the result says it is not whole.
    ++failed_;
    return;
  }
  // A picture that cannot be converted keeps its JPEG file, and counts as
  // not copied as asked.
  if (convert_ && outside::download::IsPictureKind(kind_) && !outside::download::ConvertToBitmapFile(path)) ++failed_;
}

void DownloadWindow::OnBeginItem(intptr_t user, int kind, char* path, int32_t* cancel) {
  reinterpret_cast<DownloadWindow*>(user)->BeginItem(kind, path, cancel);
}

void DownloadWindow::OnEndItem(intptr_t user, DWORD status, char* path, int32_t* /*cancel*/) {
  reinterpret_cast<DownloadWindow*>(user)->EndItem(status, path);
}

int DownloadWindow::OnProgress(intptr_t user, const KXCAMAPI_ProgressRecord* /*record*/) {
  if (user == 0) return 1;
  auto* window = reinterpret_cast<DownloadWindow*>(user);
  ++window->progressCalls_;
  // The caller's thread is busy with the download: the thread's messages
  // (the window painting its new line) are handled here. A request to quit
  // is left for the caller's own loop.
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!IsDialogMessageA(window->m_hWnd, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return 0;
}

}  // namespace ksv::wiadl
