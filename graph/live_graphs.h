// The live graphs' own parts: choosing a capture format and building the
// preview again after a format change.
#pragma once

#include "graph/graph_context.h"

namespace ksv::graph {

// Applies the first FORMAT_VideoInfo capability whose biWidth, biHeight (as
// stored, sign and all) and biCompression equal `format`'s; false when none
// is accepted.
bool SelectFormat(IAMStreamConfig* config, const QmgVideoFormat& format);

// The current format as width, absolute height and compression; false when
// GetFormat fails. `format` is filled only for a FORMAT_VideoInfo type.
bool ReadFormat(IAMStreamConfig* config, QmgVideoFormat* format);

// Replaces the handle's graph by a fresh one with the preview of the stored
// device in `format` (null: the device's own), the stored view window
// applied again, and running again when `resume`.
void RebuildPreview(QmgHandle& handle, const QmgVideoFormat* format, bool resume);

}  // namespace ksv::graph
