// The keyboard interface of dialogs: Tab order, arrow keys within a group,
// Enter and Escape.
#include <algorithm>
#include <mutex>

#include "platform/ui/controls/control_support.h"
#include "platform/ui/dialogs/dialog_state.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui::dialogs {
namespace {

struct Control {
  HWND handle;
  DWORD style;
};

// The dialog's controls in tab order: its children in creation order, the
// controls of a WS_EX_CONTROLPARENT child (a page) in its place.
void CollectLocked(HWND parent, std::vector<Control>& out, int depth) {
  const std::shared_ptr<Window> window = FindLocked(parent);
  if (window == nullptr || depth > 8) return;
  for (HWND child : window->children) {
    const std::shared_ptr<Window> record = FindLocked(child);
    if (record == nullptr) continue;
    if ((record->exStyle & WS_EX_CONTROLPARENT) != 0) {
      if ((record->style & WS_VISIBLE) != 0 && (record->style & WS_DISABLED) == 0) CollectLocked(child, out, depth + 1);
      continue;
    }
    out.push_back({child, record->style});
  }
}

std::vector<Control> TabOrder(HWND dialog) {
  std::vector<Control> controls;
  std::shared_lock guard(TableLock());
  CollectLocked(dialog, controls, 0);
  return controls;
}

bool Reachable(const Control& control) {
  return (control.style & WS_VISIBLE) != 0 && controls::TakesInput(control.handle);
}

LRESULT CodeOf(HWND control, const MSG* message = nullptr) {
  if (control == nullptr) return 0;
  return SendMessageA(control, WM_GETDLGCODE, message != nullptr ? message->wParam : 0,
                      reinterpret_cast<LPARAM>(message));
}

// Tab onto a radio group lands on its checked button.
HWND CheckedInGroup(HWND control) {
  if ((CodeOf(control) & DLGC_RADIOBUTTON) == 0) return control;
  for (HWND member : controls::GroupOf(control)) {
    if ((CodeOf(member) & DLGC_RADIOBUTTON) != 0 && SendMessageA(member, BM_GETCHECK, 0, 0) == BST_CHECKED &&
        IsWindowEnabled(member)) {
      return member;
    }
  }
  return control;
}

void PressCommand(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (button != nullptr && !controls::TakesInput(button)) return;
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// A navigation key the dialog takes; false when it is not one.
bool NavigationKey(HWND dialog, HWND target, WPARAM key, LRESULT code) {
  switch (key) {
    case VK_TAB: {
      if ((code & DLGC_WANTTAB) != 0) return false;
      const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
      HWND next = GetNextDlgTabItem(dialog, target == dialog ? nullptr : target, back ? TRUE : FALSE);
      if (next != nullptr) FocusControl(CheckedInGroup(next));
      return true;
    }
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
      if ((code & DLGC_WANTARROWS) != 0 || target == dialog) return false;
      const BOOL back = key == VK_LEFT || key == VK_UP ? TRUE : FALSE;
      HWND next = GetNextDlgGroupItem(dialog, target, back);
      if (next == nullptr || next == target) return true;
      FocusControl(next);
      if ((CodeOf(next) & DLGC_RADIOBUTTON) != 0) SendMessageA(next, BM_CLICK, 0, 0);
      return true;
    }
    case VK_RETURN: {
      int id = IDOK;
      if ((code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0 && target != dialog) {
        id = GetDlgCtrlID(target);  // a push button with the focus is the one Enter presses
      } else {
        const LRESULT answer = SendMessageA(dialog, DM_GETDEFID, 0, 0);
        if (HIWORD(answer) == DC_HASDEFID) id = LOWORD(answer);
      }
      PressCommand(dialog, id);
      return true;
    }
    case VK_ESCAPE:
      PressCommand(dialog, IDCANCEL);
      return true;
    default:
      return false;
  }
}

}  // namespace
}  // namespace ksv::platform::ui::dialogs

using namespace ksv::platform::ui;
using namespace ksv::platform::ui::dialogs;

extern "C" {

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  if (!IsWindow(dialog)) return nullptr;
  std::vector<Control> order = TabOrder(dialog);
  if (previous != FALSE) std::reverse(order.begin(), order.end());
  const auto at = std::find_if(order.begin(), order.end(), [&](const Control& c) { return c.handle == control; });
  const size_t start = at == order.end() ? 0 : static_cast<size_t>(at - order.begin()) + 1;
  for (size_t step = 0; step < order.size(); ++step) {
    const Control& candidate = order[(start + step) % order.size()];
    if ((candidate.style & WS_TABSTOP) != 0 && Reachable(candidate)) return candidate.handle;
  }
  return nullptr;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  if (!IsWindow(dialog) || control == nullptr) return nullptr;
  std::vector<HWND> group = controls::GroupOf(control);
  if (previous != FALSE) std::reverse(group.begin(), group.end());
  const auto at = std::find(group.begin(), group.end(), control);
  const size_t start = at == group.end() ? 0 : static_cast<size_t>(at - group.begin()) + 1;
  for (size_t step = 0; step < group.size(); ++step) {
    HWND candidate = group[(start + step) % group.size()];
    const DWORD style = static_cast<DWORD>(GetWindowLongA(candidate, GWL_STYLE));
    if (Reachable({candidate, style})) return candidate;
  }
  return control;
}

BOOL IsDialogMessageA(HWND dialog, MSG* message) {
  if (message == nullptr || dialog == nullptr || message->hwnd == nullptr) return FALSE;
  HWND target = message->hwnd;
  if (target != dialog && !IsChild(dialog, target)) return FALSE;
  if (message->message == WM_KEYDOWN) {
    const LRESULT code = CodeOf(target, message);
    if ((code & DLGC_WANTALLKEYS) == 0 && NavigationKey(dialog, target, message->wParam, code)) return TRUE;
  }
  TranslateMessage(message);
  DispatchMessageA(message);
  return TRUE;
}

}  // extern "C"
