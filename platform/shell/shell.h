// The shell's calls the scanner-interface control makes: the folder
// browser (SHBrowseForFolderA) with its callback, the path of what it
// returns (SHGetPathFromIDListA), and opening a file with the program the
// desktop has for it (ShellExecuteA, through xdg-open).
//
// The browser is a modal dialog: the folders of one folder in a list
// (".." first; a click selects, a double click goes in), a status text, an
// edit box with the selected folder's name (a name typed there is taken
// relative to the selection, or as a path when it starts with "/"), OK and
// Cancel. It starts in the home folder unless the callback selects
// another. The process's answerer (platform/ui/answerer.h) hears it as a
// ModalKind::FolderBrowser; with no answerer and no display it returns
// null at once, as if cancelled, and says so on stderr.
//
// An item identifier list stands for one folder here: the block is the
// caller's and goes with CoTaskMemFree, as on the platform.
#pragma once

#include <functional>
#include <string>

#include "platform/ui/user32.h"

typedef struct _ITEMIDLIST ITEMIDLIST;
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef int (*BFFCALLBACK)(HWND browser, UINT message, LPARAM lParam, LPARAM data);

typedef struct _browseinfoA {
  HWND hwndOwner;
  LPCITEMIDLIST pidlRoot;  // not used: every folder may be browsed
  char* pszDisplayName;    // at least 260 bytes: the chosen folder's name
  const char* lpszTitle;
  UINT ulFlags;
  BFFCALLBACK lpfn;
  LPARAM lParam;
  int iImage;
} BROWSEINFOA;

// Flags (others are accepted and change nothing).
inline constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
inline constexpr UINT BIF_STATUSTEXT = 0x0004;
inline constexpr UINT BIF_EDITBOX = 0x0010;
inline constexpr UINT BIF_VALIDATE = 0x0020;
inline constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;

// To the callback: the browser is up (lParam 0); the selection changed
// (lParam its item list, valid during the call); a name typed in the edit
// box is no folder (lParam the text; return nonzero to keep the browser
// open, 0 to end it with nothing chosen).
inline constexpr UINT BFFM_INITIALIZED = 1;
inline constexpr UINT BFFM_SELCHANGED = 2;
inline constexpr UINT BFFM_VALIDATEFAILEDA = 3;
// From the callback to the browser: the status text (lParam the text),
// OK enabled or not (lParam), the selection (wParam TRUE: lParam a path;
// FALSE: an item list).
inline constexpr UINT BFFM_SETSTATUSTEXTA = WM_USER + 100;
inline constexpr UINT BFFM_ENABLEOK = WM_USER + 101;
inline constexpr UINT BFFM_SETSELECTIONA = WM_USER + 102;

// The browser's controls, for answerers and tests.
inline constexpr int kBrowserTitleId = 0x3740;
inline constexpr int kBrowserStatusId = 0x3743;
inline constexpr int kBrowserFoldersId = 0x3741;
inline constexpr int kBrowserEditId = 0x3744;

// ShellExecuteA's results of 32 and below are errors.
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_OOM = 8;
inline constexpr int SE_ERR_NOASSOC = 31;

extern "C" {

// The chosen folder's item list, or null (cancelled, or nothing valid).
LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info);
// The folder's path into `path` (260 bytes); FALSE for a null list.
BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path);
// "open" (or null) of an existing file or folder: handed to xdg-open, not
// waited for; a value above 32 when it was. SE_ERR_FNF for no such file,
// SE_ERR_NOASSOC for another verb or no xdg-open to run.
HINSTANCE ShellExecuteA(HWND owner, const char* verb, const char* file, const char* parameters,
                        const char* directory, int show);

}  // extern "C"

namespace ksv::platform::shell {

// What ShellExecuteA was asked, for a recorder that tests (and ksvcam)
// install in place of running xdg-open; an empty one removes it.
struct ShellCall {
  std::string verb;
  std::string file;
  std::string parameters;
  int show = 0;
};
void SetShellRecorder(std::function<void(const ShellCall&)> recorder);

}  // namespace ksv::platform::shell
