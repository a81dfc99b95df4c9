// What an AVI file holds, as its reader finds it and its writer is told:
// the main header (avih), and per stream its header (strh), its format
// (strf: a BITMAPINFOHEADER or WAVEFORMATEX with what follows, kept byte
// for byte), its name (strn) and the index of its chunks. Field names follow
// the file format's own structures without their type prefixes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ksv::media::avi {

constexpr uint32_t Fourcc(const char (&code)[5]) {
  return uint32_t(uint8_t(code[0])) | uint32_t(uint8_t(code[1])) << 8 |
         uint32_t(uint8_t(code[2])) << 16 | uint32_t(uint8_t(code[3])) << 24;
}

inline constexpr uint32_t kStreamVideo = Fourcc("vids");
inline constexpr uint32_t kStreamAudio = Fourcc("auds");
inline constexpr uint32_t kStreamText = Fourcc("txts");

// avih flags.
inline constexpr uint32_t AVIF_HASINDEX = 0x10;
inline constexpr uint32_t AVIF_MUSTUSEINDEX = 0x20;
inline constexpr uint32_t AVIF_ISINTERLEAVED = 0x100;
inline constexpr uint32_t AVIF_TRUSTCKTYPE = 0x800;
// idx1 entry flags.
inline constexpr uint32_t AVIIF_LIST = 0x1;
inline constexpr uint32_t AVIIF_KEYFRAME = 0x10;

// avih: 56 bytes.
struct MainHeader {
  uint32_t microSecPerFrame = 0;
  uint32_t maxBytesPerSec = 0;
  uint32_t paddingGranularity = 0;
  uint32_t flags = 0;
  uint32_t totalFrames = 0;  // frames in the first RIFF part
  uint32_t initialFrames = 0;
  uint32_t streams = 0;
  uint32_t suggestedBufferSize = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

// strh: 56 bytes.
struct StreamHeader {
  uint32_t type = 0;     // kStreamVideo, kStreamAudio, ...
  uint32_t handler = 0;  // the codec's FOURCC
  uint32_t flags = 0;
  uint16_t priority = 0;
  uint16_t language = 0;
  uint32_t initialFrames = 0;
  uint32_t scale = 1;  // rate / scale = samples per second
  uint32_t rate = 0;
  uint32_t start = 0;   // in samples
  uint32_t length = 0;  // in samples
  uint32_t suggestedBufferSize = 0;
  uint32_t quality = 0xFFFFFFFF;
  uint32_t sampleSize = 0;  // 0: one chunk is one sample (video)
  int16_t frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
};

// Where one chunk's data lies in the file.
struct IndexEntry {
  uint64_t offset = 0;  // of the data, past the chunk's 8-byte header
  uint32_t size = 0;
  bool keyFrame = false;
};

struct Stream {
  StreamHeader header;
  std::vector<uint8_t> format;  // strf as stored
  std::string name;             // strn, empty when there is none
  std::vector<IndexEntry> index;

  bool IsVideo() const { return header.type == kStreamVideo; }
  bool IsAudio() const { return header.type == kStreamAudio; }
};

// Where the reader found the chunks.
enum class IndexSource { kOpenDml, kLegacy, kScan };

struct File {
  MainHeader main;
  std::vector<Stream> streams;
  uint32_t totalFrames = 0;  // dmlh (all RIFF parts), else avih's
  IndexSource indexSource = IndexSource::kScan;
  bool truncated = false;  // the file ends inside a chunk or list
};

// The chunk identifier of stream `stream`'s data: "00dc" (compressed
// video), "00db" (uncompressed video), "01wb" (audio), "02tx" (text).
uint32_t ChunkId(uint32_t stream, uint16_t twoCharacterCode);
inline constexpr uint16_t kVideoCompressed = 'd' | 'c' << 8;
inline constexpr uint16_t kVideoUncompressed = 'd' | 'b' << 8;
inline constexpr uint16_t kAudioData = 'w' | 'b' << 8;

}  // namespace ksv::media::avi
