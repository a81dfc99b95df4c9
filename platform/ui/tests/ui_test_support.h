// Classes and windows for the user-interface tests.
#pragma once

#include <atomic>
#include <string>

#include "platform/sync/sync.h"
#include "platform/ui/user32.h"

namespace ksv::platform::ui::testing {

// Registers a class with `procedure` under a name no other test uses.
inline std::string RegisterTestClass(WNDPROC procedure, int windowExtra = 0) {
  static std::atomic<int> classes{0};
  std::string name = "TestClass" + std::to_string(classes.fetch_add(1));
  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.cbWndExtra = windowExtra;
  windowClass.lpszClassName = name.c_str();
  if (RegisterClassA(&windowClass) == 0) return {};
  return name;
}

inline HWND CreateTestWindow(const std::string& className, HWND parent = nullptr, DWORD style = 0,
                             int id = 0, void* param = nullptr) {
  return CreateWindowExA(0, className.c_str(), "", style, 0, 0, 100, 100, parent,
                         reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, param);
}

}  // namespace ksv::platform::ui::testing
