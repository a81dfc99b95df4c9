// The presenter on SDL's "dummy" video driver (no screen is ever opened) and
// without any display.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "platform/ui/controls/controls.h"
#include "platform/ui/presenter/presenter.h"
#include "platform/ui/surface.h"
#include "platform/ui/ui.h"
#include "testing/temp_files.h"

namespace {

using namespace ksv::platform::ui;

// WM_COMMAND notifications the test windows were sent (a control's click).
std::atomic<int> commands{0};

LRESULT CountingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) commands.fetch_add(1);
  return DefWindowProcA(window, message, wParam, lParam);
}

const char* ClassName() {
  static const bool registered = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = CountingProcedure;
    windowClass.lpszClassName = "PresenterTestWindow";
    return RegisterClassA(&windowClass) != 0;
  }();
  return registered ? "PresenterTestWindow" : nullptr;
}

HWND MakeWindow(const char* title, DWORD style, int width = 32, int height = 24, HWND parent = nullptr) {
  return CreateWindowExA(0, ClassName(), title, style, 0, 0, width, height, parent, nullptr, nullptr,
                         nullptr);
}

// Each pixel's B, G, R from its position and `seed`.
void Paint(Surface& surface, uint8_t seed) {
  {
    Surface::Pixels pixels = surface.Lock();
    for (int y = 0; y < pixels.height(); ++y) {
      for (int x = 0; x < pixels.width(); ++x) {
        pixels.row(y)[3 * x] = static_cast<uint8_t>(seed + x);
        pixels.row(y)[3 * x + 1] = static_cast<uint8_t>(y * 5);
        pixels.row(y)[3 * x + 2] = static_cast<uint8_t>(200 - x);
      }
    }
  }
  surface.Present();
}

void ExpectOnScreenAsOnSurface(HWND window) {
  const std::optional<ksv::picture::RgbPicture> screen = PresentedPicture(window);
  ASSERT_TRUE(screen.has_value());
  const Surface::Pixels pixels = SurfaceOf(window)->Lock();
  ASSERT_EQ(screen->width, static_cast<uint32_t>(pixels.width()));
  ASSERT_EQ(screen->height, static_cast<uint32_t>(pixels.height()));
  for (int y = 0; y < pixels.height(); ++y) {
    for (int x = 0; x < pixels.width(); ++x) {
      const uint8_t* rgb = &screen->pixels[(static_cast<size_t>(y) * screen->width + x) * 3];
      const uint8_t* bgr = pixels.row(y) + 3 * x;
      ASSERT_EQ(rgb[0], bgr[2]) << "red at " << x << "," << y;
      ASSERT_EQ(rgb[1], bgr[1]) << "green at " << x << "," << y;
      ASSERT_EQ(rgb[2], bgr[0]) << "blue at " << x << "," << y;
    }
  }
}

void PushSdl(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

void PushKey(SDL_Keycode key, bool down, uint32_t screenId) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.windowID = screenId;
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.sym = key;
  PushSdl(event);
}

bool TakeMessage(HWND window, UINT message, MSG* taken) {
  return PeekMessageA(taken, window, message, message, PM_REMOVE) != 0;
}

// Without a display, and with KSV_HEADLESS set: nothing starts, and windows
// with surfaces work as ever.
TEST(PresenterOffscreen, NothingStartsAndSurfacesStillWork) {
  setenv("KSV_HEADLESS", "1", 1);
  EXPECT_FALSE(StartPresenter());
  const HWND window = MakeWindow("Offscreen", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  std::shared_ptr<Surface> surface = CreateSurface(window);
  ASSERT_NE(surface, nullptr);
  Paint(*surface, 7);
  ShowWindow(window, SW_SHOW);
  EXPECT_FALSE(PresenterRunning()) << "first need found no display either";
  SyncPresenter();
  EXPECT_FALSE(PresentedWindowOf(window).has_value());
  ksv::testing::TempFolder folder;
  EXPECT_TRUE(SaveSurfacePng(window, folder / "offscreen.png"));
  DestroyWindow(window);
  unsetenv("KSV_HEADLESS");
}

// SDL's dummy driver, asked for by name; set before any thread of the test
// runs, so the environment is never written while read.
class PresenterThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    unsetenv("KSV_HEADLESS");
    ASSERT_TRUE(StartPresenter()) << SDL_GetError();
  }
  void TearDown() override {
    StopPresenter();
    EXPECT_FALSE(PresenterRunning());
  }
};

