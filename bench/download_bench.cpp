// The camera access library's two download paths, each against an anchor
// measured in the same run:
//  - the stream path (KXCAMAPI_GetAllImgs, pictures only, files into a
//    temporary folder) in MB/s of stream, against copying the same stream
//    in memory (memcpy) and against writing its items as files unchanged;
//  - the burst path (KXCAMAPI_Download of bursts: decode, JPEG encode,
//    write) in frames per second, against libjpeg-turbo decoding the same
//    frames as standard JPEG files.
//
//   build/bench/download_bench [runs]      (files in /dev/shm, or TMPDIR)
#include <stdlib.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/median_timing.h"
#include "include/oksv1api.h"
#include "include/oksv1dnl.h"
#include "platform/module/module.h"
#include "platform/ui/ui.h"
#include "platform/ui/user32.h"
#include "outside/bulk/memory/camera_memory.h"
#include "outside/bulk/memory/jpeg_file.h"
#include "simcam/memory_builder.h"
#include "outside/bulk/memory/memory_image.h"
#include "simcam/simulated_modes.h"
#include "support/byte_order.h"
#include "support/picture/picture.h"
#include "support/picture/picture_file.h"
#include "support/test_data.h"

namespace fs = std::filesystem;
using namespace ksv;

namespace {

using ksv::bench::MedianSeconds;

const char* const kPhotos[] = {"astronaut", "chelsea", "coffee", "hubble_deep_field"};

picture::RgbPicture Photo(const std::string& stem) {
  return picture::ReadPicture(support::TestDataPath("photos/" + stem + ".png"));
}

void WriteFile(const fs::path& path, const uint8_t* bytes, size_t size) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
}

struct Names {
  fs::path folder;
  unsigned next = 0;
};

void NameFile(intptr_t user, int, char* path, int32_t*) {
  auto& names = *reinterpret_cast<Names*>(user);
  std::snprintf(path, KXCAMAPI_PATH_BYTES, "%s/item%u.JPG", names.folder.c_str(), names.next++);
}

void Ignore(intptr_t, DWORD status, char* path, int32_t*) {
  if (status != 0) std::fprintf(stderr, "download_bench: %s failed (0x%X)\n", path, status);
}

int NoStop(intptr_t, const KXCAMAPI_ProgressRecord*) { return 0; }

KXCAMAPI_HANDLE OpenCamera(const outside::bulk::CameraMemory& memory, const fs::path& root, Names& names) {
  const std::vector<uint8_t> image = outside::bulk::WriteMemoryImage(memory);
  WriteFile(root / "camera.mem", image.data(), image.size());
  BULK_UseCameraMemory((root / "camera.mem").c_str());
  return KXCAMAPI_Init(NameFile, Ignore, reinterpret_cast<intptr_t>(&names),
                       platform::RegisterModule((root / "OKSV1API.so").string()),
                       platform::ui::CreateMessageOnlyWindow());
}

void Report(const char* what, double ours, const char* unit, const char* anchorName, double anchor) {
  std::printf("%-34s %10.1f %-5s | %-44s %10.1f %-5s | ratio %.3f\n", what, ours, unit, anchorName,
              anchor, unit, ours / anchor);
}

