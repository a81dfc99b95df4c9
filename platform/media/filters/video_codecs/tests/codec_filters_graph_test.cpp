// The codec filters as registered plug-ins in a filter graph writing AVI
// files through the AVI Mux and the File writer: each compressor found by
// name in the video compressor category, the AVI Decompressor turning
// Motion JPEG back into RGB24, and the Color Space Converter turning I420
// into RGB24. The files are read back and their frames decoded with the
// codec table (and by ffmpeg, when it is there).
#include <gtest/gtest.h>

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/avi/avi_reader.h"
#include "platform/com/wide_text.h"
#include "platform/media/codecs/convert.h"
#include "platform/media/codecs/tests/test_pictures.h"
#include "platform/media/codecs/video_codec.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/media.h"
#include "platform/media/registration_interfaces.h"
#include "platform/media/testing/filter_pins.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/media/testing/bind_device.h"

namespace ksv::media::testing {
namespace {

using codecs::PictureFormat;
using codecs::PixelFormat;
using com::ComPtr;

constexpr int kWidth = 64, kHeight = 48, kFrames = 4;
constexpr REFERENCE_TIME kFrame = UNITS / 10;
const PictureFormat kRgb{kWidth, kHeight, PixelFormat::kRgb24};

const std::vector<std::string> kModules = {"ksvavimux.so", "ksvfilewriter.so", "ksvavidec.so",
                                           "ksvcolour.so", "ksvavico.so"};

std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::vector<uint8_t>> Scenes() {
  std::vector<std::vector<uint8_t>> scenes;
  for (int i = 0; i < kFrames; ++i) scenes.push_back(codecs::testing::Scene(kWidth, kHeight, i));
  return scenes;
}

// The compressor listed under `name`, made through its moniker.
ComPtr<IBaseFilter> Compressor(const std::u16string& name) {
  return media::testing::BindDevice(CLSID_VideoCompressorCategory, name);
}

ComPtr<IBaseFilter> Create(REFCLSID clsid) {
  ComPtr<IBaseFilter> filter;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(filter.GetAddressOf())),
            S_OK);
  return filter;
}

// source -> each of `chain` -> AVI Mux -> File writer, run to the end.
class CodecGraph {
 public:
  CodecGraph(const CMediaType& type, std::vector<std::vector<uint8_t>> pictures,
             std::vector<ComPtr<IBaseFilter>> chain, const std::string& file)
      : chain_(std::move(chain)) {
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                     IID_PPV_ARGS(graph_.GetAddressOf()));
    ComPtr<IMediaFilter> media;
    graph_.As(&media);
    media->SetSyncSource(nullptr);
    source_ = Counted(new PushSource());
    source_->AddStream(type, Frames(pictures, kFrame));
    mux_ = Create(CLSID_AviDest);
    writer_ = Create(CLSID_FileWriter);
    ComPtr<IFileSinkFilter> sink;
    writer_.As(&sink);
    sink->SetFileName(Wide(file).c_str(), nullptr);
    graph_->AddFilter(source_, u"Source");
    for (size_t i = 0; i < chain_.size(); ++i) {
      graph_->AddFilter(chain_[i].Get(), Wide("Codec " + std::to_string(i)).c_str());
    }
    graph_->AddFilter(mux_.Get(), u"AVI Mux");
    graph_->AddFilter(writer_.Get(), u"File writer");
  }
  ~CodecGraph() {
    if (control_ != nullptr) control_->Stop();
    graph_ = nullptr;
    source_->Release();
  }
  // Connects and runs to the end; the media types between the filters go
  // to `types`.
  void Run(std::vector<CMediaType>* types) {
    ComPtr<IPin> out = FirstPin(source_, PINDIR_OUTPUT);
    std::vector<IBaseFilter*> next;
    for (auto& filter : chain_) next.push_back(filter.Get());
    next.push_back(mux_.Get());
    for (IBaseFilter* filter : next) {
      ComPtr<IPin> in = FirstPin(filter, PINDIR_INPUT);
      ASSERT_EQ(graph_->ConnectDirect(out.Get(), in.Get(), nullptr), S_OK);
      AM_MEDIA_TYPE type{};
      ASSERT_EQ(in->ConnectionMediaType(&type), S_OK);
      types->emplace_back(type);
      FreeMediaType(type);
      out = FirstPin(filter, PINDIR_OUTPUT);
    }
    ASSERT_EQ(graph_->ConnectDirect(out.Get(), FirstPin(writer_.Get(), PINDIR_INPUT).Get(),
                                    nullptr),
              S_OK);
    graph_.As(&control_);
    ComPtr<IMediaEventEx> events;
    graph_.As(&events);
    ASSERT_EQ(control_->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    ASSERT_EQ(control_->Stop(), S_OK);
  }

 private:
  std::vector<ComPtr<IBaseFilter>> chain_;
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IMediaControl> control_;
  ComPtr<IBaseFilter> mux_, writer_;
  PushSource* source_;
};

