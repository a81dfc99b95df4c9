#include "platform/media/avi/avi_headers.h"

#include "support/byte_order.h"

namespace ksv::media::avi::layout {

using support::AppendLe16;
using support::AppendLe32;
using support::LoadLe16;
using support::LoadLe32;
using support::LoadLeInt16;

MainHeader DecodeMainHeader(std::span<const uint8_t> bytes) {
  MainHeader header;
  header.microSecPerFrame = LoadLe32(bytes, 0);
  header.maxBytesPerSec = LoadLe32(bytes, 4);
  header.paddingGranularity = LoadLe32(bytes, 8);
  header.flags = LoadLe32(bytes, 12);
  header.totalFrames = LoadLe32(bytes, 16);
  header.initialFrames = LoadLe32(bytes, 20);
  header.streams = LoadLe32(bytes, 24);
  header.suggestedBufferSize = LoadLe32(bytes, 28);
  header.width = LoadLe32(bytes, 32);
  header.height = LoadLe32(bytes, 36);
  return header;
}

StreamHeader DecodeStreamHeader(std::span<const uint8_t> bytes) {
  StreamHeader header;
  header.type = LoadLe32(bytes, 0);
  header.handler = LoadLe32(bytes, 4);
  header.flags = LoadLe32(bytes, 8);
  header.priority = LoadLe16(bytes, 12);
  header.language = LoadLe16(bytes, 14);
  header.initialFrames = LoadLe32(bytes, 16);
  header.scale = LoadLe32(bytes, 20);
  header.rate = LoadLe32(bytes, 24);
  header.start = LoadLe32(bytes, 28);
  header.length = LoadLe32(bytes, 32);
  header.suggestedBufferSize = LoadLe32(bytes, 36);
  header.quality = LoadLe32(bytes, 40);
  header.sampleSize = LoadLe32(bytes, 44);
  if (bytes.size() >= kStreamHeaderSize) {
    header.frameLeft = LoadLeInt16(bytes, 48);
    header.frameTop = LoadLeInt16(bytes, 50);
    header.frameRight = LoadLeInt16(bytes, 52);
    header.frameBottom = LoadLeInt16(bytes, 54);
  }
  return header;
}

void AppendMainHeader(std::vector<uint8_t>& out, const MainHeader& header) {
  for (uint32_t field : {header.microSecPerFrame, header.maxBytesPerSec, header.paddingGranularity,
                         header.flags, header.totalFrames, header.initialFrames, header.streams,
                         header.suggestedBufferSize, header.width, header.height}) {
    AppendLe32(out, field);
  }
  for (int i = 0; i < 4; ++i) AppendLe32(out, 0);  // reserved
}

void AppendStreamHeader(std::vector<uint8_t>& out, const StreamHeader& header) {
  AppendLe32(out, header.type);
  AppendLe32(out, header.handler);
  AppendLe32(out, header.flags);
  AppendLe16(out, header.priority);
  AppendLe16(out, header.language);
  for (uint32_t field :
       {header.initialFrames, header.scale, header.rate, header.start, header.length,
        header.suggestedBufferSize, header.quality, header.sampleSize}) {
    AppendLe32(out, field);
  }
  for (int16_t field : {header.frameLeft, header.frameTop, header.frameRight, header.frameBottom}) {
    AppendLe16(out, static_cast<uint16_t>(field));
  }
}

void AppendChunk(std::vector<uint8_t>& out, uint32_t id, std::span<const uint8_t> data) {
  AppendLe32(out, id);
  AppendLe32(out, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2 != 0) out.push_back(0);
}

size_t BeginList(std::vector<uint8_t>& out, uint32_t id, uint32_t type) {
  AppendLe32(out, id);
  const size_t sizeAt = out.size();
  AppendLe32(out, 0);
  AppendLe32(out, type);
  return sizeAt;
}

void EndList(std::vector<uint8_t>& out, size_t sizeAt) {
  support::StoreLe32(out, sizeAt, static_cast<uint32_t>(out.size() - sizeAt - 4));
}

}  // namespace ksv::media::avi::layout
