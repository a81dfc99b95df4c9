#include "support/picture/bmp_file.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "support/byte_order.h"
#include "support/picture/colour.h"

namespace ksv::picture {
namespace {

constexpr uint32_t kNoCompression = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kColourMasks = 3;
constexpr uint32_t kPixelsPerMetre72Dpi = 2835;
constexpr size_t kMaskBytes = 12;  // red, green and blue masks after a 40-byte header

using support::LoadLe16;
using support::LoadLe32;
using support::StoreLe16;
using support::StoreLe32;

[[noreturn]] void Refuse(const std::string& name, const std::string& cause) {
  throw PictureError(name, "not a usable bitmap: " + cause);
}

bool KnownDepth(uint16_t bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
         bitCount == 32;
}

uint32_t UnsignedHeight(int32_t height) {
  return height < 0 ? 0u - static_cast<uint32_t>(height) : static_cast<uint32_t>(height);
}

size_t RowBytes(const BitmapLayout& layout) {
  return (size_t{static_cast<uint32_t>(layout.width)} * layout.bitCount + 31) / 32 * 4;
}

// One colour channel of a colour-mask pixel, scaled to 8 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t maximum = 0;

  explicit Channel(uint32_t channelMask) : mask(channelMask) {
    if (mask == 0) return;
    shift = std::countr_zero(mask);
    maximum = mask >> shift;
  }
  uint8_t Of(uint32_t pixel) const {
    if (maximum == 0) return 0;
    return static_cast<uint8_t>(uint64_t{(pixel & mask) >> shift} * 255 / maximum);
  }
};

struct Masks {
  Channel red, green, blue;
};

// The colour masks of a 16- or 32-bit bitmap: stored after a 40-byte header
// or inside a later one; without masks, 5-5-5 or 8-8-8.
Masks MasksOf(std::span<const uint8_t> dib, const BitmapLayout& layout) {
  if (layout.compression == kColourMasks) {
    return {Channel(LoadLe32(dib, 40)), Channel(LoadLe32(dib, 44)), Channel(LoadLe32(dib, 48))};
  }
  if (layout.bitCount == 16) return {Channel(0x7C00), Channel(0x03E0), Channel(0x001F)};
  return {Channel(0xFF0000), Channel(0x00FF00), Channel(0x0000FF)};
}

// One row of the bitmap into R, G, B.
void DecodeRow(const uint8_t* row, const BitmapLayout& layout, std::span<const uint8_t> table,
               const Masks& masks, uint8_t* out) {
  const auto width = static_cast<uint32_t>(layout.width);
  for (uint32_t x = 0; x < width; ++x, out += 3) {
    switch (layout.bitCount) {
      case 24:
        out[0] = row[3 * x + 2];
        out[1] = row[3 * x + 1];
        out[2] = row[3 * x];
        break;
      case 16:
      case 32: {
        const size_t bytes = layout.bitCount / 8;
        uint32_t pixel = 0;
        for (size_t i = bytes; i-- > 0;) pixel = pixel << 8 | row[bytes * x + i];
        out[0] = masks.red.Of(pixel);
        out[1] = masks.green.Of(pixel);
        out[2] = masks.blue.Of(pixel);
        break;
      }
      default: {  // 1, 4 or 8 bits: an index into the colour table
        const uint32_t perByte = 8 / layout.bitCount;
        const uint32_t shift = (perByte - 1 - x % perByte) * layout.bitCount;
        const uint32_t index = (row[x / perByte] >> shift) & ((1u << layout.bitCount) - 1);
        if (index < layout.colourCount) {  // an index past the table is black
          out[0] = table[4 * index + 2];
          out[1] = table[4 * index + 1];
          out[2] = table[4 * index];
        }
      }
    }
  }
}

// The picture of a bitmap whose header is at the start of `dib` and whose
// rows are `pixels`.
RgbPicture DecodeRows(std::span<const uint8_t> dib, const BitmapLayout& layout,
                      std::span<const uint8_t> pixels, const std::string& name) {
  if (layout.compression == kRle8 || layout.compression == kRle4) {
    Refuse(name, "run-length compressed bitmaps are not read");
  }
  const uint32_t height = UnsignedHeight(layout.height);
  if (uint64_t{static_cast<uint32_t>(layout.width)} * height > kMaxPixels) {
    Refuse(name, std::to_string(layout.width) + "x" + std::to_string(height) +
                     " pixels is larger than this reads");
  }
  const size_t rowBytes = RowBytes(layout);
  if (pixels.size() / rowBytes < height) Refuse(name, "the file ends inside its pixel rows");
  const std::span<const uint8_t> table =
      dib.subspan(layout.headerBytes, size_t{layout.colourCount} * 4);
  const Masks masks = MasksOf(dib, layout);
  RgbPicture picture = BlankRgb(static_cast<uint32_t>(layout.width), height);
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t stored = layout.height < 0 ? y : height - 1 - y;
    DecodeRow(pixels.data() + stored * rowBytes, layout, table, masks,
              picture.pixels.data() + size_t{y} * picture.width * 3);
  }
  return picture;
}

}  // namespace

