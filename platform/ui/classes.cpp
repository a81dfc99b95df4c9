// Window classes, and the system cursors and icons a class names.
#include <algorithm>
#include <cctype>
#include <mutex>
#include <unordered_map>

#include "platform/sync/sync.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui {
namespace {

struct ClassRegistry {
  std::mutex mutex;
  ATOM lastAtom = 0xC000;  // class atoms lie in 0xC000..0xFFFF
  std::unordered_map<std::string, std::shared_ptr<WindowClass>> byName;
};

ClassRegistry& Registry() {
  static ClassRegistry* registry = new ClassRegistry;
  return *registry;
}

bool IsAtom(const char* name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

std::string Key(std::string_view name) {
  std::string key(name);
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return key;
}

std::shared_ptr<WindowClass> FindClassLocked(ClassRegistry& registry, const char* name) {
  if (name == nullptr) return nullptr;
  if (IsAtom(name)) {
    const auto atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
    for (const auto& [key, windowClass] : registry.byName) {
      if (windowClass->atom == atom) return windowClass;
    }
    return nullptr;
  }
  const auto found = registry.byName.find(Key(name));
  return found == registry.byName.end() ? nullptr : found->second;
}

ATOM Register(const WNDCLASSEXA& info) {
  if (info.lpszClassName == nullptr || IsAtom(info.lpszClassName) || info.lpszClassName[0] == '\0' ||
      info.cbClsExtra < 0 || info.cbWndExtra < 0 || info.lpfnWndProc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto windowClass = std::make_shared<WindowClass>();
  windowClass->name = info.lpszClassName;
  windowClass->style = info.style;
  windowClass->procedure = info.lpfnWndProc;
  windowClass->classExtra = info.cbClsExtra;
  windowClass->windowExtra = info.cbWndExtra;
  windowClass->instance = info.hInstance;
  windowClass->icon = info.hIcon;
  windowClass->smallIcon = info.hIconSm;
  windowClass->cursor = info.hCursor;
  windowClass->background = info.hbrBackground;
  if (info.lpszMenuName != nullptr && !IsAtom(info.lpszMenuName)) windowClass->menuName = info.lpszMenuName;

  ClassRegistry& registry = Registry();
  std::lock_guard guard(registry.mutex);
  const std::string key = Key(windowClass->name);
  if (registry.byName.contains(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  windowClass->atom = ++registry.lastAtom;
  registry.byName.emplace(key, windowClass);
  return windowClass->atom;
}

// A stand-in handle for a system cursor or icon: distinct per kind and id.
uintptr_t SystemResource(uintptr_t kind, const char* name) {
  return kind << 16 | reinterpret_cast<uintptr_t>(name);
}

}  // namespace

std::shared_ptr<WindowClass> FindClass(const char* name) {
  ClassRegistry& registry = Registry();
  std::lock_guard guard(registry.mutex);
  return FindClassLocked(registry, name);
}

}  // namespace ksv::platform::ui

using namespace ksv::platform::ui;

extern "C" {

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (windowClass == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const WNDCLASSEXA info{sizeof(WNDCLASSEXA), windowClass->style, windowClass->lpfnWndProc,
                         windowClass->cbClsExtra, windowClass->cbWndExtra, windowClass->hInstance,
                         windowClass->hIcon, windowClass->hCursor, windowClass->hbrBackground,
                         windowClass->lpszMenuName, windowClass->lpszClassName, nullptr};
  return Register(info);
}

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
  if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Register(*windowClass);
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
  ClassRegistry& registry = ksv::platform::ui::Registry();
  std::lock_guard guard(registry.mutex);
  const std::shared_ptr<WindowClass> windowClass = ksv::platform::ui::FindClassLocked(registry, className);
  if (windowClass == nullptr) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  {
    std::shared_lock tableGuard(TableLock());
    if (windowClass->liveWindows > 0) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
  }
  registry.byName.erase(Key(windowClass->name));
  return TRUE;
}

BOOL GetClassInfoExA(HINSTANCE, const char* className, WNDCLASSEXA* info) {
  const std::shared_ptr<WindowClass> windowClass = FindClass(className);
  if (windowClass == nullptr || info == nullptr) {
    SetLastError(windowClass == nullptr ? ERROR_CLASS_DOES_NOT_EXIST : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *info = WNDCLASSEXA{sizeof(WNDCLASSEXA), windowClass->style, windowClass->procedure,
                      windowClass->classExtra, windowClass->windowExtra, windowClass->instance,
                      windowClass->icon, windowClass->cursor, windowClass->background,
                      windowClass->menuName.empty() ? nullptr : windowClass->menuName.c_str(),
                      windowClass->name.c_str(), windowClass->smallIcon};
  return TRUE;
}

HICON LoadIconA(HINSTANCE instance, const char* name) {
  if (instance != nullptr || !IsAtom(name) || name == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HICON>(SystemResource(2, name));
}

}  // extern "C"