TEST_F(PresenterThreads, AVisibleTopLevelWindowWithASurfaceIsShownAndFollowed) {
  const HWND window = MakeWindow("Preview", WS_OVERLAPPEDWINDOW, 40, 30);
  std::shared_ptr<Surface> surface = CreateSurface(window);
  Paint(*surface, 1);
  const HWND plain = MakeWindow("No surface", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  const HWND child = MakeWindow("Child", WS_CHILD | WS_VISIBLE, 8, 8, window);
  CreateSurface(child);
  SyncPresenter();
  EXPECT_FALSE(PresentedWindowOf(window).has_value()) << "hidden";
  EXPECT_FALSE(PresentedWindowOf(plain).has_value()) << "no surface";

  ShowWindow(window, SW_SHOW);
  SyncPresenter();
  std::optional<PresentedWindow> shown = PresentedWindowOf(window);
  ASSERT_TRUE(shown.has_value());
  EXPECT_NE(shown->screenId, 0u);
  EXPECT_EQ(shown->title, "Preview");
  EXPECT_EQ(shown->width, 40);
  EXPECT_EQ(shown->height, 30);
  EXPECT_TRUE(shown->visible);
  ExpectOnScreenAsOnSurface(window);
  EXPECT_FALSE(PresentedWindowOf(child).has_value()) << "only top-level windows";

  // Drawn into from another thread, retitled, sized: the screen follows.
  const uint64_t frames = shown->frames;
  std::thread([&] { Paint(*surface, 90); }).join();
  SetWindowTextA(window, "Preview - running");
  MoveWindow(window, 0, 0, 50, 20, TRUE);
  Paint(*surface, 60);
  SyncPresenter();
  shown = PresentedWindowOf(window);
  ASSERT_TRUE(shown.has_value());
  EXPECT_GT(shown->frames, frames);
  EXPECT_EQ(shown->title, "Preview - running");
  EXPECT_EQ(shown->width, 50);
  EXPECT_EQ(shown->height, 20);
  ExpectOnScreenAsOnSurface(window);

  ShowWindow(window, SW_HIDE);
  SyncPresenter();
  ASSERT_TRUE(PresentedWindowOf(window).has_value());
  EXPECT_FALSE(PresentedWindowOf(window)->visible);
  DestroyWindow(window);
  SyncPresenter();
  EXPECT_FALSE(PresentedWindowOf(window).has_value()) << "the screen window ends with it";
  DestroyWindow(plain);
}

TEST_F(PresenterThreads, KeysReachTheKeyStateAndTheFocusWindow) {
  const HWND window = MakeWindow("Keys", WS_OVERLAPPEDWINDOW);
  CreateSurface(window);
  ShowWindow(window, SW_SHOW);  // activates: the focus
  ASSERT_EQ(GetFocus(), window);
  SyncPresenter();
  const std::optional<PresentedWindow> shown = PresentedWindowOf(window);
  ASSERT_TRUE(shown.has_value());
  GetAsyncKeyState('A');
  GetAsyncKeyState(VK_F1 + 4);

  PushKey(SDLK_a, true, shown->screenId);
  PushKey(SDLK_F5, true, shown->screenId);
  PushKey(SDLK_RSHIFT, true, shown->screenId);
  PushKey(SDLK_F5, false, shown->screenId);
  SyncPresenter();
  EXPECT_EQ(static_cast<uint16_t>(GetAsyncKeyState('A')), 0x8001u) << "down, pressed since asked";
  EXPECT_EQ(static_cast<uint16_t>(GetAsyncKeyState(VK_F1 + 4)), 0x0001u) << "pressed and let go";
  EXPECT_NE(GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
  MSG message{};
  ASSERT_TRUE(TakeMessage(window, WM_KEYDOWN, &message));
  EXPECT_EQ(message.wParam, static_cast<WPARAM>('A'));
  ASSERT_TRUE(TakeMessage(window, WM_KEYDOWN, &message));
  EXPECT_EQ(message.wParam, static_cast<WPARAM>(VK_F1 + 4));
  ASSERT_TRUE(TakeMessage(window, WM_KEYDOWN, &message));
  EXPECT_EQ(message.wParam, static_cast<WPARAM>(VK_SHIFT));
  ASSERT_TRUE(TakeMessage(window, WM_KEYUP, &message));
  EXPECT_EQ(message.wParam, static_cast<WPARAM>(VK_F1 + 4));

  PushKey(SDLK_a, false, shown->screenId);
  PushKey(SDLK_RSHIFT, false, shown->screenId);
  PushKey(SDLK_PRINTSCREEN, true, shown->screenId);  // not one of ours: dropped
  SyncPresenter();
  EXPECT_EQ(GetAsyncKeyState('A') & 0x8000, 0);
  EXPECT_EQ(GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
  ASSERT_TRUE(TakeMessage(window, WM_KEYUP, &message));
  ASSERT_TRUE(TakeMessage(window, WM_KEYUP, &message));
  EXPECT_FALSE(TakeMessage(window, WM_KEYDOWN, &message));
  DestroyWindow(window);
}

TEST_F(PresenterThreads, ClosingTheScreenWindowPostsCloseAndTheWindowsEndClosesIt) {
  const HWND window = MakeWindow("Close me", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  CreateSurface(window);
  SyncPresenter();
  const std::optional<PresentedWindow> shown = PresentedWindowOf(window);
  ASSERT_TRUE(shown.has_value());

  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = shown->screenId;
  PushSdl(close);
  SyncPresenter();
  EXPECT_TRUE(IsWindow(window)) << "the program decides";
  MSG message{};
  ASSERT_TRUE(TakeMessage(window, WM_CLOSE, &message));
  DispatchMessageA(&message);  // the default procedure destroys it
  EXPECT_FALSE(IsWindow(window));
  SyncPresenter();
  EXPECT_FALSE(PresentedWindowOf(window).has_value());
}

TEST_F(PresenterThreads, AWindowOfAThreadThatEndsLeavesTheScreen) {
  HWND window = nullptr;
  std::thread owner([&] {
    window = MakeWindow("Short-lived", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    Paint(*CreateSurface(window), 3);
    SyncPresenter();
    EXPECT_TRUE(PresentedWindowOf(window).has_value());
  });
  owner.join();
  SyncPresenter();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(PresentedWindowOf(window).has_value());
}

std::mutex clicksLock;
std::vector<std::string> clicks;
void RecordClick(HWND, int x, int y, int button, bool down) {
  std::lock_guard guard(clicksLock);
  clicks.push_back(std::to_string(button) + (down ? " down " : " up ") + std::to_string(x) + "," +
                   std::to_string(y));
}

TEST_F(PresenterThreads, MouseButtonsAndMovesGoToThePointerSinkAndMovedWindowsMoveOnScreen) {
  const HWND window = MakeWindow("Clicks", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  CreateSurface(window);
  SyncPresenter();
  const std::optional<PresentedWindow> shown = PresentedWindowOf(window);
  ASSERT_TRUE(shown.has_value());
  {
    std::lock_guard guard(clicksLock);
    clicks.clear();
  }
  SetPointerSink(RecordClick);
  SDL_Event button{};
  button.type = SDL_MOUSEBUTTONDOWN;
  button.button.windowID = shown->screenId;
  button.button.button = SDL_BUTTON_LEFT;
  button.button.x = 5;
  button.button.y = 7;
  PushSdl(button);
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.windowID = shown->screenId;
  motion.motion.x = 9;
  motion.motion.y = 8;
  PushSdl(motion);
  button.type = SDL_MOUSEBUTTONUP;
  PushSdl(button);
  SyncPresenter();
  SetPointerSink(nullptr);
  {
    std::lock_guard guard(clicksLock);
    const std::vector<std::string> expected{"1 down 5,7", "0 up 9,8", "1 up 5,7"};
    EXPECT_EQ(clicks, expected);
  }
  // The program moves its window (a drag by its body): the screen window
  // moves as much.
  RECT rect{};
  GetWindowRect(window, &rect);
  SetWindowPos(window, nullptr, rect.left + 20, rect.top + 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SyncPresenter();
  const std::optional<PresentedWindow> moved = PresentedWindowOf(window);
  ASSERT_TRUE(moved.has_value());
  EXPECT_EQ(moved->x - shown->x, 20);
  EXPECT_EQ(moved->y - shown->y, 10);
  DestroyWindow(window);
}

TEST_F(PresenterThreads, ALeftClickOnTheScreenPressesTheButtonUnderIt) {
  const HWND window = MakeWindow("Buttons", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  const HWND button = CreateWindowExA(0, "Button", "OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                      10, 10, 60, 20, window, reinterpret_cast<HMENU>(7),
                                      nullptr, nullptr);
  ASSERT_NE(button, nullptr);
  CreateSurface(window);
  SyncPresenter();
  const std::optional<PresentedWindow> shown = PresentedWindowOf(window);
  ASSERT_TRUE(shown.has_value());
  SDL_Event press{};
  press.type = SDL_MOUSEBUTTONDOWN;
  press.button.windowID = shown->screenId;
  press.button.button = SDL_BUTTON_LEFT;
  press.button.x = 20;
  press.button.y = 15;
  PushSdl(press);
  press.type = SDL_MOUSEBUTTONUP;
  PushSdl(press);
  SyncPresenter();

  // The button takes the press and release from this thread's queue and
  // tells its parent it was clicked.
  commands.store(0);
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != 0) DispatchMessageA(&message);
  EXPECT_EQ(commands.load(), 1);
  DestroyWindow(window);
}

TEST_F(PresenterThreads, StartsOnFirstNeedAfterAStopAndStopsCleanly) {
  StopPresenter();
  const HWND window = MakeWindow("Needed", WS_OVERLAPPEDWINDOW);
  CreateSurface(window);
  EXPECT_FALSE(PresenterRunning()) << "a hidden window needs no screen";
  ShowWindow(window, SW_SHOWNA);
  EXPECT_TRUE(PresenterRunning());
  SyncPresenter();
  EXPECT_TRUE(PresentedWindowOf(window).has_value());
  StopPresenter();
  EXPECT_FALSE(PresentedWindowOf(window).has_value()) << "asked of a stopped presenter";
  ASSERT_TRUE(StartPresenter());
  SyncPresenter();
  EXPECT_TRUE(PresentedWindowOf(window).has_value()) << "windows made before a start are shown";
  DestroyWindow(window);
}

// The process ends with the presenter showing a window: stopping it on the
// way out neither hangs nor crashes, and the exit code comes through.
TEST_F(PresenterThreads, TheProcessExitsWhileItRuns) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const HWND window = MakeWindow("At exit", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        Paint(*CreateSurface(window), 5);
        SyncPresenter();
        std::exit(PresentedWindowOf(window).has_value() ? 3 : 4);
      },
      ::testing::ExitedWithCode(3), "");
}

}  // namespace
