#include "common/bitmap_resample.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/packed_bitmap.h"
#include "platform/memory/global_memory.h"

namespace ksv::common {

namespace {

// A source bitmap whose header, colour table and pixels all lie inside its
// block; the block stays locked while this lives.
class CheckedSource {
 public:
  explicit CheckedSource(HGLOBAL block) : block_(block) {
    void* bits = GlobalLock(block);
    if (bits == nullptr) return;
    bits_ = bits;
    const SIZE_T size = GlobalSize(block);
    if (size < sizeof(BITMAPINFOHEADER)) return;
    BITMAPINFOHEADER header;
    std::memcpy(&header, bits, sizeof header);
    if (header.biSize < sizeof header || header.biSize > size || header.biHeight <= 0 ||
        header.biCompression != BI_RGB) {
      return;
    }
    const size_t rowBytes = PackedRowBytes(header.biWidth, header.biBitCount);
    const size_t tableBytes = size_t{PackedBitmapColourCount(bits)} * sizeof(RGBQUAD);
    if (rowBytes == 0 || tableBytes > 256 * sizeof(RGBQUAD)) return;
    const size_t pixelStart = header.biSize + tableBytes;
    if (pixelStart > size || rowBytes * static_cast<size_t>(header.biHeight) > size - pixelStart) {
      return;
    }
    header_ = header;
    rowBytes_ = rowBytes;
    ok_ = true;
  }
  ~CheckedSource() {
    if (bits_ != nullptr) GlobalUnlock(block_);
  }
  CheckedSource(const CheckedSource&) = delete;
  CheckedSource& operator=(const CheckedSource&) = delete;

  bool ok() const { return ok_; }
  const BITMAPINFOHEADER& header() const { return header_; }
  size_t rowBytes() const { return rowBytes_; }
  size_t colourCount() const { return PackedBitmapColourCount(bits_); }
  const uint8_t* pixels() const { return PackedBitmapPixels(static_cast<const void*>(bits_)); }
  const RGBQUAD* colourTable() const {
    return reinterpret_cast<const RGBQUAD*>(static_cast<const uint8_t*>(bits_) + header_.biSize);
  }