void StreamPath(const fs::path& root, int runs) {
  outside::bulk::CameraMemory memory{simcam::SimulatedCameraVersions(), simcam::SimulatedCameraModes(), {}};
  for (int copy = 0; copy < 4; ++copy) {
    for (const char* stem : kPhotos) {
      const picture::RgbPicture photo = Photo(stem);
      memory.items.push_back(simcam::MakePictureItem(
          photo, *memory.FindMode(simcam::kHighQualityPictureMode), outside::bulk::kHighQualitySubtype));
    }
  }
  const std::vector<uint8_t> stream = outside::bulk::StreamBytes(memory);
  const double megabytes = static_cast<double>(stream.size()) / 1e6;
  Names names{root / "stream"};
  fs::create_directories(names.folder);
  KXCAMAPI_HANDLE context = OpenCamera(memory, root, names);
  const double ours = MedianSeconds(runs, [&] {
    names.next = 0;
    if (KXCAMAPI_GetAllImgs(context, NoStop) != 0) std::fprintf(stderr, "stream failed\n");
  });
  KXCAMAPI_Reset(context);

  std::vector<uint8_t> copy(stream.size());
  const double memcpySeconds = MedianSeconds(runs * 20, [&] {
    std::memcpy(copy.data(), stream.data(), stream.size());
    asm volatile("" : : "r"(copy.data()) : "memory");
  });
  // The same bytes as files, item by item, without looking at them.
  const fs::path plain = root / "plain";
  fs::create_directories(plain);
  const double writeSeconds = MedianSeconds(runs, [&] {
    size_t at = 0;
    for (unsigned i = 0; at < stream.size(); ++i) {
      const size_t size = 64 + size_t{ksv::support::LoadLe24(stream, at + 4)};
      WriteFile(plain / ("item" + std::to_string(i) + ".JPG"), stream.data() + at, size);
      at += size;
    }
  });
  std::printf("stream path: %zu pictures, %.2f MB of stream, median of %d runs\n", memory.items.size(),
              megabytes, runs);
  Report("KXCAMAPI_GetAllImgs", megabytes / ours, "MB/s", "memcpy of the stream", megabytes / memcpySeconds);
  Report("KXCAMAPI_GetAllImgs", megabytes / ours, "MB/s", "items written as files unchanged",
         megabytes / writeSeconds);
}

void BurstPath(const fs::path& root, int runs) {
  outside::bulk::CameraMemory memory{simcam::SimulatedCameraVersions(), simcam::SimulatedCameraModes(), {}};
  const outside::bulk::RecordingMode& mode = *memory.FindMode(simcam::kClipMode);
  std::vector<picture::RgbPicture> scenes;
  for (int i = 0; i < 5; ++i) scenes.push_back(Photo(kPhotos[i % 4]));
  constexpr int kBursts = 4;
  for (int b = 0; b < kBursts; ++b) memory.items.push_back(simcam::MakeBurstItem(scenes, mode));
  const int frames = kBursts * 5;

  // The anchor's input: each stored frame as a standard JPEG file.
  std::vector<std::vector<uint8_t>> jpegs;
  for (const outside::bulk::ClipChunk& chunk : outside::bulk::ReadChunks(memory.items[0])) {
    jpegs.push_back(outside::bulk::WrapAsJpeg(chunk.video, mode.tables, mode.width, mode.height));
  }

  Names names{root / "burst"};
  fs::create_directories(names.folder);
  KXCAMAPI_HANDLE context = OpenCamera(memory, root, names);
  const double ours = MedianSeconds(runs, [&] {
    names.next = 0;
    if (KXCAMAPI_Download(context) != 0) std::fprintf(stderr, "burst download failed\n");
  });
  KXCAMAPI_Reset(context);

  tjhandle turbo = tjInitDecompress();
  std::vector<uint8_t> pixels(320 * 240 * 3);
  const double turboSeconds = MedianSeconds(runs, [&] {
    for (int f = 0; f < frames; ++f) {
      const std::vector<uint8_t>& jpeg = jpegs[static_cast<size_t>(f) % jpegs.size()];
      tjDecompress2(turbo, jpeg.data(), static_cast<unsigned long>(jpeg.size()), pixels.data(), 320,
                    0, 240, TJPF_BGR, TJFLAG_BOTTOMUP);
    }
  });
  tjDestroy(turbo);
  std::printf("burst path: %d bursts of 5 frames at 320x240, median of %d runs\n", kBursts, runs);
  Report("KXCAMAPI_Download (bursts)", frames / ours, "fps", "libjpeg-turbo decode of the same frames",
         frames / turboSeconds);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  // Files go to memory (/dev/shm) unless TMPDIR names a folder: on a
  // shared disk the figures would measure the other writers.
  const char* tmpdir = std::getenv("TMPDIR");
  const fs::path base = tmpdir != nullptr && *tmpdir != '\0' ? fs::path(tmpdir)
                        : fs::is_directory("/dev/shm")       ? fs::path("/dev/shm")
                                                             : fs::temp_directory_path();
  std::string pattern = (base / "download-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path root = pattern;
  ::setenv("KSV_ROOT", root.c_str(), 1);
  std::printf("files in %s\n", root.c_str());
  StreamPath(root, runs);
  BurstPath(root, runs);
  fs::remove_all(root);
  return 0;
}
