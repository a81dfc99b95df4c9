// Low-quality pictures are saved again at another size once their JPEG
// file is written: the per-item download resamples them to 320 x 240, the
// stream download keeps their top-left 160 x 120.
#pragma once

namespace ksv::camapi {

// How a re-save ended.
enum class Resaved {
  kDone,
  kKept,        // the picture could not be read or changed: the file stays as first written
  kSaveFailed,  // the new picture could not be written (a full disk): the item failed
};

// Decodes the JPEG file at `path`, resamples it to 320 x 240 and saves it
// over the same path.
Resaved ResaveResampled(const char* path);

// Decodes the JPEG file at `path`, keeps its top 120 rows and left 160
// columns and saves them over the same path; a picture smaller than that
// is kept.
Resaved ResaveCropped(const char* path);

}  // namespace ksv::camapi
