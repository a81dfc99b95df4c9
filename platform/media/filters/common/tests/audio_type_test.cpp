// The media type the parsers make of a stored WAVEFORMATEX.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/media/filters/common/audio_type.h"

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

// A WAVEFORMAT (16 bytes), without cbSize.
std::vector<uint8_t> WaveFormat(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t align,
                                uint16_t bits) {
  std::vector<uint8_t> bytes;
  Put16(bytes, tag);
  Put16(bytes, channels);
  Put32(bytes, rate);
  Put32(bytes, rate * align);
  Put16(bytes, align);
  Put16(bytes, bits);
  return bytes;
}

const WAVEFORMATEX* Wave(const CMediaType& type) {
  return reinterpret_cast<const WAVEFORMATEX*>(type.Format());
}

TEST(AudioMediaType, PcmWaveFormatGrowsToAWaveFormatEx) {
  const std::vector<uint8_t> stored = WaveFormat(1, 2, 44100, 4, 16);
  CMediaType type;
  ASSERT_TRUE(AudioMediaType(stored, &type));
  EXPECT_EQ(*type.Type(), MEDIATYPE_Audio);
  EXPECT_EQ(*type.Subtype(), MEDIASUBTYPE_PCM);
  EXPECT_EQ(*type.FormatType(), FORMAT_WaveFormatEx);
  ASSERT_EQ(type.FormatLength(), 18u);
  EXPECT_EQ(std::memcmp(type.Format(), stored.data(), 16), 0);
  EXPECT_EQ(Wave(type)->cbSize, 0);
  EXPECT_EQ(Wave(type)->nSamplesPerSec, 44100u);
  EXPECT_TRUE(type.IsFixedSize());
  EXPECT_EQ(type.GetSampleSize(), 4u);
  EXPECT_FALSE(type.IsTemporalCompressed());
}

TEST(AudioMediaType, CompressedFormatsKeepTheirExtraBytesAndNameTheirTag) {
  // IMA ADPCM: cbSize 2, samples per block 1017.
  std::vector<uint8_t> stored = WaveFormat(0x11, 1, 22050, 512, 4);
  Put16(stored, 2);
  Put16(stored, 1017);
  CMediaType type;
  ASSERT_TRUE(AudioMediaType(stored, &type));
  EXPECT_EQ(*type.Subtype(), FourccSubtype(0x11));
  ASSERT_EQ(type.FormatLength(), stored.size());
  EXPECT_EQ(std::memcmp(type.Format(), stored.data(), stored.size()), 0);
  EXPECT_EQ(type.GetSampleSize(), 512u);

  // A cbSize that claims more than the file stored is cut to what is there.
  std::vector<uint8_t> lying = WaveFormat(0x11, 1, 22050, 512, 4);
  Put16(lying, 40);
  Put16(lying, 1017);
  ASSERT_TRUE(AudioMediaType(lying, &type));
  EXPECT_EQ(type.FormatLength(), 20u);
  EXPECT_EQ(Wave(type)->cbSize, 2);
}

TEST(AudioMediaType, ExtensibleFormatsTakeTheirSubFormat) {
  std::vector<uint8_t> stored = WaveFormat(0xFFFE, 2, 48000, 8, 32);
  Put16(stored, 22);
  Put16(stored, 32);          // valid bits
  Put32(stored, 0x3);         // channel mask
  Put32(stored, 0x00000003);  // SubFormat: IEEE float, as a GUID stored little-endian
  Put16(stored, 0x0000);
  Put16(stored, 0x0010);
  const uint8_t tail[] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  stored.insert(stored.end(), tail, tail + 8);
  CMediaType type;
  ASSERT_TRUE(AudioMediaType(stored, &type));
  EXPECT_EQ(*type.Subtype(), MEDIASUBTYPE_IEEE_FLOAT);
  EXPECT_EQ(type.FormatLength(), 40u);

  // Too short to hold its SubFormat: the tag's own subtype.
  stored.resize(30);
  stored[16] = 12;
  ASSERT_TRUE(AudioMediaType(stored, &type));
  EXPECT_EQ(*type.Subtype(), FourccSubtype(0xFFFE));
}

TEST(AudioMediaType, RefusesLessThanAWaveFormat) {
  std::vector<uint8_t> stored = WaveFormat(1, 1, 8000, 1, 8);
  stored.resize(15);
  CMediaType type;
  EXPECT_FALSE(AudioMediaType(stored, &type));
}

}  // namespace
}  // namespace ksv::media::filters
