// The kernel-streaming video format a capture application opens a stream
// with (a data-format header followed by a video-info header, 152 bytes).
// It stays in memory; nothing writes it to a file.
#pragma once

#include <cstdint>

namespace ksv::platform::usbcamd {

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};
};

struct RECT {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

struct KSDATAFORMAT {
  uint32_t FormatSize = 0;
  uint32_t Flags = 0;
  uint32_t SampleSize = 0;
  uint32_t Reserved = 0;
  GUID MajorFormat;
  GUID SubFormat;
  GUID Specifier;
};

struct KS_BITMAPINFOHEADER {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;  // a FourCC, or 0 for uncompressed 24-bit
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};

struct KS_VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  uint32_t dwBitRate = 0;
  uint32_t dwBitErrorRate = 0;
  int64_t AvgTimePerFrame = 0;  // 100-ns units
  KS_BITMAPINFOHEADER bmiHeader;
};

struct KS_DATAFORMAT_VIDEOINFOHEADER {
  KSDATAFORMAT DataFormat;
  KS_VIDEOINFOHEADER VideoInfoHeader;
};

// A video format as a capture application fills it in: `bitCount` bits per
// pixel, the sample size of whole 32-bit-aligned rows.
inline KS_DATAFORMAT_VIDEOINFOHEADER MakeVideoFormat(int32_t width, int32_t height,
                                                     uint16_t bitCount, uint32_t compression,
                                                     int64_t avgTimePerFrame) {
  KS_DATAFORMAT_VIDEOINFOHEADER format;
  const auto rowBytes = static_cast<uint32_t>((bitCount * width + 31) / 32 * 4);
  const uint32_t sampleSize = rowBytes * static_cast<uint32_t>(height < 0 ? -height : height);
  format.DataFormat.FormatSize = sizeof format;
  format.DataFormat.SampleSize = sampleSize;
  format.VideoInfoHeader.AvgTimePerFrame = avgTimePerFrame;
  format.VideoInfoHeader.bmiHeader.biWidth = width;
  format.VideoInfoHeader.bmiHeader.biHeight = height;
  format.VideoInfoHeader.bmiHeader.biBitCount = bitCount;
  format.VideoInfoHeader.bmiHeader.biCompression = compression;
  format.VideoInfoHeader.bmiHeader.biSizeImage = sampleSize;
  return format;
}

static_assert(sizeof(KSDATAFORMAT) == 64);
static_assert(sizeof(KS_VIDEOINFOHEADER) == 88);
static_assert(sizeof(KS_DATAFORMAT_VIDEOINFOHEADER) == 152);

}  // namespace ksv::platform::usbcamd
