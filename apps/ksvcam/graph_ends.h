// Whether a graph `ksvcam graph` built can end: a graph nothing could stop
// is refused before it runs, with the reason, instead of running for ever.
#pragma once

#include "platform/media/media.h"

namespace ksv::ksvcam {

// Throws UsageError, unless `seconds` (> 0) bounds the run, when:
//   - a live source (a capture pin) streams and nothing else could stop it
//     (stdin is not a terminal, so Escape cannot be typed);
//   - without a live source, no filter takes a stream (nothing renders or
//     writes, so nothing would report the end), or a filter with inputs has
//     none connected but feeds others (a multiplexer given no stream: those
//     after it would wait for ever).
void CheckTheGraphEnds(IFilterGraph* graph, double seconds);

}  // namespace ksv::ksvcam
