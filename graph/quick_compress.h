// The quick-compress step: a Vexel 5 encoder found as a build's video
// compressor is told to encode fast (its settings record) before it is
// connected. Any other compressor is left as it is. The outcome only shows
// as debug output; it never fails a build.
#pragma once

#include <array>
#include <cstdint>

#include "platform/media/media.h"

namespace ksv::graph {

inline constexpr size_t kQuickCompressRecordSize = 88;

// The settings record, little-endian: size 88, "VX50", version 0x00010005,
// quality level 6, key-frame spacing 2, flags 0x80000100, QuickCompress 1
// at offset 76; every other byte zero.
std::array<uint8_t, kQuickCompressRecordSize> QuickCompressRecord();

// Hands the record to `compressor` through IVexelEncode. `reportSuccess`
// also writes a debug line when the encoder took it.
void QuickCompress(IBaseFilter* compressor, bool reportSuccess);

}  // namespace ksv::graph
