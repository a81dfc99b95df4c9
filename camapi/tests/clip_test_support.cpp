#include "camapi/tests/clip_test_support.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>

#include "simcam/simulated_modes.h"
#include "simcam/wav_audio.h"
#include "support/byte_order.h"
#include "support/picture/psnr.h"

namespace ksv::camapi::testing {

std::vector<picture::RgbPicture> BandedFrames(size_t count, uint32_t width, uint32_t height) {
  std::vector<picture::RgbPicture> frames;
  for (size_t n = 0; n < count; ++n) {
    picture::RgbPicture frame{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
    const auto tint = static_cast<uint8_t>(n * 255 / (count > 1 ? count - 1 : 1));
    for (uint32_t y = 0; y < height; ++y) {
      const bool light = (y / 16) % 2 == 1;
      for (uint32_t x = 0; x < width; ++x) {
        uint8_t* pixel = &frame.pixels[(size_t{y} * width + x) * 3];
        pixel[0] = light ? 230 : tint / 4;
        pixel[1] = light ? static_cast<uint8_t>(255 - tint / 2) : 20;
        pixel[2] = light ? tint : 40;
      }
    }
    frames.push_back(std::move(frame));
  }
  return frames;
}

std::vector<int16_t> ToneSamples(uint32_t rate, double hertz, double seconds) {
  std::vector<int16_t> samples(static_cast<size_t>(rate * seconds));
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(
        std::lround(12000 * std::sin(2 * std::numbers::pi * hertz * double(i) / rate)));
  }
  return samples;
}

std::vector<uint8_t> ToneWav(uint32_t rate, double hertz, double seconds) {
  const std::vector<int16_t> samples = ToneSamples(rate, hertz, seconds);
  const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> wav(44 + dataBytes);
  auto put = [&](size_t at, const char* text) { std::memcpy(&wav[at], text, 4); };
  put(0, "RIFF");
  support::StoreLe32(wav, 4, 36 + dataBytes);
  put(8, "WAVE");
  put(12, "fmt ");
  support::StoreLe32(wav, 16, 16);
  support::StoreLe16(wav, 20, 1);
  support::StoreLe16(wav, 22, 1);
  support::StoreLe32(wav, 24, rate);
  support::StoreLe32(wav, 28, rate * 2);
  support::StoreLe16(wav, 32, 2);
  support::StoreLe16(wav, 34, 16);
  put(36, "data");
  support::StoreLe32(wav, 40, dataBytes);
  for (size_t i = 0; i < samples.size(); ++i) {
    support::StoreLe16(wav, 44 + 2 * i, static_cast<uint16_t>(samples[i]));
  }
  return wav;
}

outside::bulk::StoredItem ToneClip(const std::vector<picture::RgbPicture>& frames,
                                   simcam::ClipSound sound, const std::vector<uint8_t>& wav) {
  const bool lowRes = frames.front().width == 160;
  const auto modes = simcam::SimulatedCameraModes();
  const uint8_t index = lowRes ? simcam::kLowResClipMode : simcam::kClipMode;
  const outside::bulk::RecordingMode* mode = nullptr;
  for (const auto& candidate : modes) {
    if (candidate.tableIndex == index) mode = &candidate;
  }
  return simcam::MakeClipItem(frames, *mode,
                              lowRes ? outside::bulk::kLowResClipSubtype
                                     : outside::bulk::kClipSubtype,
                              sound, simcam::ReadWav(wav));
}

std::vector<uint8_t> StreamForm(const outside::bulk::StoredItem& item) {
  const auto header = outside::bulk::EncodeItemHeader(item.header);
  std::vector<uint8_t> bytes(header.size() + item.data.size());
  std::memcpy(bytes.data(), header.data(), header.size());
  if (!item.data.empty()) std::memcpy(bytes.data() + header.size(), item.data.data(), item.data.size());
  return bytes;
}

AttachedClip::AttachedClip(CameraContext& context, const outside::bulk::StoredItem& item, bool ksv)
    : context_(context), bytes_(StreamForm(item)) {
  context.bulk->clipHeader = bytes_.data();
  context.bulk->clipBytes = bytes_.size();
  if (!ksv) {
    std::filesystem::create_directories(context.clipFolder);
    context.clipInfoPaths[context.itemIndex] = context.clipFolder + "CLP1_0.PRO";
  }
}

AttachedClip::~AttachedClip() {
  context_.bulk->clipHeader = nullptr;
  context_.bulk->clipBytes = 0;
}

SamplePool::SamplePool(LONG bytes) {
  HRESULT result = S_OK;
  allocator_ = new CMemAllocator("test samples", nullptr, &result);
  allocator_->AddRef();
  ALLOCATOR_PROPERTIES request{1, bytes, 1, 0};
  ALLOCATOR_PROPERTIES granted{};
  allocator_->SetProperties(&request, &granted);
  allocator_->Commit();
}

SamplePool::~SamplePool() {
  allocator_->Decommit();
  allocator_->Release();
}

Pulled SamplePool::Pull(HRESULT (*function)(IMediaSample*, int*)) {
  Pulled pulled;
  IMediaSample* sample = nullptr;
  if (FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0))) return pulled;
  sample->SetActualDataLength(0);
  pulled.result = function(sample, &pulled.last);
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  pulled.data.assign(data, data + sample->GetActualDataLength());
  if (FAILED(sample->GetTime(&pulled.start, &pulled.end))) pulled.start = pulled.end = -1;
  sample->Release();
  return pulled;
}

size_t NearestFrame(const std::vector<picture::RgbPicture>& frames,
                    const std::vector<uint8_t>& rgb, double* psnr) {
  size_t best = frames.size();
  double bestPsnr = -1;
  for (size_t n = 0; n < frames.size(); ++n) {
    if (frames[n].pixels.size() != rgb.size()) continue;
    const double value = picture::Psnr(frames[n].pixels, rgb);
    if (value > bestPsnr) {
      bestPsnr = value;
      best = n;
    }
  }
  if (psnr != nullptr) *psnr = bestPsnr;
  return best;
}

std::vector<uint8_t> BottomUpBgrToRgb(std::span<const uint8_t> bgr, uint32_t width,
                                      uint32_t height) {
  std::vector<uint8_t> rgb(size_t{width} * height * 3);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* from = bgr.data() + size_t{height - 1 - y} * width * 3;
    uint8_t* to = rgb.data() + size_t{y} * width * 3;
    for (uint32_t x = 0; x < width; ++x) {
      to[3 * x] = from[3 * x + 2];
      to[3 * x + 1] = from[3 * x + 1];
      to[3 * x + 2] = from[3 * x];
    }
  }
  return rgb;
}

picture::RgbPicture Rows(const picture::RgbPicture& picture, uint32_t first, uint32_t count) {
  const size_t row = size_t{picture.width} * 3;
  picture::RgbPicture part{picture.width, count, {}};
  part.pixels.assign(picture.pixels.begin() + static_cast<std::ptrdiff_t>(first * row),
                     picture.pixels.begin() + static_cast<std::ptrdiff_t>((first + count) * row));
  return part;
}

}  // namespace ksv::camapi::testing
