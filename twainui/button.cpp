#include "twainui/button.h"

#include <cstdint>

#include "platform/sync/sync.h"
#include "platform/ui/controls/controls.h"
#include "twainui/drawing.h"

namespace ksv::twainui {

namespace {

constexpr const char* kFlatClass = "FLATBTN3 Class";
constexpr const char* kDrawnClass = "DRAWBTN2 Class";
constexpr int kImageTop = 3;  // the image's distance from the top when a label follows
constexpr COLORREF kGreyText = RGB(127, 127, 127);

Button* ButtonOf(HWND window) { return reinterpret_cast<Button*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

void Notify(HWND window, WORD notification) {
  const auto id = static_cast<WORD>(GetDlgCtrlID(window));
  PostMessageA(GetParent(window), WM_COMMAND, static_cast<WPARAM>(id) | (static_cast<WPARAM>(notification) << 16),
               reinterpret_cast<LPARAM>(window));
}

void PaintFlat(const Button& button, HDC dc, const RECT& client, bool enabled) {
  DrawBitmap(dc, button.background, 0, 0, SRCCOPY);
  const HBITMAP image = enabled ? button.image : button.disabled;
  const SIZE size = BitmapSize(image);
  const int x = (client.right - size.cx) / 2;
  const int y = button.label.empty() ? (client.bottom - size.cy) / 2 : kImageTop;
  // The mask is white where the background shows and black under the
  // picture, whose own background is black.
  if (button.mask != nullptr) {
    DrawBitmap(dc, button.mask, x, y, SRCAND);
    DrawBitmap(dc, image, x, y, SRCPAINT);
  } else {
    DrawBitmap(dc, image, x, y, SRCCOPY);
  }
  if (!button.label.empty()) {
    RECT text{0, y + size.cy, client.right, client.bottom};
    const HGDIOBJ oldFont = button.font != nullptr ? SelectObject(dc, button.font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? RGB(0, 0, 0) : kGreyText);
    DrawTextA(dc, button.label.c_str(), -1, &text, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    if (oldFont != nullptr) SelectObject(dc, oldFont);
  }
  if (enabled && (button.inside || button.down)) {
    RECT edge = client;
    DrawEdge(dc, &edge, button.down ? BDR_SUNKENINNER : BDR_RAISEDINNER, BF_RECT);
  }
}

void PaintDrawn(const Button& button, HDC dc) {
  DrawBitmap(dc, button.down ? button.pressed : button.inside ? button.over : button.normal, 0, 0, SRCCOPY);
}

bool Inside(HWND window, LPARAM point) {
  RECT client{};
  GetClientRect(window, &client);
  const int x = static_cast<int16_t>(LOWORD(point));
  const int y = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(point) >> 16));
  return x >= client.left && x < client.right && y >= client.top && y < client.bottom;
}

// The pointer is gone (or the button stops listening): no capture, no look.
void Leave(HWND window, Button& button, bool tell) {
  const bool was = button.inside;
  button.inside = false;
  button.down = false;
  if (GetCapture() == window) ReleaseCapture();
  if (was && tell) Notify(window, kLeft);
  InvalidateRect(window, nullptr, FALSE);
}

LRESULT ButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return DefWindowProcA(window, message, wParam, lParam);
  }
  Button* button = ButtonOf(window);
  if (button == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  const bool enabled = IsWindowEnabled(window) != FALSE;
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      const HDC dc = BeginPaint(window, &paint);
      RECT client{};
      GetClientRect(window, &client);
      if (button->drawn) {
        PaintDrawn(*button, dc);
      } else {
        PaintFlat(*button, dc, client, enabled);
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      if (button->cursor == nullptr) return DefWindowProcA(window, message, wParam, lParam);
      SetCursor(button->cursor);
      return TRUE;
    case WM_MOUSEMOVE:
      if (!enabled) return 0;
      if (button->cursor != nullptr) SetCursor(button->cursor);
      if (!button->inside) {
        button->inside = true;
        SetCapture(window);
        Notify(window, kEntered);
        InvalidateRect(window, nullptr, FALSE);
      } else if (!Inside(window, lParam)) {
        Leave(window, *button, true);
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!enabled) return 0;
      if (!button->inside) {  // pressed without a move first
        button->inside = true;
        SetCapture(window);
        Notify(window, kEntered);
      }
      button->down = true;
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP:
      if (!enabled || !button->inside) return 0;
      if (!Inside(window, lParam)) {
        Leave(window, *button, true);  // let go outside: no click
        return 0;
      }
      button->inside = false;
      button->down = false;
      ReleaseCapture();
      Notify(window, kClicked);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != window && button->inside) Leave(window, *button, true);
      return 0;
    case WM_ENABLE:
      if (wParam == FALSE) Leave(window, *button, true);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND MakeWindow(const char* className, Button& button, HWND parent, HINSTANCE instance, const RECT& rect,
                int command, const char* text) {
  return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top, parent,
                         reinterpret_cast<HMENU>(static_cast<intptr_t>(command)), instance, &button);
}

HBITMAP LoadButtonBitmap(HINSTANCE instance, int id) {
  return LoadBitmapA(instance, MAKEINTRESOURCEA(id));
}

}  // namespace

bool RegisterButtonClasses(HINSTANCE instance) {
  for (const char* name : {kFlatClass, kDrawnClass}) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ButtonProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = name;
    if (RegisterClassA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  return true;
}

bool CreateFlatButton(Button& button, HWND parent, HINSTANCE instance, const RECT& rect, const ButtonArt& art,
                      const std::string& label, HBITMAP background, HFONT font) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const HDC screen = GetDC(parent);
  button.background = CreateCompatibleBitmap(screen, width, height);
  if (button.background != nullptr && background != nullptr) {
    const HDC from = CreateCompatibleDC(screen);
    const HDC to = CreateCompatibleDC(screen);
    const HGDIOBJ oldFrom = SelectObject(from, background);
    const HGDIOBJ oldTo = SelectObject(to, button.background);
    BitBlt(to, 0, 0, width, height, from, rect.left, rect.top, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
  }
  ReleaseDC(parent, screen);
  button.image = LoadButtonBitmap(instance, art.image);
  button.mask = LoadButtonBitmap(instance, art.mask);
  button.disabled = LoadButtonBitmap(instance, art.disabled);
  button.label = label;
  button.font = font;
  button.cursor = LoadCursorA(instance, MAKEINTRESOURCEA(kButtonCursor));
  button.window = MakeWindow(kFlatClass, button, parent, instance, rect, art.command, label.c_str());
  return button.window != nullptr;
}

bool CreateDrawnButton(Button& button, HWND parent, HINSTANCE instance, const RECT& rect,
                       const DrawnButtonArt& art) {
  button.drawn = true;
  button.normal = LoadButtonBitmap(instance, art.normal);
  button.over = LoadButtonBitmap(instance, art.over);
  button.pressed = LoadButtonBitmap(instance, art.pressed);
  button.cursor = LoadCursorA(instance, MAKEINTRESOURCEA(kButtonCursor));
  button.window = MakeWindow(kDrawnClass, button, parent, instance, rect, art.command, "");
  return button.window != nullptr;
}

void ReleaseButton(Button& button) {
  for (HBITMAP* bitmap : {&button.background, &button.image, &button.mask, &button.disabled, &button.normal,
                          &button.over, &button.pressed}) {
    if (*bitmap != nullptr) DeleteObject(*bitmap);
    *bitmap = nullptr;
  }
  button.window = nullptr;
}

}  // namespace ksv::twainui
