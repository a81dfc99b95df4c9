// The screen's size and finding top-level windows by class and text.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "platform/sync/sync.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui {
namespace {

constexpr int kDefaultScreenWidth = 1024;
constexpr int kDefaultScreenHeight = 768;
constexpr int kTaskBarHeight = 30;

std::atomic<int> displayWidth{0};
std::atomic<int> displayHeight{0};

SIZE ScreenSize() {
  const int width = displayWidth.load();
  const int height = displayHeight.load();
  if (width > 0 && height > 0) return {width, height};
  if (const char* setting = std::getenv("KSV_SCREEN_SIZE")) {
    int w = 0;
    int h = 0;
    char end = 0;
    if (std::sscanf(setting, "%dx%d%c", &w, &h, &end) == 2 && w > 0 && h > kTaskBarHeight && w <= 65535 &&
        h <= 65535) {
      return {w, h};
    }
  }
  return {kDefaultScreenWidth, kDefaultScreenHeight};
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

void SetDisplaySize(int width, int height) {
  displayWidth = width > 0 && height > 0 ? width : 0;
  displayHeight = width > 0 && height > 0 ? height : 0;
}

}  // namespace ksv::platform::ui

using namespace ksv::platform::ui;

extern "C" {

int GetSystemMetrics(int index) {
  const SIZE screen = ScreenSize();
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN: return screen.cx;
    case SM_CYSCREEN: return screen.cy;
    case SM_CYFULLSCREEN: return screen.cy - kTaskBarHeight;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    default: return 0;
  }
}

HWND FindWindowA(const char* className, const char* windowName) {
  std::shared_ptr<WindowClass> wanted;
  if (className != nullptr) {
    wanted = FindClass(className);
    if (wanted == nullptr) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
  }
  for (const std::shared_ptr<Window>& window : AllWindows()) {
    std::shared_lock guard(TableLock());
    if (window->state != WindowState::Alive || window->parent != nullptr || window->messageOnly) continue;
    if (wanted != nullptr && window->windowClass != wanted) continue;
    if (windowName != nullptr && !EqualNoCase(window->text, windowName)) continue;
    return window->handle;
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

}  // extern "C"
