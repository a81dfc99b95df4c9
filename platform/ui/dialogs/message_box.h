// MessageBoxA: a modal dialog with the text, an icon and its buttons (OK,
// OK/Cancel, Yes/No, and the other sets), the default one chosen by
// MB_DEFBUTTONn. Escape and the close box answer Cancel where there is a
// Cancel button (OK where OK is the only one), else nothing. The process's
// answerer (answerer.h) hears it as a ModalKind::MessageBox with its text;
// with no answerer and no display the title and text go to stderr and the
// default button is returned at once.
#pragma once

#include "platform/sound/mb_flags.h"
#include "platform/ui/dialogs/dialogs.h"

// Buttons (MB_OK in platform/sound/mb_flags.h).
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
inline constexpr UINT MB_YESNOCANCEL = 0x3;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_RETRYCANCEL = 0x5;
inline constexpr UINT MB_TYPEMASK = 0xF;
// Icons (MB_ICONHAND, MB_ICONQUESTION, MB_ICONEXCLAMATION and
// MB_ICONASTERISK in platform/sound/mb_flags.h).
inline constexpr UINT MB_ICONERROR = MB_ICONHAND;
inline constexpr UINT MB_ICONSTOP = MB_ICONHAND;
inline constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
inline constexpr UINT MB_ICONMASK = 0xF0;
// The default button.
inline constexpr UINT MB_DEFBUTTON1 = 0x000;
inline constexpr UINT MB_DEFBUTTON2 = 0x100;
inline constexpr UINT MB_DEFBUTTON3 = 0x200;
inline constexpr UINT MB_DEFMASK = 0xF00;
// Modality and placement (accepted; every box is modal to its owner and
// shown on top).
inline constexpr UINT MB_APPLMODAL = 0x0000;
inline constexpr UINT MB_SYSTEMMODAL = 0x1000;
inline constexpr UINT MB_TASKMODAL = 0x2000;
inline constexpr UINT MB_SETFOREGROUND = 0x10000;
inline constexpr UINT MB_TOPMOST = 0x40000;

// The box's parts, for answerers and tests: the text and the icon.
inline constexpr int kMessageBoxTextId = 0xFFFF;
inline constexpr int kMessageBoxIconId = 20;

extern "C" {

// The button pressed (IDOK, IDCANCEL, IDYES, ...); 0 when the box could not
// be made. A null title reads "Error".
int MessageBoxA(HWND owner, const char* text, const char* title, UINT type);

}  // extern "C"
