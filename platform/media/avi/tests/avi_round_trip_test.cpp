// Files the writer makes, read back by the reader: the same stream headers,
// formats byte for byte, and every chunk's size, contents and key flag, in
// plain files and in OpenDML files of several RIFF parts.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/media/avi/avi_reader.h"
#include "platform/media/avi/avi_writer.h"
#include "platform/media/avi/tests/avi_test_support.h"
#include "support/byte_order.h"
#include "testing/allocation_counter.h"

namespace ksv::media::avi {
namespace {

using test::MemorySink;
using MemorySource = MemoryByteSource;

struct Chunk {
  uint32_t stream;
  std::vector<uint8_t> data;
  bool key;
};

struct Content {
  std::vector<StreamHeader> headers;
  std::vector<std::vector<uint8_t>> formats;
  std::vector<std::string> names;
  std::vector<Chunk> chunks;
};

std::vector<uint8_t> Bytes(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  std::mt19937 random(seed);
  for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

// Video frames of varying (odd and even, and empty) sizes, a key frame
// every 5, interleaved with audio chunks when there is a second stream.
Content MakeContent(std::vector<uint8_t> audioFormat, int frames, size_t frameSize) {
  Content content;
  content.headers.push_back(test::VideoHeader(Fourcc("MJPG"), 25));
  content.formats.push_back(test::BitmapInfo(64, 48, Fourcc("MJPG")));
  content.names.push_back("video");
  if (!audioFormat.empty()) {
    content.headers.push_back(test::AudioHeader(audioFormat));
    content.formats.push_back(std::move(audioFormat));
    content.names.push_back("");
  }
  for (int i = 0; i < frames; ++i) {
    const size_t size = i == 3 ? 0 : frameSize + static_cast<size_t>(i % 7);
    content.chunks.push_back({0, Bytes(size, static_cast<uint32_t>(i)), i % 5 == 0});
    if (content.headers.size() > 1) {
      const size_t block = content.headers[1].sampleSize * 8;
      content.chunks.push_back({1, Bytes(block, 1000u + static_cast<uint32_t>(i)), false});
    }
  }
  return content;
}

std::vector<uint8_t> Write(const Content& content, WriterOptions options) {
  MemorySink sink;
  Writer writer(sink, options);
  for (size_t i = 0; i < content.headers.size(); ++i) {
    EXPECT_EQ(writer.AddStream(content.headers[i], content.formats[i], content.names[i]), i);
  }
  MainHeader main;
  main.width = 64;
  main.height = 48;
  EXPECT_TRUE(writer.Begin(main));
  for (const auto& chunk : content.chunks) {
    EXPECT_TRUE(writer.WriteChunk(chunk.stream, chunk.data.data(), chunk.data.size(), chunk.key));
  }
  EXPECT_TRUE(writer.Finish());
  EXPECT_FALSE(writer.Failed());
  EXPECT_EQ(writer.Size(), sink.bytes.size());
  return sink.bytes;
}

void ExpectSameContent(const Content& content, const std::vector<uint8_t>& bytes,
                       const File& file) {
  ASSERT_EQ(file.streams.size(), content.headers.size());
  EXPECT_FALSE(file.truncated);
  std::vector<size_t> next(content.headers.size(), 0);
  std::vector<uint64_t> streamBytes(content.headers.size(), 0);
  for (const auto& chunk : content.chunks) {
    const auto& index = file.streams[chunk.stream].index;
    const size_t at = next[chunk.stream]++;
    ASSERT_LT(at, index.size());
    ASSERT_EQ(index[at].size, chunk.data.size());
    EXPECT_TRUE(std::equal(chunk.data.begin(), chunk.data.end(),
                           bytes.begin() + static_cast<long>(index[at].offset)));
    const bool audio = content.headers[chunk.stream].type == kStreamAudio;
    EXPECT_EQ(index[at].keyFrame, chunk.key || audio)
        << "chunk " << at << " of stream " << chunk.stream;
    streamBytes[chunk.stream] += chunk.data.size();
  }
  for (size_t s = 0; s < content.headers.size(); ++s) {
    const Stream& stream = file.streams[s];
    EXPECT_EQ(stream.index.size(), next[s]);
    EXPECT_EQ(stream.format, content.formats[s]);
    EXPECT_EQ(stream.name, content.names[s]);
    const StreamHeader& want = content.headers[s];
    EXPECT_EQ(stream.header.type, want.type);
    EXPECT_EQ(stream.header.handler, want.handler);
    EXPECT_EQ(stream.header.scale, want.scale);
    EXPECT_EQ(stream.header.rate, want.rate);
    EXPECT_EQ(stream.header.sampleSize, want.sampleSize);
    const uint64_t length = want.sampleSize == 0 ? next[s] : streamBytes[s] / want.sampleSize;
    EXPECT_EQ(stream.header.length, length);
    uint32_t largest = 0;
    for (const auto& entry : stream.index) largest = std::max(largest, entry.size);
    EXPECT_EQ(stream.header.suggestedBufferSize, largest);
  }
  EXPECT_EQ(file.main.streams, content.headers.size());
  EXPECT_EQ(file.totalFrames, next[0]);
}

struct RoundTripCase {
  const char* name;
  std::vector<uint8_t> audio;
  bool legacyIndex;
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, ReadsBackWhatWasWritten) {
  const Content content = MakeContent(GetParam().audio, 40, 1001);
  WriterOptions options;
  options.legacyIndex = GetParam().legacyIndex;
  const auto bytes = Write(content, options);
  MemorySource source(bytes);
  const File file = ReadAvi(source);
  EXPECT_EQ(file.indexSource, IndexSource::kOpenDml);
  ExpectSameContent(content, bytes, file);
  EXPECT_EQ(file.main.totalFrames, 40u);
  EXPECT_EQ(file.main.width, 64u);
  EXPECT_EQ(file.main.flags & AVIF_HASINDEX, GetParam().legacyIndex ? AVIF_HASINDEX : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, RoundTrip,
    ::testing::Values(RoundTripCase{"VideoOnly", {}, true},
                      RoundTripCase{"VideoOnlyNoIdx1", {}, false},
                      RoundTripCase{"VideoAndPcm", test::PcmFormat(2, 44100), true},
                      RoundTripCase{"VideoAndPcmNoIdx1", test::PcmFormat(2, 44100), false},
                      RoundTripCase{"VideoAndImaAdpcm", test::ImaAdpcmFormat(1, 22050), true}),
    [](const auto& param) { return std::string(param.param.name); });

// "indx" turned into "JUNK" (same size) in the headers: no super index is left.
void HideSuperIndexes(std::vector<uint8_t>& bytes) {
  const auto movi =
      std::search(bytes.begin(), bytes.end(), std::begin("movi"), std::end("movi") - 1);
  for (auto at = bytes.begin(); at + 4 <= movi; ++at) {
    if (std::equal(at, at + 4, "indx")) std::copy_n("JUNK", 4, at);
  }
}

// Each index on its own: with the OpenDML indexes made unreadable the reader
// takes idx1, without idx1 too it scans; both give the same chunks (the scan
// cannot tell key frames and calls every non-empty video chunk one).
TEST(RoundTrip, LegacyIndexAndScanFindTheSameChunks) {
  Content content = MakeContent(test::PcmFormat(1, 8000), 30, 501);
  for (auto& chunk : content.chunks) chunk.key = chunk.stream == 0 && !chunk.data.empty();
  auto bytes = Write(content, {});
  HideSuperIndexes(bytes);
  {
    MemorySource source(bytes);
    const File file = ReadAvi(source);
    EXPECT_EQ(file.indexSource, IndexSource::kLegacy);
    ExpectSameContent(content, bytes, file);
  }
  // And idx1 gone too.
  const auto idx1 =
      std::search(bytes.begin(), bytes.end(), std::begin("idx1"), std::end("idx1") - 1);
  ASSERT_NE(idx1, bytes.end());
  std::memcpy(&*idx1, "JUNK", 4);
  MemorySource source(bytes);
  const File file = ReadAvi(source);
  EXPECT_EQ(file.indexSource, IndexSource::kScan);
  ExpectSameContent(content, bytes, file);
}

// idx1 entries with offsets from the start of the file, as some writers
// store them, are recognised by where the first one lands.
TEST(RoundTrip, LegacyIndexWithFileOffsets) {
  const Content content = MakeContent({}, 12, 300);
  auto bytes = Write(content, {});
  HideSuperIndexes(bytes);
  const auto movi =
      std::search(bytes.begin(), bytes.end(), std::begin("movi"), std::end("movi") - 1);
  const auto moviAt = static_cast<uint32_t>(movi - bytes.begin());
  const auto idx1 = static_cast<size_t>(
      std::search(bytes.begin(), bytes.end(), std::begin("idx1"), std::end("idx1") - 1) -
      bytes.begin());
  const uint32_t entries = support::LoadLe32(bytes, idx1 + 4) / 16;
  for (uint32_t e = 0; e < entries; ++e) {
    const size_t at = idx1 + 8 + e * 16 + 8;
    support::StoreLe32(bytes, at, support::LoadLe32(bytes, at) + moviAt);
  }
  MemorySource source(bytes);
  const File file = ReadAvi(source);
  EXPECT_EQ(file.indexSource, IndexSource::kLegacy);
  ExpectSameContent(content, bytes, file);
}

TEST(RoundTrip, OpenDmlPartsPastTheLimit) {
  // Chunks small against the limit, so that a part's indexes, written when
  // it closes, matter to where the part must end.
  const Content content = MakeContent(test::PcmFormat(2, 48000), 400, 1500);
  WriterOptions options;
  options.partLimit = 64 * 1024;
  const auto bytes = Write(content, options);
  // Count the RIFF parts and check that each stays within the limit.
  size_t parts = 0;
  for (uint64_t at = 0; at + 12 <= bytes.size();) {
    ASSERT_EQ(0, std::memcmp(&bytes[at], "RIFF", 4)) << "at " << at;
    EXPECT_EQ(0, std::memcmp(&bytes[at + 8], parts == 0 ? "AVI " : "AVIX", 4));
    const uint64_t size = support::LoadLe32(bytes, at + 4);
    EXPECT_LE(size + 8, options.partLimit);
    at += 8 + size;
    ++parts;
    if (at == bytes.size()) break;
  }
  EXPECT_GE(parts, 8u);
  MemorySource source(bytes);
  const File file = ReadAvi(source);
  EXPECT_EQ(file.indexSource, IndexSource::kOpenDml);
  ExpectSameContent(content, bytes, file);
  EXPECT_LT(file.main.totalFrames, 400u);  // the first part's frames only
  EXPECT_EQ(file.totalFrames, 400u);
}

TEST(Writer, UncompressedVideoIsStoredAsDbChunks) {
  MemorySink sink;
  Writer writer(sink);
  writer.AddStream(test::VideoHeader(0, 10), test::BitmapInfo(4, 2, 0));
  ASSERT_TRUE(writer.Begin({}));
  const std::vector<uint8_t> frame(24, 7);
  ASSERT_TRUE(writer.WriteChunk(0, frame.data(), frame.size(), true));
  ASSERT_TRUE(writer.Finish());
  MemorySource source(sink.bytes);
  const File file = ReadAvi(source);
  ASSERT_EQ(file.streams[0].index.size(), 1u);
  EXPECT_EQ(0, std::memcmp(&sink.bytes[file.streams[0].index[0].offset - 8], "00db", 4));
  EXPECT_EQ(file.main.microSecPerFrame, 100000u);
}

TEST(Writer, ChunksGatheredFromPiecesAreWrittenWhole) {
  MemorySink sink;
  Writer writer(sink);
  writer.AddStream(test::VideoHeader(Fourcc("MJPG"), 10), test::BitmapInfo(4, 2, Fourcc("MJPG")));
  ASSERT_TRUE(writer.Begin({}));
  const uint8_t a[] = {1, 2, 3}, b[] = {4, 5};
  const ByteRange pieces[] = {{a, 3}, {b, 2}};
  ASSERT_TRUE(writer.WriteChunk(0, pieces, 2, true));
  ASSERT_TRUE(writer.Finish());
  MemorySource source(sink.bytes);
  const File file = ReadAvi(source);
  ASSERT_EQ(file.streams[0].index.size(), 1u);
  const auto& entry = file.streams[0].index[0];
  EXPECT_EQ(std::vector<uint8_t>(sink.bytes.begin() + static_cast<long>(entry.offset),
                                 sink.bytes.begin() + static_cast<long>(entry.offset + entry.size)),
            (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(sink.bytes[entry.offset + 5], 0);  // the pad byte
}

// A sink that fails makes the writer fail for good; calls in the wrong
// order are refused.
TEST(Writer, FailuresAreFinal) {
  MemorySink sink;
  sink.writesBeforeFailure = 3;
  Writer writer(sink);
  const uint8_t data[10] = {};
  EXPECT_FALSE(writer.WriteChunk(0, data, sizeof data, true));  // before Begin
  writer.AddStream(test::VideoHeader(Fourcc("MJPG"), 10), test::BitmapInfo(4, 2, Fourcc("MJPG")));
  ASSERT_TRUE(writer.Begin({}));
  EXPECT_FALSE(writer.WriteChunk(1, data, sizeof data, true));  // no such stream
  EXPECT_FALSE(writer.Failed());
  EXPECT_TRUE(writer.WriteChunk(0, data, sizeof data, true));
  EXPECT_TRUE(writer.WriteChunk(0, data, sizeof data, true));
  EXPECT_FALSE(writer.WriteChunk(0, data, sizeof data, true));
  EXPECT_TRUE(writer.Failed());
  sink.writesBeforeFailure = -1;
  EXPECT_FALSE(writer.WriteChunk(0, data, sizeof data, true));
  EXPECT_FALSE(writer.Finish());
}

// With one super index slot, the writer cannot start a second part: it
// fails rather than write a part nothing points to.
TEST(Writer, RefusesMorePartsThanTheSuperIndexHolds) {
  MemorySink sink;
  WriterOptions options;
  options.partLimit = 64 * 1024;
  options.superIndexEntries = 1;
  Writer writer(sink, options);
  writer.AddStream(test::VideoHeader(Fourcc("MJPG"), 10), test::BitmapInfo(4, 2, Fourcc("MJPG")));
  ASSERT_TRUE(writer.Begin({}));
  const std::vector<uint8_t> frame(20000, 1);
  int written = 0;
  while (written < 10 && writer.WriteChunk(0, frame.data(), frame.size(), true)) ++written;
  EXPECT_EQ(written, 3);
  EXPECT_TRUE(writer.Failed());
}

// Per chunk the writer allocates nothing but the growth of its index
// tables, which doubles: a few allocations for thousands of chunks.
TEST(Writer, ChunksCostOnlyAmortisedIndexGrowth) {
  MemorySink sink;
  Writer writer(sink);
  writer.AddStream(test::VideoHeader(Fourcc("MJPG"), 10), test::BitmapInfo(4, 2, Fourcc("MJPG")));
  writer.AddStream(test::AudioHeader(test::PcmFormat(1, 8000)), test::PcmFormat(1, 8000));
  ASSERT_TRUE(writer.Begin({}));
  sink.bytes.reserve(8 << 20);
  const uint8_t data[101] = {};
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(writer.WriteChunk(i % 2, data, sizeof data, true));
  const long before = testing::AllocationCount();
  for (int i = 0; i < 4000; ++i) ASSERT_TRUE(writer.WriteChunk(i % 2, data, sizeof data, true));
  EXPECT_LE(testing::AllocationCount() - before, 20);
}

TEST(Samples, FirstSamplesAndTimes) {
  Stream video;
  video.header = test::VideoHeader(Fourcc("MJPG"), 25);
  video.header.start = 2;
  video.index = {{0, 10, true}, {0, 0, false}, {0, 7, false}};
  EXPECT_EQ(FirstSamples(video), (std::vector<uint64_t>{2, 3, 4}));
  Stream audio;
  audio.header = test::AudioHeader(test::PcmFormat(2, 44100));  // 4-byte samples
  audio.index = {{0, 400, true}, {0, 402, true}, {0, 8, true}};
  EXPECT_EQ(FirstSamples(audio), (std::vector<uint64_t>{0, 100, 200}));

  EXPECT_EQ(SampleTime(video.header, 25), 10'000'000);
  StreamHeader ntsc = video.header;
  ntsc.scale = 1001;
  ntsc.rate = 30000;
  EXPECT_EQ(SampleTime(ntsc, 30000), 10'010'000'000);
  // No overflow where sample * scale * 10^7 passes 64 bits.
  StreamHeader slow = video.header;
  slow.scale = 0xFFFFFFFF;
  slow.rate = 0xFFFFFFFF;
  EXPECT_EQ(SampleTime(slow, uint64_t{1} << 36), int64_t{10'000'000} << 36);
  EXPECT_EQ(SampleTime(slow, UINT64_MAX), INT64_MAX);
}

}  // namespace
}  // namespace ksv::media::avi
