// WAV headers written and read back, and damaged WAV files; the file byte
// source and sink underneath.
#include "platform/media/avi/wav_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <system_error>

#include "platform/media/avi/tests/avi_test_support.h"
#include "support/byte_order.h"
#include "testing/temp_files.h"

namespace ksv::media::avi {
namespace {

using support::LoadLe16;
using support::LoadLe32;
using support::StoreLe32;
using MemorySource = MemoryByteSource;

std::vector<uint8_t> WavOf(const std::vector<uint8_t>& format, size_t dataSize,
                           uint32_t samples = 0) {
  auto bytes = WavHeader(format, dataSize, samples);
  for (size_t i = 0; i < dataSize; ++i) bytes.push_back(static_cast<uint8_t>(i * 7));
  if (dataSize % 2 != 0) bytes.push_back(0);
  return bytes;
}

WavFile Read(const std::vector<uint8_t>& bytes) {
  MemorySource source(bytes);
  return ReadWav(source);
}

TEST(Wav, PcmHeaderIsTheClassicFortyFourBytes) {
  const auto format = test::PcmFormat(2, 44100);
  const auto bytes = WavOf(format, 1001);
  EXPECT_EQ(WavHeader(format, 1001, 0).size(), 44u);
  EXPECT_EQ(LoadLe32(bytes, 4), bytes.size() - 8);  // the pad byte counted
  EXPECT_EQ(LoadLe32(bytes, 16), 16u);
  const WavFile wav = Read(bytes);
  EXPECT_EQ(wav.format, format);  // 16 bytes grown to 18, cbSize 0
  EXPECT_EQ(wav.dataOffset, 44u);
  EXPECT_EQ(wav.dataSize, 1001u);
  EXPECT_EQ(wav.factSamples, 0u);
  EXPECT_FALSE(wav.truncated);
}

TEST(Wav, CompressedFormatKeepsItsExtraBytesAndSampleCount) {
  const auto format = test::ImaAdpcmFormat(1, 22050);
  const WavFile wav = Read(WavOf(format, 512, 1010));
  EXPECT_EQ(wav.format, format);
  EXPECT_EQ(wav.factSamples, 1010u);
  EXPECT_EQ(wav.dataSize, 512u);
  // Sizes past 32 bits are clamped, not wrapped.
  const auto huge = WavHeader(format, uint64_t{5} << 30, 1);
  EXPECT_EQ(LoadLe32(huge, 4), 0xFFFFFFFFu);
  EXPECT_EQ(LoadLe32(huge, huge.size() - 4), 0xFFFFFFFFu);
  EXPECT_THROW(WavHeader(std::vector<uint8_t>(14, 1), 0, 0), std::invalid_argument);
}

TEST(Wav, DataSizeThatLiesOrRunsToTheEnd) {
  auto bytes = WavOf(test::PcmFormat(1, 8000), 600);
  bytes.resize(bytes.size() - 100);
  WavFile wav = Read(bytes);
  EXPECT_TRUE(wav.truncated);
  EXPECT_EQ(wav.dataSize, 500u);
  // A stream writer's "unknown" size: everything to the end, not a fault.
  StoreLe32(bytes, 40, 0xFFFFFFFF);
  StoreLe32(bytes, 4, 0xFFFFFFFF);
  wav = Read(bytes);
  EXPECT_FALSE(wav.truncated);
  EXPECT_EQ(wav.dataSize, 500u);
}

// Chunks in another order, odd chunks that need their pad byte, a fmt whose
// cbSize claims more than it holds.
TEST(Wav, ChunkOrderPaddingAndShortExtras) {
  std::vector<uint8_t> bytes = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  const auto append = [&bytes](const char* id, std::vector<uint8_t> data) {
    bytes.insert(bytes.end(), id, id + 4);
    support::AppendLe32(bytes, static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    if (data.size() % 2 != 0) bytes.push_back(0);
  };
  append("LIST", {'a', 'b', 'c'});
  append("data", {1, 2, 3, 4, 5});
  auto format = test::ImaAdpcmFormat(2, 11025);
  support::StoreLe16(format, 16, 40);  // cbSize beyond the chunk
  append("fmt ", format);
  StoreLe32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
  const WavFile wav = Read(bytes);
  EXPECT_EQ(wav.dataOffset, 12u + 12 + 8);
  EXPECT_EQ(wav.dataSize, 5u);
  ASSERT_EQ(wav.format.size(), 20u);
  EXPECT_EQ(LoadLe16(wav.format, 16), 2u);
  EXPECT_EQ(LoadLe16(wav.format, 2), 2u);
}

TEST(Wav, FilesThatAreRefused) {
  const auto valid = WavOf(test::PcmFormat(2, 44100), 100);
  const auto refused = [](const std::vector<uint8_t>& bytes, const char* why) {
    MemorySource source(bytes);
    try {
      ReadWav(source);
      ADD_FAILURE() << "accepted; expected: " << why;
    } catch (const FormatError& error) {
      EXPECT_NE(std::string(error.what()).find(why), std::string::npos) << error.what();
    }
  };
  for (size_t field : {22u, 24u, 32u}) {  // channels, rate, block alignment
    auto bytes = valid;
    std::memset(&bytes[field], 0, field == 24 ? 4 : 2);
    refused(bytes, "zero");
  }
  auto bytes = valid;
  StoreLe32(bytes, 16, 14);
  refused(bytes, "fmt");
  bytes = valid;
  std::memcpy(&bytes[36], "dat_", 4);
  refused(bytes, "without data");
  bytes = valid;
  std::memcpy(&bytes[12], "fmX ", 4);
  refused(bytes, "without a format");
  refused({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}, "not a WAV");
  refused({}, "not a WAV");
  EXPECT_TRUE(LooksLikeWav(valid.data(), valid.size()));
  EXPECT_FALSE(LooksLikeWav(valid.data(), 11));
}

TEST(FileBytes, ManyPiecesWrittenAndReadBack) {
  testing::TempFolder folder;
  const std::string path = folder / "f.bin";
  std::vector<uint8_t> expected;
  {
    FileByteSink sink(path);
    std::vector<std::vector<uint8_t>> pieces;
    std::vector<ByteRange> ranges;
    for (int i = 0; i < 200; ++i)
      pieces.emplace_back(static_cast<size_t>(i % 5 == 0 ? 0 : i), uint8_t(i));
    for (const auto& piece : pieces) {
      ranges.push_back({piece.data(), piece.size()});
      expected.insert(expected.end(), piece.begin(), piece.end());
    }
    ASSERT_TRUE(sink.WriteAt(10, ranges.data(), ranges.size()));
    const uint8_t head[10] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    const ByteRange first{head, sizeof head};
    ASSERT_TRUE(sink.WriteAt(0, &first, 1));
    expected.insert(expected.begin(), head, head + 10);
  }
  FileByteSource source(path);
  ASSERT_EQ(source.Size(), expected.size());
  std::vector<uint8_t> read(expected.size());
  ASSERT_TRUE(source.ReadAt(0, read.data(), read.size()));
  EXPECT_EQ(read, expected);
  uint8_t byte;
  EXPECT_FALSE(source.ReadAt(expected.size(), &byte, 1));
  EXPECT_FALSE(source.ReadAt(expected.size() - 1, read.data(), 2));
  EXPECT_THROW(FileByteSource(folder / "missing"), std::system_error);
  EXPECT_THROW(FileByteSink(folder / "no" / "folder"), std::system_error);
}

TEST(FileBytes, AFullDeviceIsReported) {
  FileByteSink sink("/dev/full");
  const uint8_t data[16] = {};
  const ByteRange piece{data, sizeof data};
  EXPECT_FALSE(sink.WriteAt(0, &piece, 1));
  EXPECT_EQ(sink.LastError(), ENOSPC);
}

}  // namespace
}  // namespace ksv::media::avi
