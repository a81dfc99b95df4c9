// The AVI maker as clients use it: found by name, set up, connected to the
// AVI Mux and the File writer, run until its callback has no more frames.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "include/avimaker.h"
#include "outside/avimaker/avi_maker.h"
#include "platform/media/testing/bind_device.h"
#include "platform/media/avi/avi_reader.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/testing/filter_pins.h"
#include "platform/media/testing/plugin_root.h"

namespace ksv::media::testing {
namespace {

using com::ComPtr;

int32_t NoFrames(BYTE*, intptr_t) { return 0; }

// Hands out `frames` pictures whose bytes follow from the frame and the
// position, then says there are no more; counts its calls.
struct Frames {
  int frames = 0;
  size_t bytes = 0;  // of one packed picture
  int calls = 0;
  static BYTE Byte(int frame, size_t at) { return BYTE(frame * 37 + at * 7 + 1); }
  static int32_t Next(BYTE* buffer, intptr_t user) {
    auto* self = reinterpret_cast<Frames*>(user);
    const int frame = self->calls++;
    if (frame >= self->frames) return 0;
    for (size_t at = 0; at < self->bytes; ++at) buffer[at] = Byte(frame, at);
    return 1;
  }
};

TEST(AviMaker, SetupTakesOnlyAPictureItCanCarryAndThePinOffersItsType) {
  HRESULT made = E_FAIL;
  auto maker = ComPtr<avimaker::AviMaker>::Adopt(new avimaker::AviMaker(nullptr, &made));
  maker->AddRef();
  ASSERT_EQ(made, S_OK);
  ComPtr<IAviMakerControl> control;
  ASSERT_EQ(maker->QueryInterface(IID_PPV_ARGS(control.GetAddressOf())), S_OK);
  ComPtr<IPin> pin = FirstPin(maker.Get(), PINDIR_OUTPUT);
  ComPtr<IEnumMediaTypes> types;
  AM_MEDIA_TYPE* type = nullptr;

  // Nothing to offer before Setup.
  ASSERT_EQ(pin->EnumMediaTypes(types.GetAddressOf()), S_OK);
  EXPECT_NE(types->Next(1, &type, nullptr), S_OK);

  EXPECT_EQ(control->Setup(16, 8, 24, nullptr, 0), E_INVALIDARG);
  EXPECT_EQ(control->Setup(0, 8, 24, NoFrames, 0), E_INVALIDARG);
  EXPECT_EQ(control->Setup(16, 0, 24, NoFrames, 0), E_INVALIDARG);
  EXPECT_EQ(control->Setup(-16, 8, 24, NoFrames, 0), E_INVALIDARG);
  EXPECT_EQ(control->Setup(16, 8, 8, NoFrames, 0), E_INVALIDARG);
  EXPECT_EQ(control->Setup(16, 1 << 20, 24, NoFrames, 0), E_INVALIDARG);
  EXPECT_EQ(control->SetMillisecondsPerFrame(0), E_INVALIDARG);
  ASSERT_EQ(pin->EnumMediaTypes(types.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_NE(types->Next(1, &type, nullptr), S_OK) << "a refused Setup changed the filter";

  // 13 pixels of 3 bytes: rows padded from 39 to 40 bytes.
  ASSERT_EQ(control->Setup(13, 5, 24, NoFrames, 0), S_OK);
  ASSERT_EQ(control->SetMillisecondsPerFrame(40), S_OK);
  ASSERT_EQ(pin->EnumMediaTypes(types.ReleaseAndGetAddressOf()), S_OK);
  ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
  EXPECT_EQ(type->majortype, MEDIATYPE_Video);
  EXPECT_EQ(type->subtype, MEDIASUBTYPE_RGB24);
  ASSERT_EQ(type->formattype, FORMAT_VideoInfo);
  ASSERT_GE(type->cbFormat, sizeof(VIDEOINFOHEADER));
  VIDEOINFOHEADER info;
  std::memcpy(&info, type->pbFormat, sizeof info);
  EXPECT_EQ(info.AvgTimePerFrame, 400000);
  EXPECT_EQ(info.bmiHeader.biWidth, 13);
  EXPECT_EQ(info.bmiHeader.biHeight, 5);  // bottom-up
  EXPECT_EQ(info.bmiHeader.biBitCount, 24);
  EXPECT_EQ(info.bmiHeader.biCompression, BI_RGB);
  EXPECT_EQ(info.bmiHeader.biSizeImage, 40u * 5);
  EXPECT_EQ(type->lSampleSize, 40u * 5);
  DeleteMediaType(type);
}

// Reads the AVI at `path` and checks it holds `frames` frames of the
// picture `Frames` makes, with rows padded as a bitmap's.
void ExpectFrames(const std::string& path, int width, int height, int bitCount, int frames,
                  int milliseconds) {
  avi::FileByteSource file(path);
  const avi::File avi = avi::ReadAvi(file);
  ASSERT_EQ(avi.streams.size(), 1u);
  const avi::Stream& video = avi.streams[0];
  ASSERT_TRUE(video.IsVideo());
  EXPECT_EQ(avi.totalFrames, uint32_t(frames));
  ASSERT_EQ(video.index.size(), size_t(frames));
  // The frame period the client set after the pins were connected.
  EXPECT_EQ(int64_t(video.header.scale) * 10'000'000 / video.header.rate,
            int64_t(milliseconds) * 10'000);
  const size_t row = size_t(width) * bitCount / 8, stride = (row + 3) / 4 * 4;
  std::vector<uint8_t> chunk(stride * height);
  for (int frame = 0; frame < frames; ++frame) {
    const avi::IndexEntry& entry = video.index[frame];
    ASSERT_EQ(entry.size, chunk.size());
    ASSERT_TRUE(file.ReadAt(entry.offset, chunk.data(), chunk.size()));
    for (int y = 0; y < height; ++y) {
      for (size_t x = 0; x < stride; ++x) {
        const BYTE expected = x < row ? Frames::Byte(frame, y * row + x) : 0;
        ASSERT_EQ(chunk[y * stride + x], expected) << "frame " << frame << " row " << y;
      }
    }
  }
}

TEST(AviMakerGraph, TheGraphCompletesWhenTheCallbackRunsOutAndTheAviHoldsEveryFrame) {
  PluginRoot root({"ksvavimaker.so", "ksvavimux.so", "ksvfilewriter.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  struct Case {
    int width, height, bitCount, frames, milliseconds;
  };
  for (const Case c : {Case{13, 5, 24, 4, 40}, Case{8, 3, 32, 3, 100}, Case{7, 2, 16, 2, 66}}) {
    SCOPED_TRACE(c.bitCount);
    const std::string path = (root / ("made" + std::to_string(c.bitCount) + ".avi")).string();
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph.GetAddressOf())),
              S_OK);
    ComPtr<IMediaFilter> media;
    graph.As(&media);
    media->SetSyncSource(nullptr);  // as fast as it goes
    ComPtr<IBaseFilter> maker = BindDevice(CLSID_LegacyAmFilterCategory, u"RMC900 AVI Maker");
    ASSERT_TRUE(maker);
    ComPtr<IBaseFilter> mux, writer;
    ASSERT_EQ(CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(mux.GetAddressOf())),
              S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(writer.GetAddressOf())),
              S_OK);
    graph->AddFilter(maker.Get(), u"AVI maker");
    graph->AddFilter(mux.Get(), u"AVI Mux");
    graph->AddFilter(writer.Get(), u"File writer");
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(writer.As(&sink), S_OK);
    const std::u16string name(path.begin(), path.end());
    ASSERT_EQ(sink->SetFileName(name.c_str(), nullptr), S_OK);

    Frames frames;
    frames.frames = c.frames;
    frames.bytes = size_t(c.width) * c.height * c.bitCount / 8;
    ComPtr<IAviMakerControl> control;
    ASSERT_EQ(maker.As(&control), S_OK);
    ASSERT_EQ(control->Setup(c.width, c.height, c.bitCount, &Frames::Next,
                             reinterpret_cast<intptr_t>(&frames)),
              S_OK);
    ASSERT_EQ(graph->ConnectDirect(FirstPin(maker.Get(), PINDIR_OUTPUT).Get(),
                                   FirstPin(mux.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ASSERT_EQ(graph->ConnectDirect(FirstPin(mux.Get(), PINDIR_OUTPUT).Get(),
                                   FirstPin(writer.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
    // Connected, the type is fixed; the period still may change.
    EXPECT_EQ(control->Setup(c.width, c.height, c.bitCount, &Frames::Next, 0),
              VFW_E_ALREADY_CONNECTED);
    ASSERT_EQ(control->SetMillisecondsPerFrame(c.milliseconds), S_OK);

    ComPtr<IMediaControl> run;
    ComPtr<IMediaEventEx> events;
    graph.As(&run);
    graph.As(&events);
    ASSERT_EQ(run->Run(), S_OK);
    EXPECT_EQ(control->SetMillisecondsPerFrame(c.milliseconds + 1), VFW_E_NOT_STOPPED);
    LONG code = 0;
    ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    ASSERT_EQ(run->Stop(), S_OK);
    // The frames, then one call that said there were no more.
    EXPECT_EQ(frames.calls, c.frames + 1);
    ExpectFrames(path, c.width, c.height, c.bitCount, c.frames, c.milliseconds);
    if (c.bitCount == 24 && HaveFfmpeg()) {
      EXPECT_EQ(Probe(path, "v:0", "stream=nb_read_frames", true), std::to_string(c.frames));
    }
  }
}

}  // namespace
}  // namespace ksv::media::testing
