#include "platform/media/avi/avi_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "platform/media/avi/avi_headers.h"
#include "platform/media/avi/avi_index.h"
#include "platform/media/avi/riff_chunks.h"
#include "support/byte_order.h"

namespace ksv::media::avi {

namespace {

using riff::Chunk;
using riff::ChunkWalker;

// Header chunks are small; these bound what a lying size can make us read.
constexpr size_t kFormatLimit = 1 << 20;
constexpr size_t kNameLimit = 4096;
constexpr size_t kSuperIndexLimit = 1 << 20;
// Two digits name a stream in a chunk id.
constexpr size_t kMaximumStreams = 100;

struct Parse {
  ByteSource& source;
  uint64_t fileSize;
  File file;
  bool haveHeaders = false;
  bool haveMain = false;
  std::vector<std::vector<uint8_t>> superIndexes;
  std::vector<index::MovieList> movies;
  Chunk idx1;
  bool haveIdx1 = false;
  size_t parts = 0;

  void NoteCut(const ChunkWalker& walker) {
    if (walker.Ragged() && walker.End() >= fileSize) file.truncated = true;
  }
};

void ReadStreamList(Parse& parse, const Chunk& list) {
  Stream stream;
  std::vector<uint8_t> superIndex;
  bool haveHeader = false, haveFormat = false;
  ChunkWalker walker(parse.source, list);
  Chunk chunk;
  while (walker.Next(chunk)) {
    if (chunk.id == layout::kStreamHeaderId && !haveHeader) {
      const auto bytes = riff::ReadData(parse.source, chunk, layout::kStreamHeaderSize);
      if (bytes.size() < layout::kStreamHeaderMinimum) {
        throw FormatError("a stream header (strh) of " + std::to_string(chunk.size) + " bytes");
      }
      stream.header = layout::DecodeStreamHeader(bytes);
      haveHeader = true;
    } else if (chunk.id == layout::kStreamFormatId && !haveFormat) {
      stream.format = riff::ReadData(parse.source, chunk, kFormatLimit);
      haveFormat = true;
    } else if (chunk.id == layout::kStreamNameId) {
      const auto bytes = riff::ReadData(parse.source, chunk, kNameLimit);
      stream.name.assign(bytes.begin(), std::find(bytes.begin(), bytes.end(), uint8_t{0}));
    } else if (chunk.id == layout::kSuperIndexId) {
      superIndex = riff::ReadData(parse.source, chunk, kSuperIndexLimit);
    }
  }
  parse.NoteCut(walker);
  if (!haveHeader) throw FormatError("a stream list without a stream header (strh)");
  const auto& header = stream.header;
  if (header.rate == 0 || header.scale == 0) {
    throw FormatError("stream " + std::to_string(parse.file.streams.size()) +
                      " has a zero rate or scale");
  }
  if (stream.IsVideo() && stream.format.size() < layout::kBitmapInfoHeaderSize) {
    throw FormatError("a video format (strf) shorter than a BITMAPINFOHEADER");
  }
  if (stream.IsAudio()) {
    const bool pcm =
        stream.format.size() >= 2 && support::LoadLe16(stream.format, 0) == layout::kWaveFormatPcm;
    const size_t minimum = pcm ? layout::kPcmWaveFormatSize : layout::kWaveFormatSize;
    if (stream.format.size() < minimum) {
      throw FormatError("an audio format (strf) shorter than a WAVEFORMAT");
    }
  }
  if (parse.file.streams.size() >= kMaximumStreams) return;  // no chunk id could name it
  parse.file.streams.push_back(std::move(stream));
  parse.superIndexes.push_back(std::move(superIndex));
}

void ReadOpenDmlList(Parse& parse, const Chunk& list) {
  ChunkWalker walker(parse.source, list);
  Chunk chunk;
  while (walker.Next(chunk)) {
    if (chunk.id != layout::kExtendedHeaderId) continue;
    const auto bytes = riff::ReadData(parse.source, chunk, 4);
    if (bytes.size() == 4) parse.file.totalFrames = support::LoadLe32(bytes, 0);
  }
}

void ReadHeaderList(Parse& parse, const Chunk& list) {
  parse.haveHeaders = true;
  ChunkWalker walker(parse.source, list);
  Chunk chunk;
  while (walker.Next(chunk)) {
    if (chunk.id == layout::kMainHeaderId && !parse.haveMain) {
      const auto bytes = riff::ReadData(parse.source, chunk, layout::kMainHeaderSize);
      if (bytes.size() < layout::kMainHeaderMinimum) {
        throw FormatError("a main header (avih) of " + std::to_string(chunk.size) + " bytes");
      }
      parse.file.main = layout::DecodeMainHeader(bytes);
      parse.haveMain = true;
    } else if (chunk.IsList(layout::kStreamList)) {
      ReadStreamList(parse, chunk);
    } else if (chunk.IsList(layout::kOpenDmlList)) {
      ReadOpenDmlList(parse, chunk);
    }
  }
  parse.NoteCut(walker);
}

// The chunks of one RIFF part: its headers (the first part) and movi lists.
void ReadPart(Parse& parse, const Chunk& part) {
  ChunkWalker walker(parse.source, part);
  Chunk chunk;
  while (walker.Next(chunk)) {
    if (chunk.IsList(layout::kHeaderList) && !parse.haveHeaders) {
      ReadHeaderList(parse, chunk);
    } else if (chunk.IsList(layout::kOpenDmlList)) {
      ReadOpenDmlList(parse, chunk);
    } else if (chunk.IsList(layout::kMovieList)) {
      parse.movies.push_back({chunk, chunk.dataOffset - 4});
    } else if (chunk.id == layout::kLegacyIndexId && parse.parts == 0 && !parse.haveIdx1) {
      parse.idx1 = chunk;
      parse.haveIdx1 = true;
    }
  }
  parse.NoteCut(walker);
}

void BuildIndex(Parse& parse) {
  auto& file = parse.file;
  if (index::ReadOpenDml(parse.source, parse.fileSize, parse.superIndexes, file.streams)) {
    file.indexSource = IndexSource::kOpenDml;
    return;
  }
  // idx1 covers the first part only: with more parts the scan finds more.
  if (parse.haveIdx1 && parse.parts == 1 && !parse.movies.empty() &&
      index::ReadLegacy(parse.source, parse.fileSize, parse.idx1, parse.movies.front(),
                        file.streams)) {
    file.indexSource = IndexSource::kLegacy;
    return;
  }
  index::Scan(parse.source, parse.fileSize, parse.movies, file.streams, file.truncated);
  file.indexSource = IndexSource::kScan;
}

}  // namespace

bool LooksLikeAvi(const uint8_t* bytes, size_t size) {
  return size >= 12 && std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "AVI ", 4) == 0;
}

