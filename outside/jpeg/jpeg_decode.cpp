#include "outside/jpeg/jpeg_decode.h"

#include <cstring>

#include "common/packed_bitmap.h"
#include "outside/jpeg/libjpeg_trap.h"
#include "platform/memory/global_memory.h"

namespace ksv::outside::jpeg {

namespace {

// Chooses the output colour space; false for component counts we do not
// show.
bool ChooseOutput(jpeg_decompress_struct& info, uint16_t& bitCount) {
  switch (info.num_components) {
    case 1:
      info.out_color_space = JCS_GRAYSCALE;
      bitCount = 8;
      return true;
    case 3:
      info.out_color_space = JCS_EXT_BGR;
      bitCount = 24;
      return true;
    case 4:  // CMYK or YCCK, converted below
      info.out_color_space = JCS_CMYK;
      bitCount = 24;
      return true;
    default:
      return false;
  }
}

void FillGreyTable(uint8_t* bitmap) {
  auto* table = reinterpret_cast<RGBQUAD*>(bitmap + sizeof(BITMAPINFOHEADER));
  for (int i = 0; i < 256; ++i) {
    const auto level = static_cast<BYTE>(i);
    table[i] = RGBQUAD{level, level, level, 0};
  }
}

// Adobe's CMYK JPEG files store inverted inks: each channel times K is
// already the light that comes through.
void CmykRowToBgr(const JSAMPLE* cmyk, uint8_t* bgr, JDIMENSION width) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    const unsigned k = cmyk[3];
    bgr[0] = static_cast<uint8_t>(cmyk[2] * k / 255);
    bgr[1] = static_cast<uint8_t>(cmyk[1] * k / 255);
    bgr[2] = static_cast<uint8_t>(cmyk[0] * k / 255);
  }
}

// Reads every row bottom-up into the bitmap in trap.bitmap.
void ReadRows(jpeg_decompress_struct& info, LibjpegTrap& trap, uint16_t bitCount) {
  auto* bitmap = static_cast<uint8_t*>(GlobalLock(trap.bitmap));
  if (bitCount == 8) FillGreyTable(bitmap);
  uint8_t* pixels = common::PackedBitmapPixels(static_cast<void*>(bitmap));
  const size_t rowBytes = common::PackedRowBytes(static_cast<int32_t>(info.output_width), bitCount);
  JSAMPARRAY cmykRow = nullptr;
  if (info.out_color_space == JCS_CMYK) {
    cmykRow = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                        info.output_width * 4, 1);
  }
  while (info.output_scanline < info.output_height) {
    uint8_t* row = pixels + (info.output_height - 1 - info.output_scanline) * rowBytes;
    JSAMPROW target = cmykRow != nullptr ? cmykRow[0] : row;
    jpeg_read_scanlines(&info, &target, 1);
    if (cmykRow != nullptr) CmykRowToBgr(cmykRow[0], row, info.output_width);
  }
  GlobalUnlock(trap.bitmap);
}

// Decodes into trap.bitmap; false when the file is refused before decoding.
// libjpeg failures jump back to DecodeJpegToPackedBitmap.
bool Decode(jpeg_decompress_struct& info, LibjpegTrap& trap, std::span<const uint8_t> file) {
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
  uint16_t bitCount = 0;
  if (!ChooseOutput(info, bitCount)) return false;
  if (uint64_t{info.image_width} * info.image_height > kMaxPixels) return false;
  jpeg_start_decompress(&info);
  trap.bitmap = common::CreatePackedBitmap(static_cast<int32_t>(info.output_width),
                                           static_cast<int32_t>(info.output_height), bitCount);
  if (trap.bitmap == nullptr) return false;
  ReadRows(info, trap, bitCount);
  jpeg_finish_decompress(&info);
  return true;
}

// The decode with libjpeg's failures caught. `trap` and `info` belong to the
// caller so that their contents survive the jump.
bool RunDecode(LibjpegTrap& trap, jpeg_decompress_struct& info, std::span<const uint8_t> file) {
  if (setjmp(trap.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  WatchScans(trap, info);
  const bool decoded = Decode(info, trap, file);
  jpeg_destroy_decompress(&info);
  return decoded;
}

}  // namespace

HGLOBAL DecodeJpegToPackedBitmap(std::span<const uint8_t> file) {
  if (file.empty() || file.size() > kMaxJpegFileBytes) return nullptr;
  LibjpegTrap trap;
  jpeg_decompress_struct info;
  InstallTrap(trap, info);
  if (!RunDecode(trap, info, file)) {
    GlobalFree(trap.bitmap);
    return nullptr;
  }
  return trap.bitmap;
}

}  // namespace ksv::outside::jpeg
