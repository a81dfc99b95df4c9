// Writing the downloaded items' files: pictures as JPEG files in the two
// forms the camera's data comes in, and raw recordings in the byte order
// of the file they were made from.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "include/win32_types.h"

namespace ksv::camapi {

// How a write ended; `error` is the errno value of a failure.
struct WriteOutcome {
  bool ok = false;
  int error = 0;
};

// Below this much free space a failed write counts as a full disk.
inline constexpr uint64_t kNearlyFullBytes = 1048576;

// Header (byte 10 set to 0, the zero that ends "JFIF"), then `data`: the
// per-item form, whose data is already stuffed and ends in EOI. Anything
// between the end of the scan and EOI (the camera's padding) is left out.
WriteOutcome WritePlainJpeg(const char* path, std::span<const uint8_t> header,
                            std::span<const uint8_t> data, std::vector<uint8_t>& scratch);

// Header (byte 10 set to 0), then `data` with 0x00 after every 0xFF, then
// EOI (FF D9): the stream form, whose data is the bare entropy-coded data
// followed by the camera's zero padding, which is left out.
WriteOutcome WriteStuffedJpeg(const char* path, std::span<const uint8_t> header,
                              std::span<const uint8_t> data, std::vector<uint8_t>& scratch);

// `data` with each byte rotated right by two bits (bits 1-0 become 7-6).
WriteOutcome WriteRotatedRaw(const char* path, std::span<const uint8_t> data,
                             std::vector<uint8_t>& scratch);

// True when a write that failed with `outcome` failed for want of space:
// the file system said so, or the one holding `path` has less than 1 MiB
// free.
bool DiskNearlyFull(const char* path, const WriteOutcome& outcome);

}  // namespace ksv::camapi
