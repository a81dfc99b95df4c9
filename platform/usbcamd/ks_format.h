// The kernel-streaming video format a capture application opens a stream
// with (a data-format header followed by a video-info header, 152 bytes).
// It stays in memory; nothing writes it to a file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/kernel/guid.h"
#include "platform/usbcamd/ks_guids.h"

namespace ksv::platform::usbcamd {

using kernel::GUID;

struct SIZE {
  int32_t cx = 0;
  int32_t cy = 0;
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

// A data range has the data format's header.
using KSDATARANGE = KSDATAFORMAT;

inline constexpr uint32_t KSDATAFORMAT_TEMPORAL_COMPRESSION = 0x2;
inline constexpr uint32_t KS_VIDEOSTREAM_CAPTURE = 0x2;  // stream description flag

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

// What a video stream can do with a range: sizes, cropping, scaling, rates.
struct KS_VIDEO_STREAM_CONFIG_CAPS {
  GUID guid;
  uint32_t VideoStandard = 0;
  SIZE InputSize;
  SIZE MinCroppingSize;
  SIZE MaxCroppingSize;
  int32_t CropGranularityX = 0;
  int32_t CropGranularityY = 0;
  int32_t CropAlignX = 0;
  int32_t CropAlignY = 0;
  SIZE MinOutputSize;
  SIZE MaxOutputSize;
  int32_t OutputGranularityX = 0;
  int32_t OutputGranularityY = 0;
  int32_t StretchTapsX = 0;
  int32_t StretchTapsY = 0;
  int32_t ShrinkTapsX = 0;
  int32_t ShrinkTapsY = 0;
  int64_t MinFrameInterval = 0;  // 100-ns units
  int64_t MaxFrameInterval = 0;
  int32_t MinBitsPerSecond = 0;
  int32_t MaxBitsPerSecond = 0;
};

// One video format range a stream offers.
struct KS_DATARANGE_VIDEO {
  KSDATARANGE DataRange;
  int32_t bFixedSizeSamples = 0;
  int32_t bTemporalCompression = 0;
  uint32_t StreamDescriptionFlags = 0;
  uint32_t MemoryAllocationFlags = 0;
  KS_VIDEO_STREAM_CONFIG_CAPS ConfigCaps;
  KS_VIDEOINFOHEADER VideoInfoHeader;
};

// The video-info header up to its bitmap header.
inline constexpr uint32_t kVideoInfoPreHeaderSize = 48;

// A video format as a capture application fills it in from the camera's
// I420 range (video, I420, video-info specifier), asking for output of
// `compression` at `bitCount` bits per pixel; the sample size is that of
// whole 32-bit-aligned rows.
inline KS_DATAFORMAT_VIDEOINFOHEADER MakeVideoFormat(int32_t width, int32_t height,
                                                     uint16_t bitCount, uint32_t compression,
                                                     int64_t avgTimePerFrame) {
  KS_DATAFORMAT_VIDEOINFOHEADER format;
  const auto rowBytes = static_cast<uint32_t>((bitCount * width + 31) / 32 * 4);
  const uint32_t sampleSize = rowBytes * static_cast<uint32_t>(height < 0 ? -height : height);
  format.DataFormat.FormatSize = sizeof format;
  format.DataFormat.SampleSize = sampleSize;
  format.DataFormat.MajorFormat = KSDATAFORMAT_TYPE_VIDEO;
  format.DataFormat.SubFormat = MEDIASUBTYPE_I420;
  format.DataFormat.Specifier = KSDATAFORMAT_SPECIFIER_VIDEOINFO;
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
static_assert(sizeof(KS_VIDEO_STREAM_CONFIG_CAPS) == 128);
static_assert(sizeof(KS_DATARANGE_VIDEO) == 296);
static_assert(offsetof(KS_VIDEOINFOHEADER, bmiHeader) == kVideoInfoPreHeaderSize);

}  // namespace ksv::platform::usbcamd
