// The dialog class, creating a dialog from its template, and the modal loop.
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/sync/sync.h"
#include "platform/ui/answerer.h"
#include "platform/ui/dialogs/dialog_state.h"
#include "platform/ui/dialogs/dialog_template.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui::dialogs {
namespace {

struct DialogTable {
  std::mutex mutex;
  std::unordered_map<HWND, std::shared_ptr<DialogState>> dialogs;
};

DialogTable& Dialogs() {
  static DialogTable* table = new DialogTable;
  return *table;
}

// Messages whose answer is what the dialog procedure returns, not DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case 0x002E:  // WM_VKEYTOITEM
    case 0x002F:  // WM_CHARTOITEM
    case 0x0037:  // WM_QUERYDRAGICON
    case 0x0039:  // WM_COMPAREITEM
      return true;
    default:
      return message >= 0x0132 && message <= 0x0138;  // WM_CTLCOLOR*
  }
}

int MulDivRounded(int value, int numerator, int denominator) {
  const int64_t product = static_cast<int64_t>(value) * numerator;
  const int64_t half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

RECT DialogRect(int x, int y, int width, int height) {
  RECT rect{x, y, x + width, y + height};
  rect.left = MulDivRounded(rect.left, kDialogBaseUnitX, 4);
  rect.right = MulDivRounded(rect.right, kDialogBaseUnitX, 4);
  rect.top = MulDivRounded(rect.top, kDialogBaseUnitY, 8);
  rect.bottom = MulDivRounded(rect.bottom, kDialogBaseUnitY, 8);
  return rect;
}

HWND DefaultButton(HWND dialog) {
  const LRESULT answer = SendMessageA(dialog, DM_GETDEFID, 0, 0);
  return HIWORD(answer) == DC_HASDEFID ? GetDlgItem(dialog, LOWORD(answer)) : nullptr;
}

void SetDefaultId(HWND dialog, DialogState& state, int id) {
  if (HWND old = DefaultButton(dialog)) {
    if ((SendMessageA(old, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0) {
      SendMessageA(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    }
  }
  state.defaultId = id;
  if (HWND button = GetDlgItem(dialog, id)) {
    if ((SendMessageA(button, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON) != 0) {
      SendMessageA(button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    }
  }
}

LRESULT GetDefaultId(HWND dialog, const DialogState& state) {
  if (state.defaultId != 0) return MAKELONG(state.defaultId, DC_HASDEFID);
  std::vector<HWND> children;
  {
    std::shared_lock guard(TableLock());
    if (auto window = FindLocked(dialog)) children = window->children;
  }
  for (HWND child : children) {
    if ((SendMessageA(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0) {
      return MAKELONG(GetDlgCtrlID(child), DC_HASDEFID);
    }
  }
  return 0;
}

LRESULT DefaultHandling(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  const std::shared_ptr<DialogState> state = DialogOf(dialog);
  switch (message) {
    case WM_CLOSE: {
      HWND cancel = GetDlgItem(dialog, IDCANCEL);
      if (cancel == nullptr || IsWindowEnabled(cancel)) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      }
      return 0;
    }
    case DM_GETDEFID: return state != nullptr ? GetDefaultId(dialog, *state) : 0;
    case DM_SETDEFID:
      if (state != nullptr) SetDefaultId(dialog, *state, static_cast<int>(wParam));
      return TRUE;
    case WM_NEXTDLGCTL: {
      HWND target = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                        : GetNextDlgTabItem(dialog, GetFocus(), wParam != 0 ? TRUE : FALSE);
      if (target != nullptr) FocusControl(target);
      return 0;
    }
    case WM_SETFOCUS:
      if (HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE)) FocusControl(first);
      return 0;
    case WM_NCDESTROY:
      RemoveDialog(dialog);
      return DefWindowProcA(dialog, message, wParam, lParam);
    default:
      return DefWindowProcA(dialog, message, wParam, lParam);
  }
}

void Fail(DWORD error) { SetLastError(error); }

}  // namespace

std::shared_ptr<DialogState> AddDialog(HWND dialog) {
  auto state = std::make_shared<DialogState>();
  std::lock_guard guard(Dialogs().mutex);
  Dialogs().dialogs[dialog] = state;
  return state;
}

std::shared_ptr<DialogState> DialogOf(HWND dialog) {
  std::lock_guard guard(Dialogs().mutex);
  const auto found = Dialogs().dialogs.find(dialog);
  return found == Dialogs().dialogs.end() ? nullptr : found->second;
}

void RemoveDialog(HWND dialog) {
  std::lock_guard guard(Dialogs().mutex);
  Dialogs().dialogs.erase(dialog);
}

void RegisterDialogClass() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    WNDCLASSA windowClass{};
    windowClass.style = CS_GLOBALCLASS;
    windowClass.lpfnWndProc = DefDlgProcA;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);  // what the controls stand on
    windowClass.lpszClassName = kDialogClassName;
    RegisterClassA(&windowClass);
  });
}

void FocusControl(HWND control) {
  SetFocus(control);
  if ((SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0) {
    SendMessageA(control, EM_SETSEL, 0, -1);
  }
}

namespace {

// The controls of the template, made in order; false when one fails.
bool CreateControls(HWND dialog, const ParsedDialog& parsed, HINSTANCE instance) {
  for (const ParsedControl& control : parsed.controls) {
    const RECT rect = DialogRect(control.x, control.y, control.width, control.height);
    // A control gets its creation data with the size word in front, as laid out.
    std::vector<std::byte> data;
    if (!control.creationData.empty()) {
      const auto size = static_cast<WORD>(control.creationData.size() + sizeof(WORD));
      data.resize(sizeof(WORD));
      std::memcpy(data.data(), &size, sizeof size);
      data.insert(data.end(), control.creationData.begin(), control.creationData.end());
    }
    HWND child = CreateWindowExA(control.exStyle, control.className.c_str(), control.text.c_str(),
                                 (control.style | WS_CHILD) & ~WS_POPUP, rect.left, rect.top,
                                 rect.right - rect.left, rect.bottom - rect.top, dialog,
                                 reinterpret_cast<HMENU>(static_cast<uintptr_t>(control.id)), instance,
                                 data.empty() ? nullptr : data.data());
    if (child == nullptr && (parsed.style & DS_NOFAILCREATE) == 0) return false;
  }
  return true;
}

}  // namespace
}  // namespace ksv::platform::ui::dialogs

namespace ksv::platform::ui {

using namespace dialogs;

HWND CreateDialogFromTemplate(std::span<const std::byte> bytes, HINSTANCE instance, HWND owner,
                              DLGPROC procedure, LPARAM initParam) {
  RegisterStandardControls();
  RegisterDialogClass();
  const std::optional<ParsedDialog> parsed = ParseDialogTemplate(bytes);
  if (!parsed) {
    Fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (owner != nullptr && !IsWindow(owner)) {
    Fail(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  const RECT rect = DialogRect(parsed->x, parsed->y, parsed->width, parsed->height);
  const char* className = parsed->className.empty() ? kDialogClassName : parsed->className.c_str();
  // A DS_CONTROL dialog is a child of its owner (a page inside a sheet).
  DWORD style = parsed->style;
  if ((style & DS_CONTROL) != 0 && owner != nullptr) style = (style | WS_CHILD) & ~WS_POPUP;
  HWND dialog = CreateWindowExA(parsed->exStyle, className, parsed->title.c_str(), style, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, owner, nullptr, instance, nullptr);
  if (dialog == nullptr) return nullptr;
  AddDialog(dialog);
  SetWindowLongPtrA(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(procedure));
  if (!CreateControls(dialog, *parsed, instance)) {
    const DWORD error = GetLastError();
    DestroyWindow(dialog);
    Fail(error);
    return nullptr;
  }
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  const LRESULT setFocus =
      SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), initParam);
  if (!IsWindow(dialog)) {
    Fail(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (setFocus != 0) FocusControl(first != nullptr ? first : dialog);
  return dialog;
}

INT_PTR RunDialogFromTemplate(std::span<const std::byte> bytes, HINSTANCE instance, HWND owner,
                              DLGPROC procedure, LPARAM initParam) {
  if (owner != nullptr && !IsWindow(owner)) {
    Fail(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  // The owner is the top-level window above the one given.
  while (owner != nullptr && (GetWindowLongA(owner, GWL_STYLE) & WS_CHILD) != 0) owner = GetParent(owner);
  HWND dialog = CreateDialogFromTemplate(bytes, instance, owner, procedure, initParam);
  if (dialog == nullptr) return -1;
  const std::shared_ptr<DialogState> state = DialogOf(dialog);
  const bool disableOwner = owner != nullptr && IsWindowEnabled(owner) != FALSE;
  if (disableOwner) EnableWindow(owner, FALSE);
  AnswerModal(dialog, ModalKind::Dialog);
  CancelIfUnattended(dialog, IDCANCEL);
  MSG message{};
  while (IsWindow(dialog) && state != nullptr && !state->ended) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the caller's loop
      break;
    }
    if (got == -1) break;
    if (!IsDialogMessageA(dialog, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  // The owner comes back before the dialog goes, so the focus can return to it.
  if (disableOwner) EnableWindow(owner, TRUE);
  const INT_PTR result = state != nullptr && state->ended ? state->result.load() : 0;
  if (IsWindow(dialog)) DestroyWindow(dialog);
  return result;
}

}  // namespace ksv::platform::ui

using namespace ksv::platform::ui;
using namespace ksv::platform::ui::dialogs;

extern "C" {

LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto procedure = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC));
  if (procedure != nullptr) {
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
    const INT_PTR handled = procedure(dialog, message, wParam, lParam);
    if (handled != 0) return AnswersDirectly(message) ? handled : GetWindowLongPtrA(dialog, DWLP_MSGRESULT);
    if (message != WM_NCDESTROY && !IsWindow(dialog)) return 0;
  }
  return DefaultHandling(dialog, message, wParam, lParam);
}

HWND CreateDialogIndirectParamA(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner,
                                DLGPROC procedure, LPARAM initParam) {
  const auto bytes = KnownTemplateBlock(dialogTemplate);
  if (!bytes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreateDialogFromTemplate(*bytes, instance, owner, procedure, initParam);
}

INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner,
                                DLGPROC procedure, LPARAM initParam) {
  const auto bytes = KnownTemplateBlock(dialogTemplate);
  if (!bytes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  return RunDialogFromTemplate(*bytes, instance, owner, procedure, initParam);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  const std::shared_ptr<DialogState> state = DialogOf(dialog);
  if (state == nullptr || !IsWindow(dialog)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  state->result = result;
  state->ended = true;
  PostMessageA(dialog, WM_NULL, 0, 0);  // wakes a modal loop waiting for a message
  return TRUE;
}

}  // extern "C"
