// The audio renderer as the registered plug-in, always without a sound
// device (KSV_AUDIO=none): on a simulated clock a stream is consumed at the
// clock's pace and the graph completes only once the clock has passed the
// end of the sound; without a clock at once; and RenderFile of a PCM WAV
// file finds it by intelligent connection and plays to the end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/kernel/performance_counter.h"
#include "platform/media/avi/wav_file.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/media.h"
#include "platform/media/testing/filter_pins.h"
#include "platform/media/testing/plugin_root.h"

namespace ksv::media::testing {
namespace {

using ksv::com::ComPtr;

constexpr DWORD kRate = 8000;
constexpr WORD kChannels = 2;
constexpr WORD kBlock = 4;  // 16-bit stereo
constexpr DWORD kBytesPerSecond = kRate * kBlock;
// Half a second in buffers of a tenth.
const std::vector<uint8_t> kSound(kBytesPerSecond / 2, 0x40);
constexpr REFERENCE_TIME kSoundLength = UNITS / 2;

class AudioGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("KSV_AUDIO", "none", 1);  // never a person's speakers
    ASSERT_TRUE(root_.ok()) << root_.error();
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph_.GetAddressOf())),
              S_OK);
    graph_.As(&control_);
    graph_.As(&events_);
    graph_.As(&media_);
  }
  void TearDown() override {
    if (control_) control_->Stop();
    control_ = nullptr;
    events_ = nullptr;
    media_ = nullptr;
    graph_ = nullptr;
    if (source_ != nullptr) source_->Release();
  }
  // The PCM stream from a push source into a renderer made by class.
  void BuildPushGraph() {
    ASSERT_EQ(CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(renderer_.GetAddressOf())),
              S_OK);
    source_ = Counted(new PushSource());
    pin_ = source_->AddStream(
        AudioType(WAVE_FORMAT_PCM, kChannels, kRate, kBytesPerSecond, kBlock, 16),
        SoundSamples(kSound, kBytesPerSecond / 10, kBytesPerSecond));
    ASSERT_EQ(graph_->AddFilter(source_, u"Source"), S_OK);
    ASSERT_EQ(graph_->AddFilter(renderer_.Get(), u"Default DirectSound Device"), S_OK);
    ASSERT_EQ(graph_->ConnectDirect(pin_, FirstPin(renderer_.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
  }
  // Runs to EC_COMPLETE; the counter's 100-ns ticks that passed.
  int64_t PlayToTheEnd() {
    const int64_t before = counter_.Counter();
    EXPECT_TRUE(SUCCEEDED(control_->Run()));
    LONG code = 0;
    EXPECT_EQ(events_->WaitForCompletion(INFINITE, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    return counter_.Counter() - before;
  }

  platform::kernel::SimulatedPerformanceCounter counter_{10'000'000};
  platform::kernel::ScopedPerformanceCounter installed_{counter_};
  PluginRoot root_{{"ksvaudiorender.so", "ksvfilesource.so", "ksvwaveparser.so"}};
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaEventEx> events_;
  ComPtr<IMediaFilter> media_;
  ComPtr<IBaseFilter> renderer_;
  PushSource* source_ = nullptr;
  PushPin* pin_ = nullptr;
};

TEST_F(AudioGraph, WithoutADeviceTheSoundLastsUntilTheClockPassedItsEnd) {
  BuildPushGraph();
  EXPECT_GE(PlayToTheEnd(), kSoundLength) << "the last buffer ends at half a second";
  EXPECT_EQ(pin_->sent(), size_t{5});
}

TEST_F(AudioGraph, WithoutAClockItIsConsumedAtOnce) {
  BuildPushGraph();
  ASSERT_EQ(media_->SetSyncSource(nullptr), S_OK);
  EXPECT_LT(PlayToTheEnd(), kSoundLength / 5) << "no buffer waited for its time";
  EXPECT_EQ(pin_->sent(), size_t{5});
}

TEST_F(AudioGraph, RenderFileOfAPcmWavePlaysToTheEndThroughTheRendererItFinds) {
  const std::vector<uint8_t> format = {1, 0, kChannels, 0, 0x40, 0x1F, 0, 0, 0x00, 0x7D, 0, 0,
                                       kBlock, 0, 16, 0};  // 8000 Hz, 32000 bytes a second
  const std::string path = (root_ / "tone.wav").string();
  {
    std::vector<uint8_t> file = avi::WavHeader(format, kSound.size(), uint32_t(kSound.size() / kBlock));
    file.insert(file.end(), kSound.begin(), kSound.end());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                static_cast<std::streamsize>(file.size()));
  }
  const std::u16string wide(path.begin(), path.end());
  ASSERT_EQ(graph_->RenderFile(wide.c_str(), nullptr), S_OK);
  ComPtr<IBaseFilter> found;
  EXPECT_EQ(graph_->FindFilterByName(u"Default DirectSound Device", found.GetAddressOf()), S_OK);
  EXPECT_GE(PlayToTheEnd(), kSoundLength);
}

TEST(AudioRendererTypes, OnlyPcmOfEightOrSixteenBitsInOneOrTwoChannelsConnects) {
  setenv("KSV_AUDIO", "none", 1);
  PluginRoot root({"ksvaudiorender.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  ComPtr<IBaseFilter> renderer;
  ASSERT_EQ(CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(renderer.GetAddressOf())),
            S_OK);
  const ComPtr<IPin> input = FirstPin(renderer.Get(), PINDIR_INPUT);
  const auto accepts = [&](WORD tag, WORD channels, WORD block, WORD bits) {
    const CMediaType type = AudioType(tag, channels, 22050, 22050u * block, block, bits);
    return input->QueryAccept(&type) == S_OK;
  };
  EXPECT_TRUE(accepts(WAVE_FORMAT_PCM, 1, 1, 8));
  EXPECT_TRUE(accepts(WAVE_FORMAT_PCM, 2, 4, 16));
  EXPECT_FALSE(accepts(WAVE_FORMAT_PCM, 2, 6, 24));
  EXPECT_FALSE(accepts(WAVE_FORMAT_PCM, 6, 12, 16));
  EXPECT_FALSE(accepts(WAVE_FORMAT_PCM, 2, 3, 16)) << "a block that is no frame";
  EXPECT_FALSE(accepts(0x11 /* IMA ADPCM */, 1, 256, 4));
}

}  // namespace
}  // namespace ksv::media::testing
