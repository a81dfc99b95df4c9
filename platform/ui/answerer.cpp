// The process's answerer and the announcement a message box or browser
// leaves for the modal loop it runs.
#include "platform/ui/answerer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/ui/dialogs/dialog_state.h"
#include "platform/ui/dialogs/dialogs.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui {
namespace {

std::mutex answererLock;
std::shared_ptr<const Answerer> installed;

struct Announcement {
  bool pending = false;
  ModalKind kind = ModalKind::Dialog;
  std::string text;
};
thread_local Announcement announced;
thread_local bool attended = false;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

void SetAnswerer(Answerer answerer) {
  std::lock_guard guard(answererLock);
  installed = answerer ? std::make_shared<const Answerer>(std::move(answerer)) : nullptr;
}

bool HasAnswerer() {
  std::lock_guard guard(answererLock);
  return installed != nullptr;
}

void AnnounceModal(ModalKind kind, std::string text) {
  announced = Announcement{true, kind, std::move(text)};
}

void ForgetAnnouncement() {
  announced = Announcement{};
  attended = false;
}

void AnnounceAttended() { attended = true; }

bool CancelIfUnattended(HWND window, intptr_t result) {
  const bool worked = std::exchange(attended, false);
  const std::shared_ptr<dialogs::DialogState> state = dialogs::DialogOf(window);
  if (worked || state == nullptr || state->ended || HasAnswerer() || DisplayPresent()) return false;
  char title[256] = {};
  GetWindowTextA(window, title, sizeof title);
  std::fprintf(stderr, "%s: nobody can answer it without a display; cancelled\n",
               title[0] != '\0' ? title : "dialog");
  std::fflush(stderr);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, IDCANCEL)));
  // A dialog that ignores Cancel (or a page that refuses it) still ends.
  if (IsWindow(window) && !state->ended) EndDialog(window, result);
  return true;
}

void AnswerModal(HWND window, ModalKind kind) {
  ModalElement element;
  element.kind = kind;
  element.window = window;
  if (announced.pending) {
    element.kind = announced.kind;
    element.text = std::move(announced.text);
    announced = Announcement{};
  }
  std::shared_ptr<const Answerer> answerer;
  {
    std::lock_guard guard(answererLock);
    answerer = installed;
  }
  if (answerer == nullptr) return;
  char title[256] = {};
  GetWindowTextA(window, title, sizeof title);
  element.title = title;
  (*answerer)(element);
}

bool DisplayPresent() {
  if (!WindowWatcherInstalled()) return false;
  const char* headless = std::getenv("KSV_HEADLESS");
  if (headless != nullptr && *headless != '\0' && std::strcmp(headless, "0") != 0) return false;
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("SDL_VIDEODRIVER");
}

namespace answer {

bool PressButton(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr && input::Click(control);
}

bool TypeInto(HWND dialog, int id, const std::string& text) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return false;
  SetFocus(control);
  SendMessageA(control, EM_SETSEL, 0, -1);
  input::TypeText(text);
  return true;
}

bool ClickTab(HWND topLevel, HWND tab, int index) {
  RECT item{};
  if (SendMessageA(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) == FALSE) {
    return false;
  }
  POINT tabOrigin{0, 0}, topOrigin{0, 0};
  ClientToScreen(tab, &tabOrigin);
  ClientToScreen(topLevel, &topOrigin);
  return input::ClickAt(topLevel, tabOrigin.x - topOrigin.x + (item.left + item.right) / 2,
                        tabOrigin.y - topOrigin.y + (item.top + item.bottom) / 2);
}

void Settle(HWND window) {
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the element's loop
      return;
    }
    if (!IsWindow(window) || !IsDialogMessageA(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

}  // namespace answer
}  // namespace ksv::platform::ui
