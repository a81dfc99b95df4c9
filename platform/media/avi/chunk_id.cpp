#include "platform/media/avi/avi_file.h"

namespace ksv::media::avi {

uint32_t ChunkId(uint32_t stream, uint16_t twoCharacterCode) {
  const uint32_t tens = '0' + (stream / 10) % 10;
  const uint32_t ones = '0' + stream % 10;
  return tens | ones << 8 | uint32_t{twoCharacterCode} << 16;
}

}  // namespace ksv::media::avi
