// Writes an AVI file: RIFF "AVI " with hdrl (avih, one strl per stream with
// strh, strf, strn when named, and a reserved OpenDML super index), odml,
// JUNK padding, a movi list, and an idx1 when asked; past the part limit
// (1 GB) further RIFF "AVIX" parts follow, each with its own movi list. Each
// part ends with a standard index (ix##) per stream that the super indexes
// point to. Headers are written first with room for what is only known at
// the end and written again by Finish.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/avi/avi_file.h"
#include "platform/media/avi/byte_io.h"

namespace ksv::media::avi {

struct WriterOptions {
  bool legacyIndex = true;                    // idx1 in the first RIFF part
  uint64_t partLimit = uint64_t{1} << 30;     // bytes a RIFF part may reach
  uint32_t superIndexEntries = 256;           // ix## chunks a stream may have
};

class Writer {
 public:
  Writer(ByteSink& sink, WriterOptions options = {});
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Streams are declared before Begin; returns the stream's number. The
  // header's length and suggested buffer size are counted by the writer.
  uint32_t AddStream(const StreamHeader& header, std::vector<uint8_t> format,
                     std::string name = {});
  // Writes the headers with room to spare. `main` gives the frame period
  // and picture size; the writer counts frames, streams, flags and sizes.
  bool Begin(const MainHeader& main);
  // Appends one chunk of `stream`: its data gathered from `pieces` (none
  // for an empty chunk, as a dropped video frame is written).
  bool WriteChunk(uint32_t stream, const ByteRange* pieces, size_t count, bool keyFrame);
  bool WriteChunk(uint32_t stream, const void* data, size_t size, bool keyFrame) {
    const ByteRange piece{data, size};
    return WriteChunk(stream, &piece, size != 0 ? 1 : 0, keyFrame);
  }
  // Writes the last indexes and the final headers; no chunk may follow.
  // A chunk of 2 GB or more, or a stream needing more super index entries
  // than reserved, is refused (false) and the file stays consistent.
  bool Finish();

  uint64_t Size() const { return end_; }
  bool Failed() const { return failed_; }

 private:
  struct StreamState;
  struct LegacyEntry {
    uint32_t id, flags, offset, size;
  };

  bool Write(uint64_t offset, const ByteRange* pieces, size_t count);
  bool WriteBytes(uint64_t offset, const std::vector<uint8_t>& bytes);
  // What closing the current part would still add, with one more chunk of
  // `stream` in it.
  uint64_t PendingIndexBytes(uint32_t stream) const;
  bool ClosePart();
  bool OpenPart();
  bool WriteHeaders();
  MainHeader FinalMainHeader() const;
  const StreamState& TimingStream() const;

  ByteSink& sink_;
  WriterOptions options_;
  std::vector<std::unique_ptr<StreamState>> streams_;
  MainHeader main_;
  bool begun_ = false;
  bool finished_ = false;
  uint32_t part_ = 0;
  uint64_t partStart_ = 0;  // the part's RIFF header
  uint64_t moviList_ = 0;   // the part's movi LIST header
  uint64_t chunksInPart_ = 0;
  uint32_t firstRiffSize_ = 0;
  uint32_t firstMoviSize_ = 0;
  std::vector<LegacyEntry> legacy_;  // the first part's chunks, for idx1
  std::vector<ByteRange> pieces_;    // reused for each chunk
  std::vector<uint8_t> buffer_;      // reused for each index
  uint64_t end_ = 0;
  bool failed_ = false;
};

}  // namespace ksv::media::avi
