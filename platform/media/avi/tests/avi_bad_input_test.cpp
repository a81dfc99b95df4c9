// Damaged and hostile AVI files: the reader refuses with a FormatError or
// gives an index whose every entry lies inside the file; it never crashes,
// loops or reads outside (these tests also run under AddressSanitizer).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "platform/media/avi/avi_reader.h"
#include "platform/media/avi/avi_writer.h"
#include "platform/media/avi/tests/avi_test_support.h"
#include "support/byte_order.h"

namespace ksv::media::avi {
namespace {

using support::LoadLe32;
using support::StoreLe32;
using test::MemorySink;
using MemorySource = MemoryByteSource;

constexpr int kFrames = 20;
constexpr size_t kFrameSize = 999;

std::vector<uint8_t> ValidFile(bool withAudio, WriterOptions options = {}) {
  MemorySink sink;
  Writer writer(sink, options);
  writer.AddStream(test::VideoHeader(Fourcc("MJPG"), 25), test::BitmapInfo(32, 32, Fourcc("MJPG")));
  if (withAudio) {
    const auto format = test::PcmFormat(1, 8000);
    writer.AddStream(test::AudioHeader(format), format);
  }
  EXPECT_TRUE(writer.Begin({}));
  for (int i = 0; i < kFrames; ++i) {
    const std::vector<uint8_t> frame(kFrameSize, static_cast<uint8_t>(i));
    EXPECT_TRUE(writer.WriteChunk(0, frame.data(), frame.size(), i == 0));
    if (withAudio) {
      EXPECT_TRUE(writer.WriteChunk(1, frame.data(), 320, true));
    }
  }
  EXPECT_TRUE(writer.Finish());
  return sink.bytes;
}

size_t Find(const std::vector<uint8_t>& bytes, const char* fourcc, size_t from = 0) {
  for (size_t at = from; at + 4 <= bytes.size(); ++at) {
    if (std::memcmp(&bytes[at], fourcc, 4) == 0) return at;
  }
  ADD_FAILURE() << fourcc << " not found";
  return 0;
}

void Rename(std::vector<uint8_t>& bytes, const char* from, const char* to) {
  const size_t movi = Find(bytes, "movi");
  for (size_t at = 0; at + 4 <= movi; ++at) {
    if (std::memcmp(&bytes[at], from, 4) == 0) std::memcpy(&bytes[at], to, 4);
  }
}

// Reads; when the reader accepts the file, every index entry lies inside it.
// Returns whether it was accepted.
bool ReadsSanely(const std::vector<uint8_t>& bytes, File* out = nullptr) {
  MemorySource source(bytes);
  try {
    File file = ReadAvi(source);
    for (const auto& stream : file.streams) {
      for (const auto& entry : stream.index) {
        EXPECT_LE(entry.offset + entry.size, bytes.size());
      }
    }
    if (out != nullptr) *out = std::move(file);
    return true;
  } catch (const FormatError&) {
    return false;
  }
}

std::string FormatErrorOf(const std::vector<uint8_t>& bytes) {
  MemorySource source(bytes);
  try {
    ReadAvi(source);
  } catch (const FormatError& error) {
    return error.what();
  }
  return "(accepted)";
}

// A file that ends inside a chunk keeps the chunks before it, from a scan
// (its indexes, written at the end, are gone).
TEST(BadAvi, TruncatedInsideTheMovieList) {
  const auto whole = ValidFile(false);
  File complete;
  ASSERT_TRUE(ReadsSanely(whole, &complete));
  const auto& entries = complete.streams[0].index;
  const std::vector<uint8_t> cut(whole.begin(),
                                 whole.begin() + static_cast<long>(entries[10].offset + 100));
  File file;
  ASSERT_TRUE(ReadsSanely(cut, &file));
  EXPECT_TRUE(file.truncated);
  EXPECT_EQ(file.indexSource, IndexSource::kScan);
  ASSERT_EQ(file.streams[0].index.size(), 10u);
  for (size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(file.streams[0].index[i].offset, entries[i].offset);
    EXPECT_EQ(file.streams[0].index[i].size, kFrameSize);
  }
  // Cut inside a chunk header too.
  const std::vector<uint8_t> header(whole.begin(),
                                    whole.begin() + static_cast<long>(entries[5].offset - 4));
  ASSERT_TRUE(ReadsSanely(header, &file));
  EXPECT_TRUE(file.truncated);
  EXPECT_EQ(file.streams[0].index.size(), 5u);
}

// An OpenDML file cut in a later part: the parts' indexes no longer all
// exist, and the scan finds every whole chunk in every part.
TEST(BadAvi, TruncatedInALaterPart) {
  WriterOptions options;
  options.partLimit = 8 * 1024;
  const auto whole = ValidFile(true, options);
  const size_t cutAt = whole.size() - 3000;
  const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(cutAt));
  File complete, file;
  ASSERT_TRUE(ReadsSanely(whole, &complete));
  ASSERT_TRUE(ReadsSanely(cut, &file));
  EXPECT_TRUE(file.truncated);
  EXPECT_EQ(file.indexSource, IndexSource::kScan);
  size_t wholeBefore = 0;
  for (const auto& entry : complete.streams[0].index)
    wholeBefore += entry.offset + entry.size <= cutAt;
  EXPECT_EQ(file.streams[0].index.size(), wholeBefore);
  EXPECT_GT(wholeBefore, 5u);
}

TEST(BadAvi, ListSizesThatLie) {
  const auto valid = ValidFile(true);
  for (const char* list : {"hdrl", "strl", "movi", "odml"}) {
    for (uint32_t size : {0u, 1u, 3u, 4u, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
      auto bytes = valid;
      StoreLe32(bytes, Find(bytes, list) - 4, size);
      SCOPED_TRACE(std::string(list) + " of " + std::to_string(size));
      ReadsSanely(bytes);
    }
  }
  // The movi list claiming more than the file: the chunks are all still found.
  auto bytes = valid;
  StoreLe32(bytes, Find(bytes, "movi") - 4, 0xFFFFFFF0u);
  StoreLe32(bytes, 4, 0xFFFFFFF0u);
  File file;
  ASSERT_TRUE(ReadsSanely(bytes, &file));
  EXPECT_EQ(file.streams[0].index.size(), size_t{kFrames});
}

TEST(BadAvi, IndexEntriesPastTheEndAreDropped) {
  auto bytes = ValidFile(false);
  Rename(bytes, "indx", "JUNK");
  const size_t idx1 = Find(bytes, "idx1");
  StoreLe32(bytes, idx1 + 8 + 2 * 16 + 8, 0xFFFFFF00u);   // entry 2's offset
  StoreLe32(bytes, idx1 + 8 + 3 * 16 + 12, 0x7FFFFFFFu);  // entry 3's size
  File file;
  ASSERT_TRUE(ReadsSanely(bytes, &file));
  EXPECT_EQ(file.indexSource, IndexSource::kLegacy);
  EXPECT_EQ(file.streams[0].index.size(), size_t{kFrames - 2});
  // All of them past the end: the index is of no use and the scan takes over.
  for (int e = 0; e < kFrames; ++e) StoreLe32(bytes, idx1 + 8 + size_t(e) * 16 + 8, 0xFFFFFF00u);
  ASSERT_TRUE(ReadsSanely(bytes, &file));
  EXPECT_EQ(file.indexSource, IndexSource::kScan);
  EXPECT_EQ(file.streams[0].index.size(), size_t{kFrames});
}

// OpenDML indexes with lying counts, offsets and types cost no memory or
// reads beyond the file and fall back to another index.
TEST(BadAvi, OpenDmlIndexesThatLie) {
  const auto valid = ValidFile(false);
  const size_t indx = Find(valid, "indx") + 8;
  const size_t ix = Find(valid, "ix00", Find(valid, "movi")) + 8;
  struct Patch {
    size_t at;
    uint32_t value;
  };
  for (const Patch patch :
       {Patch{indx + 4, 0xFFFFFFFF}, Patch{indx + 24, 0xFFFFFF00}, Patch{indx, 0x01000004},
        Patch{ix + 4, 0xFFFFFFFF}, Patch{ix + 12, 0xFFFFFF00}, Patch{ix - 4, 0xFFFFFFFF},
        Patch{ix - 4, 3}, Patch{ix, 0x01000001}}) {
    auto bytes = valid;
    StoreLe32(bytes, patch.at, patch.value);
    SCOPED_TRACE(patch.at);
    File file;
    ASSERT_TRUE(ReadsSanely(bytes, &file));
    EXPECT_LE(file.streams[0].index.size(), size_t{kFrames});
  }
}

TEST(BadAvi, HeadersThatCannotBeRead) {
  const auto valid = ValidFile(true);
  const size_t strh = Find(valid, "strh") + 8;
  auto bytes = valid;
  StoreLe32(bytes, strh + 24, 0);  // rate
  EXPECT_NE(FormatErrorOf(bytes).find("zero rate"), std::string::npos);
  bytes = valid;
  StoreLe32(bytes, strh + 20, 0);  // scale
  EXPECT_NE(FormatErrorOf(bytes).find("zero rate or scale"), std::string::npos);
  bytes = valid;
  StoreLe32(bytes, Find(bytes, "strf") + 4, 20);
  EXPECT_NE(FormatErrorOf(bytes).find("BITMAPINFOHEADER"), std::string::npos);
  bytes = valid;
  StoreLe32(bytes, Find(bytes, "strf", Find(bytes, "strf") + 4) + 4, 14);  // PCM needs 16
  EXPECT_NE(FormatErrorOf(bytes).find("WAVEFORMAT"), std::string::npos);
  bytes = valid;
  std::memcpy(&bytes[Find(bytes, "hdrl")], "hdrX", 4);
  EXPECT_NE(FormatErrorOf(bytes).find("without headers"), std::string::npos);
  bytes = valid;
  StoreLe32(bytes, Find(bytes, "avih") + 4, 20);
  EXPECT_NE(FormatErrorOf(bytes).find("avih"), std::string::npos);
  bytes = valid;
  Rename(bytes, "strl", "strX");
  EXPECT_NE(FormatErrorOf(bytes).find("without streams"), std::string::npos);
  EXPECT_NE(FormatErrorOf({'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}).find("not an AVI"),
            std::string::npos);
  EXPECT_NE(FormatErrorOf({}).find("not an AVI"), std::string::npos);
}

// Older files end the stream header before rcFrame; the main header's
// stream count is not believed over the streams there are.
TEST(BadAvi, ShortStreamHeaderAndWrongStreamCount) {
  auto bytes = ValidFile(true);
  StoreLe32(bytes, Find(bytes, "strh") + 4, 48);  // rcFrame (zeros) becomes an empty chunk
  StoreLe32(bytes, Find(bytes, "avih") + 8 + 24, 7);
  File file;
  ASSERT_TRUE(ReadsSanely(bytes, &file));
  EXPECT_EQ(file.main.streams, 2u);
  ASSERT_EQ(file.streams.size(), 2u);
  EXPECT_EQ(file.streams[0].header.rate, 25u);
  EXPECT_EQ(file.streams[0].index.size(), size_t{kFrames});
}

// Random damage to a valid file, and random bytes behind a valid start.
TEST(BadAvi, RandomDamageNeverCrashes) {
  const auto valid = ValidFile(true);
  std::mt19937 random(17);
  for (int round = 0; round < 400; ++round) {
    auto bytes = valid;
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int f = 0; f < flips; ++f) {
      // Mostly the headers and index tables, where sizes and counts live.
      const size_t at = random() % 2 == 0 ? random() % 2048 : random() % bytes.size();
      bytes[at] = static_cast<uint8_t>(random());
    }
    if (round % 5 == 0) bytes.resize(random() % bytes.size());
    ReadsSanely(bytes);
  }
  for (int round = 0; round < 100; ++round) {
    std::vector<uint8_t> bytes(12 + random() % 600);
    for (auto& byte : bytes)
      byte = static_cast<uint8_t>(random() % 4 == 0 ? random() : "LISTstrh"[random() % 8]);
    std::memcpy(bytes.data(),
                "RIFF\xff\xff\xff\x7f"
                "AVI ",
                12);
    ReadsSanely(bytes);
  }
}

}  // namespace
}  // namespace ksv::media::avi
