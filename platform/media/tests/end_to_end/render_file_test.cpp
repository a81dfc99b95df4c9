// RenderFile of compressed sound: an IMA ADPCM WAV file and a G.711 AVI
// file (made by FFmpeg) each play to the end through the audio renderer,
// with the ACM Wrapper put in between by intelligent connection.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/com/inproc_servers.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/media.h"
#include "platform/media/testing/filter_pins.h"
#include "platform/media/testing/plugin_root.h"

namespace ksv::media::testing {
namespace {

using com::ComPtr;

// The class of the filter `pin` is connected to (CLSID_NULL when none).
CLSID PeerFilterClass(IPin* pin) {
  CLSID clsid = CLSID_NULL;
  ComPtr<IPin> peer;
  if (pin == nullptr || pin->ConnectedTo(peer.GetAddressOf()) != S_OK) return clsid;
  PIN_INFO info{};
  if (FAILED(peer->QueryPinInfo(&info)) || info.pFilter == nullptr) return clsid;
  info.pFilter->GetClassID(&clsid);
  info.pFilter->Release();
  return clsid;
}

TEST(RenderCompressedSound, ImaAdpcmWavAndG711AviPlayToTheEndThroughTheAcmWrapper) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  setenv("KSV_AUDIO", "none", 1);  // never a person's speakers
  PluginRoot root({"ksvfilesource.so", "ksvwaveparser.so", "ksvavisplit.so", "ksvacm.so",
                   "ksvaudiorender.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  struct Case {
    const char* file;
    const char* encoding;  // FFmpeg's output options
  };
  for (const Case& c : {Case{"ima.wav", "-ar 22050 -ac 1 -c:a adpcm_ima_wav"},
                        Case{"alaw.avi", "-ar 8000 -ac 2 -c:a pcm_alaw"},
                        Case{"mulaw.avi", "-ar 8000 -ac 1 -c:a pcm_mulaw"}}) {
    SCOPED_TRACE(c.file);
    const std::string path = (root / c.file).string();
    int status = -1;
    const std::string made = RunCommand(
        "ffmpeg -v error -f lavfi -i sine=frequency=440 -t 0.4 " + std::string(c.encoding) +
            " -y '" + path + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0) << made;

    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph.GetAddressOf())),
              S_OK);
    const std::u16string wide(path.begin(), path.end());
    ASSERT_EQ(graph->RenderFile(wide.c_str(), nullptr), S_OK);
    ComPtr<IBaseFilter> renderer;
    ASSERT_EQ(graph->FindFilterByName(u"Default DirectSound Device", renderer.GetAddressOf()),
              S_OK);
    EXPECT_EQ(PeerFilterClass(FirstPin(renderer.Get(), PINDIR_INPUT).Get()), CLSID_ACMWrapper)
        << "the renderer takes PCM only; the ACM Wrapper decodes";

    ComPtr<IMediaFilter> media;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    ASSERT_EQ(graph.As(&media), S_OK);
    ASSERT_EQ(graph.As(&control), S_OK);
    ASSERT_EQ(graph.As(&events), S_OK);
    ASSERT_EQ(media->SetSyncSource(nullptr), S_OK);  // as fast as the filters go
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    LONG code = 0;
    EXPECT_EQ(events->WaitForCompletion(10000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    control->Stop();
  }
}

}  // namespace
}  // namespace ksv::media::testing
