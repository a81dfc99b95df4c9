#include "platform/media/filters/ks_proxy/video_formats.h"

#include <cstdlib>
#include <cstring>

#include "platform/media/formats.h"
#include "platform/media/media_guids.h"

namespace ksv::media::filters {
namespace {

namespace usb = platform::usbcamd;

constexpr uint32_t kFourccI420 = 0x30323449;  // "I420"
constexpr uint32_t kFourccIyuv = 0x56555949;  // "IYUV", the same planes

uint16_t BitCountOf(VideoOutput output) { return output == VideoOutput::kI420 ? 12 : 24; }
uint32_t CompressionOf(VideoOutput output) {
  return output == VideoOutput::kI420 ? kFourccI420 : BI_RGB;
}

uint32_t ImageSize(int32_t width, int32_t height, uint16_t bitCount) {
  const auto rowBytes = static_cast<uint32_t>((bitCount * width + 31) / 32 * 4);
  return rowBytes * static_cast<uint32_t>(std::abs(height));
}

SIZE SizeOf(const usb::SIZE& size) { return SIZE{size.cx, size.cy}; }

// A bit rate of the driver's (for its 12-bit native format) scaled to the
// output's bit count.
LONG ScaledRate(int32_t rate, VideoOutput output) {
  return static_cast<LONG>(static_cast<int64_t>(rate) * BitCountOf(output) / 12);
}

}  // namespace

std::vector<VideoCapability> CapabilitiesOf(size_t rangeCount) {
  std::vector<VideoCapability> capabilities;
  for (size_t range = 0; range < rangeCount; ++range) {
    capabilities.push_back({range, VideoOutput::kI420});
    capabilities.push_back({range, VideoOutput::kRgb24});
  }
  return capabilities;
}

VIDEO_STREAM_CONFIG_CAPS ConfigCapsOf(const usb::KS_DATARANGE_VIDEO& range, VideoOutput output) {
  const usb::KS_VIDEO_STREAM_CONFIG_CAPS& ks = range.ConfigCaps;
  VIDEO_STREAM_CONFIG_CAPS caps{};
  caps.guid = FORMAT_VideoInfo;  // the driver's video-info specifier
  caps.VideoStandard = ks.VideoStandard;
  caps.InputSize = SizeOf(ks.InputSize);
  caps.MinCroppingSize = SizeOf(ks.MinCroppingSize);
  caps.MaxCroppingSize = SizeOf(ks.MaxCroppingSize);
  caps.CropGranularityX = ks.CropGranularityX;
  caps.CropGranularityY = ks.CropGranularityY;
  caps.CropAlignX = ks.CropAlignX;
  caps.CropAlignY = ks.CropAlignY;
  caps.MinOutputSize = SizeOf(ks.MinOutputSize);
  caps.MaxOutputSize = SizeOf(ks.MaxOutputSize);
  caps.OutputGranularityX = ks.OutputGranularityX;
  caps.OutputGranularityY = ks.OutputGranularityY;
  caps.StretchTapsX = ks.StretchTapsX;
  caps.StretchTapsY = ks.StretchTapsY;
  caps.ShrinkTapsX = ks.ShrinkTapsX;
  caps.ShrinkTapsY = ks.ShrinkTapsY;
  // The driver writes its span the other way round (the longer interval in
  // the minimum field); a capability record has the shortest interval first.
  caps.MinFrameInterval = std::min(ks.MinFrameInterval, ks.MaxFrameInterval);
  caps.MaxFrameInterval = std::max(ks.MinFrameInterval, ks.MaxFrameInterval);
  caps.MinBitsPerSecond = ScaledRate(ks.MinBitsPerSecond, output);
  caps.MaxBitsPerSecond = ScaledRate(ks.MaxBitsPerSecond, output);
  return caps;
}

bool VideoMediaType(std::span<const uint8_t> intersection, VideoOutput output,
                    REFERENCE_TIME interval, CMediaType* type) {
  usb::KS_DATAFORMAT_VIDEOINFOHEADER format;
  if (intersection.size() < sizeof format) return false;
  std::memcpy(&format, intersection.data(), sizeof format);
  const usb::KS_VIDEOINFOHEADER& ks = format.VideoInfoHeader;
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = interval > 0 ? interval : ks.AvgTimePerFrame;
  BITMAPINFOHEADER& bitmap = info.bmiHeader;
  bitmap.biSize = sizeof(BITMAPINFOHEADER);
  bitmap.biWidth = ks.bmiHeader.biWidth;
  bitmap.biHeight = std::abs(ks.bmiHeader.biHeight);
  bitmap.biPlanes = 1;
  bitmap.biBitCount = BitCountOf(output);
  bitmap.biCompression = CompressionOf(output);
  bitmap.biSizeImage = ImageSize(bitmap.biWidth, bitmap.biHeight, bitmap.biBitCount);
  if (info.AvgTimePerFrame > 0) {
    info.dwBitRate = static_cast<DWORD>(static_cast<int64_t>(bitmap.biSizeImage) * 8 * UNITS /
                                        info.AvgTimePerFrame);
  }
  type->InitMediaType();
  type->SetType(&MEDIATYPE_Video);
  type->SetSubtype(output == VideoOutput::kI420 ? &MEDIASUBTYPE_I420 : &MEDIASUBTYPE_RGB24);
  type->SetFormatType(&FORMAT_VideoInfo);
  type->SetTemporalCompression(FALSE);
  type->SetSampleSize(bitmap.biSizeImage);
  return type->SetFormat(reinterpret_cast<const BYTE*>(&info), sizeof info) != FALSE;
}

std::optional<RequestedVideo> MatchVideoType(
    const AM_MEDIA_TYPE& type, std::span<const usb::KS_DATARANGE_VIDEO* const> ranges) {
  if (type.majortype != MEDIATYPE_Video || type.formattype != FORMAT_VideoInfo ||
      type.pbFormat == nullptr || type.cbFormat < sizeof(VIDEOINFOHEADER)) {
    return std::nullopt;
  }
  VIDEOINFOHEADER info;
  std::memcpy(&info, type.pbFormat, sizeof info);
  const BITMAPINFOHEADER& bitmap = info.bmiHeader;
  VideoOutput output;
  if (type.subtype == MEDIASUBTYPE_I420 || type.subtype == MEDIASUBTYPE_IYUV) {
    if (bitmap.biBitCount != 12 ||
        (bitmap.biCompression != kFourccI420 && bitmap.biCompression != kFourccIyuv)) {
      return std::nullopt;
    }
    output = VideoOutput::kI420;
  } else if (type.subtype == MEDIASUBTYPE_RGB24) {
    // Bottom-up rows only: the driver writes its bitmaps that way.
    if (bitmap.biBitCount != 24 || bitmap.biCompression != BI_RGB || bitmap.biHeight < 0) {
      return std::nullopt;
    }
    output = VideoOutput::kRgb24;
  } else {
    return std::nullopt;
  }
  for (size_t index = 0; index < ranges.size(); ++index) {
    const usb::KS_VIDEOINFOHEADER& ks = ranges[index]->VideoInfoHeader;
    if (ks.bmiHeader.biWidth != bitmap.biWidth ||
        std::abs(ks.bmiHeader.biHeight) != std::abs(bitmap.biHeight)) {
      continue;
    }
    const VIDEO_STREAM_CONFIG_CAPS caps = ConfigCapsOf(*ranges[index], output);
    if (info.AvgTimePerFrame != 0 && (info.AvgTimePerFrame < caps.MinFrameInterval ||
                                      info.AvgTimePerFrame > caps.MaxFrameInterval)) {
      return std::nullopt;
    }
    return RequestedVideo{{index, output}, info.AvgTimePerFrame};
  }
  return std::nullopt;
}

usb::KS_DATAFORMAT_VIDEOINFOHEADER StreamFormatOf(const AM_MEDIA_TYPE& type) {
  VIDEOINFOHEADER info;
  std::memcpy(&info, type.pbFormat, sizeof info);
  const BITMAPINFOHEADER& bitmap = info.bmiHeader;
  // The driver's ranges are I420; the bitmap's compression names the output.
  return usb::MakeVideoFormat(bitmap.biWidth, bitmap.biHeight, bitmap.biBitCount,
                              bitmap.biCompression, info.AvgTimePerFrame);
}

}  // namespace ksv::media::filters
