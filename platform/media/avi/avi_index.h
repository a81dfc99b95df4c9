// The three ways the reader finds a stream's chunks: the OpenDML indexes,
// idx1, and a scan of the movi lists. Each fills the streams' indexes or
// says it could not (and leaves them empty), so the reader can fall back.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media/avi/avi_file.h"
#include "platform/media/avi/byte_io.h"
#include "platform/media/avi/riff_chunks.h"

namespace ksv::media::avi::index {

// One movi list: `chunk` is the list (its data past the "movi" type).
struct MovieList {
  riff::Chunk chunk;
  uint64_t typeOffset = 0;  // where "movi" lies: what idx1 offsets count from
};

// `superIndexes[i]` is stream i's indx chunk data (empty when it has none).
// False when a stream has none, or one of the indexes it names is missing
// or broken.
bool ReadOpenDml(ByteSource& source, uint64_t fileSize,
                 const std::vector<std::vector<uint8_t>>& superIndexes,
                 std::vector<Stream>& streams);

// False when the idx1 chunk gives no chunk that lies in the file.
bool ReadLegacy(ByteSource& source, uint64_t fileSize, const riff::Chunk& idx1,
                const MovieList& firstMovie, std::vector<Stream>& streams);

// Every stream chunk of the movi lists, in file order; sets `truncated` when
// a list ends inside a chunk at the end of the file.
void Scan(ByteSource& source, uint64_t fileSize, const std::vector<MovieList>& movies,
          std::vector<Stream>& streams, bool& truncated);

}  // namespace ksv::media::avi::index
