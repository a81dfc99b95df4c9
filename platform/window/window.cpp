#include "platform/window/window.h"

#include <cstdint>
#include <mutex>
#include <unordered_set>

namespace {

struct WindowTable {
  std::mutex mutex;
  uintptr_t last = 0;
  std::unordered_set<uintptr_t> live;
};

WindowTable& Table() {
  static WindowTable* table = new WindowTable;  // windows may be destroyed at exit
  return *table;
}

}  // namespace

namespace ksv::platform {

HWND CreateStandInWindow() {
  WindowTable& table = Table();
  std::lock_guard lock(table.mutex);
  // Even values, like real window handles; never 0.
  table.last += 2;
  table.live.insert(table.last);
  return reinterpret_cast<HWND>(table.last);
}

}  // namespace ksv::platform

extern "C" {

BOOL IsWindow(HWND window) {
  WindowTable& table = Table();
  std::lock_guard lock(table.mutex);
  return table.live.count(reinterpret_cast<uintptr_t>(window)) != 0 ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND window) {
  WindowTable& table = Table();
  std::lock_guard lock(table.mutex);
  return table.live.erase(reinterpret_cast<uintptr_t>(window)) != 0 ? TRUE : FALSE;
}

}  // extern "C"