BitmapLayout DescribeDib(std::span<const uint8_t> dib, const std::string& name) {
  if (dib.size() < kBitmapInfoHeaderBytes) Refuse(name, "shorter than a bitmap header");
  BitmapLayout layout;
  layout.headerBytes = LoadLe32(dib, 0);
  layout.width = static_cast<int32_t>(LoadLe32(dib, 4));
  layout.height = static_cast<int32_t>(LoadLe32(dib, 8));
  layout.bitCount = LoadLe16(dib, 14);
  layout.compression = LoadLe32(dib, 16);
  const uint32_t storedImageBytes = LoadLe32(dib, 20);
  const uint32_t coloursUsed = LoadLe32(dib, 32);

  if (layout.headerBytes < kBitmapInfoHeaderBytes || layout.headerBytes > dib.size()) {
    Refuse(name, "a header of " + std::to_string(layout.headerBytes) + " bytes");
  }
  if (layout.width < 1 || layout.height == 0 ||
      layout.height == std::numeric_limits<int32_t>::min()) {
    Refuse(name, "a picture of " + std::to_string(layout.width) + "x" +
                     std::to_string(layout.height) + " pixels");
  }
  if (!KnownDepth(layout.bitCount)) Refuse(name, std::to_string(layout.bitCount) + " bits a pixel");
  const bool runLength = layout.compression == kRle8 || layout.compression == kRle4;
  const bool masked = layout.compression == kColourMasks;
  if (layout.compression > kColourMasks || (layout.compression == kRle8 && layout.bitCount != 8) ||
      (layout.compression == kRle4 && layout.bitCount != 4) ||
      (masked && layout.bitCount != 16 && layout.bitCount != 32)) {
    Refuse(name, "compression " + std::to_string(layout.compression) + " at " +
                     std::to_string(layout.bitCount) + " bits");
  }
  const uint32_t fullTable = layout.bitCount <= 8 ? 1u << layout.bitCount : 0u;
  layout.colourCount = coloursUsed != 0 ? coloursUsed : fullTable;
  if (layout.colourCount > 256) Refuse(name, std::to_string(coloursUsed) + " colours");
  layout.tableBytes = size_t{layout.colourCount} * 4;
  if (masked && layout.headerBytes == kBitmapInfoHeaderBytes) layout.tableBytes += kMaskBytes;
  if (masked && layout.headerBytes < kBitmapInfoHeaderBytes + kMaskBytes &&
      layout.headerBytes != kBitmapInfoHeaderBytes) {
    Refuse(name, "colour masks missing from its header");
  }
  layout.imageBytes =
      runLength ? storedImageBytes : RowBytes(layout) * UnsignedHeight(layout.height);
  const size_t available = dib.size() - layout.headerBytes;
  if (layout.tableBytes > available || layout.imageBytes > available - layout.tableBytes) {
    Refuse(name, "the file ends before its " +
                     std::string(layout.tableBytes > available ? "colour table" : "pixel rows"));
  }
  return layout;
}

