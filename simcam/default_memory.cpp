#include "simcam/default_memory.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "simcam/memory_builder.h"
#include "simcam/simulated_modes.h"
#include "support/picture/picture_file.h"
#include "support/shipped_data.h"
#include "support/test_data.h"

namespace ksv::simcam {

namespace bulk = outside::bulk;

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxPhotos = 4;

std::vector<picture::RgbPicture> ReadPhotos(const fs::path& folder) {
  std::vector<fs::path> paths;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".png") paths.push_back(entry.path());
  }
  std::sort(paths.begin(), paths.end());
  std::vector<picture::RgbPicture> photos;
  for (const fs::path& path : paths) {
    if (photos.size() == kMaxPhotos) break;
    try {
      picture::RgbPicture photo = picture::ReadPicture(path.string());
      if (photo.width >= 16 && photo.height >= 16) photos.push_back(std::move(photo));
    } catch (const std::exception&) {
      // An unreadable file is skipped; the camera takes the next one.
    }
  }
  return photos;
}

// Colourful stand-ins when there are no photographs.
std::vector<picture::RgbPicture> DrawnPictures() {
  std::vector<picture::RgbPicture> pictures;
  for (uint32_t n = 0; n < 3; ++n) {
    picture::RgbPicture picture{320, 240, std::vector<uint8_t>(320 * 240 * 3)};
    for (uint32_t y = 0; y < 240; ++y) {
      for (uint32_t x = 0; x < 320; ++x) {
        uint8_t* p = &picture.pixels[(size_t{y} * 320 + x) * 3];
        p[0] = static_cast<uint8_t>(x * 255 / 319);
        p[1] = static_cast<uint8_t>(y * 255 / 239);
        p[2] = static_cast<uint8_t>(((x / 40 + y / 40 + n) % 2) * 200 + 40);
      }
    }
    pictures.push_back(std::move(picture));
  }
  return pictures;
}

picture::RgbPicture Crop(const picture::RgbPicture& picture, uint32_t left, uint32_t top,
                         uint32_t width, uint32_t height) {
  picture::RgbPicture cut{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* source = &picture.pixels[(size_t{top + y} * picture.width + left) * 3];
    std::copy(source, source + size_t{width} * 3, &cut.pixels[size_t{y} * width * 3]);
  }
  return cut;
}

// `count` views of a window of two thirds of the picture sliding from its
// left to its right edge, like a camera panning across the scene.
std::vector<picture::RgbPicture> Pan(const picture::RgbPicture& picture, size_t count) {
  const uint32_t width = picture.width * 2 / 3;
  const uint32_t height = picture.height * 2 / 3;
  std::vector<picture::RgbPicture> views;
  for (size_t i = 0; i < count; ++i) {
    const auto left =
        static_cast<uint32_t>((picture.width - width) * i / std::max<size_t>(count - 1, 1));
    views.push_back(Crop(picture, left, (picture.height - height) / 2, width, height));
  }
  return views;
}

// A little tune: a note every 300 ms with a soft attack and decay.
MonoAudio Tune(uint32_t rate, double seconds) {
  static constexpr double kNotes[] = {523.25, 659.25, 783.99, 1046.5, 783.99, 659.25};
  MonoAudio audio{rate, std::vector<int16_t>(static_cast<size_t>(rate * seconds))};
  for (size_t i = 0; i < audio.samples.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double inNote = std::fmod(t, 0.3);
    const double frequency = kNotes[static_cast<size_t>(t / 0.3) % std::size(kNotes)];
    const double envelope = std::min(1.0, inNote / 0.02) * std::exp(-inNote * 6.0);
    audio.samples[i] =
        static_cast<int16_t>(9000.0 * envelope * std::sin(2.0 * std::numbers::pi * frequency * t));
  }
  return audio;
}

}  // namespace

fs::path DefaultPhotosDir() {
  try {
    return support::DefaultPhotosDir();
  } catch (const support::TestDataNotFound&) {
    return {};  // drawn pictures
  }
}

bulk::CameraMemory DefaultCameraMemory(const fs::path& photosDir) {
  std::vector<picture::RgbPicture> photos = ReadPhotos(photosDir);
  if (photos.empty()) photos = DrawnPictures();
  auto photo = [&](size_t n) -> const picture::RgbPicture& { return photos[n % photos.size()]; };

  bulk::CameraMemory memory{SimulatedCameraVersions(), SimulatedCameraModes(), {}};
  auto mode = [&](uint8_t index) -> const bulk::RecordingMode& { return *memory.FindMode(index); };
  const bulk::RecordingMode& high = mode(kHighQualityPictureMode);
  const bulk::RecordingMode& low = mode(kLowQualityPictureMode);
  std::vector<bulk::StoredItem>& items = memory.items;
  items.push_back(MakePictureItem(photo(0), high, bulk::kHighQualitySubtype));
  items.push_back(MakePictureItem(photo(1), high, bulk::kHighQualitySubtype));
  items.push_back(MakePictureItem(photo(2), low, bulk::kLowQualitySubtype));
  items.push_back(MakeBurstItem(Pan(photo(3), bulk::kBurstFrames), mode(kClipMode)));
  items.push_back(MakeClipItem(Pan(photo(0), 15), mode(kClipMode), bulk::kClipSubtype,
                               ClipSound::kAdpcm8000, Tune(bulk::kAdpcmRate, 1.5)));
  items.push_back(MakePictureItem(photo(3), low, bulk::kLowQualitySubtype));
  items.push_back(MakeClipItem(Pan(photo(1), 12), mode(kLowResClipMode), bulk::kLowResClipSubtype,
                               ClipSound::kPcm12000, Tune(bulk::kPcmRate, 1.2)));
  items.push_back(MakeClipItem(Pan(photo(2), 6), mode(kVideoOnlyClipMode), bulk::kLowResClipSubtype,
                               ClipSound::kNone, {}));
  const std::vector<uint8_t> memo = WriteWav8(Tune(8000, 0.6));
  items.push_back(MakeRecordingItem(memo, kHighQualityPictureMode));
  items.push_back(MakePictureItem(photo(2), high, bulk::kHighQualitySubtype));
  return memory;
}

}  // namespace ksv::simcam
