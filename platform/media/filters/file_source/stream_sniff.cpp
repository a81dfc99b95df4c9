#include "platform/media/filters/file_source/stream_sniff.h"

#include <cstring>

#include "platform/media/media_guids.h"

namespace ksv::media::filters {

GUID SniffStreamSubtype(const uint8_t* bytes, size_t size) {
  if (size >= 12 && std::memcmp(bytes, "RIFF", 4) == 0) {
    if (std::memcmp(bytes + 8, "AVI ", 4) == 0) return MEDIASUBTYPE_Avi;
    if (std::memcmp(bytes + 8, "WAVE", 4) == 0) return MEDIASUBTYPE_WAVE;
  }
  static constexpr uint8_t kPackStart[] = {0x00, 0x00, 0x01, 0xBA};
  if (size >= sizeof(kPackStart) && std::memcmp(bytes, kPackStart, sizeof(kPackStart)) == 0) {
    return MEDIASUBTYPE_MPEG1System;
  }
  return GUID_NULL;
}

}  // namespace ksv::media::filters
