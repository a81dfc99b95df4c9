// Property sheets as Win32's common controls offer them: pages made from
// dialog templates (CreatePropertySheetPageA), and a sheet that shows them
// under a tab control with OK, Cancel and Apply (PropertySheetA), modal or
// modeless, as a window of its own or as a child of another dialog.
//
// Each page is a child dialog made the first time its tab is chosen; its
// dialog procedure gets WM_INITDIALOG with a pointer to the sheet's copy of
// its PROPSHEETPAGEA, and the sheet's notifications through WM_NOTIFY (a
// PSHNOTIFY), answering in DWLP_MSGRESULT:
// - PSN_SETACTIVE as it is shown (-1 keeps the sheet where it was);
// - PSN_KILLACTIVE before another page is shown and before OK and Apply
//   (TRUE: the page's values are not valid and it stays);
// - PSN_APPLY to every page made so far on OK (lParam TRUE) and Apply
//   (lParam FALSE); PSNRET_INVALID or PSNRET_INVALID_NOCHANGEPAGE stops
//   there and shows the page;
// - PSN_QUERYCANCEL before Cancel (TRUE refuses), then PSN_RESET to every
//   page made.
// A page calls PSM_CHANGED (PropSheet_Changed) to make Apply available.
//
// A modal sheet returns 1 when closed with OK (or after an Apply), 0 with
// Cancel, -1 when it could not be made. A modeless one (PSH_MODELESS)
// returns its window; once closed, PSM_GETCURRENTPAGEHWND answers null and
// its owner destroys it, as on the platform.
//
// Pages come from PSP_DLGINDIRECT templates that a DialogTemplate holds
// (dialogs.h), or from a module's dialog resources (pszTemplate in
// hInstance). Icons, help, wizards and
// the PSM_* messages not listed below are not built: PSM_* answer 0.
#pragma once

#include "platform/ui/dialogs/dialogs.h"

typedef struct _PSP* HPROPSHEETPAGE;
struct _PROPSHEETPAGEA;
typedef UINT (*LPFNPSPCALLBACKA)(HWND window, UINT message, struct _PROPSHEETPAGEA* page);
typedef int (*PFNPROPSHEETCALLBACK)(HWND sheet, UINT message, LPARAM lParam);

typedef struct _PROPSHEETPAGEA {
  DWORD dwSize;
  DWORD dwFlags;
  HINSTANCE hInstance;
  union {
    const char* pszTemplate;
    const DLGTEMPLATE* pResource;
  };
  union {
    HICON hIcon;
    const char* pszIcon;
  };
  const char* pszTitle;
  DLGPROC pfnDlgProc;
  LPARAM lParam;
  LPFNPSPCALLBACKA pfnCallback;
  UINT* pcRefParent;
} PROPSHEETPAGEA;

typedef struct _PROPSHEETHEADERA {
  DWORD dwSize;
  DWORD dwFlags;
  HWND hwndParent;
  HINSTANCE hInstance;
  union {
    HICON hIcon;
    const char* pszIcon;
  };
  const char* pszCaption;
  UINT nPages;
  union {
    UINT nStartPage;
    const char* pStartPage;
  };
  union {
    const PROPSHEETPAGEA* ppsp;
    HPROPSHEETPAGE* phpage;
  };
  PFNPROPSHEETCALLBACK pfnCallback;
} PROPSHEETHEADERA;

typedef struct _PSHNOTIFY {
  NMHDR hdr;
  LPARAM lParam;
} PSHNOTIFY;

// Page flags.
inline constexpr DWORD PSP_DEFAULT = 0x0000;
inline constexpr DWORD PSP_DLGINDIRECT = 0x0001;
inline constexpr DWORD PSP_USEHICON = 0x0002;
inline constexpr DWORD PSP_USEICONID = 0x0004;
inline constexpr DWORD PSP_USETITLE = 0x0008;
inline constexpr DWORD PSP_HASHELP = 0x0020;
inline constexpr DWORD PSP_USEREFPARENT = 0x0040;
inline constexpr DWORD PSP_USECALLBACK = 0x0080;

