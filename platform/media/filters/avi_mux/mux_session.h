// One file of the AVI Mux, from the first sample to the index: the streams
// (one per connected input, in pin order), the chunks as samples come, the
// empty chunks of dropped video frames, and, when interleaving fully, the
// samples held back until every stream has something to write. The filter
// serialises the calls; nothing here blocks waiting for a stream.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "platform/media/avi/avi_writer.h"
#include "platform/media/config_interfaces.h"
#include "platform/media/filters/avi_mux/stream_format.h"

namespace ksv::media::avimux {

// One sample as an input pin receives it.
struct SampleData {
  const uint8_t* data = nullptr;
  size_t size = 0;
  bool keyFrame = false;
  bool timed = false;  // start and stop are valid
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
};

struct SessionOptions {
  bool legacyIndex = false;
  InterleavingMode mode = INTERLEAVE_CAPTURE;
  // Bytes INTERLEAVE_FULL may hold back before it writes anyway.
  size_t holdLimit = size_t{64} << 20;
};

// Dropped video frames are filled with at most this many empty chunks at
// a time (a sample stamped far in the future cannot blow up the file).
inline constexpr uint32_t kMaxFilledFrames = 300;

class MuxSession {
 public:
  // `types` are the connected inputs' types (CheckStreamType accepted).
  MuxSession(avi::ByteSink& sink, std::vector<CMediaType> types, SessionOptions options);
  ~MuxSession();
  MuxSession(const MuxSession&) = delete;
  MuxSession& operator=(const MuxSession&) = delete;

  // False when the file could not be written (the session is then failed).
  bool Write(size_t stream, const SampleData& sample);
  // The stream sends nothing more; writes what may now be written.
  bool EndStream(size_t stream);
  bool AllEnded() const;
  // Writes what is held back, then the indexes and final headers.
  bool Finish();

  size_t streamCount() const { return streams_.size(); }
  // Chunks written for `stream` (filled frames included).
  uint64_t chunks(size_t stream) const { return streams_[stream].chunks; }

 private:
  struct Held {
    std::vector<uint8_t> bytes;
    bool keyFrame = false;
    bool timed = false;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME order = 0;  // where it falls among all streams
  };
  struct Stream {
    CMediaType type;
    StreamSetup setup;
    uint32_t number = 0;
    uint64_t chunks = 0;
    uint64_t audioBytes = 0;
    REFERENCE_TIME nextOrder = 0;  // for samples without times
    bool ended = false;
    std::deque<Held> held;
  };

  bool Begin(size_t firstStream, const SampleData& first);
  bool WriteChunk(Stream& stream, const uint8_t* data, size_t size, bool keyFrame, bool timed,
                  REFERENCE_TIME start);
  REFERENCE_TIME OrderOf(Stream& stream, const SampleData& sample);
  bool Hold(size_t stream, const SampleData& sample);
  // Writes held samples, earliest first, while every stream that has not
  // ended has one (or all of them when `all`, or past the hold limit).
  bool Release(bool all);

  avi::ByteSink& sink_;
  SessionOptions options_;
  std::vector<Stream> streams_;
  std::unique_ptr<avi::Writer> writer_;
  std::vector<std::vector<uint8_t>> spare_;  // buffers of written held samples
  size_t heldBytes_ = 0;
  bool begun_ = false;
  bool failed_ = false;
  bool finished_ = false;
};

}  // namespace ksv::media::avimux
