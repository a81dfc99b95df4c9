// The simulated microphone alone: the formats it takes, its test tone, a
// WAV file in another format converted, a file that cannot be used, and
// the hardware module that makes it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <span>

#include "platform/hardware/hardware_device.h"
#include "simcam/microphone/simulated_microphone.h"
#include "simcam/microphone/tests/wav_maker.h"
#include "testing/temp_files.h"

namespace ksv::simcam::testing {
namespace {

using platform::audio::AudioCapture;
using platform::audio::PcmFormat;

// Everything the capture delivers, up to `limit` bytes.
std::vector<uint8_t> ReadAll(AudioCapture& capture, size_t limit, size_t chunk = 1000) {
  std::vector<uint8_t> all;
  std::vector<uint8_t> buffer(chunk);
  while (all.size() < limit) {
    const size_t room = std::min(chunk, limit - all.size());
    const size_t got = capture.Read(std::span<uint8_t>(buffer.data(), room));
    if (got == 0) break;
    all.insert(all.end(), buffer.begin(), buffer.begin() + static_cast<long>(got));
  }
  return all;
}

// Upward crossings of `middle`.
int RisingCrossings(const std::vector<int>& values, int middle) {
  int crossings = 0;
  for (size_t i = 1; i < values.size(); ++i) {
    if (values[i - 1] < middle && values[i] >= middle) ++crossings;
  }
  return crossings;
}

class Microphone : public ::testing::Test {
 protected:
  std::unique_ptr<AudioCapture> Open(const PcmFormat& format) {
    std::string error;
    auto capture = microphone_.Open(format, &error);
    EXPECT_TRUE(capture) << error;
    return capture;
  }
  ksv::testing::TempFolder folder_;
  SimulatedMicrophone microphone_;
};

TEST_F(Microphone, TakesFormatsInsideItsRangeOnly) {
  ScopedMicrophoneFile none(std::nullopt);
  EXPECT_EQ(microphone_.PreferredFormat(), (PcmFormat{44100, 2, 16}));
  for (const PcmFormat& good : {PcmFormat{8000, 1, 8}, PcmFormat{48000, 2, 16},
                                PcmFormat{11025, 2, 8}, PcmFormat{22050, 1, 16}}) {
    std::string error;
    auto capture = microphone_.Open(good, &error);
    ASSERT_TRUE(capture) << error;
    std::vector<uint8_t> buffer(41);
    EXPECT_EQ(capture->Read(buffer), 41 / good.BlockAlign() * good.BlockAlign())
        << "whole frames only";
  }
  for (const PcmFormat& bad : {PcmFormat{7999, 1, 16}, PcmFormat{48001, 1, 16},
                               PcmFormat{8000, 3, 16}, PcmFormat{8000, 0, 16},
                               PcmFormat{8000, 1, 24}, PcmFormat{8000, 1, 12}}) {
    std::string error;
    EXPECT_FALSE(microphone_.Open(bad, &error));
    EXPECT_NE(error.find("48,000"), std::string::npos) << error;
  }
}

// Without a file the microphone hears 440 Hz, in every format, endlessly.
TEST_F(Microphone, TestToneIs440HzInEveryFormatAndNeverEnds) {
  ScopedMicrophoneFile none(std::nullopt);
  for (const PcmFormat& format : {PcmFormat{8000, 1, 16}, PcmFormat{44100, 2, 16},
                                  PcmFormat{22050, 2, 8}, PcmFormat{48000, 1, 8}}) {
    SCOPED_TRACE(format.samplesPerSecond);
    auto capture = Open(format);
    ASSERT_TRUE(capture);
    // Ten seconds: the tone is still there at the end.
    const size_t second = format.BytesPerSecond();
    std::vector<uint8_t> bytes;
    for (int s = 0; s < 10; ++s) bytes = ReadAll(*capture, second, 4096);
    ASSERT_EQ(bytes.size(), second);
    std::vector<int> left, right;
    const size_t align = format.BlockAlign();
    for (size_t at = 0; at < bytes.size(); at += align) {
      for (int channel = 0; channel < format.channels; ++channel) {
        int value = format.bitsPerSample == 8
                        ? bytes[at + channel] - 128
                        : int16_t(bytes[at + 2 * channel] | (bytes[at + 2 * channel + 1] << 8));
        (channel == 0 ? left : right).push_back(value);
      }
    }
    EXPECT_NEAR(RisingCrossings(left, 0), 440, 1);
    const int peak = *std::max_element(left.begin(), left.end());
    EXPECT_NEAR(peak, format.bitsPerSample == 8 ? 63 : 16383, format.bitsPerSample == 8 ? 1 : 2);
    if (format.channels == 2) {
      EXPECT_EQ(left, right);
    }
  }
}

TEST_F(Microphone, WavInItsOwnFormatComesOutUnchangedAndEnds) {
  const PcmFormat format{22050, 2, 16};
  std::vector<int16_t> samples(2 * 5000);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(i * 37 - 20000);
  const auto path = folder_ / "own.wav";
  WritePcmWav(path, format, Bytes16(samples));
  ScopedMicrophoneFile file(path.string());
  EXPECT_EQ(microphone_.PreferredFormat(), format);
  auto capture = Open(format);
  ASSERT_TRUE(capture);
  // Odd-sized reads still give whole frames.
  EXPECT_EQ(Samples16(ReadAll(*capture, SIZE_MAX, 1023)), samples);
  std::vector<uint8_t> more(64);
  EXPECT_EQ(capture->Read(more), 0u) << "the file's end is the sound's end";
  // Each capture hears the file from its start.
  auto again = Open(format);
  EXPECT_EQ(Samples16(ReadAll(*again, 8)), (std::vector<int16_t>{samples[0], samples[1],
                                                                  samples[2], samples[3]}));
}

// 8-bit mono at 8 kHz asked for as 16-bit stereo at 16 kHz: every other
// frame is a source sample, the ones between lie halfway; 16-bit stereo
// asked for as mono at a third of the rate mixes the channels.
TEST_F(Microphone, WavInAnotherFormatIsConverted) {
  std::vector<uint8_t> bytes8 = {128, 138, 108, 255, 0, 128};
  const auto path8 = folder_ / "mono8.wav";
  WritePcmWav(path8, {8000, 1, 8}, bytes8);
  {
    ScopedMicrophoneFile file(path8.string());
    EXPECT_EQ(microphone_.PreferredFormat(), (PcmFormat{8000, 1, 8}));
    auto capture = Open({16000, 2, 16});
    ASSERT_TRUE(capture);
    const auto out = Samples16(ReadAll(*capture, SIZE_MAX));
    const std::vector<int16_t> expected = {0,      0,      1280,  1280,  2560,  2560,
                                           -1280,  -1280,  -5120, -5120, 13696, 13696,
                                           32512,  32512,  -128,  -128,  -32768, -32768,
                                           -16384, -16384, 0,     0,     0,      0};
    EXPECT_EQ(out, expected);
  }
  const auto path16 = folder_ / "stereo16.wav";
  WritePcmWav(path16, {48000, 2, 16}, Bytes16({100, 300, -1000, -2000, 5, 7, 9, 11, 20, 40, 1, 1}));
  {
    ScopedMicrophoneFile file(path16.string());
    auto capture = Open({16000, 1, 16});
    ASSERT_TRUE(capture);
    // Source frames 0 and 3 (48 kHz / 16 kHz), each the mean of its pair.
    EXPECT_EQ(Samples16(ReadAll(*capture, SIZE_MAX)), (std::vector<int16_t>{200, 10}));
    auto eight = Open({48000, 1, 8});
    ASSERT_TRUE(eight);
    EXPECT_EQ(ReadAll(*eight, SIZE_MAX),
              (std::vector<uint8_t>{128, 122, 128, 128, 128, 128}));
  }
}

// A file that is named but cannot be used is an error at Open, never silence
// or the tone in its place.
TEST_F(Microphone, UnusableFileFailsAtOpenNamingIt) {
  const auto missing = folder_ / "missing.wav";
  const auto text = folder_ / "text.wav";
  ksv::testing::WriteFile(text, {'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v'});
  const auto floats = folder_ / "float.wav";
  WritePcmWav(floats, {8000, 1, 16}, std::vector<uint8_t>(100), 3);
  const auto wide = folder_ / "surround.wav";
  WritePcmWav(wide, {8000, 6, 16}, std::vector<uint8_t>(120));
  for (const auto& path : {missing, text, floats, wide}) {
    SCOPED_TRACE(path.string());
    ScopedMicrophoneFile file(path.string());
    std::string error;
    EXPECT_FALSE(microphone_.Open({8000, 1, 16}, &error));
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    EXPECT_EQ(microphone_.PreferredFormat(), (PcmFormat{44100, 2, 16}));
  }
}

TEST(MicrophoneModule, MakesTheNamedDeviceWithAnAudioSource) {
  const std::string module = KSV_MICROPHONE_MODULE;
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  auto create = reinterpret_cast<platform::hardware::CreateDeviceFunction>(
      dlsym(handle, platform::hardware::kCreateDeviceEntry));
  ASSERT_NE(create, nullptr);
  std::unique_ptr<platform::hardware::HardwareDevice> device(create());
  EXPECT_EQ(device->Name(), "KSV Simulated Microphone");
  auto* source = static_cast<platform::audio::AudioSource*>(
      device->Function(platform::audio::kAudioSourceInterface));
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->Range().maximumRate, 48000u);
  EXPECT_EQ(device->Function("usbcamd.UsbDevice"), nullptr);
  device.reset();
  dlclose(handle);
}

}  // namespace
}  // namespace ksv::simcam::testing
