// The keyboard: asynchronous key state, the focus window, and the
// characters TranslateMessage makes of key presses.
#include "platform/ui/keyboard.h"

#include <array>
#include <atomic>
#include <mutex>

#include "platform/sync/sync.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/threads.h"
#include "platform/ui/ui.h"

namespace ksv::platform::ui {
namespace {

struct KeyState {
  std::array<std::atomic<bool>, 256> down{};
  std::array<std::atomic<bool>, 256> pressed{};
};

KeyState& Keys() {
  static KeyState* keys = new KeyState;
  return *keys;
}

// The keyboard as the thread's taken messages say it is.
thread_local std::array<bool, 256> threadKeysDown{};

std::mutex focusLock;
HWND focus = nullptr;  // guarded by focusLock

bool IsKey(int virtualKey) { return virtualKey >= 0 && virtualKey < 256; }

// The character a key press makes, or 0 for a key that makes none.
char CharacterOf(int virtualKey) {
  const bool shift = threadKeysDown[VK_SHIFT];
  if (virtualKey >= 'A' && virtualKey <= 'Z') {
    return static_cast<char>(shift ? virtualKey : virtualKey - 'A' + 'a');
  }
  if (virtualKey >= '0' && virtualKey <= '9') return static_cast<char>(virtualKey);
  switch (virtualKey) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_ESCAPE: return 0x1B;
    case VK_BACK: return 0x08;
    case VK_TAB: return '\t';
    default: return 0;
  }
}

}  // namespace

void NoteKeyMessage(const MSG& message) {
  if (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) {
    // A mouse message says which of these were down when it was made.
    threadKeysDown[VK_LBUTTON] = (message.wParam & MK_LBUTTON) != 0;
    threadKeysDown[VK_SHIFT] = (message.wParam & MK_SHIFT) != 0;
    threadKeysDown[VK_CONTROL] = (message.wParam & MK_CONTROL) != 0;
    return;
  }
  if (message.wParam >= threadKeysDown.size()) return;
  if (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) {
    threadKeysDown[message.wParam] = true;
  } else if (message.message == WM_KEYUP || message.message == WM_SYSKEYUP) {
    threadKeysDown[message.wParam] = false;
  }
}

bool KeyIsDown(int virtualKey) {
  return IsKey(virtualKey) && Keys().down[static_cast<size_t>(virtualKey)].load();
}

void ForgetFocus(const std::vector<std::shared_ptr<Window>>& windows) {
  std::lock_guard guard(focusLock);
  for (const auto& window : windows) {
    if (window->handle == focus) focus = nullptr;
  }
}

void FeedKey(int virtualKey, bool down) {
  if (!IsKey(virtualKey)) return;
  KeyState& keys = Keys();
  const auto index = static_cast<size_t>(virtualKey);
  const bool wasDown = keys.down[index].exchange(down);
  if (down) keys.pressed[index].store(true);
  HWND target = nullptr;
  {
    std::lock_guard guard(focusLock);
    target = focus;
  }
  if (target == nullptr) return;
  LPARAM lParam = 1;  // repeat count
  if (wasDown) lParam |= LPARAM{1} << 30;
  if (!down) lParam |= LPARAM{1} << 30 | LPARAM{1} << 31;
  PostMessageA(target, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(virtualKey), lParam);
}

}  // namespace ksv::platform::ui

using namespace ksv::platform::ui;

extern "C" {

SHORT GetAsyncKeyState(int virtualKey) {
  if (!IsKey(virtualKey)) return 0;
  KeyState& keys = Keys();
  const auto index = static_cast<size_t>(virtualKey);
  int state = keys.pressed[index].exchange(false) ? 1 : 0;
  if (keys.down[index].load()) state |= 0x8000;
  return static_cast<SHORT>(state);
}

SHORT GetKeyState(int virtualKey) {
  if (!IsKey(virtualKey)) return 0;
  return static_cast<SHORT>(threadKeysDown[static_cast<size_t>(virtualKey)] ? 0x8000 : 0);
}

HWND SetFocus(HWND window) {
  if (window != nullptr && !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  HWND previous = nullptr;
  {
    std::lock_guard guard(focusLock);
    previous = focus;
    focus = window;
  }
  if (previous == window) return previous;
  if (previous != nullptr) {
    SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  }
  if (window != nullptr) {
    SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  }
  return previous;
}

HWND GetFocus() {
  std::lock_guard guard(focusLock);
  return focus;
}

BOOL TranslateMessage(const MSG* message) {
  if (message == nullptr) return FALSE;
  switch (message->message) {
    case WM_KEYDOWN: {
      const char character = CharacterOf(static_cast<int>(message->wParam));
      if (character != 0) {
        CurrentQueue()->PostFirst(MSG{message->hwnd, WM_CHAR,
                                      static_cast<WPARAM>(static_cast<unsigned char>(character)),
                                      message->lParam, message->time, message->pt});
      }
      return TRUE;
    }
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      return TRUE;
    default:
      return FALSE;
  }
}

}  // extern "C"
