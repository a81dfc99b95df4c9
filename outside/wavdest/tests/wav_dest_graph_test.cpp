// WAV Dest as the registered plug-in, writing through the File writer.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/media/testing/filter_pins.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/avi/wav_file.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/media.h"
#include "platform/media/testing/plugin_root.h"

namespace ksv::media::testing {
namespace {

using ksv::com::ComPtr;

TEST(WavDestGraph, TheFileIsWholeUnderItsNameAtTheEndOfTheStreamAndAfterAStop) {
  PluginRoot root({"ksvwavdest.so", "ksvfilewriter.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  std::vector<uint8_t> sound(8000 * 3);  // 3 s of 8 kHz mu-law
  for (size_t i = 0; i < sound.size(); ++i) sound[i] = uint8_t(i * 11);
  for (const bool stopFirst : {false, true}) {
    SCOPED_TRACE(stopFirst ? "stopped" : "end of stream");
    const std::string path = (root / (stopFirst ? "stopped.wav" : "ended.wav")).string();
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> dest, writer;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph.ReleaseAndGetAddressOf())),
              S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_WavDest, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(dest.ReleaseAndGetAddressOf())),
              S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(writer.ReleaseAndGetAddressOf())),
              S_OK);
    ComPtr<IMediaFilter> media;
    graph.As(&media);
    media->SetSyncSource(nullptr);
    auto source = ComPtr<PushSource>::Adopt(new PushSource());
    source->AddRef();
    const auto samples = SoundSamples(sound, 800, 8000);
    PushPin* pin = source->AddStream(AudioType(7, 1, 8000, 8000, 1, 8), samples,
                                     stopFirst ? AfterLast::kHold : AfterLast::kEndOfStream);
    graph->AddFilter(source.Get(), u"Source");
    graph->AddFilter(dest.Get(), u"WAV Dest");
    graph->AddFilter(writer.Get(), u"File writer");
    ComPtr<IFileSinkFilter> sink;
    writer.As(&sink);
    const std::u16string name(path.begin(), path.end());
    ASSERT_EQ(sink->SetFileName(name.c_str(), nullptr), S_OK);
    ASSERT_EQ(graph->ConnectDirect(pin, FirstPin(dest.Get(), PINDIR_INPUT).Get(), nullptr), S_OK);
    ASSERT_EQ(graph->ConnectDirect(FirstPin(dest.Get(), PINDIR_OUTPUT).Get(),
                                   FirstPin(writer.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEventEx> events;
    graph.As(&control);
    graph.As(&events);
    ASSERT_EQ(control->Run(), S_OK);
    if (stopFirst) {
      for (int wait = 0; wait < 2000 && pin->sent() < samples.size(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } else {
      LONG code = 0;
      ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
      EXPECT_EQ(code, EC_COMPLETE);
    }
    ASSERT_EQ(control->Stop(), S_OK);
    ASSERT_TRUE(std::filesystem::exists(path));
    avi::FileByteSource file(path);
    const avi::WavFile wav = avi::ReadWav(file);
    EXPECT_EQ(wav.dataSize, sound.size());
    EXPECT_EQ(wav.factSamples, sound.size());
    if (HaveFfmpeg()) {
      EXPECT_NEAR(std::stod(Probe(path, "a:0", "stream=duration")), 3.0, 0.01);
    }
    graph = nullptr;
  }
}

}  // namespace
}  // namespace ksv::media::testing
