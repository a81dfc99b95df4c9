// How the Wave Parser cuts a file's sound into samples and times them, per
// kind of format.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/media/filters/wave_parser/wave_plan.h"

namespace ksv::media::filters {
namespace {

void Put16(std::vector<uint8_t>& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value & 0xFF));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& bytes, uint32_t value) {
  Put16(bytes, static_cast<uint16_t>(value & 0xFFFF));
  Put16(bytes, static_cast<uint16_t>(value >> 16));
}

avi::WavFile Wav(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t bytesPerSecond,
                 uint16_t align, uint16_t bits, uint64_t dataSize,
                 std::vector<uint8_t> extra = {}) {
  avi::WavFile file;
  Put16(file.format, tag);
  Put16(file.format, channels);
  Put32(file.format, rate);
  Put32(file.format, bytesPerSecond);
  Put16(file.format, align);
  Put16(file.format, bits);
  Put16(file.format, static_cast<uint16_t>(extra.size()));
  file.format.insert(file.format.end(), extra.begin(), extra.end());
  file.dataOffset = 44;
  file.dataSize = dataSize;
  return file;
}

// The packets' sizes, and that they follow one another in the file and in time.
std::vector<uint32_t> SizesOf(const WavePackets& plan, uint64_t firstOffset) {
  std::vector<uint32_t> sizes;
  uint64_t offset = firstOffset;
  REFERENCE_TIME time = 0;
  uint32_t largest = 0;
  for (size_t i = 0; i < plan.Count(); ++i) {
    const PullPacket packet = plan.At(i);
    largest = std::max(largest, packet.size);
    EXPECT_EQ(packet.offset, offset);
    EXPECT_EQ(packet.start, time);
    EXPECT_GT(packet.stop, packet.start);
    EXPECT_TRUE(packet.syncPoint);
    offset += packet.size;
    time = packet.stop;
    sizes.push_back(packet.size);
  }
  EXPECT_EQ(plan.Duration(), time);
  EXPECT_EQ(plan.Largest(), largest);
  return sizes;
}

TEST(WavePlan, PcmComesInHalfSecondsAndKeepsItsShortEnd) {
  // 16-bit stereo at 44.1 kHz: 176,400 bytes a second.
  const WavePackets plan = WavePackets(Wav(1, 2, 44100, 176400, 4, 16, 176400 + 1000));
  EXPECT_EQ(SizesOf(plan, 44), (std::vector<uint32_t>{88200, 88200, 1000}));
  EXPECT_EQ(plan.At(1).start, 5'000'000);
  EXPECT_EQ(plan.At(2).start, 10'000'000);
  EXPECT_EQ(plan.Duration(), 10'000'000 + 250 * 10'000'000LL / 44100);

  // An odd rate that does not halve into whole frames: rounded down.
  const WavePackets odd = WavePackets(Wav(1, 1, 11025, 22050, 2, 16, 30000));
  EXPECT_EQ(odd.At(0).size, 11024u);
  EXPECT_EQ(odd.At(0).stop, 5512 * 10'000'000LL / 11025);
}

TEST(WavePlan, G711IsTimedByItsBytesAsEightBitFrames) {
  for (const uint16_t tag : {uint16_t{6}, uint16_t{7}}) {
    const WavePackets plan = WavePackets(Wav(tag, 1, 8000, 8000, 1, 8, 10'401));
    EXPECT_EQ(SizesOf(plan, 44), (std::vector<uint32_t>{4000, 4000, 2401})) << tag;
    EXPECT_EQ(plan.Duration(), 10'401 * 10'000'000LL / 8000) << tag;
  }
}

TEST(WavePlan, ImaAdpcmIsTimedByWholeBlocksAndDropsAPartialOne) {
  std::vector<uint8_t> samplesPerBlock;
  Put16(samplesPerBlock, 2041);
  // Mono at 22,050 Hz in 1,024-byte blocks (11,100 bytes a second): five
  // blocks make about half a second.
  const WavePackets plan = WavePackets(
      Wav(0x11, 1, 22050, 11100, 1024, 4, 12 * 1024 + 100, samplesPerBlock));
  EXPECT_EQ(SizesOf(plan, 44), (std::vector<uint32_t>{5120, 5120, 2048}));
  EXPECT_EQ(plan.At(1).start, 5 * 2041 * 10'000'000LL / 22050);
  EXPECT_EQ(plan.Duration(), 12 * 2041 * 10'000'000LL / 22050);
}

TEST(WavePlan, OtherFormatsGoByTheirByteRateInWholeBlocks) {
  // GSM 6.10: 65-byte blocks, 1,625 bytes a second.
  const WavePackets plan = WavePackets(Wav(0x31, 1, 8000, 1625, 65, 0, 2000));
  EXPECT_EQ(SizesOf(plan, 44), (std::vector<uint32_t>{780, 780, 390}));
  EXPECT_EQ(plan.Duration(), 1950 * 10'000'000LL / 1625);

  // Less than one block: nothing to deliver.
  EXPECT_EQ(WavePackets(Wav(0x31, 1, 8000, 1625, 65, 0, 64)).Count(), 0u);
}

TEST(WavePlan, HostileRatesKeepPacketsBoundedAndTimesFromWrapping) {
  // A byte rate of 4 GB a second: packets stay within what a buffer holds.
  const WavePackets huge(Wav(1, 2, 0xFFFFFFFF, 0xFFFFFFFF, 4, 16, 64 << 20));
  EXPECT_EQ(huge.Count(), 4u);
  EXPECT_EQ(huge.Largest(), 16u << 20);
  // One byte a second over 4 GB: four billion one-byte packets, worked out
  // when asked for, with times that grow and never wrap.
  const WavePackets slow(Wav(0x31, 1, 1, 1, 1, 8, 0xFFFFFFFFull));
  ASSERT_EQ(slow.Count(), 0xFFFFFFFFull);
  EXPECT_EQ(slow.At(slow.Count() - 1).start, (0xFFFFFFFFll - 1) * 10'000'000);
  EXPECT_EQ(slow.Duration(), 0xFFFFFFFFll * 10'000'000);
}

}  // namespace
}  // namespace ksv::media::filters
