// The input seam: hit testing child windows and posting what a person does.
#include "platform/ui/input.h"

#include <atomic>
#include <cctype>
#include <mutex>

#include "platform/ui/controls/control_support.h"
#include "platform/ui/keyboard.h"
#include "platform/ui/mouse.h"
#include "platform/ui/painting.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui::input {
namespace {

struct Child {
  HWND handle;
  RECT rect;
  DWORD style;
};

std::vector<Child> ChildrenOf(HWND parent) {
  std::vector<Child> children;
  std::shared_lock guard(TableLock());
  const std::shared_ptr<Window> window = FindLocked(parent);
  if (window == nullptr) return children;
  for (HWND handle : window->children) {
    if (auto record = FindLocked(handle)) children.push_back({handle, record->rect, record->style});
  }
  return children;
}

bool Contains(const RECT& rect, int x, int y) {
  return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

LPARAM PointParam(POINT point) { return MAKELPARAM(point.x, point.y); }

// `window`'s top-level ancestor and the offset of its client area in it.
HWND TopLevelOf(HWND window, POINT& offset) {
  offset = {0, 0};
  std::shared_lock guard(TableLock());
  std::shared_ptr<Window> record = FindLocked(window);
  while (record != nullptr && record->parent != nullptr) {
    offset.x += record->rect.left;
    offset.y += record->rect.top;
    record = FindLocked(record->parent);
  }
  return record != nullptr ? record->handle : nullptr;
}

std::atomic<bool> leftButtonDown{false};

// The keys a mouse message carries: the left button as it is after the
// message, and the modifiers as the keyboard has them (held by the seam for
// this action, or by a person at the presenter's keyboard).
WPARAM KeyFlags() {
  WPARAM flags = leftButtonDown.load() ? MK_LBUTTON : 0;
  if (KeyIsDown(VK_SHIFT)) flags |= MK_SHIFT;
  if (KeyIsDown(VK_CONTROL)) flags |= MK_CONTROL;
  return flags;
}

// The modifiers go down before the mouse acts and up after it, as a
// person's fingers do (GetAsyncKeyState sees them meanwhile).
void HoldKeys(unsigned keys, bool down) {
  if ((keys & kShift) != 0) FeedKey(VK_SHIFT, down);
  if ((keys & kControl) != 0) FeedKey(VK_CONTROL, down);
}

template <typename Act>
bool WithKeys(unsigned keys, Act act) {
  HoldKeys(keys, true);
  const bool done = act();
  HoldKeys(keys, false);
  return done;
}

bool HasDoubleClicks(HWND window) {
  const std::shared_ptr<Window> record = Find(window);
  if (record == nullptr) return false;
  std::shared_lock guard(TableLock());
  return (record->windowClass->style & CS_DBLCLKS) != 0;
}

// Moves the pointer to a point of `topLevel` and posts `message` to the
// window that gets it there: the one with the capture, else the one under
// the point. A double click reaches a class without CS_DBLCLKS as a press.
bool PostMouse(HWND topLevel, int x, int y, UINT message) {
  POINT screen{x, y};
  if (!ClientToScreen(topLevel, &screen)) return false;
  MovePointer(screen);
  POINT local{};
  HWND target = GetCapture();
  if (target != nullptr) {
    local = screen;
    ScreenToClient(target, &local);
  } else {
    target = WindowAt(topLevel, x, y, &local);
  }
  if (target == nullptr) return false;
  if (message == WM_LBUTTONDBLCLK && !HasDoubleClicks(target)) message = WM_LBUTTONDOWN;
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) leftButtonDown = true;
  if (message == WM_LBUTTONUP) leftButtonDown = false;
  return PostMessageA(target, message, KeyFlags(), PointParam(local)) != FALSE;
}

// As PostMouse, to `target` whatever lies under the point.
bool PostMouseTo(HWND target, HWND topLevel, int x, int y, POINT local, UINT message) {
  POINT screen{x, y};
  if (!ClientToScreen(topLevel, &screen)) return false;
  MovePointer(screen);
  if (message == WM_LBUTTONDOWN) leftButtonDown = true;
  if (message == WM_LBUTTONUP) leftButtonDown = false;
  return PostMessageA(target, message, KeyFlags(), PointParam(local)) != FALSE;
}

}  // namespace

HWND WindowAt(HWND topLevel, int x, int y, POINT* local) {
  RECT rect{};
  if (!GetWindowRect(topLevel, &rect) || x < 0 || y < 0 || x >= rect.right - rect.left ||
      y >= rect.bottom - rect.top || !ShapeContains(topLevel, x, y)) {
    return nullptr;
  }
  HWND hit = topLevel;
  POINT point{x, y};
  for (bool deeper = true; deeper;) {
    deeper = false;
    for (const Child& child : ChildrenOf(hit)) {
      if ((child.style & WS_VISIBLE) == 0 || (child.style & WS_DISABLED) != 0) continue;
      if (!Contains(child.rect, point.x, point.y) ||
          !ShapeContains(child.handle, point.x - child.rect.left, point.y - child.rect.top)) {
        continue;
      }
      if (SendMessageA(child.handle, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y)) == HTTRANSPARENT) continue;
      hit = child.handle;
      point = {point.x - child.rect.left, point.y - child.rect.top};
      deeper = true;
      break;
    }
  }
  if (local != nullptr) *local = point;
  return hit;
}

bool ButtonAt(HWND topLevel, int x, int y, bool down) {
  return PostMouse(topLevel, x, y, down ? WM_LBUTTONDOWN : WM_LBUTTONUP);
}

