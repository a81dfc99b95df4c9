#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/tests/ui_test_support.h"
#include "platform/ui/ui.h"

namespace {

using ksv::platform::ui::testing::CreateTestWindow;
using ksv::platform::ui::testing::RegisterTestClass;

// What the logging procedure saw, as "name:message" entries.
std::vector<std::string> events;
LRESULT createResult = 0;

std::string NameOf(HWND window) {
  char text[32] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

LRESULT CALLBACK_Log(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      events.push_back(std::string(create->lpszName) + ":nccreate");
      break;
    }
    case WM_CREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      events.push_back(NameOf(window) + ":create " + std::to_string(create->cx) + "x" +
                       std::to_string(create->cy));
      return createResult;
    }
    case WM_DESTROY: events.push_back(NameOf(window) + ":destroy"); break;
    case WM_NCDESTROY: events.push_back(NameOf(window) + ":ncdestroy"); break;
    default: break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    events.clear();
    createResult = 0;
    className_ = RegisterTestClass(CALLBACK_Log, 16);
    ASSERT_FALSE(className_.empty());
  }
  HWND Make(const char* name, HWND parent = nullptr, DWORD style = 0, int id = 0) {
    return CreateWindowExA(0, className_.c_str(), name, style, 1, 2, 30, 40, parent,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
  }
  std::string className_;
};

