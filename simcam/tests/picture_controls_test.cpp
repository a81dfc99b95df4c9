// The camera's picture registers acting on the picture it sends: neutral at
// power-on, and each control moving the picture the way a person expects.
#include "simcam/picture_controls.h"

#include <gtest/gtest.h>

#include <array>

#include "simcam/camera_registers.h"

namespace ksv::simcam {
namespace {

// A colourful picture: a gradient in each of Y, U and V.
picture::PlanarPicture Colourful() {
  picture::PlanarPicture picture{32, 16, std::vector<uint8_t>(32 * 16 * 3 / 2)};
  for (uint32_t y = 0; y < 16; ++y) {
    for (uint32_t x = 0; x < 32; ++x)
      picture.samples[y * 32 + x] = static_cast<uint8_t>(40 + x * 5);
  }
  for (uint32_t i = 0; i < 16 * 8; ++i) {
    picture.samples[32 * 16 + i] = static_cast<uint8_t>(90 + i % 16 * 5);
    picture.samples[32 * 16 + 16 * 8 + i] = static_cast<uint8_t>(170 - i / 16 * 6);
  }
  return picture;
}

struct Means {
  double y, u, v;
};
Means MeansOf(const picture::PlanarPicture& p) {
  const size_t luma = size_t{p.width} * p.height;
  const size_t chroma = luma / 4;
  double y = 0, u = 0, v = 0;
  for (size_t i = 0; i < luma; ++i) y += p.samples[i];
  for (size_t i = 0; i < chroma; ++i) {
    u += p.samples[luma + i];
    v += p.samples[luma + chroma + i];
  }
  return {y / static_cast<double>(luma), u / static_cast<double>(chroma),
          v / static_cast<double>(chroma)};
}

PictureControls ControlsAfter(std::initializer_list<std::pair<uint16_t, uint8_t>> writes,
                              uint8_t mode = 4) {
  CameraRegisters registers;
  std::array<uint8_t, 0> none{};
  registers.VendorRequest(false, 0x0C, mode, 0, none);
  for (const auto& [address, value] : writes)
    registers.VendorRequest(false, 0, value, address, none);
  return registers.Controls();
}

TEST(PictureControls, PowerOnRegistersLeaveThePictureAlone) {
  const PictureControls controls = ControlsAfter({});
  EXPECT_TRUE(controls.IsNeutral());
  picture::PlanarPicture picture = Colourful();
  const std::vector<uint8_t> before = picture.samples;
  ApplyPictureControls(controls, picture);
  EXPECT_EQ(picture.samples, before);
  // Gains written while white balance is automatic do nothing either.
  EXPECT_TRUE(ControlsAfter({{0x8151, 216}, {0x8153, 206}}, 4).IsNeutral());
}

TEST(PictureControls, EachControlMovesThePictureItsWay) {
  const Means base = MeansOf(Colourful());
  auto after = [](const PictureControls& controls) {
    picture::PlanarPicture picture = Colourful();
    ApplyPictureControls(controls, picture);
    return picture;
  };
  // Brightness 200: register 0x8167 = 72.
  EXPECT_NEAR(MeansOf(after(ControlsAfter({{0x8167, 72}}))).y, base.y + 72, 3);
  // Brightness 88: -40.
  EXPECT_NEAR(MeansOf(after(ControlsAfter({{0x8167, 0xD8}}))).y, base.y - 40, 1);

  // Contrast 31 (register 63) spreads luminance about mid-grey.
  const picture::PlanarPicture contrasty = after(ControlsAfter({{0x8168, 63}}));
  EXPECT_LT(contrasty.samples[0], 10) << "dark gets darker";
  EXPECT_GT(contrasty.samples[31], 245) << "light gets lighter";

  // Saturation 0: grey.
  const picture::PlanarPicture grey = after(ControlsAfter({{0x8169, 0}}));
  const size_t luma = 32 * 16;
  for (size_t i = luma; i < grey.samples.size(); ++i) ASSERT_EQ(grey.samples[i], 128) << i;

  // Hue 360 (half a turn): colours swap to their opposites.
  const Means turned = MeansOf(after(ControlsAfter({{0x816B, 0x07}, {0x816A, 0x68}})));
  EXPECT_NEAR(turned.u - 128, -(base.u - 128), 2);
  EXPECT_NEAR(turned.v - 128, -(base.v - 128), 2);

  // Manual white balance 20 (gain A 216) warms, 0 (gain B 206) cools.
  const Means warm = MeansOf(after(ControlsAfter({{0x8151, 216}, {0x8153, 142}}, 3)));
  const Means cool = MeansOf(after(ControlsAfter({{0x8151, 152}, {0x8153, 206}}, 0)));
  EXPECT_GT(warm.v, base.v + 10);
  EXPECT_GT(cool.u, base.u + 10);
}

TEST(PictureControls, ChangingAPictureRegisterMakesTheCameraEncodeAgain) {
  CameraRegisters registers;
  std::array<uint8_t, 0> none{};
  uint64_t generation = registers.EncodingGeneration();
  registers.VendorRequest(false, 0, 12, 0x8167, none);
  EXPECT_NE(registers.EncodingGeneration(), generation);
  generation = registers.EncodingGeneration();
  registers.VendorRequest(false, 0x0C, 0, 0, none);
  EXPECT_NE(registers.EncodingGeneration(), generation) << "gains start to count";
}

}  // namespace
}  // namespace ksv::simcam
