// Inside the clip sample source: the state the preparation sets up and the
// sample functions walk, and the locks that let the two pins' threads use it
// at the same time.
//
// The preparation lock is held shared by every sample function and
// exclusively by preparation and release, so a clip never changes under a
// running call. Within it each stream has its own lock: the video side
// (its position, the decoder, the context's frame data) and the audio side
// (its position and buffers) never wait for each other, and the fields set
// at preparation are only read while streams run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <span>
#include <vector>

#include "camapi/camera_context.h"
#include "platform/media/formats.h"
#include "platform/media/sample_interfaces.h"

namespace ksv::camapi::clip {

inline constexpr size_t kChunkHeaderBytes = 16;
inline constexpr REFERENCE_TIME kSampleTime = 1000000;  // 100 ms in 100-ns units

// Where one chunk's video and sound lie in the clip; null when the chunk
// reaches past the clip's bytes.
struct Chunk {
  std::span<const uint8_t> video;
  std::span<const uint8_t> audio;
  size_t next = 0;  // where the following chunk starts
};
std::optional<Chunk> ReadChunk(std::span<const uint8_t> clip, size_t at);

// A stream's place in the clip: the chunk whose data comes next and its
// number (chunks past the header's count are not the clip's).
struct Position {
  bool valid = false;
  size_t chunk = 0;
  uint32_t number = 0;
};
// Moves past `chunk`.
void Advance(Position& position, const Chunk& chunk);

struct VideoSide {
  Position position;
  uint32_t count = 0;  // samples delivered
  bool firstSample = true;
};

struct AudioSide {
  Position position;
  uint32_t count = 0;
  std::vector<uint8_t> pcm;    // one second of PCM
  std::vector<uint8_t> adpcm;  // two seconds of ADPCM bytes
  size_t adpcmFill = 0;
};

struct SampleSource {
  bool prepared = false;
  CameraContext* context = nullptr;
  BulkContext* bulk = nullptr;
  std::span<const uint8_t> clip;  // header and chunks
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t chunkCount = 0;
  uint32_t syncFrames = 0;
  // The picture the video samples carry: the frame's own size, but 120 rows
  // of a 160 x 128 clip.
  uint32_t sampleHeight = 0;
  uint32_t rate = 0;
  uint32_t bits = 0;
  uint32_t bytesPerSecond = 0;
  WAVEFORMATEX waveFormat{};
  const char* outputPath = nullptr;
  VideoSide video;
  AudioSide audio;
};

// The chunk at `position` of the source's clip, null when it is past the
// clip's count or its bytes.
std::optional<Chunk> ChunkAt(const SampleSource& source, const Position& position);

// The one source of the process and its locks.
SampleSource& Source();
std::shared_mutex& PreparationLock();
std::mutex& VideoLock();
std::mutex& AudioLock();

// Copies `bytes` into the sample and sets its data length: E_FAIL when the
// sample is smaller or its buffer cannot be had.
HRESULT CopyIntoSample(IMediaSample* sample, std::span<const uint8_t> bytes);
// Stamps the n-th sample of a stream.
void StampSample(IMediaSample* sample, uint32_t n);

}  // namespace ksv::camapi::clip
