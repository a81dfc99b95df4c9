// MessageBoxA: the box's template laid out round its text, its icon drawn
// by a small class of its own, and the dialog procedure that ends it.
#include "platform/ui/dialogs/message_box.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/answerer.h"
#include "platform/ui/controls/control_paint.h"
#include "platform/ui/dialogs/dialog_template.h"
#include "support/no_throw.h"

namespace ksv::platform::ui::dialogs {
namespace {

constexpr const char* kIconClass = "KsvMessageIcon";
// Layout in dialog units.
constexpr int kMargin = 7;
constexpr int kIconSize = 20;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 4;
constexpr int kMinimumWidth = 120;

struct Button {
  int id;
  const char* text;
};

std::vector<Button> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "&Yes"}, {IDNO, "&No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
    default: return {{IDOK, "OK"}};
  }
}

// What Escape and the close box answer: Cancel where there is one, OK
// where it is alone, else nothing (0).
int CancelAnswer(const std::vector<Button>& buttons) {
  for (const Button& button : buttons) {
    if (button.id == IDCANCEL) return IDCANCEL;
  }
  return buttons.size() == 1 ? buttons[0].id : 0;
}

size_t DefaultIndex(UINT type, size_t count) {
  const size_t index = (type & MB_DEFMASK) >> 8;
  return index < count ? index : 0;
}

// The icon: a coloured square with its sign, in the colours people know.
LRESULT IconProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  RECT rect{};
  GetClientRect(window, &rect);
  COLORREF fill = RGB(0, 90, 200);
  COLORREF sign = RGB(255, 255, 255);
  const char* glyph = "i";
  switch (static_cast<UINT>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
    case MB_ICONHAND: fill = RGB(200, 0, 0); glyph = "X"; break;
    case MB_ICONQUESTION: glyph = "?"; break;
    case MB_ICONEXCLAMATION: fill = RGB(240, 200, 0); sign = RGB(0, 0, 0); glyph = "!"; break;
    default: break;
  }
  HBRUSH brush = CreateSolidBrush(fill);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, sign);
  DrawTextA(dc, glyph, 1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  EndPaint(window, &paint);
  return 0;
}

void RegisterIconClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSA windowClass{};
    windowClass.style = CS_GLOBALCLASS;
    windowClass.lpfnWndProc = IconProcedure;
    windowClass.lpszClassName = kIconClass;
    RegisterClassA(&windowClass);
  });
}

struct Box {
  UINT type = 0;
  std::vector<Button> buttons;
  size_t defaultIndex = 0;
};

INT_PTR BoxProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* box = reinterpret_cast<Box*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      box = reinterpret_cast<Box*>(lParam);
      if (HWND icon = GetDlgItem(dialog, kMessageBoxIconId)) {
        SetWindowLongPtrA(icon, GWLP_USERDATA, static_cast<LONG_PTR>(box->type & MB_ICONMASK));
      }
      const int defaultId = box->buttons[box->defaultIndex].id;
      SendMessageA(dialog, DM_SETDEFID, static_cast<WPARAM>(defaultId), 0);
      SetFocus(GetDlgItem(dialog, defaultId));
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      if (box == nullptr) return FALSE;
      int id = LOWORD(wParam);
      if (id == IDCANCEL) id = CancelAnswer(box->buttons);
      for (const Button& button : box->buttons) {
        if (button.id == id) EndDialog(dialog, id);
      }
      return TRUE;
    }
    case WM_CLOSE:
      SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

int PixelsToUnitsX(int pixels) { return (pixels * 4 + kDialogBaseUnitX - 1) / kDialogBaseUnitX; }
int PixelsToUnitsY(int pixels) { return (pixels * 8 + kDialogBaseUnitY - 1) / kDialogBaseUnitY; }

