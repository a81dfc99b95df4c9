#include "twainctl/save_all_browser.h"

#include "platform/com/task_memory.h"
#include "platform/shell/shell.h"
#include "platform/sound/sound.h"

namespace ksv::twainctl {

namespace {

// Flags: file-system folders only, status text, edit box, validation, the
// new dialog style.
constexpr UINT kBrowserFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_EDITBOX | BIF_VALIDATE | BIF_NEWDIALOGSTYLE;

int OnBrowser(HWND browser, UINT message, LPARAM lParam, LPARAM data) {
  switch (message) {
    case BFFM_INITIALIZED: {
      const auto* initial = reinterpret_cast<const std::string*>(data);
      if (!initial->empty()) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(initial->c_str()));
      break;
    }
    case BFFM_SELCHANGED: {
      char path[260] = {};
      if (SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lParam), path) != FALSE) {
        SendMessageA(browser, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
      }
      break;
    }
    case BFFM_VALIDATEFAILEDA:
      MessageBeep(MB_ICONEXCLAMATION);
      return 1;  // stays open for another name
    default:
      break;
  }
  return 0;
}

}  // namespace

std::optional<std::string> BrowseForSaveFolder(HWND owner, const std::string& title, const std::string& initial) {
  BROWSEINFOA info{};
  char name[260] = {};
  info.hwndOwner = owner;
  info.pszDisplayName = name;
  info.lpszTitle = title.c_str();
  info.ulFlags = kBrowserFlags;
  info.lpfn = OnBrowser;
  info.lParam = reinterpret_cast<LPARAM>(&initial);
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  if (chosen == nullptr) return std::nullopt;
  char path[260] = {};
  const BOOL named = SHGetPathFromIDListA(chosen, path);
  CoTaskMemFree(chosen);
  if (named == FALSE) return std::nullopt;
  return std::string(path);
}

}  // namespace ksv::twainctl
