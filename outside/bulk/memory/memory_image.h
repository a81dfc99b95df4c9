// The camera memory image: a file that keeps a camera's memory (version
// texts, recording modes, stored items) so that it can be replayed through
// the bulk library. All fields little-endian.
//
//   0    8  signature "KSVCAMEM"
//   8    4  format version, 1
//  12    4  number of modes M (1 to 256)
//  16    4  number of items N (0 to 65535)
//  20    4  bytes of the item region R
//  24   64  firmware version text  } printable ASCII, zero-filled,
//  88   64  sensor version text    } at most 63 characters
// 152   64  chip version text      }
// 216   40  zero
// 256  M x 136  modes: 0 1 table index, 1 1 zero, 2 2 width, 4 2 height,
//               6 2 zero, 8 64 luminance then 72 64 chrominance entries
//               (natural order, none 0)
// then R bytes: the N items exactly as the camera streams them
// (stored_item.h), and nothing after them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <vector>

#include "outside/bulk/memory/camera_memory.h"

namespace ksv::outside::bulk {

inline constexpr size_t kImageHeaderSize = 256;
inline constexpr size_t kModeRecordSize = 136;
inline constexpr uint32_t kImageFormatVersion = 1;
inline constexpr size_t kMaxImageBytes = kImageHeaderSize + 256 * kModeRecordSize + kMaxStreamBytes;

class MemoryImageError : public std::runtime_error {
 public:
  enum class Reason {
    kUnreadable,  // no such file, no access, too large to be an image
    kCorrupt,     // truncated, impossible sizes, unknown tags, bad items
  };
  MemoryImageError(Reason reason, const std::string& message)
      : std::runtime_error(message), reason_(reason) {}
  Reason reason() const { return reason_; }

 private:
  Reason reason_;
};

// Reads and checks a whole image. Throws MemoryImageError (kCorrupt) whose
// message names the offending field, item or byte offset.
CameraMemory ReadMemoryImage(std::span<const uint8_t> image);

// Reads the file at `path`. Throws MemoryImageError.
CameraMemory LoadMemoryImage(const std::filesystem::path& path);

// The image of a memory. Throws MemoryError when the memory is not one the
// camera could hold, so that no image is written that cannot be read back.
std::vector<uint8_t> WriteMemoryImage(const CameraMemory& memory);

}  // namespace ksv::outside::bulk
