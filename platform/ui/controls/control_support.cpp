// The control classes' registration and the helpers they share.
#include "platform/ui/controls/control_support.h"

#include <algorithm>
#include <cctype>

namespace ksv::platform::ui {

void RegisterStandardControls() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    struct Entry {
      const char* name;
      WNDPROC procedure;
    };
    const Entry entries[] = {
        {WC_BUTTONA, controls::ButtonProcedure},     {WC_STATICA, controls::StaticProcedure},
        {WC_EDITA, controls::EditProcedure},         {WC_COMBOBOXA, controls::ComboBoxProcedure},
        {WC_LISTBOXA, controls::ListBoxProcedure},   {TRACKBAR_CLASSA, controls::TrackbarProcedure},
        {WC_TABCONTROLA, controls::TabControlProcedure},
    };
    for (const Entry& entry : entries) {
      WNDCLASSA windowClass{};
      windowClass.style = CS_GLOBALCLASS | CS_DBLCLKS;
      windowClass.lpfnWndProc = entry.procedure;
      windowClass.lpszClassName = entry.name;
      RegisterClassA(&windowClass);
    }
  });
}

}  // namespace ksv::platform::ui

namespace ksv::platform::ui::controls {

void Attach(HWND control, std::shared_ptr<WindowAttachment> state) {
  const std::shared_ptr<Window> window = Find(control);
  if (window == nullptr) return;
  std::unique_lock guard(TableLock());
  window->attachment = std::move(state);
}

DWORD StyleOf(HWND control) { return static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)); }

void SetStyle(HWND control, DWORD style) { SetWindowLongA(control, GWL_STYLE, static_cast<LONG>(style)); }

void NotifyParent(HWND control, WORD code) {
  HWND parent = GetParent(control);
  if (parent == nullptr || (StyleOf(control) & WS_CHILD) == 0) return;
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
               reinterpret_cast<LPARAM>(control));
}

void ScrollParent(HWND control, UINT message, WORD code, WORD position) {
  HWND parent = GetParent(control);
  if (parent == nullptr) return;
  SendMessageA(parent, message, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(control));
}

bool TakesInput(HWND control) {
  std::shared_lock guard(TableLock());
  for (auto window = FindLocked(control); window != nullptr;
       window = window->parent != nullptr ? FindLocked(window->parent) : nullptr) {
    if ((window->style & WS_DISABLED) != 0) return false;
  }
  return true;
}

std::vector<HWND> GroupOf(HWND control) {
  std::shared_lock guard(TableLock());
  const std::shared_ptr<Window> window = FindLocked(control);
  if (window == nullptr || window->parent == nullptr) return {control};
  const std::shared_ptr<Window> parent = FindLocked(window->parent);
  if (parent == nullptr) return {control};
  const std::vector<HWND>& siblings = parent->children;
  const auto at = std::find(siblings.begin(), siblings.end(), control);
  if (at == siblings.end()) return {control};
  auto styleOf = [](HWND handle) {
    const std::shared_ptr<Window> record = FindLocked(handle);
    return record != nullptr ? record->style : 0;
  };
  auto first = at;
  while (first != siblings.begin() && (styleOf(*first) & WS_GROUP) == 0) --first;
  auto last = at + 1;
  while (last != siblings.end() && (styleOf(*last) & WS_GROUP) == 0) ++last;
  return {first, last};
}

int Width(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  return rect.right - rect.left;
}

int Height(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  return rect.bottom - rect.top;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && StartsNoCase(a, b);
}

bool StartsNoCase(const std::string& text, const std::string& prefix) {
  if (prefix.size() > text.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace ksv::platform::ui::controls
