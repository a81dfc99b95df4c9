// Saving streams into a new AVI file: each stream copied as it is or, for
// video with options that ask for it, decoded and compressed again; the
// chunks interleaved in time order (each audio chunk holds the sound of one
// video frame and comes before that frame); an idx1 index at the end. The
// file appears under its name only when complete.
#pragma once

#include <span>

#include "platform/avifile/avi_objects.h"

namespace ksv::avifile {

// `options` has one entry per stream (null entries: copy as it is).
// Returns AVIERR_OK or the AVIERR code of the failure.
HRESULT SaveStreams(const char* path, std::span<IAVIStream* const> streams,
                    std::span<const AVICOMPRESSOPTIONS* const> options,
                    AVISAVECALLBACK progress);

}  // namespace ksv::avifile