RgbPicture DecodeDib(std::span<const uint8_t> dib, const std::string& name) {
  const BitmapLayout layout = DescribeDib(dib, name);
  return DecodeRows(dib, layout, dib.subspan(layout.headerBytes + layout.tableBytes), name);
}

std::span<const uint8_t> DibOfBmpFile(std::span<const uint8_t> file, const std::string& name) {
  if (file.size() < kBmpFileHeaderBytes || file[0] != 'B' || file[1] != 'M') {
    Refuse(name, "it does not begin with a \"BM\" file header");
  }
  const std::span<const uint8_t> dib = file.subspan(kBmpFileHeaderBytes);
  DescribeDib(dib, name);
  return dib;
}

RgbPicture DecodeBmp(std::span<const uint8_t> file, const std::string& name) {
  const std::span<const uint8_t> dib = DibOfBmpFile(file, name);
  const BitmapLayout layout = DescribeDib(dib, name);
  // The file header says where the rows start; writers that leave a gap
  // after the colour table count on it.
  size_t pixelOffset = LoadLe32(file, 10);
  const size_t afterTable = kBmpFileHeaderBytes + layout.headerBytes + layout.tableBytes;
  if (pixelOffset < afterTable || pixelOffset > file.size()) pixelOffset = afterTable;
  return DecodeRows(dib, layout, file.subspan(pixelOffset), name);
}

std::vector<uint8_t> BmpFileOfDib(std::span<const uint8_t> dib) {
  const BitmapLayout layout = DescribeDib(dib, "packed bitmap");
  const size_t body = layout.headerBytes + layout.tableBytes + layout.imageBytes;
  if (kBmpFileHeaderBytes + body > std::numeric_limits<uint32_t>::max()) {
    throw PictureError("a bitmap of " + std::to_string(body) +
                       " bytes is too large for a BMP file");
  }
  std::vector<uint8_t> file(kBmpFileHeaderBytes + body);
  std::copy_n(dib.begin(), body, file.begin() + kBmpFileHeaderBytes);
  file[0] = 'B';
  file[1] = 'M';
  StoreLe32(file, 2, static_cast<uint32_t>(kBmpFileHeaderBytes + body));
  StoreLe32(file, 10,
            static_cast<uint32_t>(kBmpFileHeaderBytes + layout.headerBytes + layout.tableBytes));
  if (layout.compression != kRle8 && layout.compression != kRle4) {
    StoreLe32(file, kBmpFileHeaderBytes + 20, static_cast<uint32_t>(layout.imageBytes));
  }
  return file;
}

std::vector<uint8_t> EncodeBmp(const RgbPicture& picture) {
  const std::vector<uint8_t> rows = ToBitmapRows(picture);
  if (picture.width > uint32_t{std::numeric_limits<int32_t>::max()} ||
      picture.height > uint32_t{std::numeric_limits<int32_t>::max()} ||
      rows.size() > std::numeric_limits<uint32_t>::max() - 54) {
    throw PictureError("the picture is too large for a BMP file");
  }
  std::vector<uint8_t> dib(kBitmapInfoHeaderBytes);
  StoreLe32(dib, 0, kBitmapInfoHeaderBytes);
  StoreLe32(dib, 4, picture.width);
  StoreLe32(dib, 8, picture.height);  // positive: rows stored bottom-up
  StoreLe16(dib, 12, 1);              // planes
  StoreLe16(dib, 14, 24);             // bits a pixel
  StoreLe32(dib, 16, kNoCompression);
  StoreLe32(dib, 20, static_cast<uint32_t>(rows.size()));
  StoreLe32(dib, 24, kPixelsPerMetre72Dpi);
  StoreLe32(dib, 28, kPixelsPerMetre72Dpi);
  dib.insert(dib.end(), rows.begin(), rows.end());
  return BmpFileOfDib(dib);
}

}  // namespace ksv::picture
