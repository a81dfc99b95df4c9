// A stored clip converted by the camera access library's stream path: a
// 300-frame 320 x 240 clip (30 s at 10 frames a second) with ADPCM sound at
// 8,000 Hz through the clip graph (download source, Vexel 5, sample-rate
// converter, AVI Mux, File writer) into an AVI file in /dev/shm (or
// TMPDIR). Reported: how many times faster than real time the conversion
// runs, in KSV mode (the graph alone) and outside it (with the AVI fix),
// and the shares of the work among its four kinds, each timed alone on the
// same data: decoding the stored frames and ADPCM blocks, encoding Motion
// JPEG, resampling to 22,050 Hz, and writing the file's bytes (the graph
// overlaps them on its threads).
//
//   build/bench/clip_download_bench [runs]
#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "codec/decoder.h"
#include "bench/median_timing.h"
#include "include/oksv1api.h"
#include "include/oksv1dnl.h"
#include "outside/bulk/memory/camera_memory.h"
#include "outside/bulk/memory/memory_image.h"
#include "platform/com/apartment.h"
#include "platform/com/hresult.h"
#include "platform/media/codecs/video_codec.h"
#include "platform/module/module.h"
#include "platform/ui/ui.h"
#include "platform/ui/user32.h"
#include "resampler/dsp/converter.h"
#include "simcam/framing.h"
#include "simcam/memory_builder.h"
#include "simcam/simulated_modes.h"
#include "support/adpcm/ima_adpcm.h"
#include "support/byte_order.h"
#include "support/picture/picture_file.h"
#include "support/test_data.h"

namespace fs = std::filesystem;
using namespace ksv;

namespace {

using ksv::bench::MedianSeconds;

constexpr size_t kFrames = 300;
constexpr double kRealSeconds = kFrames / 10.0;

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "clip_download_bench: %s\n", why.c_str());
  std::exit(1);
}

void Register(const std::string& module) {
  const std::string path = std::string(KSV_MODULE_DIR) + "/" + module;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) Fail("cannot load " + path + ": " + dlerror());
  auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(handle, "DllRegisterServer"));
  const HRESULT result = entry != nullptr ? entry() : E_FAIL;
  dlclose(handle);
  if (FAILED(result)) Fail("cannot register " + module);
}

