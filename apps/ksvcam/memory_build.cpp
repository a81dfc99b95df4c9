#include "apps/ksvcam/memory_build.h"

#include <filesystem>
#include <vector>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/parsers.h"
#include "apps/ksvcam/photo_input.h"
#include "simcam/memory_builder.h"
#include "simcam/simulated_modes.h"
#include "simcam/wav_audio.h"
#include "support/picture/whole_file.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;
namespace bulk = outside::bulk;

// Inputs larger than this cannot fit the camera's memory anyway.
constexpr size_t kMaxInputBytes = outside::bulk::kMaxStreamBytes;

const outside::bulk::RecordingMode& ModeOf(const outside::bulk::CameraMemory& memory, uint8_t index) {
  return *memory.FindMode(index);
}

struct ClipKind {
  uint8_t mode;
  outside::bulk::ItemSubtype subtype;
  simcam::ClipSound sound;
};

ClipKind ClipKindOf(const MemoryBuildOptions& options) {
  const ClipKind kind = ParseChoice<ClipKind>(
      options.clipSize, "--clip-size", "a clip size",
      {{"320x240", {simcam::kClipMode, bulk::kClipSubtype, simcam::ClipSound::kAdpcm8000}},
       {"160x128", {simcam::kLowResClipMode, bulk::kLowResClipSubtype, simcam::ClipSound::kPcm12000}},
       {"160x112", {simcam::kVideoOnlyClipMode, bulk::kLowResClipSubtype, simcam::ClipSound::kNone}}});
  if (kind.sound == simcam::ClipSound::kNone && !options.audioFile.empty()) {
    throw UsageError("a 160x112 clip has no sound; leave out --audio");
  }
  return kind;
}

simcam::MonoAudio ReadSound(const std::string& path) {
  if (path.empty()) return {};  // the clip is silent
  try {
    return simcam::ReadWav(picture::ReadWholeFile(path, kMaxInputBytes));
  } catch (const simcam::WavError& failure) {
    throw CommandFailure(Quoted(path) + ": " + failure.what());
  }
}

void CheckOptions(const MemoryBuildOptions& options) {
  if (options.photosDir.empty() && options.lowPhotosDir.empty() && options.burstDir.empty() &&
      options.clipDir.empty() && options.rawFile.empty()) {
    throw UsageError("nothing to store: give --photos, --low-photos, --burst, --clip or --raw");
  }
  if (options.clipDir.empty() && !options.audioFile.empty()) {
    throw UsageError("--audio is the sound of a clip: give --clip too");
  }
  if (!options.clipDir.empty()) ClipKindOf(options);
}

void AddClip(outside::bulk::CameraMemory& memory, const MemoryBuildOptions& options, Console& console) {
  const ClipKind kind = ClipKindOf(options);
  const std::vector<picture::RgbPicture> frames = ReadAllPhotos(options.clipDir, "--clip", console);
  memory.items.push_back(simcam::MakeClipItem(frames, ModeOf(memory, kind.mode), kind.subtype,
                                              kind.sound, ReadSound(options.audioFile)));
}

void AddPictures(outside::bulk::CameraMemory& memory, const std::string& folder, const char* option,
                 uint8_t mode, outside::bulk::ItemSubtype quality, Console& console) {
  if (folder.empty()) return;
  ReadPhotoFolder(folder, option, console, [&](const fs::path&, picture::RgbPicture&& photo) {
    memory.items.push_back(simcam::MakePictureItem(photo, ModeOf(memory, mode), quality));
  });
}

void AddBurst(outside::bulk::CameraMemory& memory, const std::string& folder, Console& console) {
  std::vector<picture::RgbPicture> frames;
  ReadPhotoFolder(
      folder, "--burst", console,
      [&](const fs::path&, picture::RgbPicture&& photo) { frames.push_back(std::move(photo)); },
      outside::bulk::kBurstFrames);
  if (frames.size() < outside::bulk::kBurstFrames) {
    throw CommandFailure("a burst takes 5 pictures; " + Quoted(folder) + " has " +
                         std::to_string(frames.size()) + " that can be read");
  }
  memory.items.push_back(simcam::MakeBurstItem(frames, ModeOf(memory, simcam::kClipMode)));
}

}  // namespace

outside::bulk::CameraMemory BuildMemory(const MemoryBuildOptions& options, Console& console) {
  CheckOptions(options);
  outside::bulk::CameraMemory memory{
      simcam::SimulatedCameraVersions(), simcam::SimulatedCameraModes(), {}};
  try {
    AddPictures(memory, options.photosDir, "--photos", simcam::kHighQualityPictureMode,
                outside::bulk::kHighQualitySubtype, console);
    AddPictures(memory, options.lowPhotosDir, "--low-photos", simcam::kLowQualityPictureMode,
                outside::bulk::kLowQualitySubtype, console);
    if (!options.burstDir.empty()) AddBurst(memory, options.burstDir, console);
    if (!options.clipDir.empty()) AddClip(memory, options, console);
    if (!options.rawFile.empty()) {
      memory.items.push_back(
          simcam::MakeRecordingItem(picture::ReadWholeFile(options.rawFile, kMaxInputBytes),
                                    simcam::kHighQualityPictureMode));
    }
    outside::bulk::CheckMemory(memory);
  } catch (const outside::bulk::ItemError& failure) {
    throw CommandFailure(std::string("cannot store it: ") + failure.what());
  } catch (const outside::bulk::MemoryError& failure) {
    throw CommandFailure(std::string("the camera cannot hold it: ") + failure.what());
  }
  return memory;
}

}  // namespace ksv::ksvcam
