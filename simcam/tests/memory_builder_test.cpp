#include "simcam/memory_builder.h"

#include <gtest/gtest.h>

#include <cmath>

#include "simcam/framing.h"
#include "outside/bulk/memory/jpeg_file.h"
#include "simcam/tests/adpcm_reference.h"
#include "simcam/tests/libjpeg_oracle.h"
#include "simcam/tests/test_files.h"
#include "support/picture/picture_file.h"
#include "support/picture/psnr.h"

namespace ksv::simcam {

namespace bulk = outside::bulk;
namespace {

picture::RgbPicture Photo(std::string_view stem) {
  return picture::ReadPicture(testfiles::DataPath("photos/" + std::string(stem) + ".png"));
}

// The picture a frame's entropy data shows, decoded by libjpeg.
picture::RgbPicture Show(std::span<const uint8_t> entropy, const bulk::RecordingMode& mode) {
  return oracle::DecodeRgb(bulk::WrapAsJpeg(entropy, mode.tables, mode.width, mode.height),
                           oracle::DctMethod::kAccurate);
}

const bulk::RecordingMode kFrames{2, 160, 128, codec::ScaledAnnexKPair(80)};

TEST(MemoryBuilder, PictureIsThePhotographFittedAndCompressedWithTheModesTables) {
  const bulk::RecordingMode mode{0, 640, 480, codec::ScaledAnnexKPair(30)};
  const picture::RgbPicture photo = Photo("chelsea");
  const bulk::StoredItem item = MakePictureItem(photo, mode, bulk::kHighQualitySubtype);
  EXPECT_EQ(item.tag(), bulk::ItemTag::kPicture);
  EXPECT_EQ(item.header.subtype, bulk::kHighQualitySubtype);
  EXPECT_EQ(item.header.width, 640);
  EXPECT_EQ(item.header.height, 480);
  const picture::RgbPicture shown = Show(item.Content(), mode);
  ASSERT_EQ(shown.width, 640u);
  EXPECT_GT(picture::Psnr(shown.pixels, FitToSize(photo, 640, 480).pixels), 30.0);
  EXPECT_NO_THROW(bulk::CheckItem(item, &mode));
}

TEST(MemoryBuilder, AdpcmClipSharesWholeBlocksOutOverItsChunks) {
  const std::vector<picture::RgbPicture> scenes(15, FitToSize(Photo("coffee"), 160, 128));
  MonoAudio tone{16000, std::vector<int16_t>(16000 * 2)};  // longer than the clip
  for (size_t i = 0; i < tone.samples.size(); ++i) {
    tone.samples[i] = static_cast<int16_t>(8000 * std::sin(static_cast<double>(i) * 0.1));
  }
  const bulk::StoredItem item = MakeClipItem(scenes, kFrames, bulk::kClipSubtype, ClipSound::kAdpcm8000, tone);
  EXPECT_EQ(item.tag(), bulk::ItemTag::kClip);
  EXPECT_EQ(item.header.audioRate, 8000u);
  EXPECT_EQ(item.header.chunkCount, 15);
  std::vector<uint8_t> sound;
  for (const bulk::ClipChunk& chunk : bulk::ReadChunks(item)) {
    EXPECT_GE(chunk.audio.size(), 412u);  // 1.5 s is 23.4 blocks: 24 shared by 15
    EXPECT_LE(chunk.audio.size(), 413u);
    sound.insert(sound.end(), chunk.audio.begin(), chunk.audio.end());
    EXPECT_GT(picture::Psnr(Show(chunk.video, kFrames).pixels, scenes[0].pixels), 25.0);
  }
  ASSERT_EQ(sound.size(), 24u * 258u);
  // The decoded sound is the tone at 8,000 Hz for the clip's 1.5 s.
  const std::vector<int16_t> decoded = testing::DecodeAdpcm(sound);
  const MonoAudio expected = Resample(tone, 8000);
  double power = 0, noise = 0;
  for (size_t i = 0; i < 12000; ++i) {
    power += static_cast<double>(expected.samples[i]) * expected.samples[i];
    noise += std::pow(static_cast<double>(expected.samples[i]) - decoded[i], 2);
  }
  EXPECT_GT(10 * std::log10(power / noise), 15.0);
  EXPECT_NO_THROW(bulk::CheckItem(item, &kFrames));
}

TEST(MemoryBuilder, PcmClipCarries1200BytesAFrameAndPadsShortSound) {
  const std::vector<picture::RgbPicture> scenes(3, FitToSize(Photo("coffee"), 160, 128));
  const MonoAudio shortTone{12000, std::vector<int16_t>(1500, 12800)};  // 125 ms
  const bulk::StoredItem item =
      MakeClipItem(scenes, kFrames, bulk::kLowResClipSubtype, ClipSound::kPcm12000, shortTone);
  EXPECT_EQ(item.header.audioRate, 12000u);
  const std::vector<bulk::ClipChunk> chunks = bulk::ReadChunks(item);
  ASSERT_EQ(chunks.size(), 3u);
  for (const bulk::ClipChunk& chunk : chunks) EXPECT_EQ(chunk.audio.size(), 1200u);
  EXPECT_EQ(chunks[0].audio[0], 178);  // 12800 as unsigned 8-bit
  EXPECT_EQ(chunks[1].audio[299], 178);
  EXPECT_EQ(chunks[1].audio[300], 128);  // then silence
  EXPECT_EQ(chunks[2].audio[1199], 128);
}

TEST(MemoryBuilder, ClipWithoutSoundIsAVideoOnlyItem) {
  const std::vector<picture::RgbPicture> scenes(2, FitToSize(Photo("coffee"), 160, 128));
  const bulk::StoredItem item = MakeClipItem(scenes, kFrames, bulk::kLowResClipSubtype, ClipSound::kNone, {});
  EXPECT_EQ(item.tag(), bulk::ItemTag::kVideoClip);
  EXPECT_EQ(item.header.audioRate, 0u);
  for (const bulk::ClipChunk& chunk : bulk::ReadChunks(item)) EXPECT_TRUE(chunk.audio.empty());
  EXPECT_THROW(MakeClipItem({}, kFrames, bulk::kClipSubtype, ClipSound::kNone, {}), bulk::ItemError);
}

TEST(MemoryBuilder, BurstTakesExactlyFivePictures) {
  const std::vector<picture::RgbPicture> five(5, FitToSize(Photo("coffee"), 160, 128));
  const bulk::StoredItem burst = MakeBurstItem(five, kFrames);
  EXPECT_EQ(burst.tag(), bulk::ItemTag::kBurst);
  EXPECT_EQ(bulk::ReadChunks(burst).size(), 5u);
  EXPECT_THROW(MakeBurstItem(std::span(five).first(4), kFrames), bulk::ItemError);
}

TEST(MemoryBuilder, RecordingIsStoredSoThatRotatingItBackGivesTheFile) {
  // The download rotates each byte right by two bits: 0x01 becomes 0x40,
  // 0x80 becomes 0x20.
  EXPECT_EQ(StoredRawByte(0x40), 0x01);
  EXPECT_EQ(StoredRawByte(0x20), 0x80);
  const std::vector<uint8_t> file = {'R', 'I', 'F', 'F', 0x00, 0xFF, 0x5A};
  const bulk::StoredItem item = MakeRecordingItem(file, 4);
  EXPECT_EQ(item.tag(), bulk::ItemTag::kRecording);
  EXPECT_EQ(item.header.tableIndex, 4);
  std::vector<uint8_t> downloaded;
  for (uint8_t b : item.Content()) downloaded.push_back(static_cast<uint8_t>(b >> 2 | b << 6));
  EXPECT_EQ(downloaded, file);
}

}  // namespace
}  // namespace ksv::simcam
