#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/tests/ui_test_support.h"
#include "platform/ui/ui.h"

namespace {

using ksv::platform::ui::FeedKey;
using ksv::platform::ui::testing::CreateTestWindow;
using ksv::platform::ui::testing::RegisterTestClass;

std::vector<std::string> focusEvents;
LRESULT FocusLog(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETFOCUS) focusEvents.push_back("set");
  if (message == WM_KILLFOCUS) focusEvents.push_back("kill");
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(Keyboard, AsyncStateHasTheDownBitAndAPressedSinceLastCallBit) {
  GetAsyncKeyState(VK_ESCAPE);
  EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
  FeedKey(VK_ESCAPE, true);
  EXPECT_EQ(static_cast<uint16_t>(GetAsyncKeyState(VK_ESCAPE)), 0x8001u);
  EXPECT_EQ(static_cast<uint16_t>(GetAsyncKeyState(VK_ESCAPE)), 0x8000u) << "the press was reported";
  FeedKey(VK_ESCAPE, false);
  EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
  // Pressed and released between two calls: only the low bit.
  FeedKey(VK_ESCAPE, true);
  FeedKey(VK_ESCAPE, false);
  EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE) & 1, 1);
  EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
  EXPECT_EQ(GetAsyncKeyState(-1), 0);
  EXPECT_EQ(GetAsyncKeyState(256), 0);
}

TEST(Keyboard, KeysGoToTheFocusWindowAndTranslateToCharacters) {
  const std::string className = RegisterTestClass(FocusLog);
  HWND first = CreateTestWindow(className);
  HWND second = CreateTestWindow(className);
  focusEvents.clear();
  SetFocus(first);
  EXPECT_EQ(SetFocus(second), first);
  EXPECT_EQ(focusEvents, (std::vector<std::string>{"set", "kill", "set"}));
  EXPECT_EQ(GetFocus(), second);

  FeedKey('A', true);
  FeedKey('A', true);  // held: a repeat
  FeedKey('A', false);
  MSG message{};
  ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
  EXPECT_EQ(message.hwnd, second);
  EXPECT_EQ(message.message, WM_KEYDOWN);
  EXPECT_EQ(message.wParam, static_cast<WPARAM>('A'));
  EXPECT_EQ(message.lParam, 1);
  EXPECT_TRUE(TranslateMessage(&message));
  ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
  EXPECT_EQ(message.message, WM_CHAR) << "the character comes next";
  EXPECT_EQ(message.wParam, static_cast<WPARAM>('a'));
  ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
  EXPECT_EQ(message.message, WM_KEYDOWN);
  EXPECT_EQ(message.lParam, 1 | LPARAM{1} << 30) << "the key was already down";
  ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
  EXPECT_EQ(message.message, WM_KEYUP);
  EXPECT_EQ(static_cast<uint32_t>(message.lParam), 0xC0000001u);
  EXPECT_TRUE(TranslateMessage(&message));
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) << "a key release makes no character";

  FeedKey(VK_SHIFT, true);
  FeedKey('B', true);
  FeedKey('B', false);
  FeedKey(VK_SHIFT, false);
  std::string typed;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    if (message.message == WM_CHAR) typed += static_cast<char>(message.wParam);
  }
  EXPECT_EQ(typed, "B");
  GetAsyncKeyState('A');
  GetAsyncKeyState('B');
  GetAsyncKeyState(VK_SHIFT);

  DestroyWindow(second);
  EXPECT_EQ(GetFocus(), nullptr) << "the focus goes with its window";
  FeedKey('C', true);
  FeedKey('C', false);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  GetAsyncKeyState('C');
  DestroyWindow(first);
}

}  // namespace
