#include "platform/memory/global_memory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(GlobalMemory, MovableBlockIsZeroFilledAndKeepsItsAddress) {
  HGLOBAL block = GlobalAlloc(GHND, 100);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 100u);
  auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
  ASSERT_NE(bytes, nullptr);
  EXPECT_NE(static_cast<void*>(bytes), block);  // a movable handle is not the address
  for (int i = 0; i < 100; ++i) ASSERT_EQ(bytes[i], 0) << i;
  std::memset(bytes, 0xAB, 100);
  EXPECT_EQ(GlobalLock(block), bytes);
  EXPECT_TRUE(GlobalUnlock(block));   // still locked once
  EXPECT_FALSE(GlobalUnlock(block));  // now unlocked
  EXPECT_FALSE(GlobalUnlock(block));  // was not locked
  EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(GlobalMemory, FixedBlockHandleIsItsAddress) {
  HGLOBAL block = GlobalAlloc(GPTR, 8);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalLock(block), block);
  EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(GlobalMemory, UnknownAndFreedHandlesAreRefused) {
  HGLOBAL block = GlobalAlloc(GHND, 16);
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(GlobalFree(block), nullptr);
  EXPECT_EQ(GlobalFree(block), block);  // a second free fails
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(GlobalSize(block), 0u);
  EXPECT_FALSE(GlobalUnlock(block));

  int notABlock = 0;
  EXPECT_EQ(GlobalLock(&notABlock), nullptr);
  EXPECT_EQ(GlobalFree(&notABlock), static_cast<HGLOBAL>(&notABlock));
  EXPECT_EQ(GlobalLock(nullptr), nullptr);
}

TEST(GlobalMemory, RefusesUnknownFlagsAndImpossibleSizes) {
  EXPECT_EQ(GlobalAlloc(0x0100u, 16), nullptr);  // GMEM_DISCARDABLE is not kept
  EXPECT_EQ(GlobalAlloc(GHND, SIZE_MAX), nullptr);
}

TEST(GlobalMemory, EmptyBlockIsStillABlock) {
  HGLOBAL block = GlobalAlloc(GHND, 0);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 0u);
  EXPECT_NE(GlobalLock(block), nullptr);
  EXPECT_EQ(GlobalFree(block), nullptr);
}

}  // namespace
