// What kind of byte stream a file holds, from its first bytes: the subtype
// the File Source gives its MEDIATYPE_Stream output so that the graph finds
// the parser for it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/com/guid.h"

namespace ksv::media::filters {

// How many leading bytes SniffStreamSubtype looks at.
inline constexpr size_t kSniffBytes = 12;

// MEDIASUBTYPE_Avi for a RIFF "AVI " file, MEDIASUBTYPE_WAVE for a RIFF
// "WAVE" file, MEDIASUBTYPE_MPEG1System for an MPEG-1 system stream (it
// starts with a pack header), else GUID_NULL. `size` may be less than
// kSniffBytes (a short file).
GUID SniffStreamSubtype(const uint8_t* bytes, size_t size);

}  // namespace ksv::media::filters
