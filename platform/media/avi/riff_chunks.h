// Walking the chunks of a RIFF file within bounds: each chunk ends at its
// parent's end whatever size it claims, and every step moves forward by at
// least a chunk header, so no size (zero, odd, self-referencing, huge) can
// make a walk loop or reach outside its parent.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media/avi/avi_file.h"
#include "platform/media/avi/byte_io.h"

namespace ksv::media::avi::riff {

inline constexpr uint32_t kRiff = Fourcc("RIFF");
inline constexpr uint32_t kList = Fourcc("LIST");
inline constexpr uint32_t kJunk = Fourcc("JUNK");

struct Chunk {
  uint32_t id = 0;
  uint32_t listType = 0;      // of a RIFF or LIST chunk, else 0
  uint64_t headerOffset = 0;  // where the chunk's id lies
  uint64_t dataOffset = 0;    // past the header (and a list's type)
  uint64_t size = 0;          // data bytes there are, at most the parent's
  bool cut = false;           // it claims more than its parent holds

  bool IsList(uint32_t type) const { return (id == kList || id == kRiff) && listType == type; }
  uint64_t End() const { return dataOffset + size; }
};

class ChunkWalker {
 public:
  // The chunks that start in [begin, end) of `source`.
  ChunkWalker(ByteSource& source, uint64_t begin, uint64_t end)
      : source_(source), position_(begin), end_(end) {}
  explicit ChunkWalker(ByteSource& source, const Chunk& parent)
      : ChunkWalker(source, parent.dataOffset, parent.End()) {}

  // The next chunk; false at the end (or when a header cannot be read).
  bool Next(Chunk& chunk);
  // The walk ended inside a chunk, or with bytes too few for a header.
  bool Ragged() const { return ragged_; }
  uint64_t End() const { return end_; }

 private:
  ByteSource& source_;
  uint64_t position_;
  uint64_t end_;
  bool ragged_ = false;
};

// A chunk's data, at most `limit` bytes of it; empty when it cannot be read.
std::vector<uint8_t> ReadData(ByteSource& source, const Chunk& chunk, size_t limit);

// The stream number of a chunk id such as "01wb" or "ix01"; -1 when its two
// characters are not digits.
int StreamOfChunkId(uint32_t id);
int StreamOfIndexId(uint32_t id);
// The two characters that follow the stream number ("wb", "dc", ...).
inline uint16_t ChunkCode(uint32_t id) { return static_cast<uint16_t>(id >> 16); }

}  // namespace ksv::media::avi::riff
