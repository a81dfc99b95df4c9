// Makes the items the camera stores from pictures and sound, the way the
// camera takes them: pictures fitted to the mode's size and compressed with
// its tables, clip sound at the camera's rates, raw recordings in the
// camera's bit order.
#pragma once

#include <cstdint>
#include <span>

#include "outside/bulk/memory/recording_mode.h"
#include "outside/bulk/memory/stored_item.h"
#include "simcam/wav_audio.h"
#include "support/picture/picture.h"

namespace ksv::simcam {

namespace bulk = outside::bulk;

enum class ClipSound {
  kNone,       // a "VDO " clip
  kAdpcm8000,  // 4-bit ADPCM blocks at 8,000 Hz
  kPcm12000,   // 8-bit PCM at 12,000 Hz
};

// A picture (subtype 1 high quality, 2 low quality) of `scene`.
bulk::StoredItem MakePictureItem(const picture::RgbPicture& scene, const bulk::RecordingMode& mode,
                           bulk::ItemSubtype quality);

// A burst of the five `scenes`. Throws bulk::ItemError for any other count.
bulk::StoredItem MakeBurstItem(std::span<const picture::RgbPicture> scenes, const bulk::RecordingMode& mode);

// A clip of subtype 3 or 4, one frame a scene, 100 ms each. Its sound is
// `audio` at the camera's rate, cut or completed with silence to the clip's
// length; with kNone `audio` is not used. Throws bulk::ItemError when a frame or
// its sound does not fit a chunk, or there are no scenes.
bulk::StoredItem MakeClipItem(std::span<const picture::RgbPicture> scenes, const bulk::RecordingMode& mode,
                        bulk::ItemSubtype subtype, ClipSound sound, const MonoAudio& audio);

// A raw recording whose download (each byte rotated right by two bits)
// gives back `file`.
bulk::StoredItem MakeRecordingItem(std::span<const uint8_t> file, uint8_t tableIndex);

// A byte as the camera stores it in a raw recording: rotated left by two.
constexpr uint8_t StoredRawByte(uint8_t byte) {
  return static_cast<uint8_t>(byte << 2 | byte >> 6);
}

}  // namespace ksv::simcam
