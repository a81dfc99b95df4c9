#include "platform/media/filters/avi_mux/stream_format.h"

#include <cmath>
#include <cstdlib>
#include <numeric>

#include "platform/media/vfw_errors.h"
#include "support/byte_order.h"

namespace ksv::media::avimux {
namespace {

constexpr size_t kBitmapHeaderSize = 40;
constexpr size_t kWaveFormatSize = 18;
constexpr size_t kPcmFormatSize = 16;  // PCMWAVEFORMAT: no cbSize
constexpr REFERENCE_TIME kDefaultFrameTime = UNITS / 30;

// The colour table or bit masks that follow a bitmap header, in bytes.
size_t ColourBytes(const BITMAPINFOHEADER& header) {
  if (header.biCompression == BI_BITFIELDS) return 3 * 4;
  if (header.biCompression != 0 || header.biBitCount > 8) return header.biClrUsed * size_t{4};
  const size_t colours = header.biClrUsed != 0 ? header.biClrUsed : size_t{1} << header.biBitCount;
  return colours * 4;
}

// rate / scale of a frame period. Periods in 100-ns units are rounded from
// whole rates (30 fps is 333,333) and NTSC ones (29.97 is 333,667): those
// are written as the rate they came from, so players see 30/1 and
// 30000/1001; any other period as 10,000,000 / period, reduced.
void FrameRate(REFERENCE_TIME frame, uint32_t* rate, uint32_t* scale) {
  const long double exact = static_cast<long double>(UNITS) / frame;
  const auto whole = static_cast<uint32_t>(exact + 0.5L);
  if (whole > 0 && whole <= 1000 && std::llabs(UNITS / whole - frame) <= 1) {
    *rate = whole;
    *scale = 1;
    return;
  }
  const auto ntsc = static_cast<uint32_t>(exact * 1.001L + 0.5L);
  if (ntsc > 0 && ntsc <= 1000 &&
      std::fabs(static_cast<long double>(UNITS) * 1001 / (ntsc * 1000.0L) - frame) <= 1) {
    *rate = ntsc * 1000;
    *scale = 1001;
    return;
  }
  const REFERENCE_TIME common = std::gcd(frame, UNITS);
  *rate = uint32_t(UNITS / common);
  *scale = uint32_t(frame / common);
}

HRESULT CheckVideo(const CMediaType& type) {
  if (*type.FormatType() != FORMAT_VideoInfo || type.Format() == nullptr ||
      type.FormatLength() < sizeof(VIDEOINFOHEADER)) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
  const BITMAPINFOHEADER& bitmap = info->bmiHeader;
  const size_t room = type.FormatLength() - offsetof(VIDEOINFOHEADER, bmiHeader);
  if (bitmap.biSize < kBitmapHeaderSize || bitmap.biSize > room) return VFW_E_TYPE_NOT_ACCEPTED;
  if (bitmap.biWidth <= 0 || bitmap.biHeight == 0 || bitmap.biHeight == INT32_MIN ||
      bitmap.biPlanes > 1 || info->AvgTimePerFrame < 0) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT CheckAudio(const CMediaType& type) {
  if (*type.FormatType() != FORMAT_WaveFormatEx || type.Format() == nullptr ||
      type.FormatLength() < kPcmFormatSize) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.Format());
  if (type.FormatLength() < kWaveFormatSize && wave->wFormatTag != WAVE_FORMAT_PCM) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  if (type.FormatLength() >= kWaveFormatSize &&
      wave->cbSize > type.FormatLength() - kWaveFormatSize) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  if (wave->nChannels == 0 || wave->nSamplesPerSec == 0 || wave->nAvgBytesPerSec == 0 ||
      wave->nBlockAlign == 0) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

StreamSetup DescribeVideo(const CMediaType& type, REFERENCE_TIME firstDuration) {
  const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
  const BITMAPINFOHEADER& bitmap = info->bmiHeader;
  StreamSetup setup;
  REFERENCE_TIME frame = info->AvgTimePerFrame;
  if (frame <= 0 || frame > UINT32_MAX) frame = firstDuration;
  if (frame <= 0 || frame > UINT32_MAX) frame = kDefaultFrameTime;
  setup.frameTime = frame;
  setup.width = bitmap.biWidth;
  setup.height = bitmap.biHeight < 0 ? -bitmap.biHeight : bitmap.biHeight;

  avi::StreamHeader& header = setup.header;
  header.type = avi::kStreamVideo;
  header.handler = bitmap.biCompression;  // 0 (BI_RGB) for uncompressed pictures
  if (header.handler == BI_BITFIELDS) header.handler = 0;
  FrameRate(frame, &header.rate, &header.scale);
  header.frameRight = int16_t(setup.width > INT16_MAX ? INT16_MAX : setup.width);
  header.frameBottom = int16_t(setup.height > INT16_MAX ? INT16_MAX : setup.height);

  // The bitmap header field by field, then what follows it (its own extra
  // bytes and the colour table or masks that the block holds).
  std::vector<uint8_t>& out = setup.format;
  support::AppendLe32(out, bitmap.biSize);
  support::AppendLe32(out, uint32_t(bitmap.biWidth));
  support::AppendLe32(out, uint32_t(bitmap.biHeight));
  support::AppendLe16(out, bitmap.biPlanes == 0 ? WORD{1} : bitmap.biPlanes);
  support::AppendLe16(out, bitmap.biBitCount);
  support::AppendLe32(out, bitmap.biCompression);
  support::AppendLe32(out, bitmap.biSizeImage);
  support::AppendLe32(out, uint32_t(bitmap.biXPelsPerMeter));
  support::AppendLe32(out, uint32_t(bitmap.biYPelsPerMeter));
  support::AppendLe32(out, bitmap.biClrUsed);
  support::AppendLe32(out, bitmap.biClrImportant);
  const size_t room = type.FormatLength() - offsetof(VIDEOINFOHEADER, bmiHeader);
  size_t keep = bitmap.biSize + ColourBytes(bitmap);
  if (keep > room) keep = bitmap.biSize;
  const auto* bytes = reinterpret_cast<const uint8_t*>(&bitmap);
  out.insert(out.end(), bytes + kBitmapHeaderSize, bytes + keep);
  return setup;
}

StreamSetup DescribeAudio(const CMediaType& type) {
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.Format());
  StreamSetup setup;
  setup.bytesPerSecond = wave->nAvgBytesPerSec;
  avi::StreamHeader& header = setup.header;
  header.type = avi::kStreamAudio;
  header.scale = wave->nBlockAlign;
  header.rate = wave->nAvgBytesPerSec;
  header.sampleSize = wave->nBlockAlign;

  std::vector<uint8_t>& out = setup.format;
  support::AppendLe16(out, wave->wFormatTag);
  support::AppendLe16(out, wave->nChannels);
  support::AppendLe32(out, wave->nSamplesPerSec);
  support::AppendLe32(out, wave->nAvgBytesPerSec);
  support::AppendLe16(out, wave->nBlockAlign);
  support::AppendLe16(out, wave->wBitsPerSample);
  if (wave->wFormatTag != WAVE_FORMAT_PCM) {
    const uint16_t extra = type.FormatLength() >= kWaveFormatSize ? wave->cbSize : 0;
    support::AppendLe16(out, extra);
    const auto* bytes = type.Format() + kWaveFormatSize;
    out.insert(out.end(), bytes, bytes + extra);
  }
  return setup;
}

}  // namespace

HRESULT CheckStreamType(const CMediaType& type) {
  if (*type.Type() == MEDIATYPE_Video) return CheckVideo(type);
  if (*type.Type() == MEDIATYPE_Audio) return CheckAudio(type);
  return VFW_E_TYPE_NOT_ACCEPTED;
}

StreamSetup DescribeStream(const CMediaType& type, REFERENCE_TIME firstDuration) {
  if (*type.Type() == MEDIATYPE_Video) return DescribeVideo(type, firstDuration);
  return DescribeAudio(type);
}

}  // namespace ksv::media::avimux
