#include "platform/window/window.h"

#include <gtest/gtest.h>

namespace {

TEST(Window, HandlesAreDistinctNonNullAndLiveUntilDestroyed) {
  const HWND first = ksv::platform::CreateStandInWindow();
  const HWND second = ksv::platform::CreateStandInWindow();
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first, second);
  EXPECT_TRUE(IsWindow(first));
  EXPECT_TRUE(DestroyWindow(first));
  EXPECT_FALSE(IsWindow(first));
  EXPECT_FALSE(DestroyWindow(first));
  EXPECT_TRUE(IsWindow(second));
  EXPECT_FALSE(IsWindow(nullptr));
  DestroyWindow(second);
}

}  // namespace
