// The presenter's thread: it starts SDL's video, follows the window table
// when told of a change, handles SDL's events, and runs the requests of
// other threads (SyncPresenter and the questions about what it shows).
#include "platform/ui/presenter/presenter.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ui/input.h"
#include "platform/ui/presenter/screen_windows.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui {
namespace {

// A person's pointer and left button on a shown window, to the control under it.
void LeftButtonToWindows(HWND window, int x, int y, int button, bool down) {
  if (button == 0) input::PostMoveAt(window, x, y);
  if (button == SDL_BUTTON_LEFT) input::PostButtonAt(window, x, y, down);
}

// How long the thread sleeps in SDL's wait when nothing wakes it: drivers
// without a wake-up (the dummy one) only look again after it.
constexpr int kWaitMilliseconds = 10;

using Task = std::function<void(ScreenWindows&)>;

struct Presenter {
  std::mutex lifecycle;  // held through a start or a stop, so two never overlap
  std::mutex lock;
  std::condition_variable roundDone;
  std::thread thread;            // guarded by lock
  bool running = false;          // guarded by lock: started and not yet told to stop
  bool stopping = false;         // guarded by lock
  uint64_t requested = 0;        // rounds asked for (guarded by lock)
  uint64_t completed = 0;        // rounds done (guarded by lock)
  uint64_t stops = 0;            // threads ended and joined (guarded by lock)
  std::vector<Task> tasks;       // guarded by lock
  std::atomic<uint32_t> wakeEvent{0};
  std::atomic<bool> dirty{false};  // the window table changed since the last look
  std::atomic<bool> mayStartByItself{true};  // until a start finds no display
  std::atomic<PointerSink> pointerSink{&LeftButtonToWindows};
};

Presenter& State() {
  static Presenter* presenter = new Presenter;  // windows may change during static destruction
  return *presenter;
}

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Told to stay offscreen, or nothing to show on: no desktop session and no
// driver asked for (SDL is not even started, so a server stays quiet).
bool OffscreenByEnvironment() {
  const char* headless = std::getenv("KSV_HEADLESS");
  if (headless != nullptr && *headless != '\0' && std::strcmp(headless, "0") != 0) return true;
  return !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY") && !IsSet("SDL_VIDEODRIVER");
}

// A driver SDL picked by itself is a display unless it is one of those that
// draw nowhere; a driver asked for by name is taken as it is.
bool DriverIsDisplay() {
  if (IsSet("SDL_VIDEODRIVER")) return true;
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver != nullptr && std::strcmp(driver, "dummy") != 0 &&
         std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "evdev") != 0;
}

// With the lock held and the presenter running: ends its wait at once.
void WakeLocked(Presenter& presenter) {
  SDL_Event event{};
  event.type = presenter.wakeEvent.load();
  SDL_PushEvent(&event);
}

// Only what it started, as another part of the program may use SDL too; all
// of SDL (its hints too) when nothing else does.
void EndVideo() {
  SetDisplaySize(0, 0);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
}

bool StartVideo() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // the program's signals stay its own
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    EndVideo();
    return false;
  }
  if (!DriverIsDisplay()) {
    EndVideo();
    return false;
  }
  SDL_StopTextInput();  // characters come from TranslateMessage, not SDL
  // The screen the program sees (GetSystemMetrics) is this display's.
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0) SetDisplaySize(mode.w, mode.h);
  return true;
}

void Run(Presenter& presenter, std::promise<bool>& started) {
  if (!StartVideo()) {
    started.set_value(false);
    return;
  }
  presenter.wakeEvent.store(SDL_RegisterEvents(1));
  started.set_value(true);
  {
    ScreenWindows screens;
    for (;;) {
      uint64_t round = 0;
      bool stop = false;
      std::vector<Task> tasks;
      {
        std::lock_guard guard(presenter.lock);
        round = presenter.requested;
        stop = presenter.stopping;
        tasks.swap(presenter.tasks);
      }
      SDL_Event event;
      while (SDL_PollEvent(&event) != 0) screens.Handle(event, presenter.pointerSink.load());
      if (presenter.dirty.exchange(false)) screens.Follow();
      screens.FollowCursor();
      for (const Task& task : tasks) task(screens);
      {
        std::lock_guard guard(presenter.lock);
        presenter.completed = round;
      }
      presenter.roundDone.notify_all();
      if (stop) break;
      SDL_WaitEventTimeout(nullptr, kWaitMilliseconds);
    }
  }
  EndVideo();
}

