// The simulated camera's memory: its version texts, its recording modes and
// its stored items in the order they were taken. The bulk library shows it
// two ways: as one stream of items (StreamBytes) and item by item
// (per_item_view.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "outside/bulk/memory/recording_mode.h"
#include "outside/bulk/memory/stored_item.h"

namespace ksv::outside::bulk {

struct CameraVersions {
  std::string firmware;
  std::string sensor;
  std::string chip;
  friend bool operator==(const CameraVersions&, const CameraVersions&) = default;
};

// Limits of the camera's memory.
inline constexpr size_t kMaxStreamBytes = size_t{64} << 20;  // items with their headers
inline constexpr size_t kMaxItems = 0xFFFF;
inline constexpr size_t kMaxVersionText = 63;  // characters
inline constexpr uint16_t kMaxModeSide = 4096;

struct CameraMemory {
  CameraVersions versions;
  std::vector<RecordingMode> modes;
  std::vector<StoredItem> items;

  const RecordingMode* FindMode(uint8_t tableIndex) const;
};

// The memory cannot be the camera's; the message names the item or mode.
class MemoryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws MemoryError for a version text that is too long or not printable
// ASCII, modes that repeat an index, have no size or a zero table entry,
// too many items or bytes, or any impossible item (CheckItem).
void CheckMemory(const CameraMemory& memory);

// Item types the bulk library counts, with the bulk library's numbers.
inline constexpr int kCountHighQualityPictures = 1;
inline constexpr int kCountLowQualityPictures = 2;
inline constexpr int kCountClips = 3;        // clips of subtype 3, with or without sound
inline constexpr int kCountLowResClips = 4;  // clips of subtype 4
inline constexpr int kCountBursts = 18;

// The number of items of a type; nothing for a type the camera does not know.
std::optional<uint32_t> CountOfType(const CameraMemory& memory, int type);

// Every item, header and data, back to back: the bulk stream.
size_t StreamSize(const CameraMemory& memory);
std::vector<uint8_t> StreamBytes(const CameraMemory& memory);

}  // namespace ksv::outside::bulk
