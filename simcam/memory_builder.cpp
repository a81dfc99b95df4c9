#include "simcam/memory_builder.h"

#include <string>
#include <vector>

#include "simcam/adpcm_encoder.h"
#include "simcam/frame_encoder.h"
#include "simcam/framing.h"
#include "support/picture/colour.h"

namespace ksv::simcam {

namespace bulk = outside::bulk;

namespace {

std::vector<uint8_t> CompressScene(const picture::RgbPicture& scene, const bulk::RecordingMode& mode) {
  return EncodeEntropyData(picture::RgbToPlanar(FitToSize(scene, mode.width, mode.height)),
                           mode.tables);
}

bulk::StoredItemHeader HeaderFor(bulk::ItemTag tag, const bulk::RecordingMode& mode) {
  bulk::StoredItemHeader header;
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
  const uint32_t rate = sound == ClipSound::kAdpcm8000 ? bulk::kAdpcmRate : bulk::kPcmRate;
  const size_t perChunk = rate * bulk::kClipFrameMs / 1000;
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

bulk::StoredItem MakePictureItem(const picture::RgbPicture& scene, const bulk::RecordingMode& mode,
                           bulk::ItemSubtype quality) {
  bulk::StoredItemHeader header = HeaderFor(bulk::ItemTag::kPicture, mode);
  header.subtype = quality;
  return bulk::MakeItem(header, CompressScene(scene, mode));
}

bulk::StoredItem MakeBurstItem(std::span<const picture::RgbPicture> scenes, const bulk::RecordingMode& mode) {
  if (scenes.size() != bulk::kBurstFrames) {
    throw bulk::ItemError("a burst takes 5 pictures, not " + std::to_string(scenes.size()));
  }
  bulk::StoredItemHeader header = HeaderFor(bulk::ItemTag::kBurst, mode);
  header.chunkCount = static_cast<uint16_t>(scenes.size());
  std::vector<uint8_t> content;
  for (const picture::RgbPicture& scene : scenes)
    bulk::AppendChunk(content, CompressScene(scene, mode), {});
  return bulk::MakeItem(header, std::move(content));
}

bulk::StoredItem MakeClipItem(std::span<const picture::RgbPicture> scenes, const bulk::RecordingMode& mode,
                        bulk::ItemSubtype subtype, ClipSound sound, const MonoAudio& audio) {
  if (scenes.empty()) throw bulk::ItemError("a clip needs at least one frame");
  if (scenes.size() > 0xFFFF) throw bulk::ItemError("a clip holds at most 65535 frames");
  bulk::StoredItemHeader header =
      HeaderFor(sound == ClipSound::kNone ? bulk::ItemTag::kVideoClip : bulk::ItemTag::kClip, mode);
  header.subtype = subtype;
  header.chunkCount = static_cast<uint16_t>(scenes.size());
  header.audioRate = sound == ClipSound::kAdpcm8000  ? bulk::kAdpcmRate
                     : sound == ClipSound::kPcm12000 ? bulk::kPcmRate
                                                     : 0;
  const std::vector<std::vector<uint8_t>> sounds = ChunkSound(sound, audio, scenes.size());
  std::vector<uint8_t> content;
  for (size_t i = 0; i < scenes.size(); ++i) {
    bulk::AppendChunk(content, CompressScene(scenes[i], mode), sounds[i]);
  }
  return bulk::MakeItem(header, std::move(content));
}

bulk::StoredItem MakeRecordingItem(std::span<const uint8_t> file, uint8_t tableIndex) {
  bulk::StoredItemHeader header;
  header.tag = static_cast<uint32_t>(bulk::ItemTag::kRecording);
  header.tableIndex = tableIndex;
  std::vector<uint8_t> content;
  content.reserve(file.size());
  for (uint8_t byte : file) content.push_back(StoredRawByte(byte));
  return bulk::MakeItem(header, std::move(content));
}

}  // namespace ksv::simcam
