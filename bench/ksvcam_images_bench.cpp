// `ksvcam avi images` of 300 pictures at 320 x 240 (PNG files made from the
// test photographs) through the Vexel 5 encoder, timed as a whole process:
// frames per second. The anchor, in the same run: the encoder alone on the
// same 300 frames (bottom-up B, G, R, as the frame callback hands them
// over) at the quality the library's quick-compress settings give it. For
// context, reading the 300 PNG files alone. Prints frames per second of
// each and the ratio.
//
//   build/bench/ksvcam_images_bench [pictures, default 300]
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "include/vexel5.h"
#include "outside/vexel/vexel_settings.h"
#include "platform/media/codecs/mjpeg_codec.h"
#include "platform/media/codecs/video_codec.h"
#include "simcam/default_memory.h"
#include "simcam/framing.h"
#include "support/picture/photo_files.h"
#include "support/picture/picture_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr uint32_t kWidth = 320;
constexpr uint32_t kHeight = 240;

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "ksvcam_images_bench: %s\n", why.c_str());
  std::exit(1);
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// `count` PNG files of 320 x 240 in `folder`, the test photographs in turn,
// each shifted a little so that no two frames are the same.
std::vector<fs::path> WritePictures(const fs::path& folder, size_t count) {
  ksv::picture::PhotoFiles photos = ksv::picture::ListPhotoFolder(ksv::simcam::DefaultPhotosDir());
  std::vector<ksv::picture::RgbPicture> framed;
  ksv::picture::ReadPhotos(photos, [&](const fs::path&, ksv::picture::RgbPicture&& photo) {
    framed.push_back(ksv::simcam::FitToSize(photo, kWidth + 32, kHeight));
  });
  if (framed.empty()) Fail("no test photograph reads");
  fs::create_directories(folder);
  std::vector<fs::path> files;
  for (size_t i = 0; i < count; ++i) {
    const ksv::picture::RgbPicture& photo = framed[i % framed.size()];
    ksv::picture::RgbPicture picture = ksv::picture::BlankRgb(kWidth, kHeight);
    const size_t shift = i % 32;
    for (uint32_t y = 0; y < kHeight; ++y) {
      std::copy_n(&photo.pixels[(size_t{y} * photo.width + shift) * 3], kWidth * 3,
                  &picture.pixels[size_t{y} * kWidth * 3]);
    }
    char name[32];
    std::snprintf(name, sizeof name, "frame%04zu.png", i);
    files.push_back(folder / name);
    ksv::picture::WritePicture(files.back(), picture);
  }
  return files;
}

// The picture as the frame callback hands it over: bottom-up B, G, R.
std::vector<uint8_t> BottomUpBgr(const ksv::picture::RgbPicture& picture) {
  std::vector<uint8_t> frame(picture.pixels.size());
  const size_t row = size_t{picture.width} * 3;
  for (uint32_t y = 0; y < picture.height; ++y) {
    const uint8_t* in = &picture.pixels[row * y];
    uint8_t* out = &frame[row * (picture.height - 1 - y)];
    for (size_t x = 0; x < row; x += 3) {
      out[x] = in[x + 2];
      out[x + 1] = in[x + 1];
      out[x + 2] = in[x];
    }
  }
  return frame;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 300;
  if (count == 0) Fail("usage: ksvcam_images_bench [pictures]");
  const fs::path root = fs::temp_directory_path() / ("ksv_images_bench_" + std::to_string(getpid()));
  fs::create_directories(root);
  setenv("KSV_ROOT", root.c_str(), 1);
  setenv("KSV_HEADLESS", "1", 1);
  const std::vector<fs::path> files = WritePictures(root / "pictures", count);

  if (ksv::bench::RunChild({KSVCAM, "setup"}).status != 0) Fail("ksvcam setup failed");
  const fs::path out = root / "images.avi";
  const ksv::bench::ChildRun images =
      ksv::bench::RunChild({KSVCAM, "avi", "images", (root / "pictures").string(), "-o",
                            out.string(), "--fps", "30", "--compressor", VEXEL5_FRIENDLY_NAME});
  if (images.status != 0) Fail("ksvcam avi images failed: " + images.out);
  if (images.out.find(std::to_string(count) + " frames of 320x240 'MJPG'") == std::string::npos) {
    Fail("the AVI file does not hold the frames: " + images.out);
  }

  // The pictures read alone, then the encoder alone on the same frames.
  auto start = Clock::now();
  std::vector<std::vector<uint8_t>> frames;
  for (const fs::path& file : files) frames.push_back(BottomUpBgr(ksv::picture::ReadPicture(file)));
  const double readSeconds = Since(start);
  fs::remove_all(root);

  const auto encoder = ksv::media::codecs::MjpegEncoder::Create(
      {int(kWidth), int(kHeight), ksv::media::codecs::PixelFormat::kRgb24});
  if (!encoder) Fail("cannot make the encoder");
  const int quality = ksv::vexel::ChosenQuality(true, ksv::vexel::SettingsRecord{}) *
                      ksv::media::codecs::kMaxQuality / 100;
  std::vector<uint8_t> output(encoder->MaxFrameSize());
  start = Clock::now();
  for (const std::vector<uint8_t>& frame : frames) {
    size_t written = 0;
    bool key = false;
    if (encoder->Encode(frame, quality, true, output, &written, &key) !=
        ksv::media::codecs::CodecResult::kOk) {
      Fail("encoding failed");
    }
  }
  const double encodeSeconds = Since(start);

  const double imagesFps = double(count) / images.wallSeconds;
  const double encodeFps = double(count) / encodeSeconds;
  std::printf("ksvcam avi images, %zu PNG pictures of 320x240 through the Vexel 5 encoder\n", count);
  std::printf("%s", images.out.c_str());
  std::printf("%-50s %10s %10s\n", "", "seconds", "fps");
  std::printf("%-50s %10.3f %10.1f\n", "ksvcam avi images (whole process)", images.wallSeconds,
              imagesFps);
  std::printf("%-50s %10.3f %10.1f\n", "reading the PNG pictures alone", readSeconds,
              double(count) / readSeconds);
  std::printf("%-50s %10.3f %10.1f\n", "anchor: the Vexel 5 encoder alone", encodeSeconds,
              encodeFps);
  std::printf("ratio, avi images / encoder alone (fps): %.3f\n", imagesFps / encodeFps);
  std::printf("ksvcam avi images used %.2f s of CPU (%.1f%% of one core)\n", images.cpuSeconds,
              100.0 * images.cpuSeconds / images.wallSeconds);
  return 0;
}
