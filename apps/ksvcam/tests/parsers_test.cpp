// The one set of value parsers every subcommand uses.
#include "apps/ksvcam/parsers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ksv::ksvcam {
namespace {

using codec::FrameSize;

TEST(ParseFrameSize, AcceptsWidthCrossHeight) {
  EXPECT_EQ(ParseFrameSize("320x240"), (FrameSize{320, 240}));
  EXPECT_EQ(ParseFrameSize("1024X768"), (FrameSize{1024, 768}));
}

TEST(ParseFrameSize, RefusesAnythingElse) {
  for (const char* bad : {"320x", "x240", "320", "320*240", "0x240", "320x0", "-320x240",
                          "+320x240", "320x240x1", " 320x240", "320x240 ", "99999999999x1", ""}) {
    EXPECT_THROW(ParseFrameSize(bad), UsageError) << "'" << bad << "'";
  }
}

TEST(ParseStreamSize, TakesOnlyTheSizesTheCameraStreams) {
  EXPECT_EQ(ParseStreamSize("160x120"), (FrameSize{160, 120}));
  EXPECT_EQ(ParseStreamSize("320X240"), (FrameSize{320, 240}));
  EXPECT_THROW(ParseStreamSize("640x480"), UsageError);
  EXPECT_THROW(ParseStreamSize("320"), UsageError);
}

TEST(ParseChoice, ReturnsTheNamedValueAndListsTheChoicesOtherwise) {
  const auto parse = [](std::string_view text) {
    return ParseChoice<int>(text, "--format", "a stream format",
                            {{"i420", 1}, {"bgr24", 2}, {"kxjs", 3}});
  };
  EXPECT_EQ(parse("bgr24"), 2);
  try {
    parse("BGR24");
    FAIL() << "choices are matched exactly";
  } catch (const UsageError& error) {
    EXPECT_STREQ(error.what(),
                 "--format 'BGR24' is not a stream format (choose i420, bgr24 or kxjs)");
  }
  try {
    ParseChoice<bool>("x", "--type", "a value type", {{"dword", true}, {"sz", false}});
    FAIL();
  } catch (const UsageError& error) {
    EXPECT_NE(std::string(error.what()).find("(choose dword or sz)"), std::string::npos);
  }
}

TEST(ParseNumbers, WholeNumbersAndDwords) {
  EXPECT_EQ(ParseWholeNumber("-12"), -12);
  for (const char* bad : {"", "12x", "1.5", "0x10", "2147483648"}) {
    EXPECT_THROW(ParseWholeNumber(bad), UsageError) << bad;
  }
  EXPECT_EQ(ParseDword("0x90"), 0x90u);
  EXPECT_EQ(ParseDword("4294967295"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseDword("-2147483648"), 0x80000000u);
  for (const char* bad : {"", "4294967296", "-2147483649", "12 ", "ten"}) {
    EXPECT_THROW(ParseDword(bad), UsageError) << bad;
  }
}

TEST(ParseAssignment, SplitsAtTheFirstEqualsSign) {
  EXPECT_EQ(ParseAssignment("brightness=160", "--set"),
            (std::pair<std::string, std::string>{"brightness", "160"}));
  EXPECT_EQ(ParseAssignment("a==b", "--set").second, "=b");
  EXPECT_THROW(ParseAssignment("brightness", "--set"), UsageError);
}

TEST(CheckRate, TakesZeroToOne) {
  CheckRate(0, "--loss");
  CheckRate(1, "--loss");
  EXPECT_THROW(CheckRate(1.5, "--loss"), UsageError);
  EXPECT_THROW(CheckRate(-0.1, "--loss"), UsageError);
  EXPECT_THROW(CheckRate(std::nan(""), "--loss"), UsageError);
}

}  // namespace
}  // namespace ksv::ksvcam