// A page's callback: when its handle is made, before its window is made
// (0 refuses), and when the handle goes.
inline constexpr UINT PSPCB_ADDREF = 0;
inline constexpr UINT PSPCB_RELEASE = 1;
inline constexpr UINT PSPCB_CREATE = 2;

// Sheet flags.
inline constexpr DWORD PSH_DEFAULT = 0x0000;
inline constexpr DWORD PSH_PROPTITLE = 0x0001;
inline constexpr DWORD PSH_USEHICON = 0x0002;
inline constexpr DWORD PSH_PROPSHEETPAGE = 0x0008;
inline constexpr DWORD PSH_USEPSTARTPAGE = 0x0040;
inline constexpr DWORD PSH_NOAPPLYNOW = 0x0080;
inline constexpr DWORD PSH_USECALLBACK = 0x0100;
inline constexpr DWORD PSH_MODELESS = 0x0400;

// A sheet's callback: before its window is made (lParam the template,
// whose style it may change, for instance to WS_CHILD), and once it is
// made and its first page shown.
inline constexpr UINT PSCB_INITIALIZED = 1;
inline constexpr UINT PSCB_PRECREATE = 2;

// Notifications to pages.
inline constexpr UINT PSN_FIRST = static_cast<UINT>(-200);
inline constexpr UINT PSN_SETACTIVE = PSN_FIRST - 0;
inline constexpr UINT PSN_KILLACTIVE = PSN_FIRST - 1;
inline constexpr UINT PSN_APPLY = PSN_FIRST - 2;
inline constexpr UINT PSN_RESET = PSN_FIRST - 3;
inline constexpr UINT PSN_QUERYCANCEL = PSN_FIRST - 9;

inline constexpr LRESULT PSNRET_NOERROR = 0;
inline constexpr LRESULT PSNRET_INVALID = 1;
inline constexpr LRESULT PSNRET_INVALID_NOCHANGEPAGE = 2;

// Messages to the sheet.
inline constexpr UINT PSM_SETCURSEL = WM_USER + 101;   // wParam index, lParam page handle
inline constexpr UINT PSM_REMOVEPAGE = WM_USER + 102;  // not built
inline constexpr UINT PSM_ADDPAGE = WM_USER + 103;     // lParam page handle
inline constexpr UINT PSM_CHANGED = WM_USER + 104;     // wParam the page
inline constexpr UINT PSM_CANCELTOCLOSE = WM_USER + 107;
inline constexpr UINT PSM_UNCHANGED = WM_USER + 109;   // wParam the page
inline constexpr UINT PSM_APPLY = WM_USER + 110;
inline constexpr UINT PSM_SETTITLEA = WM_USER + 111;
inline constexpr UINT PSM_PRESSBUTTON = WM_USER + 113;  // wParam PSBTN_*
inline constexpr UINT PSM_GETTABCONTROL = WM_USER + 116;
inline constexpr UINT PSM_ISDIALOGMESSAGE = WM_USER + 117;
inline constexpr UINT PSM_GETCURRENTPAGEHWND = WM_USER + 118;
inline constexpr UINT PSM_INDEXTOHWND = WM_USER + 130;

inline constexpr int PSBTN_OK = 3;
inline constexpr int PSBTN_APPLYNOW = 4;
inline constexpr int PSBTN_CANCEL = 5;

// The sheet's own controls (OK and Cancel are IDOK and IDCANCEL).
inline constexpr int ID_APPLY_NOW = 0x3021;
inline constexpr int kSheetTabId = 0x3020;

extern "C" {

// Null with the error set: no page or a size too small
// (ERROR_INVALID_PARAMETER), a template that is not a known, well-formed
// one (ERROR_INVALID_PARAMETER) or no such resource
// (ERROR_RESOURCE_NAME_NOT_FOUND). With PSP_USEREFPARENT, *pcRefParent
// counts the handle until it goes; with PSP_USECALLBACK the callback hears
// PSPCB_ADDREF now.
HPROPSHEETPAGE CreatePropertySheetPageA(const PROPSHEETPAGEA* page);
// For a page never given to a sheet (a sheet destroys its pages itself).
BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page);
INT_PTR PropertySheetA(const PROPSHEETHEADERA* header);

}  // extern "C"
