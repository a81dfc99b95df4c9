// The writer's header block: RIFF "AVI " and hdrl (avih, a strl per stream
// with its reserved super index, odml) and JUNK up to a round offset, then
// the movi list's header. For the same streams it always has the same size,
// so the block written at the start is later rewritten in place.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/media/avi/avi_file.h"

namespace ksv::media::avi::layout {

struct SuperIndexEntry {
  uint64_t offset = 0;    // of the ix## chunk
  uint32_t size = 0;      // of the ix## chunk, its header included
  uint32_t duration = 0;  // samples its chunks hold
};

struct StreamLayout {
  const StreamHeader* header = nullptr;
  const std::vector<uint8_t>* format = nullptr;
  const std::string* name = nullptr;
  uint32_t chunkId = 0;
  std::span<const SuperIndexEntry> superIndex;
  uint32_t superIndexSlots = 0;
};

struct HeaderLayout {
  MainHeader main;
  std::vector<StreamLayout> streams;
  uint32_t totalFrames = 0;  // dmlh: over all parts
  uint32_t riffSize = 0;     // of the first part
  uint32_t moviSize = 0;     // of the first part's movi list
};

// The movi list's first chunk starts at a multiple of this.
inline constexpr size_t kHeaderAlignment = 512;

// The bytes from the start of the file through the movi list's "movi".
std::vector<uint8_t> BuildHeaders(const HeaderLayout& layout);

}  // namespace ksv::media::avi::layout
