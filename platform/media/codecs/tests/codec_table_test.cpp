// The codec table: lookups by FOURCC, Motion JPEG and Cinepak round trips
// (from RGB24 and I420, into RGB24 and RGB32), key and delta frames,
// hostile frames, and no allocation of ours per frame after the first.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/media/codecs/convert.h"
#include "platform/media/codecs/mjpeg_codec.h"
#include "platform/media/codecs/tests/test_pictures.h"
#include "testing/allocation_counter.h"

namespace ksv::media::codecs {
namespace {

using testing::Psnr;
using testing::Scene;

constexpr int kWidth = 64, kHeight = 48;
const PictureFormat kRgb{kWidth, kHeight, PixelFormat::kRgb24};
const PictureFormat kRgb32{kWidth, kHeight, PixelFormat::kRgb32};
const PictureFormat kI420{kWidth, kHeight, PixelFormat::kI420};

struct Frame {
  std::vector<uint8_t> bytes;
  bool key = false;
};

Frame Encode(VideoEncoder& encoder, const std::vector<uint8_t>& picture,
             int quality = kDefaultQuality, bool key = true) {
  Frame frame;
  frame.bytes.resize(encoder.MaxFrameSize());
  size_t written = 0;
  EXPECT_EQ(encoder.Encode(picture, quality, key, frame.bytes, &written, &frame.key),
            CodecResult::kOk);
  frame.bytes.resize(written);
  return frame;
}

std::vector<uint8_t> Decode(VideoDecoder& decoder, const Frame& frame, const PictureFormat& out) {
  std::vector<uint8_t> picture(ImageSize(out));
  EXPECT_EQ(decoder.Decode(frame.bytes, picture), CodecResult::kOk);
  return picture;
}

std::vector<uint8_t> Narrowed(const std::vector<uint8_t>& rgb32) {
  std::vector<uint8_t> rgb(ImageSize(kRgb));
  ConvertPicture(kRgb32, rgb32.data(), kRgb, rgb.data());
  return rgb;
}

TEST(CodecTable, CodecsAreFoundByFourccWithoutRegardToCase) {
  ASSERT_NE(FindVideoCodec(MakeFourcc("CVID")), nullptr);
  EXPECT_STREQ(FindVideoCodec(MakeFourcc("CVID"))->name, "Cinepak Codec by Radius");
  EXPECT_EQ(FindVideoCodec(MakeFourcc("mjpg")), FindVideoCodec(kFourccMjpg));
  EXPECT_EQ(FindVideoCodec(kFourccIyuv)->makeEncoder, FindVideoCodec(kFourccI420)->makeEncoder);
  EXPECT_EQ(FindVideoCodec(kBiRgb)->fourcc, kBiRgb);
  EXPECT_EQ(FindVideoCodec(MakeFourcc("XVID")), nullptr);
  EXPECT_EQ(FourccText(kFourccCvid), "cvid");
  int listed = 0;
  for (const VideoCodec& codec : VideoCodecs()) listed += codec.listed ? 1 : 0;
  EXPECT_EQ(listed, 2);
}

TEST(CodecTable, MotionJpegRoundTripsFromRgbAndI420IntoRgb24AndRgb32) {
  const std::vector<uint8_t> scene = Scene(kWidth, kHeight);
  std::vector<uint8_t> planes(ImageSize(kI420));
  ConvertPicture(kRgb, scene.data(), kI420, planes.data());
  const VideoCodec* codec = FindVideoCodec(kFourccMjpg);
  auto fromRgb = codec->makeEncoder(kRgb, 12);
  auto fromI420 = codec->makeEncoder(kI420, 12);
  auto to24 = codec->makeDecoder(kWidth, kHeight, 24, PixelFormat::kRgb24);
  auto to32 = codec->makeDecoder(kWidth, kHeight, 24, PixelFormat::kRgb32);
  ASSERT_TRUE(fromRgb && fromI420 && to24 && to32);
  EXPECT_EQ(codec->makeEncoder(kRgb32, 12), nullptr);

  const Frame rgbFrame = Encode(*fromRgb, scene);
  EXPECT_TRUE(rgbFrame.key);
  ASSERT_GT(rgbFrame.bytes.size(), 4u);
  EXPECT_EQ(rgbFrame.bytes[0], 0xFF);  // a whole JPEG: SOI ... EOI
  EXPECT_EQ(rgbFrame.bytes[1], 0xD8);
  EXPECT_EQ(rgbFrame.bytes.back(), 0xD9);
  EXPECT_GT(Psnr(kRgb, scene, Decode(*to24, rgbFrame, kRgb)), 26);
  EXPECT_GT(Psnr(kRgb, scene, Narrowed(Decode(*to32, rgbFrame, kRgb32))), 26);
  // The I420 path stretches the video-range planes to the JPEG's full
  // range: without it the contrast would fade and the picture drift off.
  const double rgbPsnr = Psnr(kRgb, scene, Decode(*to24, rgbFrame, kRgb));
  const Frame i420Frame = Encode(*fromI420, planes);
  EXPECT_GT(Psnr(kRgb, scene, Decode(*to24, i420Frame, kRgb)), rgbPsnr - 1);

  const Frame best = Encode(*fromRgb, scene, kMaxQuality);
  const Frame worst = Encode(*fromRgb, scene, 0);
  EXPECT_GT(best.bytes.size(), rgbFrame.bytes.size());
  EXPECT_LT(worst.bytes.size(), rgbFrame.bytes.size());
  EXPECT_GT(Psnr(kRgb, scene, Decode(*to24, best, kRgb)),
            Psnr(kRgb, scene, Decode(*to24, worst, kRgb)));
  EXPECT_EQ(MjpegEncoder::JpegQuality(kDefaultQuality), 75);
}

TEST(CodecTable, CinepakRoundTripsWithKeyFramesWhenAskedAndDeltaFramesBetween) {
  const VideoCodec* codec = FindVideoCodec(kFourccCvid);
  auto encoder = codec->makeEncoder(kRgb, 12);
  auto decoder = codec->makeDecoder(kWidth, kHeight, 24, PixelFormat::kRgb24);
  ASSERT_TRUE(encoder && decoder);
  EXPECT_EQ(codec->makeEncoder(PictureFormat{66, 48, PixelFormat::kRgb24}, 12), nullptr);
  for (int index = 0; index < 4; ++index) {
    SCOPED_TRACE(index);
    const std::vector<uint8_t> scene = Scene(kWidth, kHeight, index);
    // Key frames: the first, and one asked for off the encoder's rhythm.
    const bool askKey = index == 0 || index == 3;
    const Frame frame = Encode(*encoder, scene, kDefaultQuality, askKey);
    EXPECT_EQ(frame.key, askKey);
    EXPECT_GT(Psnr(kRgb, scene, Decode(*decoder, frame, kRgb)), 24);
  }
  // From I420 into RGB32.
  std::vector<uint8_t> planes(ImageSize(kI420));
  const std::vector<uint8_t> scene = Scene(kWidth, kHeight);
  ConvertPicture(kRgb, scene.data(), kI420, planes.data());
  auto fromI420 = codec->makeEncoder(kI420, 12);
  auto to32 = codec->makeDecoder(kWidth, kHeight, 24, PixelFormat::kRgb32);
  ASSERT_TRUE(fromI420 && to32);
  EXPECT_GT(Psnr(kRgb, scene, Narrowed(Decode(*to32, Encode(*fromI420, planes), kRgb32))), 23);
}

TEST(CodecTable, HostileFramesAreRefusedWithoutHarm) {
  const VideoCodec* mjpg = FindVideoCodec(kFourccMjpg);
  auto encoder = mjpg->makeEncoder(kRgb, 12);
  const Frame frame = Encode(*encoder, Scene(kWidth, kHeight));
  // A picture of another size than the stream's.
  auto small = mjpg->makeDecoder(32, 32, 24, PixelFormat::kRgb24);
  std::vector<uint8_t> out(ImageSize(kRgb));
  EXPECT_EQ(small->Decode(frame.bytes, out), CodecResult::kBadInput);
  auto decoder = mjpg->makeDecoder(kWidth, kHeight, 24, PixelFormat::kRgb24);
  EXPECT_EQ(decoder->Decode(std::span(frame.bytes).first(20), out), CodecResult::kBadInput);
  EXPECT_EQ(decoder->Decode({}, out), CodecResult::kBadInput);
  EXPECT_EQ(decoder->Decode(frame.bytes, std::span(out).first(out.size() - 1)),
            CodecResult::kNoRoom);
  size_t written = 0;
  bool key = false;
  std::vector<uint8_t> tiny(100);
  EXPECT_EQ(encoder->Encode(Scene(kWidth, kHeight), kDefaultQuality, true, tiny, &written, &key),
            CodecResult::kNoRoom);

  auto cinepak = FindVideoCodec(kFourccCvid)->makeDecoder(kWidth, kHeight, 24,
                                                           PixelFormat::kRgb24);
  EXPECT_NE(cinepak->Decode(frame.bytes, out), CodecResult::kOk);  // a JPEG is no Cinepak
  const std::vector<uint8_t> stub = {0, 0, 0, 10, 0, 64, 0, 48, 0, 1};
  EXPECT_NE(cinepak->Decode(stub, out), CodecResult::kOk);
  auto raw = FindVideoCodec(kFourccI420)->makeDecoder(kWidth, kHeight, 12, PixelFormat::kRgb24);
  EXPECT_EQ(raw->Decode(std::span(out).first(100), out), CodecResult::kBadInput);
  EXPECT_EQ(FindVideoCodec(kBiRgb)->makeDecoder(kWidth, kHeight, 16, PixelFormat::kRgb24),
            nullptr);
}

TEST(CodecTable, NoAllocationOfOursPerFrameAfterTheFirst) {
  const std::vector<uint8_t> scene = Scene(kWidth, kHeight);
  std::vector<uint8_t> out(ImageSize(kRgb));
  for (const uint32_t fourcc : {kFourccMjpg, kFourccCvid, kFourccI420}) {
    SCOPED_TRACE(FourccText(fourcc));
    const VideoCodec* codec = FindVideoCodec(fourcc);
    auto encoder = codec->makeEncoder(kRgb, 12);
    auto decoder = codec->makeDecoder(kWidth, kHeight, codec->compressedBitCount,
                                      PixelFormat::kRgb24);
    ASSERT_TRUE(encoder && decoder);
    std::vector<uint8_t> frame(encoder->MaxFrameSize());
    size_t written = 0;
    bool key = false;
    long before = 0;
    for (int index = 0; index < 3; ++index) {
      if (index == 1) before = ksv::testing::AllocationCount();
      ASSERT_EQ(encoder->Encode(scene, kDefaultQuality, index == 0, frame, &written, &key),
                CodecResult::kOk);
      ASSERT_EQ(decoder->Decode(std::span(frame).first(written), out), CodecResult::kOk);
    }
    EXPECT_EQ(ksv::testing::AllocationCount(), before);
  }
}

// What a 320 x 240 Motion JPEG frame costs, printed for the record (a
// Cinepak frame of that size takes 70 to 100 ms to encode, too long to
// spend here on every run).
TEST(CodecTable, AQvgaMotionJpegFrameRoundTrips) {
  const PictureFormat qvga{320, 240, PixelFormat::kRgb24};
  const std::vector<uint8_t> scene = Scene(320, 240);
  std::vector<uint8_t> out(ImageSize(qvga));
  for (const uint32_t fourcc : {kFourccMjpg}) {
    const VideoCodec* codec = FindVideoCodec(fourcc);
    auto encoder = codec->makeEncoder(qvga, 1);
    auto decoder = codec->makeDecoder(320, 240, 24, PixelFormat::kRgb24);
    ASSERT_TRUE(encoder && decoder);
    std::vector<uint8_t> frame(encoder->MaxFrameSize());
    size_t written = 0;
    bool key = false;
    std::fill(out.begin(), out.end(), 0);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(encoder->Encode(scene, kDefaultQuality, true, frame, &written, &key),
              CodecResult::kOk);
    const auto encoded = std::chrono::steady_clock::now();
    ASSERT_EQ(decoder->Decode(std::span(frame).first(written), out), CodecResult::kOk);
    const auto decoded = std::chrono::steady_clock::now();
    using Ms = std::chrono::duration<double, std::milli>;
    std::printf("%s 320x240: encode %.2f ms (%zu bytes), decode %.2f ms, PSNR %.1f dB\n",
                FourccText(fourcc).c_str(), Ms(encoded - start).count(), written,
                Ms(decoded - encoded).count(), Psnr(qvga, scene, out));
    EXPECT_GT(Psnr(qvga, scene, out), 24);
  }
}

}  // namespace
}  // namespace ksv::media::codecs
