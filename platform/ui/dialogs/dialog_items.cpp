// Reaching a dialog's controls by identifier, and dialog units.
#include <cctype>
#include <cstdio>
#include <string>

#include "platform/ui/dialogs/dialogs.h"
#include "platform/ui/window.h"

namespace {

std::string TextOf(HWND control) {
  const int length = GetWindowTextLengthA(control);
  std::string text(static_cast<size_t>(length < 0 ? 0 : length) + 1, '\0');
  const int copied = GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(copied < 0 ? 0 : copied));
  return text;
}

// The number `text` spells, spaces around it allowed.
bool ParseNumber(const std::string& text, bool isSigned, UINT& value) {
  size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  bool negative = false;
  if (isSigned && at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  uint64_t number = 0;
  size_t digits = 0;
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at, ++digits) {
    number = number * 10 + static_cast<uint64_t>(text[at] - '0');
    if (number > (isSigned ? (negative ? 0x80000000ull : 0x7FFFFFFFull) : 0xFFFFFFFFull)) return false;
  }
  while (at < text.size() && text[at] == ' ') ++at;
  if (digits == 0 || at != text.size()) return false;
  value = negative ? static_cast<UINT>(-static_cast<int64_t>(number)) : static_cast<UINT>(number);
  return true;
}

}  // namespace

extern "C" {

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr ? SendMessageA(control, message, wParam, lParam) : 0;
}

BOOL SetDlgItemTextA(HWND dialog, int id, const char* text) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr ? SetWindowTextA(control, text) : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, char* text, int capacity) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) {
    if (text != nullptr && capacity > 0) text[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(GetWindowTextA(control, text, capacity));
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  if (translated != nullptr) *translated = FALSE;
  HWND control = GetDlgItem(dialog, id);
  UINT value = 0;
  if (control == nullptr || !ParseNumber(TextOf(control), isSigned != FALSE, value)) return 0;
  if (translated != nullptr) *translated = TRUE;
  return value;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  char text[16];
  if (isSigned != FALSE) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  } else {
    std::snprintf(text, sizeof text, "%u", value);
  }
  return SetDlgItemTextA(dialog, id, text);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return FALSE;
  SendMessageA(control, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  return static_cast<UINT>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
  const std::shared_ptr<ksv::platform::ui::Window> window = ksv::platform::ui::Find(dialog);
  if (window == nullptr) return FALSE;
  std::vector<HWND> children;
  {
    std::shared_lock guard(ksv::platform::ui::TableLock());
    children = window->children;
  }
  for (HWND child : children) {
    const int id = GetDlgCtrlID(child);
    if (id >= first && id <= last) SendMessageA(child, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

LONG GetDialogBaseUnits() { return MAKELONG(8, 16); }

BOOL MapDialogRect(HWND dialog, RECT* rect) {
  if (rect == nullptr || !IsWindow(dialog)) return FALSE;
  auto map = [](LONG value, int base, int per) {
    const int64_t product = static_cast<int64_t>(value) * base;
    return static_cast<LONG>(product >= 0 ? (product + per / 2) / per : (product - per / 2) / per);
  };
  rect->left = map(rect->left, ksv::platform::ui::kDialogBaseUnitX, 4);
  rect->right = map(rect->right, ksv::platform::ui::kDialogBaseUnitX, 4);
  rect->top = map(rect->top, ksv::platform::ui::kDialogBaseUnitY, 8);
  rect->bottom = map(rect->bottom, ksv::platform::ui::kDialogBaseUnitY, 8);
  return TRUE;
}

}  // extern "C"