 private:
  HGLOBAL block_;
  void* bits_ = nullptr;
  BITMAPINFOHEADER header_{};
  size_t rowBytes_ = 0;
  bool ok_ = false;
};

// The left neighbour of each output column, the right one and the blend
// weight of the right one; `last` marks a base pixel in the last source
// column (row), which the single-precision rule takes unblended.
template <typename Real>
struct Taps {
  std::vector<int32_t> low;
  std::vector<int32_t> high;
  std::vector<Real> weight;
  std::vector<bool> last;
};

template <typename Real>
Taps<Real> TapsFor(int32_t outSize, int32_t inSize, ResampleRule rule) {
  Taps<Real> taps;
  const auto count = static_cast<size_t>(outSize);
  taps.low.resize(count);
  taps.high.resize(count);
  taps.weight.resize(count);
  taps.last.resize(count);
  const float scale = static_cast<float>(outSize) / static_cast<float>(inSize);
  for (int32_t i = 0; i < outSize; ++i) {
    const Real position = rule == ResampleRule::kSingleLastUnblended
                              ? static_cast<Real>(static_cast<float>(i) / scale)
                              : static_cast<Real>(static_cast<double>(i) * inSize / outSize);
    auto low = static_cast<int32_t>(position);
    if (low >= inSize) low = inSize - 1;
    const auto at = static_cast<size_t>(i);
    taps.low[at] = low;
    taps.high[at] = low + 1 < inSize ? low + 1 : low;
    taps.weight[at] = position - static_cast<Real>(low);
    taps.last[at] = rule == ResampleRule::kSingleLastUnblended && low == inSize - 1;
  }
  return taps;
}

template <typename Real>
void Blend(const CheckedSource& in, uint8_t* outPixels, int32_t width, int32_t height, int channels,
           ResampleRule rule) {
  const Taps<Real> across = TapsFor<Real>(width, in.header().biWidth, rule);
  const Taps<Real> down = TapsFor<Real>(height, in.header().biHeight, rule);
  const size_t outRowBytes = PackedRowBytes(width, static_cast<uint16_t>(channels * 8));
  const uint8_t* inPixels = in.pixels();
  const Real one = 1;
  const Real half = static_cast<Real>(0.5);
  for (int32_t y = 0; y < height; ++y) {
    const auto yi = static_cast<size_t>(y);
    const uint8_t* row0 = inPixels + static_cast<size_t>(down.low[yi]) * in.rowBytes();
    const uint8_t* row1 = inPixels + static_cast<size_t>(down.high[yi]) * in.rowBytes();
    const Real fy = down.weight[yi];
    uint8_t* outRow = outPixels + yi * outRowBytes;
    for (int32_t x = 0; x < width; ++x) {
      const auto xi = static_cast<size_t>(x);
      const size_t left = static_cast<size_t>(across.low[xi]) * static_cast<size_t>(channels);
      const size_t right = static_cast<size_t>(across.high[xi]) * static_cast<size_t>(channels);
      const bool unblended = across.last[xi] || down.last[yi];
      const Real fx = across.weight[xi];
      for (int c = 0; c < channels; ++c) {
        const auto ci = static_cast<size_t>(c);
        uint8_t& target = outRow[xi * static_cast<size_t>(channels) + ci];
        if (unblended) {
          target = row0[left + ci];
          continue;
        }
        const Real top = row0[left + ci] * (one - fx) + row0[right + ci] * fx;
        const Real bottom = row1[left + ci] * (one - fx) + row1[right + ci] * fx;
        const Real value = top * (one - fy) + bottom * fy + half;
        target = static_cast<uint8_t>(value > 255 ? 255 : value);
      }
    }
  }
}

}  // namespace

HGLOBAL ResamplePackedBitmap(HGLOBAL source, int32_t width, int32_t height, ResampleRule rule) {
  const CheckedSource in(source);
  if (!in.ok()) return nullptr;
  const uint16_t depth = in.header().biBitCount;
  if (depth != 24 && depth != 8) return nullptr;
  HGLOBAL result = CreatePackedBitmap(width, height, depth);
  if (result == nullptr) return nullptr;
  void* out = GlobalLock(result);
  if (depth == 8) {
    // The new bitmap has room for 256 entries; the source may name fewer.
    const size_t colours = std::min<size_t>(256, in.colourCount());
    std::memcpy(static_cast<uint8_t*>(out) + sizeof(BITMAPINFOHEADER), in.colourTable(),
                colours * sizeof(RGBQUAD));
  }
  const int channels = depth / 8;
  if (rule == ResampleRule::kSingleLastUnblended) {
    Blend<float>(in, PackedBitmapPixels(out), width, height, channels, rule);
  } else {
    Blend<double>(in, PackedBitmapPixels(out), width, height, channels, rule);
  }
  GlobalUnlock(result);
  return result;
}

HGLOBAL CropPackedBitmapTopLeft(HGLOBAL source, int32_t width, int32_t height) {
  const CheckedSource in(source);
  if (!in.ok() || in.header().biBitCount != 24 || in.header().biWidth < width ||
      in.header().biHeight < height) {
    return nullptr;
  }
  HGLOBAL result = CreatePackedBitmap(width, height, 24);
  if (result == nullptr) return nullptr;
  uint8_t* out = PackedBitmapPixels(GlobalLock(result));
  const size_t outRowBytes = PackedRowBytes(width, 24);
  // Rows are bottom-up: the picture's top rows are the last ones in memory.
  const auto skipped = static_cast<size_t>(in.header().biHeight - height);
  for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
    std::memcpy(out + y * outRowBytes, in.pixels() + (y + skipped) * in.rowBytes(),
                static_cast<size_t>(width) * 3);
  }
  GlobalUnlock(result);
  return result;
}

}  // namespace ksv::common