// 300 views panning across the test photographs, and 30 s of two tones.
outside::bulk::CameraMemory ClipMemory() {
  const char* names[] = {"astronaut", "chelsea", "coffee", "hubble_deep_field"};
  std::vector<picture::RgbPicture> scenes;
  for (size_t i = 0; i < kFrames; ++i) {
    const picture::RgbPicture photo =
        picture::ReadPicture(support::TestDataPath(std::string("photos/") + names[i / 75] + ".png"));
    const uint32_t width = photo.width * 3 / 4, height = photo.height * 3 / 4;
    const uint32_t left = static_cast<uint32_t>((photo.width - width) * (i % 75) / 74);
    picture::RgbPicture view{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
    for (uint32_t y = 0; y < height; ++y) {
      const uint8_t* row = &photo.pixels[(size_t{y} * photo.width + left) * 3];
      std::copy(row, row + size_t{width} * 3, &view.pixels[size_t{y} * width * 3]);
    }
    scenes.push_back(std::move(view));
  }
  simcam::MonoAudio tone{8000, std::vector<int16_t>(static_cast<size_t>(8000 * kRealSeconds))};
  for (size_t i = 0; i < tone.samples.size(); ++i) {
    const double t = static_cast<double>(i) / 8000.0;
    tone.samples[i] = static_cast<int16_t>(6000 * std::sin(2 * std::numbers::pi * 440 * t) +
                                           3000 * std::sin(2 * std::numbers::pi * 1250 * t));
  }
  outside::bulk::CameraMemory memory{{"fw", "sensor", "chip"}, simcam::SimulatedCameraModes(), {}};
  memory.items.push_back(simcam::MakeClipItem(scenes, *memory.FindMode(simcam::kClipMode),
                                              outside::bulk::kClipSubtype,
                                              simcam::ClipSound::kAdpcm8000, tone));
  return memory;
}

struct Download {
  fs::path path;
  DWORD status = 0;
};

void OnBegin(intptr_t user, int, char* path, int32_t*) {
  std::snprintf(path, KXCAMAPI_PATH_BYTES, "%s", reinterpret_cast<Download*>(user)->path.c_str());
}
void OnEnd(intptr_t user, DWORD status, char*, int32_t*) {
  reinterpret_cast<Download*>(user)->status = status;
}

double ConvertSeconds(int runs, bool ksv, HINSTANCE module, HWND window, Download& download) {
  return MedianSeconds(runs, [&] {
    const auto user = reinterpret_cast<intptr_t>(&download);
    KXCAMAPI_HANDLE context = ksv ? KXCAMAPI_InitKSV(OnBegin, OnEnd, user, module, window)
                                  : KXCAMAPI_Init(OnBegin, OnEnd, user, module, window);
    if (context == nullptr) Fail("cannot open the camera library");
    if (KXCAMAPI_GetAllImgs(context, nullptr) != 0 || download.status != 0) {
      char text[64];
      std::snprintf(text, sizeof text, "the clip's conversion failed (0x%08X)",
                    static_cast<unsigned>(download.status));
      Fail(text);
    }
    KXCAMAPI_Reset(context);
  });
}

// The clip's chunks: each frame's entropy data and the sound bytes.
struct Chunks {
  std::vector<std::vector<uint8_t>> video;
  std::vector<uint8_t> adpcm;
  uint8_t tableIndex = 0;
};

Chunks ClipChunks(const outside::bulk::CameraMemory& memory) {
  Chunks chunks;
  const outside::bulk::StoredItem& item = memory.items.front();
  chunks.tableIndex = item.header.tableIndex;
  for (const outside::bulk::ClipChunk& chunk : outside::bulk::ReadChunks(item)) {
    chunks.video.emplace_back(chunk.video.begin(), chunk.video.end());
    chunks.adpcm.insert(chunks.adpcm.end(), chunk.audio.begin(), chunk.audio.end());
  }
  return chunks;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const char* tmp = std::getenv("TMPDIR");
  const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::path(tmp ? tmp : "/tmp");
  const fs::path folder = base / ("ksv-clip-bench-" + std::to_string(::getpid()));
  fs::create_directories(folder / "root");
  ::setenv("KSV_ROOT", (folder / "root").c_str(), 1);
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) Fail("CoInitializeEx failed");
  for (const char* module : {"ksvmedia.so", "Dextro.so", "ksvvexel5.so", "trsmplrt.so",
                             "ksvavimux.so", "ksvfilewriter.so", "ksvacm.so"}) {
    Register(module);
  }

  std::printf("making a %zu-frame 320 x 240 clip with 30 s of ADPCM sound...\n", kFrames);
  const outside::bulk::CameraMemory memory = ClipMemory();
  const fs::path image = folder / "camera.mem";
  {
    const std::vector<uint8_t> bytes = outside::bulk::WriteMemoryImage(memory);
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  BULK_UseCameraMemory(image.c_str());
  const HINSTANCE module = platform::RegisterModule((folder / "root" / "OKSV1API.so").string());
  const HWND window = platform::ui::CreateMessageOnlyWindow();

  Download download{folder / "Clip0.AVI"};
  const double graph = ConvertSeconds(runs, true, module, window, download);
  const double fixed = ConvertSeconds(runs, false, module, window, download);
  const uintmax_t fileBytes = fs::file_size(download.path);

  // The four kinds of work alone, on the same data.
  const Chunks chunks = ClipChunks(memory);
  std::vector<uint8_t> qTable(BULK_QTABLE_BYTES);
  {
    const BULK_HANDLE bulk = BULK_Init();
    BULK_GetQtable(bulk, chunks.tableIndex, qTable.data());
    BULK_Reset(bulk);
  }
  codec::StoredFrameDecoder decoder;
  if (!decoder.SetUp() || !decoder.Prepare({320, 240}, codec::OutputCode::kBgr24)) Fail("decoder");
  decoder.SelectQuantPair(2);
  decoder.LoadQuantTable(std::span<const uint8_t, 128>(qTable.data(), 128));
  std::vector<uint8_t> rgb(320 * 240 * 3);
  std::vector<std::vector<uint8_t>> pictures;
  const double decode = MedianSeconds(runs, [&] {
    pictures.clear();
    for (const auto& frame : chunks.video) {
      uint32_t written = 0;
      decoder.Decode(frame, rgb, written);
      pictures.push_back(rgb);
    }
    std::array<int16_t, adpcm::kCameraBlockSamples> pcm;
    for (size_t at = 0; at + adpcm::kCameraBlockBytes <= chunks.adpcm.size(); at += adpcm::kCameraBlockBytes) {
      adpcm::DecodeCameraBlock(std::span<const uint8_t, adpcm::kCameraBlockBytes>(chunks.adpcm.data() + at,
                                                                                 adpcm::kCameraBlockBytes),
                               pcm);
    }
  });

  auto encoder = media::codecs::FindVideoCodec(media::codecs::kFourccMjpg)
                     ->makeEncoder({320, 240, media::codecs::PixelFormat::kRgb24}, 1);
  if (!encoder) Fail("no Motion JPEG encoder");
  std::vector<uint8_t> jpeg(encoder->MaxFrameSize());
  const double encode = MedianSeconds(runs, [&] {
    for (const auto& picture : pictures) {
      size_t written = 0;
      bool key = false;
      encoder->Encode(picture, 7500, true, jpeg, &written, &key);
    }
  });

  resampler::ResamplePlan plan;
  if (resampler::MakePlan({8000, 1, 16}, {22050, 1, 16}, 512, plan) != resampler::PlanStatus::kOk) {
    Fail("no resampling plan");
  }
  resampler::BlockConverter converter(std::move(plan));
  const size_t inBlock = static_cast<size_t>(converter.plan().inBlockBytes);
  const size_t blocks = static_cast<size_t>(8000 * kRealSeconds * 2) / inBlock;
  std::vector<uint8_t> input(blocks * inBlock, 0x10);
  std::vector<uint8_t> output(static_cast<size_t>(converter.plan().outBlockBytes));
  const double resample = MedianSeconds(runs, [&] {
    for (size_t b = 0; b < blocks; ++b) converter.Convert(std::span(input).subspan(b * inBlock, inBlock), output);
  });

  std::vector<uint8_t> file(fileBytes);
  {
    std::ifstream(download.path, std::ios::binary).read(reinterpret_cast<char*>(file.data()),
                                                       static_cast<std::streamsize>(file.size()));
  }
  const fs::path copy = folder / "copy.avi";
  const double write = MedianSeconds(runs, [&] {
    // In the pieces the File writer gets: one sample at a time.
    FILE* out = std::fopen(copy.c_str(), "wb");
    for (size_t at = 0; at < file.size(); at += 16384) {
      std::fwrite(file.data() + at, 1, std::min<size_t>(16384, file.size() - at), out);
    }
    std::fclose(out);
  });

  std::printf("clip: %zu frames 320 x 240, %.0f s at 10 frames a second; AVI %.1f MB; median of %d runs\n",
              kFrames, kRealSeconds, static_cast<double>(fileBytes) / 1e6, runs);
  std::printf("stream path, KSV mode (graph only):  %6.3f s  %6.1f x real time\n", graph,
              kRealSeconds / graph);
  std::printf("stream path with the AVI fix:        %6.3f s  %6.1f x real time\n", fixed,
              kRealSeconds / fixed);
  // The graph runs the video and the sound on threads of their own and
  // overlaps them on the machine's cores, so the parts are shares of the
  // work done, not of the graph's wall time.
  const double work = decode + encode + resample + write;
  const auto share = [&](const char* what, double seconds) {
    std::printf("  %-36s %6.3f s  %5.1f %% of the work\n", what, seconds, 100 * seconds / work);
  };
  share("decode (stored frames, ADPCM)", decode);
  share("encode (Motion JPEG, quality 75)", encode);
  share("resample (8,000 -> 22,050 Hz)", resample);
  share("write (the AVI's bytes)", write);
  std::printf("  the four alone, one after another:  %6.3f s  (%.2f x the graph's wall time)\n", work,
              work / graph);

  BULK_UseCameraMemory(nullptr);
  DestroyWindow(window);
  CoUninitialize();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return 0;
}
