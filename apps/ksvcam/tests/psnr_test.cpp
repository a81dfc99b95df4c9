#include "apps/ksvcam/psnr.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ksv::ksvcam {
namespace {

TEST(Psnr, IdenticalPicturesAreInfinitelyClose) {
  const std::vector<uint8_t> a = {0, 50, 255};
  EXPECT_TRUE(std::isinf(Psnr(a, a)));
}

TEST(Psnr, FollowsTheMeanSquaredError) {
  const std::vector<uint8_t> a = {10, 20, 30, 40};
  const std::vector<uint8_t> offByOne = {11, 19, 31, 39};
  EXPECT_NEAR(Psnr(a, offByOne), 20 * std::log10(255.0), 1e-9);
  const std::vector<uint8_t> black(4, 0);
  const std::vector<uint8_t> white(4, 255);
  EXPECT_NEAR(Psnr(black, white), 0.0, 1e-9);
  // One sample off by 2 in four: MSE 1.
  EXPECT_NEAR(Psnr(a, std::vector<uint8_t>{12, 20, 30, 40}), 20 * std::log10(255.0), 1e-9);
}

TEST(Psnr, RefusesPicturesOfDifferentSizes) {
  EXPECT_THROW(Psnr(std::vector<uint8_t>(3), std::vector<uint8_t>(4)), std::invalid_argument);
  EXPECT_THROW(Psnr({}, {}), std::invalid_argument);
}

}  // namespace
}  // namespace ksv::ksvcam
