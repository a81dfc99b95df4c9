#include "twainctl/status_window.h"

#include "platform/gdi/gdi.h"
#include "platform/ui/user32.h"

namespace ksv::twainctl {

namespace {

constexpr int kDialogResource = 129;
constexpr int kBackgroundResource = 130;
constexpr UINT_PTR kOneShotTimer = 1;
constexpr POINT kTextAt{22, 25};

}  // namespace

bool StatusWindow::Make(HINSTANCE resources, POINT at) {
  bitmap_ = LoadBitmapA(resources, MAKEINTRESOURCEA(kBackgroundResource));
  if (bitmap_ == nullptr) return false;
  BITMAP info{};
  GetObjectA(bitmap_, sizeof info, &info);
  width_ = info.bmWidth;
  height_ = info.bmHeight;
  at_ = at;
  window_ = CreateDialogParamA(resources, MAKEINTRESOURCEA(kDialogResource), nullptr, Procedure,
                               reinterpret_cast<LPARAM>(this));
  if (window_ == nullptr) {
    DeleteObject(bitmap_);
    bitmap_ = nullptr;
    return false;
  }
  SetWindowPos(window_, HWND_TOPMOST, at_.x, at_.y, width_, height_, SWP_NOACTIVATE | SWP_HIDEWINDOW);
  return true;
}

void StatusWindow::Destroy() {
  if (window_ != nullptr) {
    KillTimer(window_, kOneShotTimer);
    DestroyWindow(window_);
    window_ = nullptr;
  }
  if (bitmap_ != nullptr) {
    DeleteObject(bitmap_);
    bitmap_ = nullptr;
  }
  shown_ = false;
}

void StatusWindow::Show(bool show) {
  if (window_ == nullptr) return;
  shown_ = show;
  if (show) {
    SetWindowPos(window_, HWND_TOPMOST, at_.x, at_.y, width_, height_, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    Paint();
  } else {
    ShowWindow(window_, SW_HIDE);
  }
}

void StatusWindow::SetText(const std::string& text) {
  text_ = text.substr(0, 255);
  if (window_ != nullptr) Paint();
}

void StatusWindow::RunLater(unsigned milliseconds, std::function<void()> callback) {
  if (window_ == nullptr) return;
  timerCallback_ = std::move(callback);
  SetTimer(window_, kOneShotTimer, milliseconds, nullptr);
}

void StatusWindow::Paint() {
  HDC dc = GetDC(window_);
  if (dc == nullptr) return;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap_);
  BitBlt(dc, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  TextOutA(dc, kTextAt.x, kTextAt.y, text_.c_str(), static_cast<int>(text_.size()));
  ReleaseDC(window_, dc);
}

INT_PTR StatusWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<StatusWindow*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(window, DWLP_USER, lParam);
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      if (self != nullptr && self->bitmap_ != nullptr) self->Paint();
      return TRUE;
    }
    case WM_TIMER:
      if (self != nullptr && wParam == kOneShotTimer) {
        KillTimer(window, kOneShotTimer);  // one shot
        std::function<void()> callback = std::move(self->timerCallback_);
        if (callback) callback();
      }
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace ksv::twainctl
