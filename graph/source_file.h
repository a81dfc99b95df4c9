// Opening a media file as the start of a graph: a file source, then the
// splitter or parser its stream needs, whose free outputs become the
// context's video and audio tails.
#pragma once

#include <cstdint>

#include "graph/graph_context.h"

namespace ksv::graph {

// Which streams a build wants from a source file.
enum WantedStreams : int32_t {
  kWantVideo = 1,
  kWantAudio = 2,
  kWantBoth = 3,
};

// Adds (listed) a file source reading `path` and, by the subtype of the
// stream it offers, an MPEG-1 splitter with the decoders of the wanted
// streams, an AVI splitter, or a WAV parser. Clears the wanted tails first,
// then sets them to the filters that carry those streams; a WAV file gives
// only an audio tail, whatever was wanted. False on any failure (what was
// added stays in the graph) and for a stream that is none of the three.
bool OpenSourceFile(GraphContext& context, const char* path, int32_t wanted);

// The split build's variant, both streams wanted: an MPEG-1 file sets its
// tails only when both decoders connected, and a WAV file succeeds without
// adding a parser, so it gives no stream at all.
bool OpenSourceFileForSplit(GraphContext& context, const char* path);

}  // namespace ksv::graph
