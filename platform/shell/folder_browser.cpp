// SHBrowseForFolderA: a modal dialog over one folder's folders, the
// caller's callback told of its start, of each selection and of a typed
// name that is no folder.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/com/task_memory.h"
#include "platform/shell/item_lists.h"
#include "platform/ui/answerer.h"
#include "platform/ui/dialogs/dialog_template.h"
#include "support/no_throw.h"

namespace ksv::platform::shell {
namespace {

using namespace ksv::platform::ui;

constexpr const char* kUp = "..";

struct Browser {
  BROWSEINFOA* info = nullptr;
  std::string folder;    // whose folders the list shows
  std::string selected;  // the folder OK would choose
  std::string chosen;    // set when the browser ends with a folder
};

bool IsFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string Parent(const std::string& path) {
  const size_t cut = path.find_last_of('/');
  return cut == std::string::npos || cut == 0 ? "/" : path.substr(0, cut);
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string NameOf(const std::string& path) {
  if (path == "/") return "/";
  const size_t cut = path.find_last_of('/');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A path without trailing separators ("/" stays).
std::string Tidy(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::vector<std::string> FoldersIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(folder.c_str())) {
    while (dirent* entry = readdir(listing)) {
      if (entry->d_name[0] == '.') continue;  // ".", ".." and hidden folders
      if (IsFolder(Join(folder, entry->d_name))) names.emplace_back(entry->d_name);
    }
    closedir(listing);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  });
  return names;
}

void Tell(HWND window, Browser& browser, UINT message, LPARAM lParam) {
  if (browser.info->lpfn != nullptr) browser.info->lpfn(window, message, lParam, browser.info->lParam);
}

void Select(HWND window, Browser& browser, const std::string& path) {
  browser.selected = path;
  SetDlgItemTextA(window, kBrowserEditId, NameOf(path).c_str());
  LPITEMIDLIST list = MakeItemList(path);
  Tell(window, browser, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(list));
  CoTaskMemFree(list);
}

// Shows the folders of `folder` and selects it.
void Enter(HWND window, Browser& browser, const std::string& folder) {
  browser.folder = folder;
  HWND list = GetDlgItem(window, kBrowserFoldersId);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  if (folder != "/") SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kUp));
  for (const std::string& name : FoldersIn(folder)) {
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  Select(window, browser, folder);
}

// The folder the list's current item names.
std::string ItemFolder(HWND window, const Browser& browser) {
  HWND list = GetDlgItem(window, kBrowserFoldersId);
  const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return {};
  char name[260] = {};
  if (SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0) >= static_cast<LRESULT>(sizeof name)) return {};
  SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(name));
  return std::strcmp(name, kUp) == 0 ? Parent(browser.folder) : Join(browser.folder, name);
}

// OK: the selection, or the name typed for it; a name that is no folder
// goes to the callback (with BIF_VALIDATE), which keeps the browser open
// or ends it with nothing.
void Accept(HWND window, Browser& browser) {
  char typed[1024] = {};
  GetDlgItemTextA(window, kBrowserEditId, typed, sizeof typed);
  std::string choice = browser.selected;
  if ((browser.info->ulFlags & BIF_EDITBOX) != 0 && typed != NameOf(browser.selected)) {
    const std::string candidate = Tidy(typed[0] == '/' ? std::string(typed) : Join(browser.selected, typed));
    if (typed[0] != '\0' && IsFolder(candidate)) {
      choice = candidate;
    } else if ((browser.info->ulFlags & BIF_VALIDATE) != 0) {
      const int keep = browser.info->lpfn != nullptr
                           ? browser.info->lpfn(window, BFFM_VALIDATEFAILEDA, reinterpret_cast<LPARAM>(typed),
                                                browser.info->lParam)
                           : 0;
      if (keep == 0) EndDialog(window, IDCANCEL);
      return;
    }
  }
  browser.chosen = choice;
  EndDialog(window, IDOK);
}

