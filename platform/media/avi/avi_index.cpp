#include "platform/media/avi/avi_index.h"

#include <algorithm>

#include "platform/media/avi/avi_headers.h"
#include "support/byte_order.h"

namespace ksv::media::avi::index {

using support::LoadLe16;
using support::LoadLe32;
using support::LoadLe64;

namespace {

// Indexes are read this many entries at a time: a lying count costs no
// memory beyond what the file holds.
constexpr size_t kEntriesPerRead = 4096;
constexpr int kMaximumDepth = 8;

bool Fits(uint64_t fileSize, uint64_t offset, uint64_t size) {
  return offset <= fileSize && size <= fileSize - offset;
}

void ClearIndexes(std::vector<Stream>& streams) {
  for (auto& stream : streams) stream.index.clear();
}

// A standard index (ix##) at `bytes` (header and entries) appended to `stream`.
bool AppendStandardIndex(ByteSource& source, uint64_t fileSize, uint64_t entriesOffset,
                         std::span<const uint8_t> header, uint64_t entriesBytes, Stream& stream) {
  const uint16_t longsPerEntry = LoadLe16(header, 0);
  if (header[3] != layout::kIndexOfChunks || longsPerEntry < 2) return false;
  const uint64_t entrySize = uint64_t{longsPerEntry} * 4;
  const uint64_t count = std::min<uint64_t>(LoadLe32(header, 4), entriesBytes / entrySize);
  const uint64_t base = LoadLe64(header, 12);
  std::vector<uint8_t> block;
  for (uint64_t first = 0; first < count; first += kEntriesPerRead) {
    const uint64_t n = std::min<uint64_t>(kEntriesPerRead, count - first);
    block.resize(static_cast<size_t>(n * entrySize));
    if (!source.ReadAt(entriesOffset + first * entrySize, block.data(), block.size())) return false;
    for (uint64_t i = 0; i < n; ++i) {
      const size_t at = static_cast<size_t>(i * entrySize);
      const uint64_t offset = base + LoadLe32(block, at);
      const uint32_t sizeField = LoadLe32(block, at + 4);
      const uint32_t size = sizeField & ~layout::kNotKeyFrame;
      if (base > fileSize || !Fits(fileSize, offset, size)) continue;  // past the end
      const bool key = stream.IsAudio() || (sizeField & layout::kNotKeyFrame) == 0;
      stream.index.push_back({offset, size, key});
    }
  }
  return true;
}

bool ReadIndexChunk(ByteSource& source, uint64_t fileSize, uint64_t offset, Stream& stream) {
  uint8_t header[8 + layout::kIndexHeaderSize];
  if (!Fits(fileSize, offset, sizeof header) || !source.ReadAt(offset, header, sizeof header)) {
    return false;
  }
  const uint64_t declared = LoadLe32(header, 4);
  if (declared < layout::kIndexHeaderSize) return false;
  const uint64_t dataOffset = offset + 8;
  const uint64_t size = std::min(declared, fileSize - dataOffset);
  return AppendStandardIndex(source, fileSize, dataOffset + layout::kIndexHeaderSize,
                             std::span<const uint8_t>(header + 8, layout::kIndexHeaderSize),
                             size - layout::kIndexHeaderSize, stream);
}

bool ReadSuperIndex(ByteSource& source, uint64_t fileSize, std::span<const uint8_t> indx,
                    Stream& stream) {
  if (indx.size() < layout::kIndexHeaderSize) return false;
  // A standard index kept in the header itself (rare) is not read here:
  // idx1 or the scan finds the same chunks.
  if (indx[3] != layout::kIndexOfIndexes || LoadLe16(indx, 0) != 4) return false;
  const size_t count = std::min<size_t>(
      LoadLe32(indx, 4), (indx.size() - layout::kIndexHeaderSize) / layout::kSuperIndexEntrySize);
  for (size_t i = 0; i < count; ++i) {
    const size_t at = layout::kIndexHeaderSize + i * layout::kSuperIndexEntrySize;
    if (!ReadIndexChunk(source, fileSize, LoadLe64(indx, at), stream)) return false;
  }
  return true;
}

}  // namespace

bool ReadOpenDml(ByteSource& source, uint64_t fileSize,
                 const std::vector<std::vector<uint8_t>>& superIndexes,
                 std::vector<Stream>& streams) {
  // Every stream needs one: a stream without would look empty.
  for (size_t i = 0; i < streams.size(); ++i) {
    if (i >= superIndexes.size() || superIndexes[i].empty() ||
        !ReadSuperIndex(source, fileSize, superIndexes[i], streams[i])) {
      ClearIndexes(streams);
      return false;
    }
  }
  return !streams.empty();
}

bool ReadLegacy(ByteSource& source, uint64_t fileSize, const riff::Chunk& idx1,
                const MovieList& firstMovie, std::vector<Stream>& streams) {
  const uint64_t count = idx1.size / layout::kLegacyIndexEntrySize;
  if (count == 0) return false;
  std::vector<uint8_t> block;
  // Offsets usually count from "movi"; some writers give file offsets. The
  // first entry tells: which one lands on a chunk with the entry's id?
  uint64_t base = firstMovie.typeOffset;
  bool baseKnown = false;
  size_t accepted = 0;
  for (uint64_t first = 0; first < count; first += kEntriesPerRead) {
    const uint64_t n = std::min<uint64_t>(kEntriesPerRead, count - first);
    block.resize(static_cast<size_t>(n * layout::kLegacyIndexEntrySize));
    if (!source.ReadAt(idx1.dataOffset + first * layout::kLegacyIndexEntrySize, block.data(),
                       block.size())) {
      break;
    }
    for (uint64_t e = 0; e < n; ++e) {
      const size_t at = static_cast<size_t>(e * layout::kLegacyIndexEntrySize);
      const uint32_t id = LoadLe32(block, at);
      const uint32_t flags = LoadLe32(block, at + 4);
      const uint64_t offset = LoadLe32(block, at + 8);
      const uint32_t size = LoadLe32(block, at + 12);
      const int stream = riff::StreamOfChunkId(id);
      if ((flags & AVIIF_LIST) != 0 || stream < 0 ||
          static_cast<size_t>(stream) >= streams.size()) {
        continue;
      }
      if (!baseKnown) {
        baseKnown = true;
        uint8_t found[4];
        const auto idAt = [&](uint64_t position) {
          return Fits(fileSize, position, 4) && source.ReadAt(position, found, 4) &&
                 LoadLe32(found, 0) == id;
        };
        if (!idAt(base + offset) && idAt(offset)) base = 0;
      }
      const uint64_t dataOffset = base + offset + 8;
      if (!Fits(fileSize, dataOffset, size)) continue;  // past the end
      Stream& target = streams[static_cast<size_t>(stream)];
      target.index.push_back({dataOffset, size, target.IsAudio() || (flags & AVIIF_KEYFRAME) != 0});
      ++accepted;
    }
  }
  if (accepted == 0) ClearIndexes(streams);
  return accepted != 0;
}

namespace {

bool IsStreamData(uint16_t code) {
  return code == kVideoCompressed || code == kVideoUncompressed || code == kAudioData ||
         code == ('t' | 'x' << 8);
}

void ScanList(ByteSource& source, uint64_t fileSize, const riff::Chunk& list, int depth,
              std::vector<Stream>& streams, bool& truncated) {
  riff::ChunkWalker walker(source, list);
  riff::Chunk chunk;
  while (walker.Next(chunk)) {
    if (chunk.cut) {
      // Ends past its list: cut off by the end of the file, or broken; either
      // way its data is not all there.
      if (walker.End() >= fileSize) truncated = true;
      break;
    }
    if (chunk.IsList(layout::kRecordList)) {
      if (depth < kMaximumDepth) ScanList(source, fileSize, chunk, depth + 1, streams, truncated);
      continue;
    }
    const int stream = riff::StreamOfChunkId(chunk.id);
    if (stream < 0 || static_cast<size_t>(stream) >= streams.size() ||
        !IsStreamData(riff::ChunkCode(chunk.id))) {
      continue;  // JUNK, ix##, palette changes, other lists
    }
    Stream& target = streams[static_cast<size_t>(stream)];
    // Without an index no flag tells key frames; every whole chunk with data
    // is taken for one.
    target.index.push_back(
        {chunk.dataOffset, static_cast<uint32_t>(chunk.size), target.IsAudio() || chunk.size != 0});
  }
  if (walker.Ragged() && walker.End() >= fileSize) truncated = true;
}

}  // namespace

void Scan(ByteSource& source, uint64_t fileSize, const std::vector<MovieList>& movies,
          std::vector<Stream>& streams, bool& truncated) {
  ClearIndexes(streams);
  for (const auto& movie : movies) ScanList(source, fileSize, movie.chunk, 0, streams, truncated);
}

}  // namespace ksv::media::avi::index