// Runs `task` on the presenter's thread and waits for it; false when the
// presenter is not running (or stops first).
bool RunOnPresenter(Task task) {
  Presenter& presenter = State();
  std::unique_lock guard(presenter.lock);
  if (!presenter.running) return false;
  if (task) presenter.tasks.push_back(std::move(task));
  const uint64_t round = ++presenter.requested;
  const uint64_t stops = presenter.stops;
  WakeLocked(presenter);
  // Until the round is done or the thread is gone: a task is never left
  // running after its caller returned.
  presenter.roundDone.wait(guard, [&] { return presenter.completed >= round || presenter.stops != stops; });
  return presenter.completed >= round;
}

// A visible top-level window with a surface: the presenter is needed.
bool WantsScreen(HWND handle) {
  std::shared_lock guard(TableLock());
  const std::shared_ptr<Window> window = FindLocked(handle);
  return window != nullptr && window->surface != nullptr && !window->messageOnly &&
         (window->style & (WS_CHILD | WS_VISIBLE)) == WS_VISIBLE;
}

void Watch(HWND handle, WindowChange change) {
  Presenter& presenter = State();
  if (!presenter.dirty.exchange(true)) {
    std::lock_guard guard(presenter.lock);
    if (presenter.running) {
      WakeLocked(presenter);
      return;
    }
  }
  if (change == WindowChange::Destroyed || !presenter.mayStartByItself.load()) return;
  if (WantsScreen(handle)) StartPresenter();
}

// Watches windows from the library's loading, and stops the thread at the
// process's exit.
struct Installation {
  Installation() { SetWindowWatcher(Watch); }
  ~Installation() {
    SetWindowWatcher(nullptr);
    StopPresenter();
  }
} installation;

}  // namespace

bool StartPresenter() {
  Presenter& presenter = State();
  std::lock_guard whole(presenter.lifecycle);
  std::lock_guard guard(presenter.lock);
  if (presenter.running) return true;
  if (OffscreenByEnvironment()) {
    presenter.mayStartByItself.store(false);
    return false;
  }
  std::promise<bool> started;
  std::future<bool> result = started.get_future();
  presenter.stopping = false;
  presenter.thread = std::thread([&presenter, &started] { Run(presenter, started); });
  if (!result.get()) {
    presenter.thread.join();
    presenter.mayStartByItself.store(false);
    return false;
  }
  presenter.mayStartByItself.store(true);
  presenter.running = true;
  presenter.dirty.store(true);  // windows made before the start
  WakeLocked(presenter);
  return true;
}

void StopPresenter() {
  Presenter& presenter = State();
  std::lock_guard whole(presenter.lifecycle);
  std::thread thread;
  {
    std::lock_guard guard(presenter.lock);
    if (!presenter.running) return;
    presenter.stopping = true;
    WakeLocked(presenter);
    presenter.running = false;
    thread = std::move(presenter.thread);
  }
  thread.join();
  {
    std::lock_guard guard(presenter.lock);
    presenter.tasks.clear();  // asked for too late to run
    presenter.stops += 1;
  }
  presenter.roundDone.notify_all();
}

bool PresenterRunning() {
  Presenter& presenter = State();
  std::lock_guard guard(presenter.lock);
  return presenter.running;
}

void SyncPresenter() { RunOnPresenter(nullptr); }

std::optional<PresentedWindow> PresentedWindowOf(HWND window) {
  std::optional<PresentedWindow> answer;
  RunOnPresenter([&](ScreenWindows& screens) { answer = screens.Describe(window); });
  return answer;
}

std::optional<picture::RgbPicture> PresentedPicture(HWND window) {
  std::optional<picture::RgbPicture> answer;
  RunOnPresenter([&](ScreenWindows& screens) { answer = screens.ReadBack(window); });
  return answer;
}

void SetPointerSink(PointerSink sink) {
  State().pointerSink.store(sink != nullptr ? sink : &LeftButtonToWindows);
}

}  // namespace ksv::platform::ui
