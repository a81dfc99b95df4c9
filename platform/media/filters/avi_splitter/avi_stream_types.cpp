#include "platform/media/filters/avi_splitter/avi_stream_types.h"

#include <cstdlib>
#include <cstring>
#include <span>

#include "platform/media/avi/avi_reader.h"
#include "platform/media/filters/common/audio_type.h"
#include "support/byte_order.h"

namespace ksv::media::filters {

namespace {

constexpr size_t kBitmapHeaderSize = 40;
constexpr int64_t kUnits = 10'000'000;

using support::LoadLe16;
using support::LoadLe32;

BITMAPINFOHEADER ReadBitmapHeader(std::span<const uint8_t> bytes) {
  BITMAPINFOHEADER header{};
  header.biSize = LoadLe32(bytes, 0);
  header.biWidth = static_cast<LONG>(LoadLe32(bytes, 4));
  header.biHeight = static_cast<LONG>(LoadLe32(bytes, 8));
  header.biPlanes = LoadLe16(bytes, 12);
  header.biBitCount = LoadLe16(bytes, 14);
  header.biCompression = LoadLe32(bytes, 16);
  header.biSizeImage = LoadLe32(bytes, 20);
  header.biXPelsPerMeter = static_cast<LONG>(LoadLe32(bytes, 24));
  header.biYPelsPerMeter = static_cast<LONG>(LoadLe32(bytes, 28));
  header.biClrUsed = LoadLe32(bytes, 32);
  header.biClrImportant = LoadLe32(bytes, 36);
  return header;
}

bool IsUncompressed(const BITMAPINFOHEADER& header) {
  return header.biCompression == 0 || header.biCompression == BI_BITFIELDS;
}

uint32_t ImageSize(const BITMAPINFOHEADER& header) {
  if (header.biSizeImage != 0) return header.biSizeImage;
  const uint64_t stride =
      (static_cast<uint64_t>(std::llabs(header.biWidth)) * header.biBitCount + 31) / 32 * 4;
  const uint64_t size = stride * static_cast<uint64_t>(std::llabs(header.biHeight));
  return size > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(size);
}

bool VideoMediaType(const avi::Stream& stream, const PullPlan& plan, CMediaType* type) {
  const std::vector<uint8_t>& format = stream.format;
  if (format.size() < kBitmapHeaderSize) return false;
  const BITMAPINFOHEADER header = ReadBitmapHeader(format);
  const size_t blockSize = offsetof(VIDEOINFOHEADER, bmiHeader) + format.size();
  type->InitMediaType();
  BYTE* block = type->AllocFormatBuffer(static_cast<ULONG>(blockSize));
  if (block == nullptr) return false;
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = avi::SampleTime(stream.header, 1);
  if (plan.duration > 0) {
    uint64_t bytes = 0;
    for (const PullPacket& packet : plan.packets) bytes += packet.size;
    const long double bitsPerSecond = static_cast<long double>(bytes) * 8 * kUnits / plan.duration;
    info.dwBitRate = bitsPerSecond > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(bitsPerSecond);
  }
  info.bmiHeader = header;
  std::memcpy(block, &info, sizeof(info));
  // The palette or codec data that follows the header, byte for byte.
  std::memcpy(block + sizeof(info), format.data() + kBitmapHeaderSize,
              format.size() - kBitmapHeaderSize);

  const GUID subtype = GetBitmapSubtype(&header);
  type->SetType(&MEDIATYPE_Video);
  type->SetSubtype(&subtype);
  type->SetFormatType(&FORMAT_VideoInfo);
  if (IsUncompressed(header)) {
    type->SetTemporalCompression(FALSE);
    type->SetSampleSize(ImageSize(header));
  } else {
    type->SetTemporalCompression(TRUE);
    type->SetVariableSize();
  }
  return true;
}

}  // namespace

PullPlan AviStreamPlan(const avi::Stream& stream) {
  PullPlan plan;
  const std::vector<uint64_t> first = avi::FirstSamples(stream);
  const uint32_t sampleSize = stream.header.sampleSize;
  uint64_t end = stream.header.start;
  plan.packets.reserve(stream.index.size());
  for (size_t i = 0; i < stream.index.size() && i < first.size(); ++i) {
    const avi::IndexEntry& entry = stream.index[i];
    const uint64_t samples = sampleSize == 0 ? 1 : entry.size / sampleSize;
    end = first[i] + samples;
    if (entry.size == 0) continue;
    PullPacket packet;
    packet.offset = entry.offset;
    packet.size = entry.size;
    packet.start = avi::SampleTime(stream.header, first[i]);
    packet.stop = avi::SampleTime(stream.header, end);
    packet.syncPoint = stream.IsVideo() ? entry.keyFrame : true;
    plan.packets.push_back(packet);
  }
  plan.duration = avi::SampleTime(stream.header, end);
  return plan;
}

bool AviStreamMediaType(const avi::Stream& stream, const PullPlan& plan, CMediaType* type) {
  if (stream.IsVideo()) return VideoMediaType(stream, plan, type);
  if (stream.IsAudio()) return AudioMediaType(stream.format, type);
  return false;
}

}  // namespace ksv::media::filters