File ReadAvi(ByteSource& source) {
  Parse parse{source, source.Size(), {}, false, false, {}, {}, {}, false, 0};
  uint8_t start[12];
  if (parse.fileSize < sizeof start || !source.ReadAt(0, start, sizeof start) ||
      !LooksLikeAvi(start, sizeof start)) {
    throw FormatError("not an AVI file (no RIFF \"AVI \" header)");
  }
  ChunkWalker top(source, 0, parse.fileSize);
  Chunk chunk;
  while (top.Next(chunk)) {
    const bool first = parse.parts == 0 && chunk.IsList(layout::kAvi);
    if (!first && !(parse.parts > 0 && chunk.IsList(layout::kAviExtension))) continue;
    ReadPart(parse, chunk);
    ++parse.parts;
  }
  parse.NoteCut(top);
  if (!parse.haveHeaders || !parse.haveMain)
    throw FormatError("an AVI file without headers (hdrl, avih)");
  if (parse.file.streams.empty()) throw FormatError("an AVI file without streams");
  // The streams found count, whatever the main header says.
  parse.file.main.streams = static_cast<uint32_t>(parse.file.streams.size());
  if (parse.file.totalFrames == 0) parse.file.totalFrames = parse.file.main.totalFrames;
  BuildIndex(parse);
  return std::move(parse.file);
}

std::vector<uint64_t> FirstSamples(const Stream& stream) {
  std::vector<uint64_t> samples;
  samples.reserve(stream.index.size());
  const uint64_t sampleSize = stream.header.sampleSize;
  uint64_t before = 0;  // chunks, or bytes
  for (const auto& entry : stream.index) {
    samples.push_back(stream.header.start + (sampleSize == 0 ? before : before / sampleSize));
    before += sampleSize == 0 ? 1 : entry.size;
  }
  return samples;
}

int64_t SampleTime(const StreamHeader& header, uint64_t sample) {
  if (header.rate == 0) return 0;
  // 64 bits times 32 times 24 bits: the product needs 120.
  __extension__ using Wide = unsigned __int128;
  const Wide time = static_cast<Wide>(sample) * header.scale * 10'000'000u / header.rate;
  constexpr auto kMaximum = static_cast<Wide>(std::numeric_limits<int64_t>::max());
  return static_cast<int64_t>(std::min(time, kMaximum));
}

}  // namespace ksv::media::avi
