#include "camapi/item_headers.h"

#include "support/byte_order.h"

namespace ksv::camapi {

bool KnownStreamTag(uint32_t tag) {
  return tag == kPictureTag || tag == kClipTag || tag == kVideoClipTag || tag == kBurstTag ||
         tag == kRecordingTag;
}

StoredItemHeader ReadStoredItemHeader(std::span<const uint8_t, kItemHeaderBytes> bytes) {
  using namespace support;
  StoredItemHeader header;
  header.tag = LoadLe32(bytes, 0);
  header.dataSize = LoadLe32(bytes, 4);
  header.tableIndex = bytes[10];
  header.subtype = bytes[11];
  header.width = LoadLe16(bytes, 12);
  header.height = LoadLe16(bytes, 14);
  header.chunkCount = LoadLe16(bytes, 18);
  header.audioRate = LoadLe32(bytes, 24);
  return header;
}

PerItemHeader ReadPerItemHeader(std::span<const uint8_t, kItemHeaderBytes> bytes) {
  using namespace support;
  PerItemHeader header;
  header.dataSize = LoadLe24(bytes, 3);
  header.tableIndex = bytes[8];
  header.blockSize = LoadLe16(bytes, 9);
  header.frames = LoadLe16(bytes, 11);
  header.tableDistance = LoadLe16(bytes, 13);
  header.kind = bytes[15];
  header.timing1 = LoadLe16(bytes, 16);
  header.timing2 = LoadLe16(bytes, 18);
  return header;
}

}  // namespace ksv::camapi
