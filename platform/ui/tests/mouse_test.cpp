// The mouse as the input seam drives it: a button that captures the
// pointer, modifier keys on clicks, double clicks; the screen's size,
// finding windows, topmost windows and client-to-screen coordinates.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ui/input.h"
#include "platform/ui/tests/ui_test_support.h"
#include "platform/ui/ui.h"

namespace {

using ksv::platform::ui::FeedKey;
using ksv::platform::ui::testing::RegisterTestClass;
namespace input = ksv::platform::ui::input;

std::vector<std::string> events;

std::string At(LPARAM lParam) {
  return "(" + std::to_string(static_cast<int16_t>(lParam & 0xFFFF)) + "," +
         std::to_string(static_cast<int16_t>((lParam >> 16) & 0xFFFF)) + ")";
}

// A button as the acquisition window's are: the first move over it takes
// the mouse; a move out of it lets go; a release inside is a click.
LRESULT CapturingButton(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  RECT client{};
  GetClientRect(window, &client);
  const POINT point{static_cast<int16_t>(lParam & 0xFFFF), static_cast<int16_t>((lParam >> 16) & 0xFFFF)};
  const bool inside = point.x >= 0 && point.y >= 0 && point.x < client.right && point.y < client.bottom;
  switch (message) {
    case WM_MOUSEMOVE:
      if (GetCapture() != window) {
        SetCapture(window);
        events.push_back("enter" + At(lParam));
      } else if (!inside) {
        events.push_back("leave" + At(lParam));
        ReleaseCapture();
      }
      return 0;
    case WM_LBUTTONDOWN:
      events.push_back("down" + At(lParam));
      return 0;
    case WM_LBUTTONUP:
      events.push_back((inside ? "click" : "up outside") + At(lParam));
      ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      events.push_back("capture lost");
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

LRESULT Recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
    std::string name = message == WM_LBUTTONDOWN ? "down" : message == WM_LBUTTONUP ? "up"
                       : message == WM_LBUTTONDBLCLK ? "double" : "move";
    if ((wParam & MK_LBUTTON) != 0) name += " L";
    if ((wParam & MK_SHIFT) != 0) name += " shift";
    if ((wParam & MK_CONTROL) != 0) name += " control";
    // What the window's thread believes of the keys as it handles the message.
    if (GetKeyState(VK_SHIFT) < 0) name += " (shift down)";
    if (GetKeyState(VK_CONTROL) < 0) name += " (control down)";
    events.push_back(name);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void Pump() {
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

HWND TopLevel(const std::string& className, int x = 100, int y = 50) {
  return CreateWindowExA(0, className.c_str(), "", WS_POPUP | WS_VISIBLE, x, y, 200, 100, nullptr, nullptr,
                         nullptr, nullptr);
}

TEST(Mouse, AButtonThatCapturesSeesEnterLeaveAndAReleaseOutside) {
  const HWND parent = TopLevel(RegisterTestClass(DefWindowProcA));
  const HWND button = CreateWindowExA(0, RegisterTestClass(CapturingButton).c_str(), "", WS_CHILD | WS_VISIBLE,
                                      10, 10, 40, 30, parent, nullptr, nullptr, nullptr);
  ASSERT_NE(button, nullptr);
  events.clear();
  // In, press, out: the move out comes to the button (it has the mouse)
  // in its own coordinates, and it lets go.
  input::MoveAt(parent, 20, 20);
  Pump();
  EXPECT_EQ(GetCapture(), button);
  input::PressAt(parent, 20, 20);
  Pump();
  input::MoveAt(parent, 150, 80);
  Pump();
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(events, (std::vector<std::string>{"enter(10,10)", "down(10,10)", "leave(140,70)", "capture lost"}));

  // In, press, release far away without a move: the release still comes to
  // the button, outside it, and is no click.
  // Each step is taken before the next, as a person's hand is slower than
  // the window (the seam routes by the capture as it is when posting).
  events.clear();
  input::MoveAt(parent, 30, 25);
  Pump();
  input::PressAt(parent, 30, 25);
  Pump();
  input::ReleaseAt(parent, 190, 90);
  Pump();
  EXPECT_EQ(events, (std::vector<std::string>{"enter(20,15)", "down(20,15)", "up outside(180,80)", "capture lost"}));
  EXPECT_EQ(GetCapture(), nullptr);

  // A release over the parent with nobody capturing goes to the parent.
  events.clear();
  input::ReleaseAt(parent, 190, 90);
  Pump();
  EXPECT_TRUE(events.empty());
  DestroyWindow(parent);
}

TEST(Mouse, ShiftAndControlClicksCarryTheirFlagsAndGetKeyStateAgrees) {
  const HWND window = TopLevel(RegisterTestClass(Recorder));
  events.clear();
  input::ClickAt(window, 5, 5, input::kShift);
  input::ClickAt(window, 5, 5, input::kControl);
  input::ClickAt(window, 5, 5);
  input::MoveAt(window, 6, 6);
  Pump();
  EXPECT_EQ(events, (std::vector<std::string>{"down L shift (shift down)", "up shift (shift down)",
                                              "down L control (control down)", "up control (control down)",
                                              "down L", "up", "move"}));
  EXPECT_EQ(GetKeyState(VK_SHIFT), 0);
  EXPECT_EQ(GetAsyncKeyState(VK_SHIFT) & 0x8000, 0) << "the key went up after the click";

  // Shift held at the keyboard (as at the presenter's): a plain click carries it too.
  events.clear();
  FeedKey(VK_SHIFT, true);
  input::PressAt(window, 5, 5);
  FeedKey(VK_SHIFT, false);
  Pump();
  EXPECT_EQ(events, (std::vector<std::string>{"down L shift (shift down)"}));
  input::ReleaseAt(window, 5, 5);
  Pump();
  DestroyWindow(window);
}

TEST(Mouse, ADoubleClickIsOneOnlyForAClassWithDoubleClicks) {
  WNDCLASSA windowClass{};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = Recorder;
  windowClass.lpszClassName = "MouseTestDoubleClicks";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  const HWND takesDoubles = TopLevel("MouseTestDoubleClicks");
  const HWND plain = TopLevel(RegisterTestClass(Recorder));
  events.clear();
  input::DoubleClickAt(takesDoubles, 5, 5);
  Pump();
  EXPECT_EQ(events, (std::vector<std::string>{"down L", "up", "double L", "up"}));
  events.clear();
  input::DoubleClickAt(plain, 5, 5);
  Pump();
  EXPECT_EQ(events, (std::vector<std::string>{"down L", "up", "down L", "up"}));
  DestroyWindow(takesDoubles);
  DestroyWindow(plain);
}

TEST(Mouse, TheCursorIsTheClassCursorOfTheWindowUnderThePointer) {
  const HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(159));  // the program's resource
  const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hCursor = arrow;
  windowClass.lpszClassName = "MouseTestArrowCursor";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  windowClass.hCursor = hand;
  windowClass.lpszClassName = "MouseTestHandCursor";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  const HWND parent = TopLevel("MouseTestArrowCursor");
  CreateWindowExA(0, "MouseTestHandCursor", "", WS_CHILD | WS_VISIBLE, 10, 10, 40, 30, parent, nullptr, nullptr,
                  nullptr);
  input::MoveAt(parent, 20, 20);
  Pump();
  EXPECT_EQ(GetCursor(), hand);
  input::MoveAt(parent, 100, 60);
  Pump();
  EXPECT_EQ(GetCursor(), arrow);
  DestroyWindow(parent);
}

TEST(Screen, MetricsFollowTheScreenSizeSettingLessTheTaskBar) {
  setenv("KSV_SCREEN_SIZE", "640x480", 1);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);
  EXPECT_EQ(GetSystemMetrics(SM_CXFULLSCREEN), 640);
  EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN), 450);
  setenv("KSV_SCREEN_SIZE", "wide", 1);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024) << "an unreadable setting counts as none";
  unsetenv("KSV_SCREEN_SIZE");
  EXPECT_EQ(GetSystemMetrics(SM_CXFULLSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN), 738);
}

