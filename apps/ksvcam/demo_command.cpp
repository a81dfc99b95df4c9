// `ksvcam demo`: photographs the test pictures with the simulated camera at
// every compression level, decodes the frames and writes them with the
// pictures into a folder, reporting size and quality of each; then
// downloads the camera's memory and captures two seconds of live video
// through the driver, with a button snapshot half-way.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "apps/ksvcam/capture_snapshot.h"
#include "apps/ksvcam/command_line.h"
#include "apps/ksvcam/commands.h"
#include "apps/ksvcam/machine_camera.h"
#include "apps/ksvcam/parsers.h"
#include "apps/ksvcam/photo_input.h"
#include "codec/decoder.h"
#include "simcam/frame_encoder.h"
#include "simcam/framing.h"
#include "support/picture/colour.h"
#include "support/picture/picture.h"
#include "support/picture/picture_file.h"
#include "support/picture/psnr.h"
#include "support/picture/whole_file.h"
#include "support/shipped_data.h"
#include "support/test_data.h"

namespace ksv::ksvcam {
namespace {

namespace fs = std::filesystem;
using codec::FrameSize;

// The camera's usual video size and the small one the driver crops to 160x120.
constexpr std::array<FrameSize, 2> kDemoSizes = {{{320, 240}, {160, 128}}};
constexpr size_t kFramesPerPhoto = kDemoSizes.size() * codec::kCompressionLevels;
// What the capture step leaves in the folder.
constexpr const char* kCaptureName = "capture.y4m";
constexpr const char* kSnapshotName = "snapshot.png";
// What each frame leaves in the folder: the frame and its two decodes.
constexpr const char* kFrameSuffix = ".frame";
constexpr const char* kRgbPictureSuffix = ".bgr24.png";
constexpr const char* kPlanarPictureSuffix = ".i420.png";
constexpr std::array<const char*, 3> kSuffixes = {kFrameSuffix, kRgbPictureSuffix,
                                                  kPlanarPictureSuffix};

std::string FrameBaseName(const std::string& stem, FrameSize size, int level) {
  return stem + "_" + SizeText(size) + "_L" + std::to_string(level);
}

// Refuses up front, before anything is written, when an earlier run's file
// would be overwritten without -y.
void CheckNothingOverwritten(const fs::path& outDir, const std::vector<fs::path>& photos) {
  std::vector<fs::path> existing;
  for (const fs::path& photo : photos) {
    for (const FrameSize& size : kDemoSizes) {
      for (int level = 0; level < codec::kCompressionLevels; ++level) {
        for (const char* suffix : kSuffixes) {
          const fs::path file =
              outDir / (FrameBaseName(photo.stem().string(), size, level) + suffix);
          if (fs::exists(fs::symlink_status(file))) existing.push_back(file);
        }
      }
    }
  }
  for (const char* name : {kCaptureName, kSnapshotName}) {
    if (fs::exists(fs::symlink_status(outDir / name))) existing.push_back(outDir / name);
  }
  if (existing.empty()) return;
  std::string more;
  if (existing.size() > 1) more = " and " + std::to_string(existing.size() - 1) + " more";
  throw CommandFailure(Quoted(outDir) + " already holds " + Quoted(existing.front().filename()) +
                       more + " from an earlier run; use -y/--overwrite to replace them");
}

struct FrameResult {
  size_t frameBytes = 0;
  double rgbPsnr = 0;
  double planarPsnr = 0;
};

// Photographs one picture at one level, decodes it both ways and writes the
// frame and the two decoded pictures.
FrameResult RunOneFrame(codec::DecoderTables& decoder, const picture::RgbPicture& scene,
                        const picture::PlanarPicture& planarScene, int level, const fs::path& base,
                        picture::ExistingFile existing) {
  const FrameSize size{scene.width, scene.height};
  const std::vector<uint8_t> frame = simcam::EncodeFrame(planarScene, level);
  picture::WriteWholeFile(base.string() + kFrameSuffix, frame, existing);

  const codec::DecoderContext noGamma;
  std::vector<uint8_t> rgb(codec::Rgb24Bytes(size));
  uint32_t written = 0;
  if (!decoder.DecodeFrame(noGamma, frame, rgb, written, size, size, codec::kCompressionRgb) ||
      written != rgb.size()) {
    throw CommandFailure("the 24-bit decode failed");
  }
  const picture::RgbPicture rgbPicture =
      picture::FromBottomUp24(rgb, size.width, size.height, picture::ChannelOrder::kBgr);
  picture::WritePicture(base.string() + kRgbPictureSuffix, rgbPicture, existing);

  std::vector<uint8_t> planar(codec::PlanarBytes(size));
  if (!decoder.DecodeFrame(noGamma, frame, planar, written, size, size, codec::kCompressionI420) ||
      written != planar.size()) {
    throw CommandFailure("the planar decode failed");
  }
  picture::WritePicture(base.string() + kPlanarPictureSuffix,
                        picture::PlanarToRgb(planar, size.width, size.height), existing);

  return {frame.size(), picture::Psnr(scene.pixels, rgbPicture.pixels),
          picture::Psnr(planarScene.samples, planar)};
}

std::string Decibels(double psnr) {
  if (std::isinf(psnr)) return "inf dB";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f dB", psnr);
  return text;
}

struct DemoTotals {
  size_t frames = 0;
  size_t failures = 0;
  size_t frameBytes = 0;
  double rgbPsnrSum = 0;
  double planarPsnrSum = 0;
  double worstPsnr = INFINITY;

