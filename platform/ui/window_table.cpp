// The process-wide table of windows.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <unordered_map>

#include "platform/sync/sync.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui {
namespace {

struct WindowTable {
  std::shared_mutex lock;
  uintptr_t last = 0x10000;
  std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
};

WindowTable& Table() {
  static WindowTable* table = new WindowTable;  // windows may end after static destructors
  return *table;
}

}  // namespace

std::shared_mutex& TableLock() { return Table().lock; }

std::shared_ptr<Window> FindLocked(HWND handle) {
  const auto& windows = Table().windows;
  const auto found = windows.find(reinterpret_cast<uintptr_t>(handle));
  return found == windows.end() ? nullptr : found->second;
}

std::shared_ptr<Window> Find(HWND handle) {
  std::shared_lock guard(TableLock());
  std::shared_ptr<Window> window = FindLocked(handle);
  if (window == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

HWND AddLocked(const std::shared_ptr<Window>& window) {
  WindowTable& table = Table();
  // Even values, never 0 and never reused, so a stale handle names nothing.
  table.last += 2;
  window->handle = reinterpret_cast<HWND>(table.last);
  table.windows.emplace(table.last, window);
  window->windowClass->liveWindows += 1;
  if (window->parent != nullptr) {
    if (auto parent = FindLocked(window->parent)) parent->children.push_back(window->handle);
  }
  return window->handle;
}

void RemoveLocked(Window& window) {
  if (window.state == WindowState::Dead) return;
  window.state = WindowState::Dead;
  window.surface.reset();  // its pixels go with it (a writer holding it keeps its own)
  window.windowClass->liveWindows -= 1;
  if (window.parent != nullptr) {
    if (auto parent = FindLocked(window.parent)) std::erase(parent->children, window.handle);
  }
  Table().windows.erase(reinterpret_cast<uintptr_t>(window.handle));
}

std::vector<std::shared_ptr<Window>> WindowsOfThread(DWORD threadId) {
  std::shared_lock guard(TableLock());
  std::vector<std::shared_ptr<Window>> found;
  for (const auto& [handle, window] : Table().windows) {
    if (window->threadId == threadId) found.push_back(window);
  }
  return found;
}

std::vector<std::shared_ptr<Window>> AllWindows() {
  std::shared_lock guard(TableLock());
  std::vector<std::shared_ptr<Window>> found;
  found.reserve(Table().windows.size());
  for (const auto& [handle, window] : Table().windows) found.push_back(window);
  return found;
}

namespace {
std::atomic<WindowWatcher> watcher{nullptr};
}  // namespace

void SetWindowWatcher(WindowWatcher newWatcher) { watcher.store(newWatcher); }

bool WindowWatcherInstalled() { return watcher.load() != nullptr; }

void NotifyWindowChanged(HWND window, WindowChange change) {
  if (const WindowWatcher current = watcher.load()) current(window, change);
}

LRESULT CallProcedure(const Window& window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC procedure = nullptr;
  {
    std::shared_lock guard(TableLock());
    procedure = window.procedure;
  }
  return CallWindowProcA(procedure, window.handle, message, wParam, lParam);
}

}  // namespace ksv::platform::ui

extern "C" LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
  return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}
