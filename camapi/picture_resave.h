// Low-quality pictures are saved again at another size once their JPEG
// file is written: the per-item download resamples them to 320 x 240, the
// stream download keeps their top-left 160 x 120.
#pragma once

namespace ksv::camapi {

// Decodes the JPEG file at `path`, resamples it to 320 x 240 and saves it
// over the same path. False, with the file as it was, when any step fails.
bool ResaveResampled(const char* path);

// Decodes the JPEG file at `path`, keeps its top 120 rows and left 160
// columns and saves them over the same path. False, with the file as it
// was, when the picture is smaller than that or any step fails.
bool ResaveCropped(const char* path);

}  // namespace ksv::camapi
