// What the control procedures share: their state on the window, the
// notifications to the parent, and whether a control takes input now.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/controls/controls.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui::controls {

// What the input seam sends a list box or an open combo box when a person
// picks item wParam in its list (where a display would have a point).
inline constexpr UINT kChooseItemMessage = 0xCF01;

// The control's own state (its window's attachment), or null.
template <class State>
std::shared_ptr<State> StateOf(HWND control) {
  std::shared_lock guard(TableLock());
  const std::shared_ptr<Window> window = FindLocked(control);
  if (window == nullptr) return nullptr;
  return std::dynamic_pointer_cast<State>(window->attachment);
}

// Hangs `state` on the control (at WM_NCCREATE).
void Attach(HWND control, std::shared_ptr<WindowAttachment> state);

DWORD StyleOf(HWND control);
void SetStyle(HWND control, DWORD style);

// WM_COMMAND to the parent: the control's identifier and `code`.
void NotifyParent(HWND control, WORD code);
// WM_HSCROLL or WM_VSCROLL to the parent.
void ScrollParent(HWND control, UINT message, WORD code, WORD position);

// A control takes a person's input while it and every window above it are
// enabled.
bool TakesInput(HWND control);

// The siblings in `control`'s group, in order: from the nearest control at
// or before it with WS_GROUP to the one before the next WS_GROUP.
std::vector<HWND> GroupOf(HWND control);

// The client-area point of a mouse message.
inline int PointX(LPARAM lParam) { return static_cast<SHORT>(LOWORD(lParam)); }
inline int PointY(LPARAM lParam) { return static_cast<SHORT>(HIWORD(lParam)); }
// The control's size.
int Width(HWND control);
int Height(HWND control);

// Text compared as the controls compare item strings: without case.
bool EqualNoCase(const std::string& a, const std::string& b);
bool StartsNoCase(const std::string& text, const std::string& prefix);

// The procedures of the standard classes.
LRESULT ButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT StaticProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT EditProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ComboBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ListBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TrackbarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TabControlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace ksv::platform::ui::controls