  void Add(const FrameResult& result) {
    ++frames;
    frameBytes += result.frameBytes;
    // A lossless frame would make the mean infinite; it counts as 99 dB.
    rgbPsnrSum += std::min(result.rgbPsnr, 99.0);
    planarPsnrSum += std::min(result.planarPsnr, 99.0);
    worstPsnr = std::min({worstPsnr, result.rgbPsnr, result.planarPsnr});
  }
};

std::string SummaryLine(const DemoTotals& totals, size_t photos, const fs::path& outDir,
                        double seconds) {
  char text[400];
  if (totals.frames == 0) {
    std::snprintf(text, sizeof text, "demo: all %zu frames failed\n", totals.failures);
    return text;
  }
  const double frames = static_cast<double>(totals.frames);
  const std::string failed =
      totals.failures == 0 ? "" : "; " + std::to_string(totals.failures) + " failed";
  std::snprintf(text, sizeof text,
                "demo: %zu frames from %zu photo%s in %.1f s, %zu bytes compressed, %zu pictures "
                "in %s; mean PSNR 24-bit %.2f dB, planar %.2f dB, worst %s%s\n",
                totals.frames, photos, photos == 1 ? "" : "s", seconds, totals.frameBytes,
                totals.frames * 2, outDir.string().c_str(), totals.rgbPsnrSum / frames,
                totals.planarPsnrSum / frames, Decibels(totals.worstPsnr).c_str(), failed.c_str());
  return text;
}

void PrintFrameLine(Console& console, const std::string& label, const FrameResult& result) {
  console.out << label << ": frame " << result.frameBytes << " bytes, PSNR 24-bit "
              << Decibels(result.rgbPsnr) << ", planar " << Decibels(result.planarPsnr) << '\n';
}

// What every frame of one demo run shares.
struct DemoRun {
  Console& console;
  codec::DecoderTables& decoder;
  ProgressLine& progress;
  fs::path outDir;
  picture::ExistingFile existing;
  DemoTotals totals;
};

// One photograph at every size and level; a failure is reported and the run
// goes on with the next frame.
void PhotographAtEveryLevel(DemoRun& run, const fs::path& photoPath,
                            const picture::RgbPicture& photo) {
  const std::string stem = photoPath.stem().string();
  for (const FrameSize& size : kDemoSizes) {
    const picture::RgbPicture scene = simcam::FitToSize(photo, size.width, size.height);
    const picture::PlanarPicture planarScene = picture::RgbToPlanar(scene);
    for (int level = 0; level < codec::kCompressionLevels; ++level) {
      const std::string base = FrameBaseName(stem, size, level);
      run.progress.Show(run.totals.frames + run.totals.failures + 1, base);
      try {
        const FrameResult result =
            RunOneFrame(run.decoder, scene, planarScene, level, run.outDir / base, run.existing);
        run.totals.Add(result);
        run.progress.Clear();
        PrintFrameLine(run.console, stem + " " + SizeText(size) + " L" + std::to_string(level),
                       result);
      } catch (const std::exception& failure) {
        ++run.totals.failures;
        run.progress.Clear();
        PrintError(run.console, base + ": " + failure.what());
      }
    }
  }
}

struct DemoOptions {
  std::string photosDir;  // empty: the default test photographs
  std::string outDir = "ksvcam-demo";
  bool overwrite = false;
};

// Two seconds of live video through the driver into capture.y4m, with a
// press of the camera's button half-way whose raw snapshot the snapshot
// library converts into snapshot.png, each run as its subcommand.
bool RunDemoCapture(const fs::path& outDir, Console& console) {
  const std::string capture[] = {"ksvcam",        "capture", "--frames", "60", "-o",
                                 (outDir / kCaptureName).string(), "--snapshot-at", "30"};
  if (RunCommandLine(capture, console) != kExitOk) return false;
  const std::string snapshot = (outDir / kSnapshotName).string();
  const std::string convert[] = {"ksvcam", "snapshot-convert",
                                 (PrepareSnapshotFolder() / "snapraw.dat").string(), "-o", snapshot};
  if (RunCommandLine(convert, console) != kExitOk) return false;
  console.out << "snapshot: converted to " << snapshot << '\n' << std::flush;
  return true;
}

int RunDemo(const DemoOptions& options, Console& console) {
  const fs::path photosDir = options.photosDir.empty() ? DefaultPhotosDir() : options.photosDir;
  const fs::path outDir = options.outDir;
  picture::PhotoFiles photos = ListPhotos(photosDir, "--photos");
  if (photos.pictures.empty()) {
    ReportSkipped(photos, console);
    throw CommandFailure("no PNG or JPEG photographs in " + Quoted(photosDir) +
                         " (give a folder of them with --photos)");
  }
  if (!options.overwrite) CheckNothingOverwritten(outDir, photos.pictures);
  std::error_code error;
  fs::create_directories(outDir, error);
  if (error) throw CommandFailure("cannot create " + Quoted(outDir) + ": " + error.message());

  codec::DecoderTables decoder;
  if (!decoder.SetUp()) throw CommandFailure("cannot set up the decoder: out of memory");
  ProgressLine progress(console, photos.pictures.size() * kFramesPerPhoto);
  DemoRun run{console,
              decoder,
              progress,
              outDir,
              options.overwrite ? picture::ExistingFile::kReplace : picture::ExistingFile::kKeep,
              {}};

  const auto start = std::chrono::steady_clock::now();
  const size_t photographed =
      picture::ReadPhotos(photos, [&](const fs::path& path, picture::RgbPicture&& photo) {
        PhotographAtEveryLevel(run, path, photo);
      });
  progress.Clear();
  ReportSkipped(photos, console);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  console.out << SummaryLine(run.totals, photographed, outDir, seconds) << std::flush;

  // The camera's memory, downloaded the way an application does it.
  ChooseCamera("");
  const bool downloaded =
      DownloadInto({.outDir = outDir / "camera", .overwrite = options.overwrite, .firstFrames = true},
                   console, false, true);
  // Live video through the driver, as a capture application gets it.
  const bool captured = RunDemoCapture(outDir, console);
  return run.totals.failures == 0 && downloaded && captured ? kExitOk : kExitFailure;
}

}  // namespace

std::string DefaultPhotosDir() {
  try {
    return support::DefaultPhotosDir().string();
  } catch (const support::TestDataNotFound& missing) {
    throw CommandFailure(std::string(missing.what()) + "; name a folder with --photos");
  }
}

CommandRun DemoCommand(CLI::App& app) {
  auto options = std::make_shared<DemoOptions>();
  CLI::App& command = *app.add_subcommand(
      "demo",
      "Photograph the shipped photographs (or --photos) with the simulated camera at every compression level, "
      "decode the frames and write frames and pictures into a folder.");
  command
      .add_option(
          "--photos", options->photosDir,
          "Folder of PNG or JPEG photographs (default: the photographs ksvcam ships, in "
          "share/ksv/photos of its build or installed tree; $KSV_TESTDATA_DIR/photos when that "
          "is set)")
      ->type_name("DIR");
  command.add_option("--out", options->outDir, "Folder to write into (created if missing)")
      ->type_name("DIR")
      ->capture_default_str();
  command.add_flag("-y,--overwrite", options->overwrite,
                   "Replace files an earlier run left in the folder");
  return [options](Console& console) { return RunDemo(*options, console); };
}

}  // namespace ksv::ksvcam