DialogTemplate BoxTemplate(const std::string& text, const std::string& title, const Box& box) {
  // The text's size: its widest line, and its lines.
  int textWidth = 0, lines = 0, lineHeight = 0;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    const SIZE size = controls::Measure(nullptr, text.substr(start, end - start));
    textWidth = std::max<int>(textWidth, size.cx);
    lineHeight = std::max<int>(lineHeight, size.cy);
    ++lines;
    start = end + 1;
  }
  const bool icon = (box.type & MB_ICONMASK) != 0;
  const int textLeft = kMargin + (icon ? kIconSize + kMargin : 0);
  const int textUnitsWidth = PixelsToUnitsX(textWidth) + 2;
  const int textUnitsHeight = PixelsToUnitsY(lines * lineHeight);
  const int count = static_cast<int>(box.buttons.size());
  const int buttonsWidth = count * kButtonWidth + (count - 1) * kButtonGap;
  const int titleWidth = PixelsToUnitsX(controls::Measure(nullptr, title).cx) + 40;
  const int width = std::max({kMinimumWidth, textLeft + textUnitsWidth + kMargin, buttonsWidth + 2 * kMargin, titleWidth});
  const int buttonsTop = kMargin + std::max(textUnitsHeight, icon ? kIconSize : 0) + kMargin;
  DialogTemplateBuilder builder(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | WS_VISIBLE, 0, 0,
                                width, buttonsTop + kButtonHeight + kMargin, title);
  builder.Font(8, "MS Sans Serif").ExtendedStyle(WS_EX_TOPMOST);
  if (icon) {
    DialogTemplateBuilder::Control picture;
    picture.className = kIconClass;
    picture.id = kMessageBoxIconId;
    picture.x = kMargin;
    picture.y = kMargin;
    picture.width = kIconSize;
    picture.height = kIconSize;
    builder.Add(picture);
  }
  builder.Label(text, kMessageBoxTextId, textLeft, kMargin + (icon && textUnitsHeight < kIconSize ? (kIconSize - textUnitsHeight) / 2 : 0),
                textUnitsWidth, textUnitsHeight);
  int x = (width - buttonsWidth) / 2;
  for (int i = 0; i < count; ++i) {
    const Button& button = box.buttons[static_cast<size_t>(i)];
    const DWORD style = WS_TABSTOP | (i == 0 ? WS_GROUP : 0);
    if (static_cast<size_t>(i) == box.defaultIndex) {
      builder.DefPushButton(button.text, button.id, x, buttonsTop, kButtonWidth, kButtonHeight, style);
    } else {
      builder.PushButton(button.text, button.id, x, buttonsTop, kButtonWidth, kButtonHeight, style);
    }
    x += kButtonWidth + kButtonGap;
  }
  return builder.Build();
}

}  // namespace
}  // namespace ksv::platform::ui::dialogs

namespace {

using namespace ksv::platform::ui;
using namespace ksv::platform::ui::dialogs;

int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type) {
  const std::string body = text != nullptr ? text : "";
  const std::string caption = title != nullptr ? title : "Error";
  Box box;
  box.type = type;
  box.buttons = ButtonsOf(type);
  box.defaultIndex = DefaultIndex(type, box.buttons.size());
  if (!HasAnswerer() && !DisplayPresent()) {
    // Nobody could see it or answer it: say it where a person may read it.
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), body.c_str());
    std::fflush(stderr);
    return box.buttons[box.defaultIndex].id;
  }
  RegisterIconClass();
  const DialogTemplate boxTemplate = BoxTemplate(body, caption, box);
  AnnounceModal(ModalKind::MessageBox, body);
  const INT_PTR pressed = DialogBoxIndirectParamA(nullptr, boxTemplate.get(), owner, BoxProcedure,
                                                  reinterpret_cast<LPARAM>(&box));
  ForgetAnnouncement();  // a box that could not be made leaves none behind
  return pressed > 0 ? static_cast<int>(pressed) : 0;
}

}  // namespace

using namespace ksv::platform::ui;
using namespace ksv::platform::ui::dialogs;

extern "C" {

int MessageBoxA(HWND owner, const char* text, const char* title, UINT type) {
  return ksv::support::NoThrow(0, [&] { return ShowMessageBox(owner, text, title, type); });
}

}  // extern "C"
