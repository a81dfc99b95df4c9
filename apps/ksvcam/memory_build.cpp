#include "apps/ksvcam/memory_build.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/file_output.h"
#include "simcam/memory_builder.h"
#include "simcam/picture.h"
#include "simcam/simulated_modes.h"
#include "simcam/wav_audio.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;

// Inputs larger than this cannot fit the camera's memory anyway.
constexpr size_t kMaxInputBytes = outside::bulk::kMaxStreamBytes;

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// The PNG files of a folder in name order; at least one.
std::vector<fs::path> PngFiles(const fs::path& folder, const char* option) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    throw CommandFailure(std::string(option) + " " + Quoted(folder) + " is not a folder");
  }
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    std::string extension = entry.path().extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".png" && entry.is_regular_file()) files.push_back(entry.path());
  }
  if (error) throw CommandFailure("cannot list " + Quoted(folder) + ": " + error.message());
  if (files.empty()) throw CommandFailure("no .png pictures in " + Quoted(folder));
  std::sort(files.begin(), files.end());
  return files;
}

simcam::RgbPicture ReadPicture(const fs::path& path) {
  try {
    return simcam::ReadPng(path.string());
  } catch (const std::exception& failure) {
    throw CommandFailure(Quoted(path) + ": " + failure.what());
  }
}

std::vector<simcam::RgbPicture> ReadPictures(const std::vector<fs::path>& files) {
  std::vector<simcam::RgbPicture> pictures;
  for (const fs::path& file : files) pictures.push_back(ReadPicture(file));
  return pictures;
}

const outside::bulk::RecordingMode& ModeOf(const outside::bulk::CameraMemory& memory, uint8_t index) {
  return *memory.FindMode(index);
}

struct ClipKind {
  uint8_t mode;
  outside::bulk::ItemSubtype subtype;
  simcam::ClipSound sound;
};

ClipKind ClipKindOf(const MemoryBuildOptions& options) {
  if (options.clipSize == "320x240") {
    return {simcam::kClipMode, outside::bulk::kClipSubtype, simcam::ClipSound::kAdpcm8000};
  }
  if (options.clipSize == "160x128") {
    return {simcam::kLowResClipMode, outside::bulk::kLowResClipSubtype, simcam::ClipSound::kPcm12000};
  }
  if (options.clipSize == "160x112") {
    if (!options.audioFile.empty()) {
      throw UsageError("a 160x112 clip has no sound; leave out --audio");
    }
    return {simcam::kVideoOnlyClipMode, outside::bulk::kLowResClipSubtype, simcam::ClipSound::kNone};
  }
  throw UsageError("--clip-size must be 320x240, 160x128 or 160x112, not '" + options.clipSize +
                   "'");
}

simcam::MonoAudio ReadSound(const std::string& path) {
  if (path.empty()) return {};  // the clip is silent
  try {
    return simcam::ReadWav(ReadWholeFile(path, kMaxInputBytes));
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

void AddClip(outside::bulk::CameraMemory& memory, const MemoryBuildOptions& options) {
  const ClipKind kind = ClipKindOf(options);
  const std::vector<simcam::RgbPicture> frames = ReadPictures(PngFiles(options.clipDir, "--clip"));
  memory.items.push_back(simcam::MakeClipItem(frames, ModeOf(memory, kind.mode), kind.subtype,
                                              kind.sound, ReadSound(options.audioFile)));
}

void AddPictures(outside::bulk::CameraMemory& memory, const std::string& folder, const char* option,
                 uint8_t mode, outside::bulk::ItemSubtype quality) {
  if (folder.empty()) return;
  for (const fs::path& file : PngFiles(folder, option)) {
    memory.items.push_back(
        simcam::MakePictureItem(ReadPicture(file), ModeOf(memory, mode), quality));
  }
}

}  // namespace

outside::bulk::CameraMemory BuildMemory(const MemoryBuildOptions& options) {
  CheckOptions(options);
  outside::bulk::CameraMemory memory{
      simcam::SimulatedCameraVersions(), simcam::SimulatedCameraModes(), {}};
  try {
    AddPictures(memory, options.photosDir, "--photos", simcam::kHighQualityPictureMode,
                outside::bulk::kHighQualitySubtype);
    AddPictures(memory, options.lowPhotosDir, "--low-photos", simcam::kLowQualityPictureMode,
                outside::bulk::kLowQualitySubtype);
    if (!options.burstDir.empty()) {
      std::vector<fs::path> files = PngFiles(options.burstDir, "--burst");
      if (files.size() < outside::bulk::kBurstFrames) {
        throw CommandFailure("a burst takes 5 pictures; " + Quoted(options.burstDir) + " has " +
                             std::to_string(files.size()));
      }
      files.resize(outside::bulk::kBurstFrames);
      memory.items.push_back(
          simcam::MakeBurstItem(ReadPictures(files), ModeOf(memory, simcam::kClipMode)));
    }
    if (!options.clipDir.empty()) AddClip(memory, options);
    if (!options.rawFile.empty()) {
      memory.items.push_back(simcam::MakeRecordingItem(
          ReadWholeFile(options.rawFile, kMaxInputBytes), simcam::kHighQualityPictureMode));
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