bool MoveAt(HWND topLevel, int x, int y, unsigned keys) {
  return WithKeys(keys, [&] { return PostMouse(topLevel, x, y, WM_MOUSEMOVE); });
}

bool PressAt(HWND topLevel, int x, int y, unsigned keys) {
  return WithKeys(keys, [&] { return PostMouse(topLevel, x, y, WM_LBUTTONDOWN); });
}

bool ReleaseAt(HWND topLevel, int x, int y, unsigned keys) {
  return WithKeys(keys, [&] { return PostMouse(topLevel, x, y, WM_LBUTTONUP); });
}

bool DoubleClickAt(HWND topLevel, int x, int y, unsigned keys) {
  return WithKeys(keys, [&] {
    return PostMouse(topLevel, x, y, WM_LBUTTONDOWN) && PostMouse(topLevel, x, y, WM_LBUTTONUP) &&
           PostMouse(topLevel, x, y, WM_LBUTTONDBLCLK) && PostMouse(topLevel, x, y, WM_LBUTTONUP);
  });
}

bool PostButtonAt(HWND topLevel, int x, int y, bool down) {
  return PostMessageA(topLevel, kButtonAtMessage, down ? 1 : 0, PointParam(POINT{x, y})) != FALSE;
}

bool PostMoveAt(HWND topLevel, int x, int y) {
  return PostMessageA(topLevel, kButtonAtMessage, kMoveAtParam, PointParam(POINT{x, y})) != FALSE;
}

bool ClickAt(HWND topLevel, int x, int y, unsigned keys) {
  return WithKeys(keys, [&] {
    return PostMouse(topLevel, x, y, WM_LBUTTONDOWN) && PostMouse(topLevel, x, y, WM_LBUTTONUP);
  });
}

bool Click(HWND window) {
  RECT rect{};
  POINT offset{};
  if (!GetWindowRect(window, &rect)) return false;
  HWND top = TopLevelOf(window, offset);
  if (top == window) return ClickAt(top, (rect.right - rect.left) / 2, (rect.bottom - rect.top) / 2);
  return ClickAt(top, offset.x + (rect.right - rect.left) / 2, offset.y + (rect.bottom - rect.top) / 2);
}

bool DragAt(HWND topLevel, int fromX, int fromY, int toX, int toY) {
  POINT start{};
  HWND target = GetCapture();
  if (target != nullptr) {
    start = {fromX, fromY};
    ClientToScreen(topLevel, &start);
    ScreenToClient(target, &start);
  } else {
    target = WindowAt(topLevel, fromX, fromY, &start);
  }
  if (target == nullptr) return false;
  const POINT end{start.x + (toX - fromX), start.y + (toY - fromY)};
  return PostMouseTo(target, topLevel, fromX, fromY, start, WM_LBUTTONDOWN) &&
         PostMouseTo(target, topLevel, toX, toY, end, WM_MOUSEMOVE) &&
         PostMouseTo(target, topLevel, toX, toY, end, WM_LBUTTONUP);
}

bool ChooseItem(HWND listOrCombo, int index) {
  char className[32] = {};
  {
    const std::shared_ptr<Window> window = Find(listOrCombo);
    if (window == nullptr) return false;
    std::shared_lock guard(TableLock());
    window->windowClass->name.copy(className, sizeof className - 1);
  }
  if (controls::EqualNoCase(className, WC_COMBOBOXA)) {
    // The click opens the list (if the box takes it); the pick lands in the open list.
    return Click(listOrCombo) && PostMessageA(listOrCombo, controls::kChooseItemMessage, static_cast<WPARAM>(index), 0);
  }
  const auto top = static_cast<int>(SendMessageA(listOrCombo, LB_GETTOPINDEX, 0, 0));
  RECT rect{};
  POINT offset{};
  GetWindowRect(listOrCombo, &rect);
  const int row = (index - top) * kListItemHeight + kListItemHeight / 2;
  if (index >= top && row < rect.bottom - rect.top) {
    HWND topLevel = TopLevelOf(listOrCombo, offset);
    return ClickAt(topLevel, offset.x + (rect.right - rect.left) / 2, offset.y + row);
  }
  // Scrolled out of sight: as if scrolled to and clicked.
  return PostMessageA(listOrCombo, controls::kChooseItemMessage, static_cast<WPARAM>(index), 0) != FALSE;
}

void PressKey(int virtualKey) {
  FeedKey(virtualKey, true);
  FeedKey(virtualKey, false);
}

void PressKeyWith(int modifier, int virtualKey) {
  FeedKey(modifier, true);
  PressKey(virtualKey);
  FeedKey(modifier, false);
}

void TypeText(std::string_view text) {
  for (const char character : text) {
    const auto c = static_cast<unsigned char>(character);
    if (std::islower(c)) {
      PressKey(std::toupper(c));
    } else if (std::isupper(c)) {
      PressKeyWith(VK_SHIFT, c);
    } else if (std::isdigit(c)) {
      PressKey(c);
    } else if (c == ' ') {
      PressKey(VK_SPACE);
    } else if (c == '\t') {
      PressKey(VK_TAB);
    } else if (c == '\r' || c == '\n') {
      PressKey(VK_RETURN);
    } else if (c == '\b') {
      PressKey(VK_BACK);
    } else if (c == 0x1B) {
      PressKey(VK_ESCAPE);
    } else if (HWND focus = GetFocus()) {
      PostMessageA(focus, WM_CHAR, c, 1);
    }
  }
}

}  // namespace ksv::platform::ui::input