// The file's video frames decoded with the codec table, each compared with
// the scene it was made from; every frame must be a key frame.
void ExpectFramesLike(const std::string& path, uint32_t fourcc,
                      const std::vector<std::vector<uint8_t>>& scenes, double minimumPsnr) {
  avi::FileByteSource source(path);
  const avi::File file = avi::ReadAvi(source);
  ASSERT_EQ(file.streams.size(), 1u);
  const auto& index = file.streams[0].index;
  ASSERT_EQ(index.size(), scenes.size());
  auto decoder = codecs::FindVideoCodec(fourcc)->makeDecoder(kWidth, kHeight, 24,
                                                             PixelFormat::kRgb24);
  ASSERT_NE(decoder, nullptr);
  std::vector<uint8_t> picture(codecs::ImageSize(kRgb));
  for (size_t i = 0; i < index.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(index[i].keyFrame);
    std::vector<uint8_t> bytes(index[i].size);
    ASSERT_TRUE(source.ReadAt(index[i].offset, bytes.data(), bytes.size()));
    ASSERT_EQ(decoder->Decode(bytes, picture), codecs::CodecResult::kOk);
    EXPECT_GT(codecs::testing::Psnr(kRgb, scenes[i], picture), minimumPsnr);
  }
}

void ExpectFfmpegReads(const std::string& path, const std::string& codecName) {
  if (!HaveFfmpeg()) return;
  EXPECT_EQ(Probe(path, "v:0", "stream=codec_name"), codecName);
  int status = -1;
  const std::string errors =
      RunCommand("ffmpeg -v error -nostdin -i '" + path + "' -f null - 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(errors, "");
}

TEST(CodecFilters, EachListedCompressorWritesAnAviThatDecodesBackToItsPictures) {
  PluginRoot root(kModules);
  ASSERT_TRUE(root.ok()) << root.error();
  struct Case {
    std::u16string name;
    uint32_t fourcc;
    std::string ffmpegName;
    double psnr;
  };
  for (const Case& c : {Case{u"Motion JPEG Codec", codecs::kFourccMjpg, "mjpeg", 26},
                        Case{u"Cinepak Codec by Radius", codecs::kFourccCvid, "cinepak", 24}}) {
    SCOPED_TRACE(codecs::FourccText(c.fourcc));
    ComPtr<IBaseFilter> compressor = Compressor(c.name);
    ASSERT_NE(compressor, nullptr);
    const std::string path = (root / (codecs::FourccText(c.fourcc) + ".avi")).string();
    std::vector<CMediaType> types;
    {
      CodecGraph graph(VideoType(0, kWidth, kHeight, 24, kFrame), Scenes(), {compressor}, path);
      graph.Run(&types);
    }
    ASSERT_EQ(types.size(), 2u);
    EXPECT_EQ(types[1].Subtype()->Data1, c.fourcc);
    ExpectFramesLike(path, c.fourcc, Scenes(), c.psnr);
    ExpectFfmpegReads(path, c.ffmpegName);
  }
}

TEST(CodecFilters, TheDecompressorAndTheConverterHandRgb24ToACompressor) {
  PluginRoot root(kModules);
  ASSERT_TRUE(root.ok()) << root.error();
  const std::vector<std::vector<uint8_t>> scenes = Scenes();
  {
    // Motion JPEG -> AVI Decompressor -> RGB24 -> Motion JPEG again.
    std::vector<std::vector<uint8_t>> jpegs;
    auto encoder = codecs::FindVideoCodec(codecs::kFourccMjpg)->makeEncoder(kRgb, 1);
    for (const auto& scene : scenes) {
      std::vector<uint8_t> frame(encoder->MaxFrameSize());
      size_t written = 0;
      bool key = false;
      encoder->Encode(scene, codecs::kMaxQuality, true, frame, &written, &key);
      frame.resize(written);
      jpegs.push_back(frame);
    }
    const std::string path = (root / "decompressed.avi").string();
    std::vector<CMediaType> types;
    {
      CodecGraph graph(VideoType(codecs::kFourccMjpg, kWidth, kHeight, 24, kFrame), jpegs,
                       {Create(CLSID_AVIDec), Compressor(u"Motion JPEG Codec")}, path);
      graph.Run(&types);
    }
    ASSERT_EQ(types.size(), 3u);
    EXPECT_EQ(*types[1].Subtype(), MEDIASUBTYPE_RGB24);
    ExpectFramesLike(path, codecs::kFourccMjpg, scenes, 26);
  }
  {
    // I420 -> Color Space Converter -> RGB24 -> Cinepak.
    const PictureFormat i420{kWidth, kHeight, PixelFormat::kI420};
    std::vector<std::vector<uint8_t>> planes;
    for (const auto& scene : scenes) {
      planes.emplace_back(codecs::ImageSize(i420));
      codecs::ConvertPicture(kRgb, scene.data(), i420, planes.back().data());
    }
    const std::string path = (root / "converted.avi").string();
    std::vector<CMediaType> types;
    {
      CodecGraph graph(VideoType(codecs::kFourccI420, kWidth, kHeight, 12, kFrame), planes,
                       {Create(CLSID_Colour), Compressor(u"Cinepak Codec by Radius")}, path);
      graph.Run(&types);
    }
    ASSERT_EQ(types.size(), 3u);
    EXPECT_EQ(*types[1].Subtype(), MEDIASUBTYPE_RGB24);
    ExpectFramesLike(path, codecs::kFourccCvid, scenes, 23);
  }
}

}  // namespace
}  // namespace ksv::media::testing
