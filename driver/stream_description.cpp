#include "driver/stream_description.h"

#include <cstring>

#include "codec/frame_format.h"
#include "driver/property_tables.h"
#include "platform/usbcamd/ks_guids.h"

namespace ksv::driver {
namespace {

namespace usb = platform::usbcamd;
using platform::kernel::NTSTATUS;

constexpr int64_t kLongestInterval = 1'666'666;  // 6 frames per second
constexpr int64_t kShortestInterval = 333'333;   // 30 frames per second

uint32_t SampleSize(int32_t width, int32_t height, uint16_t bitCount) {
  const int64_t rowBytes = (int64_t{bitCount} * width + 31) / 32 * 4;
  return static_cast<uint32_t>(rowBytes * (height < 0 ? -int64_t{height} : height));
}

// One I420 range, built field by field.
KS_DATARANGE_VIDEO MakeRange(int32_t width, int32_t height) {
  const uint32_t sampleSize = SampleSize(width, height, 12);
  KS_DATARANGE_VIDEO range;
  range.DataRange.FormatSize = sizeof(KS_DATARANGE_VIDEO);
  range.DataRange.Flags = 0;
  range.DataRange.SampleSize = sampleSize;
  range.DataRange.MajorFormat = usb::KSDATAFORMAT_TYPE_VIDEO;
  range.DataRange.SubFormat = usb::MEDIASUBTYPE_I420;
  range.DataRange.Specifier = usb::KSDATAFORMAT_SPECIFIER_VIDEOINFO;
  range.bFixedSizeSamples = 1;
  range.bTemporalCompression = 1;
  range.StreamDescriptionFlags = usb::KS_VIDEOSTREAM_CAPTURE;
  range.MemoryAllocationFlags = 0;

  usb::KS_VIDEO_STREAM_CONFIG_CAPS& caps = range.ConfigCaps;
  caps.guid = usb::KSDATAFORMAT_SPECIFIER_VIDEOINFO;
  caps.VideoStandard = 0;
  caps.InputSize = {width, height};
  caps.MinCroppingSize = {width, height};
  caps.MaxCroppingSize = {width, height};
  caps.CropGranularityX = 1;
  caps.CropGranularityY = 1;
  caps.CropAlignX = 1;
  caps.CropAlignY = 1;
  caps.MinOutputSize = {width, height};
  caps.MaxOutputSize = {width, height};
  caps.OutputGranularityX = 1;
  caps.OutputGranularityY = 1;
  // The minimum interval field holds the longer interval, as the camera's
  // tables always have.
  caps.MinFrameInterval = kLongestInterval;
  caps.MaxFrameInterval = kShortestInterval;
  caps.MinBitsPerSecond = static_cast<int32_t>(int64_t{sampleSize} * 8 * 6);
  caps.MaxBitsPerSecond = static_cast<int32_t>(int64_t{sampleSize} * 8 * 30);

  usb::KS_VIDEOINFOHEADER& video = range.VideoInfoHeader;
  video.dwBitRate = static_cast<uint32_t>(caps.MaxBitsPerSecond);
  video.dwBitErrorRate = 0;
  video.AvgTimePerFrame = kShortestInterval;
  video.bmiHeader.biSize = sizeof(usb::KS_BITMAPINFOHEADER);
  video.bmiHeader.biWidth = width;
  video.bmiHeader.biHeight = height;
  video.bmiHeader.biPlanes = 1;
  video.bmiHeader.biBitCount = 12;
  video.bmiHeader.biCompression = codec::kCompressionI420;
  video.bmiHeader.biSizeImage = sampleSize;
  return range;
}

const KS_DATARANGE_VIDEO kLargeRange = MakeRange(320, 240);
const KS_DATARANGE_VIDEO kSmallRange = MakeRange(160, 120);
const std::array<const KS_DATARANGE_VIDEO*, 2> kRanges = {&kLargeRange, &kSmallRange};

bool SameCaps(const usb::KS_VIDEO_STREAM_CONFIG_CAPS& a, const usb::KS_VIDEO_STREAM_CONFIG_CAPS& b) {
  const auto same = [](usb::SIZE x, usb::SIZE y) { return x.cx == y.cx && x.cy == y.cy; };
  return a.guid == b.guid && a.VideoStandard == b.VideoStandard && same(a.InputSize, b.InputSize) &&
         same(a.MinCroppingSize, b.MinCroppingSize) && same(a.MaxCroppingSize, b.MaxCroppingSize) &&
         a.CropGranularityX == b.CropGranularityX && a.CropGranularityY == b.CropGranularityY &&
         a.CropAlignX == b.CropAlignX && a.CropAlignY == b.CropAlignY &&
         same(a.MinOutputSize, b.MinOutputSize) && same(a.MaxOutputSize, b.MaxOutputSize) &&
         a.OutputGranularityX == b.OutputGranularityX &&
         a.OutputGranularityY == b.OutputGranularityY && a.StretchTapsX == b.StretchTapsX &&
         a.StretchTapsY == b.StretchTapsY && a.ShrinkTapsX == b.ShrinkTapsX &&
         a.ShrinkTapsY == b.ShrinkTapsY && a.MinFrameInterval == b.MinFrameInterval &&
         a.MaxFrameInterval == b.MaxFrameInterval && a.MinBitsPerSecond == b.MinBitsPerSecond &&
         a.MaxBitsPerSecond == b.MaxBitsPerSecond;
}

// The request names this range: size, GUIDs, the four flags and the
// configuration capabilities all equal.
bool RequestMatches(const usb::KSDATARANGE& request, const KS_DATARANGE_VIDEO& range) {
  if (request.FormatSize != range.DataRange.FormatSize ||
      request.MajorFormat != range.DataRange.MajorFormat ||
      request.SubFormat != range.DataRange.SubFormat ||
      request.Specifier != range.DataRange.Specifier) {
    return false;
  }
  // FormatSize says the request is a whole video range.
  const auto& video = reinterpret_cast<const KS_DATARANGE_VIDEO&>(request);
  return video.bFixedSizeSamples == range.bFixedSizeSamples &&
         video.bTemporalCompression == range.bTemporalCompression &&
         video.StreamDescriptionFlags == range.StreamDescriptionFlags &&
         video.MemoryAllocationFlags == range.MemoryAllocationFlags &&
         SameCaps(video.ConfigCaps, range.ConfigCaps);
}

}  // namespace

const std::array<const KS_DATARANGE_VIDEO*, 2>& StreamRanges() { return kRanges; }

const KS_DATARANGE_VIDEO* MatchingRange(const KSDATAFORMAT* format) {
  if (format == nullptr || format->FormatSize < sizeof(usb::KS_DATAFORMAT_VIDEOINFOHEADER)) {
    return nullptr;
  }
  const auto& video = reinterpret_cast<const usb::KS_DATAFORMAT_VIDEOINFOHEADER&>(*format);
  for (const KS_DATARANGE_VIDEO* range : kRanges) {
    if (format->MajorFormat == range->DataRange.MajorFormat &&
        format->SubFormat == range->DataRange.SubFormat &&
        format->Specifier == range->DataRange.Specifier &&
        video.VideoInfoHeader.bmiHeader.biWidth == range->VideoInfoHeader.bmiHeader.biWidth &&
        video.VideoInfoHeader.bmiHeader.biHeight == range->VideoInfoHeader.bmiHeader.biHeight) {
      return range;
    }
  }
  return nullptr;
}

NTSTATUS FillStreamInformation(HW_STREAM_REQUEST_BLOCK& srb) {
  usb::HW_STREAM_DESCRIPTOR* descriptor = srb.CommandData.StreamBuffer;
  if (descriptor == nullptr || srb.NumberOfBytesToTransfer < sizeof(usb::HW_STREAM_DESCRIPTOR)) {
    return platform::kernel::STATUS_BUFFER_TOO_SMALL;
  }
  usb::HW_STREAM_HEADER& header = descriptor->StreamHeader;
  header = usb::HW_STREAM_HEADER{};
  header.NumberOfStreams = 1;
  header.SizeOfHwStreamInformation = sizeof(usb::HW_STREAM_INFORMATION);
  header.NumDevPropArrayEntries = kDevicePropertySetCount;
  header.DevicePropertiesArray = DevicePropertySets();

  usb::HW_STREAM_INFORMATION& stream = descriptor->StreamInfo;
  stream = usb::HW_STREAM_INFORMATION{};
  stream.NumberOfPossibleInstances = 1;
  stream.DataFlow = usb::KSPIN_DATAFLOW_OUT;
  stream.DataAccessible = 1;
  stream.NumberOfFormatArrayEntries = static_cast<uint32_t>(kRanges.size());
  stream.StreamFormatsArray = kRanges.data();
  stream.Category = &usb::PINNAME_VIDEO_CAPTURE;
  stream.Name = &usb::PINNAME_VIDEO_CAPTURE;
  srb.ActualBytesTransferred = sizeof(usb::HW_STREAM_DESCRIPTOR);
  return platform::kernel::STATUS_SUCCESS;
}

NTSTATUS IntersectDataRange(HW_STREAM_REQUEST_BLOCK& srb) {
  usb::STREAM_DATA_INTERSECT_INFO* info = srb.CommandData.IntersectInfo;
  if (info == nullptr || info->DataRange == nullptr) return platform::kernel::STATUS_NO_MATCH;
  for (const KS_DATARANGE_VIDEO* range : kRanges) {
    if (!RequestMatches(*info->DataRange, *range)) continue;
    const usb::KS_BITMAPINFOHEADER& bitmap = range->VideoInfoHeader.bmiHeader;
    // The data-format header and video-info header (152 bytes) plus the
    // bitmap header's size once more: the size this driver has always
    // reported; the bytes past the format are left zero.
    const uint32_t required = sizeof(usb::KS_DATAFORMAT_VIDEOINFOHEADER) + bitmap.biSize;
    srb.ActualBytesTransferred = required;
    if (info->SizeOfDataFormatBuffer == 0) return platform::kernel::STATUS_BUFFER_OVERFLOW;
    if (info->SizeOfDataFormatBuffer < required || info->DataFormatBuffer == nullptr) {
      srb.ActualBytesTransferred = 0;
      return platform::kernel::STATUS_BUFFER_TOO_SMALL;
    }
    auto* out = static_cast<uint8_t*>(info->DataFormatBuffer);
    std::memset(out, 0, required);
    usb::KS_DATAFORMAT_VIDEOINFOHEADER format;
    std::memcpy(&format.DataFormat, &range->DataRange, sizeof format.DataFormat);
    format.DataFormat.FormatSize = required;
    format.VideoInfoHeader = range->VideoInfoHeader;
    const uint32_t sampleSize = SampleSize(bitmap.biWidth, bitmap.biHeight, bitmap.biBitCount);
    format.VideoInfoHeader.bmiHeader.biSizeImage = sampleSize;
    format.DataFormat.SampleSize = sampleSize;
    std::memcpy(out, &format, sizeof format);
    return platform::kernel::STATUS_SUCCESS;
  }
  return platform::kernel::STATUS_NO_MATCH;
}

}  // namespace ksv::driver
