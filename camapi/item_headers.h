// The two item headers the camera hands out: the 64-byte header in front of
// every item of the stream, and the per-item header of an item fetched on
// its own. All fields little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "support/byte_order.h"

namespace ksv::camapi {

inline constexpr size_t kItemHeaderBytes = 64;

inline constexpr uint32_t kPictureTag = support::FourCC('I', 'M', 'G', ' ');
inline constexpr uint32_t kClipTag = support::FourCC('A', 'V', 'I', ' ');
inline constexpr uint32_t kVideoClipTag = support::FourCC('V', 'D', 'O', ' ');
inline constexpr uint32_t kBurstTag = support::FourCC('B', 'S', 'T', ' ');
inline constexpr uint32_t kRecordingTag = support::FourCC('W', 'A', 'V', ' ');

inline constexpr uint8_t kHighQualitySubtype = 1;
inline constexpr uint8_t kClipSubtype = 3;

bool KnownStreamTag(uint32_t tag);

// The header of a stream item (the fields the library reads).
struct StoredItemHeader {
  uint32_t tag = 0;
  uint32_t dataSize = 0;
  uint8_t tableIndex = 0;
  uint8_t subtype = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t chunkCount = 0;
  uint32_t audioRate = 0;
};
StoredItemHeader ReadStoredItemHeader(std::span<const uint8_t, kItemHeaderBytes> bytes);

// The header of an item fetched on its own.
struct PerItemHeader {
  uint32_t dataSize = 0;
  uint8_t tableIndex = 0;
  uint16_t blockSize = 0;  // B: the frame-length table starts at B
  uint16_t frames = 0;
  uint16_t tableDistance = 0;  // from the frame-length table to the first frame
  uint8_t kind = 0;
  uint16_t timing1 = 0;
  uint16_t timing2 = 0;
  // T1 x T2 / frames; 0 without frames.
  uint32_t MillisecondsPerFrame() const {
    return frames == 0 ? 0 : static_cast<uint32_t>(uint32_t{timing1} * timing2 / frames);
  }
};
PerItemHeader ReadPerItemHeader(std::span<const uint8_t, kItemHeaderBytes> bytes);

}  // namespace ksv::camapi