TEST(Screen, WindowsAreFoundByClassTopmostOnAskingAndPlacedOnTheScreen) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "MouseTestFindMe";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  const HWND window = CreateWindowExA(0, "MouseTestFindMe", "Acquire", WS_POPUP, 100, 50, 200, 100, nullptr,
                                      nullptr, nullptr, nullptr);
  const HWND child = CreateWindowExA(0, "MouseTestFindMe", "", WS_CHILD, 10, 20, 30, 30, window, nullptr, nullptr,
                                     nullptr);
  EXPECT_EQ(FindWindowA("mousetestfindme", nullptr), window) << "top-level windows only, any case";
  EXPECT_EQ(FindWindowA("MouseTestFindMe", "acquire"), window);
  EXPECT_EQ(FindWindowA("MouseTestFindMe", "Other"), nullptr);
  EXPECT_EQ(FindWindowA("NoSuchClass", nullptr), nullptr);

  ASSERT_TRUE(SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  RECT rect{};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 100) << "SWP_NOMOVE kept it in place";
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

  POINT point{1, 2};
  ASSERT_TRUE(ClientToScreen(child, &point));
  EXPECT_EQ(point.x, 111);
  EXPECT_EQ(point.y, 72);
  ASSERT_TRUE(ScreenToClient(window, &point));
  EXPECT_EQ(point.x, 11);
  EXPECT_EQ(point.y, 22);

  const HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  const HCURSOR before = SetCursor(wait);
  EXPECT_EQ(SetCursor(before), wait);
  DestroyWindow(window);
  EXPECT_EQ(FindWindowA("MouseTestFindMe", nullptr), nullptr);
}

}  // namespace