TEST_F(Windows, ARegisteredClassKeepsItsFieldsAndASecondRegistrationFails) {
  const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  WNDCLASSEXA first{};
  first.cbSize = sizeof first;
  first.style = CS_HREDRAW | CS_VREDRAW;
  first.lpfnWndProc = DefWindowProcA;
  first.cbWndExtra = 4;
  first.hCursor = arrow;
  first.lpszClassName = "QMGwnd hide Class";
  const ATOM atom = RegisterClassExA(&first);
  ASSERT_NE(atom, 0);

  WNDCLASSEXA second = first;
  second.lpszClassName = "qmgwnd HIDE class";
  second.lpfnWndProc = CALLBACK_Log;
  second.cbWndExtra = 64;
  EXPECT_EQ(RegisterClassExA(&second), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

  WNDCLASSEXA kept{};
  ASSERT_TRUE(GetClassInfoExA(nullptr, "QMGwnd hide Class", &kept));
  EXPECT_EQ(kept.lpfnWndProc, &DefWindowProcA);
  EXPECT_EQ(kept.cbWndExtra, 4);
  EXPECT_EQ(kept.style, CS_HREDRAW | CS_VREDRAW);
  EXPECT_EQ(kept.hCursor, arrow);
  EXPECT_EQ(kept.hbrBackground, nullptr);

  // The class by its atom; and it cannot go while a window of it lives.
  HWND window = CreateWindowExA(0, MAKEINTATOM(atom), "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(UnregisterClassA("QMGwnd hide Class", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
  DestroyWindow(window);
  EXPECT_TRUE(UnregisterClassA("QMGwnd hide Class", nullptr));
  EXPECT_EQ(CreateWindowExA(0, "QMGwnd hide Class", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

TEST_F(Windows, CreationSendsNcCreateThenCreateAndMinusOneFromCreateFailsIt) {
  HWND window = Make("w");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(events, (std::vector<std::string>{"w:nccreate", "w:create 30x40"}));
  RECT rect{};
  ASSERT_TRUE(GetWindowRect(window, &rect));
  EXPECT_EQ(rect.left, 1);
  EXPECT_EQ(rect.bottom, 42);
  DestroyWindow(window);

  events.clear();
  createResult = -1;
  EXPECT_EQ(Make("refused"), nullptr);
  EXPECT_EQ(events, (std::vector<std::string>{"refused:nccreate", "refused:create 30x40",
                                              "refused:destroy", "refused:ncdestroy"}));
}

TEST_F(Windows, AChildNeedsALiveParent) {
  EXPECT_EQ(Make("orphan", nullptr, WS_CHILD), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_TLW_WITH_WSCHILD);
  HWND parent = Make("parent");
  DestroyWindow(parent);
  EXPECT_EQ(Make("late", parent, WS_CHILD), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(events.size(), 4u) << "no procedure ran for the refused children";
}

TEST_F(Windows, DestructionGoesParentFirstForDestroyAndChildrenFirstForNcDestroy) {
  HWND parent = Make("p");
  HWND first = Make("c1", parent, WS_CHILD, 101);
  HWND grandchild = Make("g", first, WS_CHILD, 201);
  HWND second = Make("c2", parent, WS_CHILD, 102);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetParent(grandchild), first);
  EXPECT_TRUE(IsChild(parent, grandchild));
  EXPECT_EQ(GetDlgItem(parent, 102), second);
  EXPECT_EQ(GetDlgCtrlID(first), 101);

  events.clear();
  ASSERT_TRUE(DestroyWindow(parent));
  EXPECT_EQ(events, (std::vector<std::string>{"p:destroy", "c1:destroy", "c2:destroy", "g:destroy",
                                              "g:ncdestroy", "c2:ncdestroy", "c1:ncdestroy",
                                              "p:ncdestroy"}));
  for (HWND window : {parent, first, grandchild, second}) EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(DestroyWindow(parent));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(Windows, SetParentMovesAWindowBetweenParentsAndRefusesLoops) {
  HWND top = Make("top");
  HWND host = Make("host");
  HWND inner = Make("inner", host, WS_CHILD, 7);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(SetParent(top, host), nullptr) << "it was a top-level window";
  EXPECT_TRUE(IsChild(host, top));
  EXPECT_EQ(GetParent(top), host);
  EXPECT_EQ(SetParent(host, top), nullptr) << "a window under itself";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetParent(top, inner), host);
  EXPECT_TRUE(IsChild(host, top)) << "a grandchild now";
  EXPECT_EQ(SetParent(top, nullptr), inner);
  EXPECT_FALSE(IsChild(host, top));
  EXPECT_EQ(GetParent(top), nullptr);

  // A child goes with its parent; one taken away before does not.
  SetParent(top, host);
  events.clear();
  ASSERT_TRUE(DestroyWindow(host));
  EXPECT_FALSE(IsWindow(top));
  EXPECT_EQ(events.size(), 6u);
  HWND other = Make("other");
  HWND moved = Make("moved", other, WS_CHILD);
  SetParent(moved, nullptr);
  DestroyWindow(other);
  EXPECT_TRUE(IsWindow(moved));
  EXPECT_EQ(SetParent(moved, other), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  DestroyWindow(moved);
}

TEST_F(Windows, ThreadsOnlyTheOwningThreadDestroysAWindow) {
  HWND window = Make("mine");
  BOOL destroyed = TRUE;
  DWORD error = 0;
  DWORD ownerSeen = 0;
  std::thread([&] {
    destroyed = DestroyWindow(window);
    error = GetLastError();
    ownerSeen = GetWindowThreadProcessId(window, nullptr);
  }).join();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
  EXPECT_EQ(ownerSeen, GetCurrentThreadId());
  EXPECT_TRUE(IsWindow(window));
  DestroyWindow(window);
}

TEST_F(Windows, ExtraBytesAreZeroedAndBoundedFieldsReadAndWrite) {
  HWND window = Make("x", nullptr, 0);
  EXPECT_EQ(GetWindowLongPtrA(window, 0), 0);
  EXPECT_EQ(SetWindowLongPtrA(window, 8, 0x1234), 0);
  EXPECT_EQ(SetWindowLongPtrA(window, 8, 0x5678), 0x1234) << "the previous value comes back";
  EXPECT_EQ(GetWindowLongPtrA(window, 8), 0x5678);
  SetLastError(0);
  EXPECT_EQ(GetWindowLongPtrA(window, 9), 0) << "a value past the 16 bytes";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  SetLastError(0);
  EXPECT_EQ(SetWindowLongPtrA(window, 12, 1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  EXPECT_EQ(SetWindowLongA(window, 12, 7), 0) << "a 4-byte value fits at 12";
  EXPECT_EQ(GetWindowLongA(window, 12), 7);
  SetLastError(0);
  EXPECT_EQ(GetWindowLongPtrA(window, -2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);

  SetWindowLongPtrA(window, GWLP_USERDATA, 42);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 42);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&CALLBACK_Log));
  // Subclassing: the new procedure gets the messages.
  const LONG_PTR old =
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
  EXPECT_EQ(old, reinterpret_cast<LONG_PTR>(&CALLBACK_Log));
  events.clear();
  DestroyWindow(window);
  EXPECT_TRUE(events.empty());
  SetLastError(0);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(Windows, TextIsSetAndReadWithTruncation) {
  HWND window = Make("first");
  EXPECT_EQ(GetWindowTextLengthA(window), 5);
  ASSERT_TRUE(SetWindowTextA(window, "camera preview"));
  char text[7] = {};
  EXPECT_EQ(GetWindowTextA(window, text, sizeof text), 6);
  EXPECT_STREQ(text, "camera");
  DestroyWindow(window);
  EXPECT_FALSE(SetWindowTextA(window, "gone"));
}

// Positions and sizes come from callers unchecked: a far edge past the
// range of a coordinate must not overflow. The window keeps its size and
// lies as far out as the range lets it.
TEST_F(Windows, PositionsAtTheEndOfTheRangeKeepTheSizeWithoutOverflow) {
  constexpr int kFar = std::numeric_limits<int>::max() - 10;
  HWND window = CreateWindowExA(0, className_.c_str(), "", 0, kFar, kFar, 100, 50, nullptr,
                                nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  RECT rect{};
  ASSERT_TRUE(GetClientRect(window, &rect));
  EXPECT_EQ(rect.right, 100);
  EXPECT_EQ(rect.bottom, 50);
  ASSERT_TRUE(GetWindowRect(window, &rect));
  EXPECT_EQ(rect.right, std::numeric_limits<LONG>::max());
  EXPECT_EQ(rect.right - rect.left, 100);

  ASSERT_TRUE(MoveWindow(window, std::numeric_limits<int>::min(), kFar, 30, 20, FALSE));
  ASSERT_TRUE(GetWindowRect(window, &rect));
  EXPECT_EQ(rect.left, std::numeric_limits<LONG>::min());
  EXPECT_EQ(rect.right - rect.left, 30);
  EXPECT_EQ(rect.bottom - rect.top, 20);
  ASSERT_TRUE(SetWindowPos(window, nullptr, kFar, 0, 0, 0, SWP_NOSIZE));
  ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, 60, 40, SWP_NOMOVE));
  ASSERT_TRUE(GetClientRect(window, &rect));
  EXPECT_EQ(rect.right, 60);
  EXPECT_EQ(rect.bottom, 40);
  DestroyWindow(window);
}

// Destroys its own window when told to close, and counts what it sees.
int closeCalls = 0;
int afterClose = 0;
LRESULT SelfDestroying(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ++closeCalls;
    DestroyWindow(window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetWindowLongPtrA(window, 0), 0) << "a dead handle reads as nothing";
    return 0;
  }
  if (message == WM_USER) ++afterClose;
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(WindowsDying, AProcedureDestroysItsOwnWindowDuringDispatchAndLaterMessagesAreDropped) {
  const std::string className = RegisterTestClass(SelfDestroying, 8);
  HWND window = CreateTestWindow(className);
  ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
  ASSERT_TRUE(PostMessageA(window, WM_USER, 0, 0));
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(DispatchMessageA(&message), 0);
  EXPECT_EQ(closeCalls, 1);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
      << "the message posted to the window before it died went with it";

  // A message taken before the window died is not delivered either.
  const MSG stale{window, WM_USER, 0, 0, 0, {}};
  EXPECT_EQ(DispatchMessageA(&stale), 0);
  EXPECT_EQ(afterClose, 0);
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 0);
}

TEST(WindowsDying, AMessageOnlyWindowHasNoParentAndDiesWithDestroyWindow) {
  HWND window = ksv::platform::ui::CreateMessageOnlyWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), nullptr);
  HWND other = ksv::platform::ui::CreateMessageOnlyWindow();
  EXPECT_NE(other, window);
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_TRUE(DestroyWindow(other));
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
