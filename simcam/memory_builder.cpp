#include "simcam/memory_builder.h"

#include <string>
#include <vector>

#include "simcam/adpcm_encoder.h"
#include "simcam/frame_encoder.h"
#include "simcam/framing.h"
#include "support/picture/colour.h"

namespace ksv::simcam {

namespace {

std::vector<uint8_t> CompressScene(const picture::RgbPicture& scene, const RecordingMode& mode) {
  return EncodeEntropyData(picture::RgbToPlanar(FitToSize(scene, mode.width, mode.height)),
                           mode.tables);
}

StoredItemHeader HeaderFor(ItemTag tag, const RecordingMode& mode) {
  StoredItemHeader header;
  header.tag = static_cast<uint32_t>(tag);
  header.tableIndex = mode.tableIndex;
  header.width = mode.width;
  header.height = mode.height;
  return header;
}

// The sound of each of `frames` chunks, in the camera's stored form.
std::vector<std::vector<uint8_t>> ChunkSound(ClipSound sound, const MonoAudio& audio,
                                             size_t frames) {
  std::vector<std::vector<uint8_t>> chunks(frames);
  if (sound == ClipSound::kNone) return chunks;
  const uint32_t rate = sound == ClipSound::kAdpcm8000 ? kAdpcmRate : kPcmRate;
  const size_t perChunk = rate * kClipFrameMs / 1000;
  std::vector<int16_t> samples =
      audio.samples.empty() ? std::vector<int16_t>{} : Resample(audio, rate).samples;
  samples.resize(perChunk * frames, 0);  // cut, or complete with silence

  if (sound == ClipSound::kPcm12000) {
    for (size_t i = 0; i < frames; ++i) {
      for (size_t s = 0; s < perChunk; ++s)
        chunks[i].push_back(ToUnsigned8(samples[i * perChunk + s]));
    }
    return chunks;
  }
  // ADPCM blocks do not follow the frames: share the bytes out evenly, so
  // blocks straddle chunks as they do in the camera.
  const std::vector<uint8_t> blocks = EncodeAdpcm(samples);
  for (size_t i = 0; i < frames; ++i) {
    const size_t begin = blocks.size() * i / frames;
    const size_t end = blocks.size() * (i + 1) / frames;
    chunks[i].assign(blocks.begin() + static_cast<std::ptrdiff_t>(begin),
                     blocks.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return chunks;
}

}  // namespace

StoredItem MakePictureItem(const picture::RgbPicture& scene, const RecordingMode& mode,
                           ItemSubtype quality) {
  StoredItemHeader header = HeaderFor(ItemTag::kPicture, mode);
  header.subtype = quality;
  return MakeItem(header, CompressScene(scene, mode));
}

StoredItem MakeBurstItem(std::span<const picture::RgbPicture> scenes, const RecordingMode& mode) {
  if (scenes.size() != kBurstFrames) {
    throw ItemError("a burst takes 5 pictures, not " + std::to_string(scenes.size()));
  }
  StoredItemHeader header = HeaderFor(ItemTag::kBurst, mode);
  header.chunkCount = static_cast<uint16_t>(scenes.size());
  std::vector<uint8_t> content;
  for (const picture::RgbPicture& scene : scenes)
    AppendChunk(content, CompressScene(scene, mode), {});
  return MakeItem(header, std::move(content));
}

StoredItem MakeClipItem(std::span<const picture::RgbPicture> scenes, const RecordingMode& mode,
                        ItemSubtype subtype, ClipSound sound, const MonoAudio& audio) {
  if (scenes.empty()) throw ItemError("a clip needs at least one frame");
  if (scenes.size() > 0xFFFF) throw ItemError("a clip holds at most 65535 frames");
  StoredItemHeader header =
      HeaderFor(sound == ClipSound::kNone ? ItemTag::kVideoClip : ItemTag::kClip, mode);
  header.subtype = subtype;
  header.chunkCount = static_cast<uint16_t>(scenes.size());
  header.audioRate = sound == ClipSound::kAdpcm8000  ? kAdpcmRate
                     : sound == ClipSound::kPcm12000 ? kPcmRate
                                                     : 0;
  const std::vector<std::vector<uint8_t>> sounds = ChunkSound(sound, audio, scenes.size());
  std::vector<uint8_t> content;
  for (size_t i = 0; i < scenes.size(); ++i) {
    AppendChunk(content, CompressScene(scenes[i], mode), sounds[i]);
  }
  return MakeItem(header, std::move(content));
}

StoredItem MakeRecordingItem(std::span<const uint8_t> file, uint8_t tableIndex) {
  StoredItemHeader header;
  header.tag = static_cast<uint32_t>(ItemTag::kRecording);
  header.tableIndex = tableIndex;
  std::vector<uint8_t> content;
  content.reserve(file.size());
  for (uint8_t byte : file) content.push_back(StoredRawByte(byte));
  return MakeItem(header, std::move(content));
}

}  // namespace ksv::simcam
