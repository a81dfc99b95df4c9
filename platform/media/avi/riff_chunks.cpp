#include "platform/media/avi/riff_chunks.h"

#include <algorithm>

#include "support/byte_order.h"

namespace ksv::media::avi::riff {

using support::LoadLe32;

bool ChunkWalker::Next(Chunk& chunk) {
  if (position_ >= end_) return false;
  uint8_t header[12];
  if (end_ - position_ < 8 || !source_.ReadAt(position_, header, 8)) {
    ragged_ = true;
    position_ = end_;
    return false;
  }
  chunk = Chunk{};
  chunk.id = LoadLe32(header, 0);
  chunk.headerOffset = position_;
  uint64_t declared = LoadLe32(header, 4);
  chunk.dataOffset = position_ + 8;
  if (chunk.id == kRiff || chunk.id == kList) {
    if (declared >= 4 && end_ - chunk.dataOffset >= 4 &&
        source_.ReadAt(chunk.dataOffset, header + 8, 4)) {
      chunk.listType = LoadLe32(header, 8);
      chunk.dataOffset += 4;
      declared -= 4;
    }  // else a list without room for its type: an unknown chunk
  }
  const uint64_t room = end_ - std::min(end_, chunk.dataOffset);
  chunk.size = std::min(declared, room);
  chunk.cut = declared > room;
  if (chunk.cut) ragged_ = true;
  // The pad byte after odd data may be missing at the end of the parent.
  const uint64_t next = chunk.dataOffset + chunk.size + (chunk.cut ? 0 : (declared & 1));
  position_ = std::min(std::max(next, position_ + 8), end_);
  return true;
}

std::vector<uint8_t> ReadData(ByteSource& source, const Chunk& chunk, size_t limit) {
  std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(chunk.size, limit)));
  if (!bytes.empty() && !source.ReadAt(chunk.dataOffset, bytes.data(), bytes.size())) bytes.clear();
  return bytes;
}

namespace {

int TwoDigits(uint8_t tens, uint8_t ones) {
  if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return -1;
  return (tens - '0') * 10 + (ones - '0');
}

}  // namespace

int StreamOfChunkId(uint32_t id) {
  return TwoDigits(static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8));
}

int StreamOfIndexId(uint32_t id) {
  if ((id & 0xFFFF) != ('i' | 'x' << 8)) return -1;
  return TwoDigits(static_cast<uint8_t>(id >> 16), static_cast<uint8_t>(id >> 24));
}

}  // namespace ksv::media::avi::riff
