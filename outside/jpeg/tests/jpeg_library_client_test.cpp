// OKSV1JPG as another program uses it: the shared library, whose packed
// bitmaps live in the process's one global-memory table, so the caller
// frees what the library handed over.
#include <gtest/gtest.h>

#include <vector>

#include "include/oksv1jpg.h"
#include "outside/jpeg/tests/jpeg_test_support.h"
#include "platform/memory/global_memory.h"

namespace ksv::outside::jpeg {
namespace {

TEST(JpegLibraryClient, TheCallerSizesLocksAndFreesTheBitmapTheLibraryAllocated) {
  constexpr int kWidth = 16;
  constexpr int kHeight = 8;
  testing::TempFolder folder;
  const auto path = folder / "picture.jpg";
  testing::WriteFile(path, testing::EncodeJpeg(testing::TestPixels(kWidth, kHeight, 3), kWidth,
                                               kHeight, 3, 90));

  HGLOBAL bitmap = JPEG_2Dib(path.c_str());
  ASSERT_NE(bitmap, nullptr);
  // 40-byte header and 8 rows of 48 bytes.
  EXPECT_EQ(GlobalSize(bitmap), 40u + kHeight * kWidth * 3);
  const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(bitmap));
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->biWidth, kWidth);
  GlobalUnlock(bitmap);
  EXPECT_EQ(GlobalFree(bitmap), nullptr);
  EXPECT_EQ(GlobalSize(bitmap), 0u);  // gone for the library too
}

}  // namespace
}  // namespace ksv::outside::jpeg
