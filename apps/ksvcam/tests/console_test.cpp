#include "apps/ksvcam/console.h"

#include <gtest/gtest.h>

#include <sstream>

namespace ksv::ksvcam {
namespace {

TEST(ProgressLine, DrawsAndErasesOnATerminal) {
  std::ostringstream out, err;
  Console console{out, err, true};
  {
    ProgressLine progress(console, 8);
    progress.Show(3, "chelsea_320x240_L2");
    progress.Show(3, "chelsea_320x240_L2");  // unchanged: not drawn again
    EXPECT_EQ(err.str(), "\r\033[K[3/8] chelsea_320x240_L2");
  }
  EXPECT_EQ(err.str(), "\r\033[K[3/8] chelsea_320x240_L2\r\033[K");  // erased on the way out
}

TEST(ProgressLine, DrawsTheSameTextAgainAfterAClear) {
  std::ostringstream out, err;
  Console console{out, err, true};
  ProgressLine progress(console);
  progress.Draw("recording 1.0 s");
  progress.Clear();
  progress.Draw("recording 1.0 s");
  EXPECT_EQ(err.str(), "\r\033[Krecording 1.0 s\r\033[K\r\033[Krecording 1.0 s");
}

TEST(ProgressLine, StaysSilentWhenStderrIsNotATerminal) {
  std::ostringstream out, err;
  Console console{out, err, false};
  ProgressLine progress(console, 8);
  progress.Show(1, "x");
  progress.Clear();
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace ksv::ksvcam
