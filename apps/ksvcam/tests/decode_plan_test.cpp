#include "apps/ksvcam/decode_plan.h"

#include <gtest/gtest.h>

#include "apps/ksvcam/console.h"

namespace ksv::ksvcam {
namespace {

using codec::FrameSize;

DecodeOptions Options(std::string size, std::string output) {
  DecodeOptions options;
  options.framePath = "f.frame";
  options.size = std::move(size);
  options.outputPath = std::move(output);
  return options;
}

TEST(PlanDecode, PicksTheLayoutFromTheOutputFile) {
  EXPECT_EQ(PlanDecode(Options("320x240", "a.bmp")).layout, DecodedLayout::kBgr24);
  EXPECT_EQ(PlanDecode(Options("320x240", "a.png")).layout, DecodedLayout::kBgr24);
  EXPECT_EQ(PlanDecode(Options("320x240", "a.yuv")).layout, DecodedLayout::kI420);
  auto options = Options("320x240", "a.bmp");
  options.format = "i420";
  EXPECT_EQ(PlanDecode(options).layout, DecodedLayout::kI420);
}

TEST(PlanDecode, RefusesA24BitLayoutForARawPlanarFile) {
  auto options = Options("320x240", "a.i420");
  options.format = "rgb24";
  EXPECT_THROW(PlanDecode(options), UsageError);
}

TEST(PlanDecode, RefusesUnknownFormatAndOutputExtension) {
  auto options = Options("320x240", "a.bmp");
  options.format = "yuyv";
  EXPECT_THROW(PlanDecode(options), UsageError);
  EXPECT_THROW(PlanDecode(Options("320x240", "a.gif")), UsageError);
  EXPECT_EQ(PlanDecode(Options("320x240", "a.JPG")).outputFormat, picture::PictureFormat::kJpeg);
}

TEST(PlanDecode, StoredFramesNeedATableAndTakeNoGamma) {
  auto options = Options("320x240", "a.bmp");
  options.stored = true;
  EXPECT_THROW(PlanDecode(options), UsageError);
  options.qtablePath = "q.qtab";
  EXPECT_TRUE(PlanDecode(options).stored);
  options.gamma = 3;
  EXPECT_THROW(PlanDecode(options), UsageError);

  auto live = Options("320x240", "a.bmp");
  live.qtablePath = "q.qtab";
  EXPECT_THROW(PlanDecode(live), UsageError);
}

TEST(PlanDecode, ChecksGammaAndRepeat) {
  auto options = Options("320x240", "a.bmp");
  options.gamma = 9;
  EXPECT_EQ(PlanDecode(options).gamma, 9u);
  options.gamma = 10;
  EXPECT_THROW(PlanDecode(options), UsageError);
  options.gamma = 2;
  options.format = "rgb24";  // the direct R, G, B path has no gamma
  EXPECT_THROW(PlanDecode(options), UsageError);

  auto repeated = Options("320x240", "a.bmp");
  EXPECT_FALSE(PlanDecode(repeated).reportSpeed);
  repeated.repeat = 0;
  EXPECT_THROW(PlanDecode(repeated), UsageError);
  repeated.repeat = 5;
  EXPECT_EQ(PlanDecode(repeated).repeat, 5u);
  EXPECT_TRUE(PlanDecode(repeated).reportSpeed);
}

TEST(SupportedSizes, FollowTheDecoderLayouts) {
  // Live frames: 160 x 128 has a planar layout, 24-bit reaches it through it.
  EXPECT_TRUE(IsSupportedSize({160, 128}, DecodedLayout::kI420, false, 0));
  EXPECT_TRUE(IsSupportedSize({160, 128}, DecodedLayout::kBgr24, false, 0));
  EXPECT_FALSE(IsSupportedSize({160, 128}, DecodedLayout::kRgb24, false, 0));
  EXPECT_TRUE(IsSupportedSize({1024, 768}, DecodedLayout::kBgr24, false, 0));
  EXPECT_FALSE(IsSupportedSize({1024, 768}, DecodedLayout::kBgr24, false, 4));
  EXPECT_FALSE(IsSupportedSize({1024, 768}, DecodedLayout::kI420, false, 0));
  // Stored frames: any height at width 160 for 24-bit, 160 x 112 planar.
  EXPECT_TRUE(IsSupportedSize({160, 37}, DecodedLayout::kRgb24, true, 0));
  EXPECT_FALSE(IsSupportedSize({160, 481}, DecodedLayout::kBgr24, true, 0));
  EXPECT_FALSE(IsSupportedSize({160, 128}, DecodedLayout::kI420, true, 0));
  EXPECT_TRUE(IsSupportedSize({160, 112}, DecodedLayout::kI420, true, 0));
  EXPECT_FALSE(IsSupportedSize({300, 200}, DecodedLayout::kBgr24, false, 0));
}

TEST(SupportedSizes, UnsupportedSizeErrorListsTheChoices) {
  try {
    PlanDecode(Options("300x200", "a.bmp"));
    FAIL() << "300x200 accepted";
  } catch (const UsageError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("300x200"), std::string::npos) << message;
    EXPECT_NE(message.find("160x128, 176x144, 320x240"), std::string::npos) << message;
  }
  EXPECT_EQ(SupportedSizesText(DecodedLayout::kBgr24, true, 0),
            "160xH (H 1..480), 176x144, 320x240, 352x288, 640x480, 1024x768");
}

}  // namespace
}  // namespace ksv::ksvcam
