// An item of the camera's memory as the camera streams it: a 64-byte
// header, then the item's data, together a multiple of 64 bytes.
//
// Header (little-endian):   0  4  tag ("IMG ", "AVI ", "VDO ", "BST ", "WAV ")
//                           4  4  data size (a multiple of 64)
//                          10  1  table index (the recording mode)
//                          11  1  subtype: 1 high-quality picture, 2 low-quality
//                                 picture, 3 clip, 4 low-resolution clip
//                          12  2  width,  14 2 height (of the mode)
//                          18  2  number of chunks (clips and bursts)
//                          20  4  content size: the data bytes before the padding
//                          24  4  audio rate in Hz (clips with sound)
// The other bytes are zero.
//
// Data: a picture's entropy-coded data (no stuffing, no markers); a clip's
// or burst's chunks; a recording's bytes. Zero padding follows the content.
//
// Chunk (one a frame):      4  2  video length V
//                          13  2  audio length A (unaligned)
//                          16  V  the frame's entropy-coded data
//                      16 + V  A  the sound recorded with it
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/frame_format.h"
#include "outside/bulk/memory/recording_mode.h"
#include "support/byte_order.h"

namespace ksv::outside::bulk {

enum class ItemTag : uint32_t {
  kPicture = support::FourCC('I', 'M', 'G', ' '),
  kClip = support::FourCC('A', 'V', 'I', ' '),       // frames with sound
  kVideoClip = support::FourCC('V', 'D', 'O', ' '),  // frames without sound
  kBurst = support::FourCC('B', 'S', 'T', ' '),      // five frames
  kRecording = support::FourCC('W', 'A', 'V', ' '),  // raw bytes
};

enum ItemSubtype : uint8_t {
  kNoSubtype = 0,
  kHighQualitySubtype = 1,
  kLowQualitySubtype = 2,
  kClipSubtype = 3,
  kLowResClipSubtype = 4,
};

inline constexpr size_t kItemHeaderSize = 64;
inline constexpr size_t kItemAlignment = 64;
// Rounds up to a multiple of `unit` (a power of two), as items and the
// blocks of their per-item view are padded.
constexpr size_t RoundUp(size_t value, size_t unit) { return (value + unit - 1) & ~(unit - 1); }
inline constexpr size_t kChunkHeaderSize = 16;
inline constexpr size_t kBurstFrames = 5;
// Clip sound: 4-bit ADPCM in 258-byte blocks, or 8-bit PCM.
inline constexpr uint32_t kAdpcmRate = 8000;
inline constexpr uint32_t kPcmRate = 12000;
// Every chunk holds 100 ms: clips run at 10 frames a second.
inline constexpr uint32_t kClipFrameMs = 100;

struct StoredItemHeader {
  uint32_t tag = 0;
  uint32_t dataSize = 0;
  uint8_t tableIndex = 0;
  uint8_t subtype = kNoSubtype;
  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t chunkCount = 0;
  uint32_t contentSize = 0;
  uint32_t audioRate = 0;
  friend bool operator==(const StoredItemHeader&, const StoredItemHeader&) = default;
};

std::array<uint8_t, kItemHeaderSize> EncodeItemHeader(const StoredItemHeader& header);
StoredItemHeader DecodeItemHeader(std::span<const uint8_t, kItemHeaderSize> bytes);

struct StoredItem {
  StoredItemHeader header;
  std::vector<uint8_t> data;  // header.dataSize bytes

  ItemTag tag() const { return static_cast<ItemTag>(header.tag); }
  // The data before the padding.
  std::span<const uint8_t> Content() const {
    return std::span<const uint8_t>(data).first(header.contentSize);
  }
};

// An item's content is impossible: sizes, chunks, tag or mode do not fit.
class ItemError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

bool KnownTag(uint32_t tag);

// The tag as text, with any unprintable byte as \xNN.
std::string TagText(uint32_t tag);

// Appends one chunk. Throws ItemError for a part longer than 65535 bytes.
void AppendChunk(std::vector<uint8_t>& out, std::span<const uint8_t> video,
                 std::span<const uint8_t> audio);

struct ClipChunk {
  std::span<const uint8_t> video;
  std::span<const uint8_t> audio;
};
// The chunks of a clip or burst, pointing into its data. Throws ItemError
// when they do not fill its content exactly.
std::vector<ClipChunk> ReadChunks(const StoredItem& item);

// Wraps content as an item: pads it to the 64-byte grid and fills in the
// data and content sizes.
StoredItem MakeItem(StoredItemHeader header, std::vector<uint8_t> content);

// Throws ItemError naming the first thing that makes `item` impossible for
// the camera's memory, for the stream and for the per-item view alike.
// `mode` is the mode its table index names, null when there is none.
void CheckItem(const StoredItem& item, const RecordingMode* mode);

}  // namespace ksv::outside::bulk