INT_PTR BrowserProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* browser = reinterpret_cast<Browser*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(window, DWLP_USER, lParam);
      browser = reinterpret_cast<Browser*>(lParam);
      const char* home = std::getenv("HOME");
      const std::string start = home != nullptr && IsFolder(home) ? Tidy(home) : "/";
      Enter(window, *browser, start);
      Tell(window, *browser, BFFM_INITIALIZED, 0);
      return TRUE;
    }
    case WM_COMMAND: {
      if (browser == nullptr) return FALSE;
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == kBrowserFoldersId && code == LBN_SELCHANGE) {
        const std::string folder = ItemFolder(window, *browser);
        if (!folder.empty()) Select(window, *browser, folder);
      } else if (id == kBrowserFoldersId && code == LBN_DBLCLK) {
        const std::string folder = ItemFolder(window, *browser);
        if (!folder.empty()) Enter(window, *browser, folder);
      } else if (id == IDOK) {
        Accept(window, *browser);
      } else if (id == IDCANCEL) {
        EndDialog(window, IDCANCEL);
      }
      return TRUE;
    }
    case BFFM_SETSTATUSTEXTA:
      SetDlgItemTextA(window, kBrowserStatusId, lParam != 0 ? reinterpret_cast<const char*>(lParam) : "");
      return TRUE;
    case BFFM_ENABLEOK:
      EnableWindow(GetDlgItem(window, IDOK), lParam != 0);
      return TRUE;
    case BFFM_SETSELECTIONA: {
      if (browser == nullptr || lParam == 0) return TRUE;
      const std::string path =
          Tidy(wParam != 0 ? reinterpret_cast<const char*>(lParam) : PathOf(reinterpret_cast<LPCITEMIDLIST>(lParam)));
      if (IsFolder(path)) Enter(window, *browser, path);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

DialogTemplate BrowserTemplate(const BROWSEINFOA& info) {
  const bool status = (info.ulFlags & BIF_STATUSTEXT) != 0;
  const bool edit = (info.ulFlags & BIF_EDITBOX) != 0;
  const int height = 6 + 20 + (status ? 12 : 0) + 104 + (edit ? 18 : 0) + 20;
  int y = 6;
  DialogTemplateBuilder builder(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | WS_VISIBLE, 0, 0,
                                220, height, "Browse for Folder");
  builder.Font(8, "MS Sans Serif");
  builder.Label(info.lpszTitle != nullptr ? info.lpszTitle : "", kBrowserTitleId, 7, y, 206, 18);
  y += 20;
  if (status) {
    builder.Label("", kBrowserStatusId, 7, y, 206, 10);
    y += 12;
  }
  builder.ListBox(kBrowserFoldersId, 7, y, 206, 100, LBS_NOTIFY | WS_TABSTOP);
  y += 104;
  if (edit) {
    builder.Label("Folder:", -1, 7, y + 2, 30, 10).EditText(kBrowserEditId, 40, y, 173, 12, ES_AUTOHSCROLL | WS_TABSTOP);
    y += 18;
  }
  builder.DefPushButton("OK", IDOK, 109, y, 50, 14, WS_TABSTOP | WS_GROUP)
      .PushButton("Cancel", IDCANCEL, 163, y, 50, 14, WS_TABSTOP);
  return builder.Build();
}

}  // namespace
}  // namespace ksv::platform::shell

using namespace ksv::platform::shell;
using namespace ksv::platform::ui;

extern "C" {

LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info) {
  return ksv::support::NoThrow<LPITEMIDLIST>(nullptr, [&]() -> LPITEMIDLIST {
    if (info == nullptr) return nullptr;
    if (!HasAnswerer() && !DisplayPresent()) {
      std::fprintf(stderr, "%s: no one to choose a folder; taken as cancelled\n",
                   info->lpszTitle != nullptr ? info->lpszTitle : "Browse for Folder");
      return nullptr;
    }
    const DialogTemplate browserTemplate = BrowserTemplate(*info);
    Browser browser;
    browser.info = info;
    AnnounceModal(ModalKind::FolderBrowser, info->lpszTitle != nullptr ? info->lpszTitle : "");
    const INT_PTR result = DialogBoxIndirectParamA(nullptr, browserTemplate.get(), info->hwndOwner, BrowserProcedure,
                                                   reinterpret_cast<LPARAM>(&browser));
    ForgetAnnouncement();
    if (result != IDOK || browser.chosen.empty()) return nullptr;
    if (info->pszDisplayName != nullptr) {
      const std::string name = NameOf(browser.chosen).substr(0, 259);
      std::memcpy(info->pszDisplayName, name.c_str(), name.size() + 1);
    }
    return MakeItemList(browser.chosen);
  });
}

}  // extern "C"
