// Dialogs as Win32 offers them: a dialog made from a template (standard or
// extended) with its controls, run modeless or modally, its dialog
// procedure, the keyboard interface (IsDialogMessageA) and the calls that
// reach its controls by identifier.
//
// Templates. A template is a block of bytes whose size must be known, so
// that a truncated or malformed one fails creation instead of being read
// past its end: the Win32 calls below take a pointer that a
// DialogTemplate (dialog_template.h) made and still holds; any other
// pointer fails with ERROR_INVALID_PARAMETER. CreateDialogFromTemplate
// takes bytes and their size directly.
//
// Dialog units. There are no fonts, so every dialog has the base units of
// the usual dialog font (MS Sans Serif 8 at 96 dots per inch): 6 pixels
// across and 13 down (MapDialogRect: x * 6 / 4, y * 13 / 8), whatever font
// the template names; GetDialogBaseUnits answers the system font's 8 x 16.
//
// Where this differs from the platform: an EndDialog on a modeless dialog
// only marks it ended; a modal dialog whose window is destroyed without
// EndDialog makes DialogBoxIndirectParamA return 0; keyboard mnemonics
// (Alt+letter) are not handled.
#pragma once

#include <cstddef>
#include <span>

#include "platform/ui/controls/controls.h"

typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#pragma pack(push, 2)
typedef struct {
  DWORD style;
  DWORD dwExtendedStyle;
  WORD cdit;
  short x;
  short y;
  short cx;
  short cy;
} DLGTEMPLATE;

typedef struct {
  DWORD style;
  DWORD dwExtendedStyle;
  short x;
  short y;
  short cx;
  short cy;
  WORD id;
} DLGITEMTEMPLATE;
#pragma pack(pop)

// Dialog styles.
inline constexpr DWORD DS_ABSALIGN = 0x0001;
inline constexpr DWORD DS_SYSMODAL = 0x0002;
inline constexpr DWORD DS_3DLOOK = 0x0004;
inline constexpr DWORD DS_FIXEDSYS = 0x0008;
inline constexpr DWORD DS_NOFAILCREATE = 0x0010;
inline constexpr DWORD DS_SETFONT = 0x0040;
inline constexpr DWORD DS_MODALFRAME = 0x0080;
inline constexpr DWORD DS_CONTROL = 0x0400;
inline constexpr DWORD DS_CENTER = 0x0800;
inline constexpr DWORD DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;

// The dialog's window bytes: the message result, its procedure, the
// application's value.
inline constexpr int DWLP_MSGRESULT = 0;
inline constexpr int DWLP_DLGPROC = DWLP_MSGRESULT + static_cast<int>(sizeof(LRESULT));
inline constexpr int DWLP_USER = DWLP_DLGPROC + static_cast<int>(sizeof(DLGPROC));
inline constexpr int DLGWINDOWEXTRA = 30;

// The dialog class (templates that name no class).
inline constexpr const char* kDialogClassName = "#32770";

// Dialog messages.
inline constexpr UINT WM_NEXTDLGCTL = 0x0028;
inline constexpr UINT DM_GETDEFID = WM_USER + 0;
inline constexpr UINT DM_SETDEFID = WM_USER + 1;
inline constexpr WORD DC_HASDEFID = 0x534B;

// Command identifiers of the standard buttons.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

extern "C" {

// A modeless dialog: its controls are created, then the procedure gets
// WM_INITDIALOG with `initParam` and, in wParam, the control that gets the
// focus (the first enabled, visible WS_TABSTOP control), which it gets when
// the procedure returns TRUE. Null on failure (a bad template, a control
// that could not be made unless DS_NOFAILCREATE, the procedure destroying it).
HWND CreateDialogIndirectParamA(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner,
                                DLGPROC procedure, LPARAM initParam);
// A modal dialog: the owner is disabled while a message loop of its own
// (with IsDialogMessageA) runs until EndDialog; the owner is enabled again,
// the dialog destroyed and EndDialog's result returned. -1 when the dialog
// could not be made, 0 for an owner that is not a window. A WM_QUIT taken
// by the loop ends it and is posted again for the caller's loop.
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner,
                                DLGPROC procedure, LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
// The same from the module's dialog resource `name` (platform/resources);
// without one: null, or -1 for the modal call (ERROR_RESOURCE_NAME_NOT_FOUND).
HWND CreateDialogParamA(HINSTANCE instance, const char* name, HWND owner, DLGPROC procedure,
                        LPARAM initParam);
INT_PTR DialogBoxParamA(HINSTANCE instance, const char* name, HWND owner, DLGPROC procedure,
                        LPARAM initParam);

// The dialog class's procedure: the dialog procedure first; what it leaves
// (returns FALSE for) gets the default handling. A class of one's own for
// dialogs has DLGWINDOWEXTRA bytes and calls this for what it leaves.
LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The keyboard of a dialog: Tab and Shift+Tab move among WS_TABSTOP
// controls, arrow keys within a WS_GROUP group (checking an automatic radio
// button they land on), Enter presses the default button (IDOK without
// one), Escape IDCANCEL; unless the focus control asks for the key
// (WM_GETDLGCODE). Every other message for the dialog or its controls is
// translated and dispatched. FALSE when the message is not the dialog's.
BOOL IsDialogMessageA(HWND dialog, MSG* message);

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextA(HWND dialog, int id, const char* text);
UINT GetDlgItemTextA(HWND dialog, int id, char* text, int capacity);
// The control's text as a number (leading and trailing spaces allowed, a
// sign when `isSigned`); *translated says whether it was one. 0 if not.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks `check` and unchecks every other button from `first` to `last`.
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);

LONG GetDialogBaseUnits();
BOOL MapDialogRect(HWND dialog, RECT* rect);

}  // extern "C"

namespace ksv::platform::ui {

// The dialog units (kDialogBaseUnitX across per 4 units, kDialogBaseUnitY
// down per 8 units).
inline constexpr int kDialogBaseUnitX = 6;
inline constexpr int kDialogBaseUnitY = 13;

// A modeless dialog from the template's bytes (as CreateDialogIndirectParamA).
HWND CreateDialogFromTemplate(std::span<const std::byte> bytes, HINSTANCE instance, HWND owner,
                              DLGPROC procedure, LPARAM initParam);
// A modal one (as DialogBoxIndirectParamA).
INT_PTR RunDialogFromTemplate(std::span<const std::byte> bytes, HINSTANCE instance, HWND owner,
                              DLGPROC procedure, LPARAM initParam);

}  // namespace ksv::platform::ui
