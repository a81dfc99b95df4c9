// How the Wave Parser cuts a WAV file's sound into samples: blocks of about
// half a second, each a whole number of the format's blocks (nBlockAlign),
// with times from the format: sample frames for PCM, G.711 and float, the
// samples per block for IMA ADPCM, the average byte rate otherwise. A last
// short piece is delivered as it is for the sample-per-frame formats and
// dropped for block-compressed ones when it is less than one block.
#pragma once

#include "platform/media/avi/wav_file.h"
#include "platform/media/filters/common/pull_output_pin.h"

namespace ksv::media::filters {

PullPlan WavePlan(const avi::WavFile& file);

}  // namespace ksv::media::filters
