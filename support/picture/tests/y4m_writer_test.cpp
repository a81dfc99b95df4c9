#include "support/picture/y4m_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "support/picture/picture.h"
#include "testing/temp_files.h"

namespace ksv::picture {
namespace {

using ::ksv::testing::ReadFile;
using ::ksv::testing::TempFolder;

TEST(Y4m, FrameRateOfAnInterval) {
  EXPECT_EQ(Y4mHeader(160, 120, FrameRateOfInterval(333'333)),
            "YUV4MPEG2 W160 H120 F30:1 Ip A1:1 C420jpeg XCOLORRANGE=FULL\n");
  EXPECT_EQ(Y4mHeader(320, 240, FrameRateOfInterval(1'666'666)),
            "YUV4MPEG2 W320 H240 F6:1 Ip A1:1 C420jpeg XCOLORRANGE=FULL\n");
  EXPECT_EQ(Y4mHeader(320, 240, FrameRateOfInterval(0)),
            "YUV4MPEG2 W320 H240 F30:1 Ip A1:1 C420jpeg XCOLORRANGE=FULL\n");
  EXPECT_EQ(Y4mHeader(320, 240, FrameRateOfInterval(3'000'000)),
            "YUV4MPEG2 W320 H240 F10:3 Ip A1:1 C420jpeg XCOLORRANGE=FULL\n");
}

TEST(Y4m, HeaderThenEachFrameBehindItsMarker) {
  TempFolder folder;
  Y4mWriter writer(folder / "s.y4m", 2, 2, {25, 1});
  writer.WriteFrame(std::vector<uint8_t>{1, 2, 3, 4, 5, 6});
  writer.WriteFrame(std::vector<uint8_t>{7, 8, 9, 10, 11, 12});
  EXPECT_THROW(writer.WriteFrame(std::vector<uint8_t>(5)), PictureError);
  EXPECT_FALSE(std::filesystem::exists(folder / "s.y4m"));  // not until committed
  writer.Commit();
  EXPECT_EQ(writer.frames(), 2u);
  const std::vector<uint8_t> file = ReadFile(folder / "s.y4m");
  const std::string expected =
      "YUV4MPEG2 W2 H2 F25:1 Ip A1:1 C420jpeg XCOLORRANGE=FULL\nFRAME\n"
      "\x01\x02\x03\x04\x05\x06"
      "FRAME\n\x07\x08\x09\x0a\x0b\x0c";
  EXPECT_EQ(std::string(file.begin(), file.end()), expected);
  EXPECT_THROW(Y4mWriter(folder / "odd.y4m", 3, 2, {}), PictureError);
  EXPECT_FALSE(std::filesystem::exists(folder / "odd.y4m"));
}

}  // namespace
}  // namespace ksv::picture
