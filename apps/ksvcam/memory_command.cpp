// `ksvcam memory build|info`: makes a camera memory image from a person's
// pictures and sound, and lists what a camera memory holds.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <memory>

#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/memory_build.h"
#include "apps/ksvcam/memory_info.h"
#include "simcam/default_memory.h"
#include "outside/bulk/memory/memory_image.h"
#include "support/picture/whole_file.h"

namespace ksv::ksvcam {
namespace {

struct MemoryOptions {
  MemoryBuildOptions build;
  std::string infoFile;  // empty: the camera the bulk library connects to
  CLI::App* buildCommand = nullptr;
};

void AddBuildCommand(CLI::App& memory, MemoryOptions& options) {
  MemoryBuildOptions& build = options.build;
  CLI::App& command = *memory.add_subcommand(
      "build",
      "Make a camera memory image from your pictures and sound, for the bulk library to replay "
      "(KSV_CAMERA_MEMORY=FILE).");
  command
      .add_option("--photos", build.photosDir,
                  "Folder of PNG or JPEG pictures: high-quality pictures")
      ->type_name("DIR");
  command
      .add_option("--low-photos", build.lowPhotosDir,
                  "Folder of PNG or JPEG pictures: low-quality pictures")
      ->type_name("DIR");
  command.add_option("--burst", build.burstDir, "Folder whose first five pictures are a burst")
      ->type_name("DIR");
  command
      .add_option("--clip", build.clipDir, "Folder of PNG or JPEG frames (name order, 10 a second)")
      ->type_name("DIR");
  command
      .add_option("--clip-size", build.clipSize,
                  "320x240 (ADPCM sound), 160x128 (PCM sound) or 160x112 (no sound)")
      ->type_name("WxH")
      ->capture_default_str();
  command.add_option("--audio", build.audioFile, "WAV file: the clip's sound (else silence)")
      ->type_name("WAV");
  command.add_option("--raw", build.rawFile, "Any file, stored as a raw recording")
      ->type_name("FILE");
  command.add_option("-o,--output", build.output, "Memory image to write (replaced if it exists)")
      ->type_name("FILE")
      ->required();
  options.buildCommand = &command;
}

void AddInfoCommand(CLI::App& memory, MemoryOptions& options) {
  CLI::App& command = *memory.add_subcommand(
      "info",
      "List a camera memory's items and the counts per type: FILE, else the image "
      "KSV_CAMERA_MEMORY names, else the simulated camera's.");
  command.add_option("FILE", options.infoFile, "Camera memory image")->type_name("FILE");
}

int RunBuild(const MemoryBuildOptions& options, Console& console) {
  const outside::bulk::CameraMemory memory = BuildMemory(options, console);
  const std::vector<uint8_t> image = outside::bulk::WriteMemoryImage(memory);
  picture::WriteWholeFile(options.output, image);
  console.out << "memory: " << memory.items.size() << " item"
              << (memory.items.size() == 1 ? "" : "s") << ", " << image.size()
              << " bytes written to '" << options.output << "'\n";
  return kExitOk;
}

int RunInfo(const std::string& file, Console& console) {
  std::string path = file;
  if (path.empty()) {
    const char* chosen = std::getenv("KSV_CAMERA_MEMORY");
    if (chosen != nullptr) path = chosen;
  }
  if (path.empty()) {
    console.out << DescribeMemory(simcam::DefaultCameraMemory(simcam::DefaultPhotosDir()),
                                  "simulated camera");
    return kExitOk;
  }
  try {
    console.out << DescribeMemory(outside::bulk::LoadMemoryImage(path), "'" + path + "'");
  } catch (const outside::bulk::MemoryImageError& failure) {
    throw CommandFailure(failure.what());
  }
  return kExitOk;
}

}  // namespace

CommandRun MemoryCommand(CLI::App& app) {
  auto options = std::make_shared<MemoryOptions>();
  CLI::App& memory = *app.add_subcommand(
      "memory", "Build or list camera memory images (the camera's stored items).");
  memory.require_subcommand(1);
  AddBuildCommand(memory, *options);
  AddInfoCommand(memory, *options);
  return [options](Console& console) {
    if (options->buildCommand->parsed()) return RunBuild(options->build, console);
    return RunInfo(options->infoFile, console);
  };
}

}  // namespace ksv::ksvcam
