#include "camapi/item_headers.h"

namespace ksv::camapi {

bool KnownStreamTag(uint32_t tag) {
  return tag == kPictureTag || tag == kClipTag || tag == kVideoClipTag || tag == kBurstTag ||
         tag == kRecordingTag;
}

StoredItemHeader ReadStoredItemHeader(std::span<const uint8_t, kItemHeaderBytes> bytes) {
  const uint8_t* at = bytes.data();
  StoredItemHeader header;
  header.tag = Le32(at);
  header.dataSize = Le32(at + 4);
  header.tableIndex = at[10];
  header.subtype = at[11];
  header.width = Le16(at + 12);
  header.height = Le16(at + 14);
  header.chunkCount = Le16(at + 18);
  header.audioRate = Le32(at + 24);
  return header;
}

PerItemHeader ReadPerItemHeader(std::span<const uint8_t, kItemHeaderBytes> bytes) {
  const uint8_t* at = bytes.data();
  PerItemHeader header;
  header.dataSize = Le24(at + 3);
  header.tableIndex = at[8];
  header.blockSize = Le16(at + 9);
  header.frames = Le16(at + 11);
  header.tableDistance = Le16(at + 13);
  header.kind = at[15];
  header.timing1 = Le16(at + 16);
  header.timing2 = Le16(at + 18);
  return header;
}

}  // namespace ksv::camapi
