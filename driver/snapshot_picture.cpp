#include "driver/snapshot_picture.h"

#include <cstring>

#include "driver/snapshot_file.h"

namespace ksv::driver {
namespace {

constexpr codec::FrameSize kSnapshotSize{kSnapshotWidth, kSnapshotHeight};
constexpr codec::FrameSize kHalfSize{kSnapshotWidth / 2, kSnapshotHeight / 2};
constexpr size_t kHalfBytes = codec::Rgb24Bytes(kHalfSize);

// Doubles the half-size picture kept in the last quarter of `pixels` into
// the whole of it, in place. Output rows are written from the first on: row
// r ends at (r + 1) x 960 bytes, never past the start of source row r / 2
// (at 172800 + (r / 2) x 480), so no source row is overwritten before it is
// read for the last time.
void DoubleInPlace(std::span<uint8_t> pixels) {
  constexpr size_t kSourceRowBytes = kHalfSize.width * 3;
  constexpr size_t kTargetRowBytes = kSnapshotSize.width * 3;
  const uint8_t* source = pixels.data() + pixels.size() - kHalfBytes;
  for (uint32_t row = 0; row < kSnapshotSize.height; row += 2) {
    const uint8_t* from = source + (row / 2) * kSourceRowBytes;
    uint8_t* to = pixels.data() + row * kTargetRowBytes;
    for (uint32_t x = 0; x < kHalfSize.width; ++x) {
      const uint8_t b = from[x * 3];
      const uint8_t g = from[x * 3 + 1];
      const uint8_t r = from[x * 3 + 2];
      uint8_t* pair = to + x * 6;
      pair[0] = pair[3] = b;
      pair[1] = pair[4] = g;
      pair[2] = pair[5] = r;
    }
    std::memcpy(to + kTargetRowBytes, to, kTargetRowBytes);
  }
}

}  // namespace

bool DecodeSnapshotPicture(codec::DecoderTables& decoder, const codec::DecoderContext& context,
                           std::span<const uint8_t> frame, codec::FrameSize decodeSize,
                           std::span<uint8_t> pixels) {
  if (pixels.size() < kSnapshotPixelBytes) return false;
  pixels = pixels.first(kSnapshotPixelBytes);
  uint32_t written = 0;
  if (decodeSize.width >= kSnapshotSize.width && decodeSize.height >= kSnapshotSize.height) {
    return decoder
        .DecodeFrame(context, frame, pixels, written, decodeSize, kSnapshotSize,
                     codec::kCompressionRgb)
        .ok();
  }
  if (decodeSize.width < kHalfSize.width || decodeSize.height < kHalfSize.height) return false;
  if (!decoder.DecodeFrame(context, frame, pixels.last(kHalfBytes), written, decodeSize, kHalfSize,
                           codec::kCompressionRgb)) {
    return false;
  }
  DoubleInPlace(pixels);
  return true;
}

}  // namespace ksv::driver
