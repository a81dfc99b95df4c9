// What the AVI Splitter offers for one stream of a file: its media type
// (from the stream's header and format) and the packets its output pin
// delivers (from the stream's index).
#pragma once

#include "platform/media/avi/avi_file.h"
#include "platform/media/base/media_type.h"
#include "platform/media/filters/common/pull_output_pin.h"

namespace ksv::media::filters {

// Video: MEDIATYPE_Video, the bitmap header's subtype (RGB by bit count for
// BI_RGB, else its FOURCC), FORMAT_VideoInfo with the stored header and what
// follows it (palette, extra bytes), the frame period; fixed-size samples
// when uncompressed, temporal compression otherwise. Audio: see
// AudioMediaType. `plan` (the stream's, from AviStreamPlan) gives the bit
// rate. False for other kinds of stream and unusable formats.
bool AviStreamMediaType(const avi::Stream& stream, const PullPlan& plan, CMediaType* type);

// One packet per non-empty index entry, in index order. A chunk's times run
// from its first sample to the next chunk's, so an empty chunk (a dropped
// frame) leaves a gap. Video chunks are sync points when the index marks
// them key frames; sound chunks always are.
PullPlan AviStreamPlan(const avi::Stream& stream);

}  // namespace ksv::media::filters
