// The Vexel 5 encoder as the registered plug-in: its per-user settings and
// settings record, and Motion JPEG that ffmpeg reads back close to what
// went in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "include/vexel5.h"
#include "outside/vexel/vexel_settings.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/avi_mux/tests/mux_test_filters.h"
#include "platform/media/media.h"
#include "platform/media/testing/filter_pins.h"
#include "platform/media/testing/plugin_root.h"
#include "platform/registry/win32_registry.h"

namespace ksv::vexel {
namespace {

using com::ComPtr;
using media::testing::PluginRoot;

constexpr int kWidth = 320;
constexpr int kHeight = 240;

ComPtr<IBaseFilter> MakeEncoder() {
  ComPtr<IBaseFilter> encoder;
  EXPECT_EQ(CoCreateInstance(CLSID_Vexel5Encoder, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(encoder.GetAddressOf())),
            S_OK);
  return encoder;
}

std::optional<DWORD> UserValue(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, VEXEL5_SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD value = 0, size = sizeof value, type = 0;
  const LONG read =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
  return value;
}

void SetUserValue(const char* name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, VEXEL5_SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

// A quick-compress record as clients write it: size field, "VX50", the
// version, level 6, spacing 2, flags, QuickCompress at 76.
std::vector<uint8_t> Record(uint32_t size, uint32_t level, uint32_t quick) {
  std::vector<uint8_t> bytes(VEXEL5_RECORD_SIZE, 0);
  const uint32_t fields[] = {size, VEXEL5_RECORD_FOURCC, VEXEL5_VERSION, level, 2, 0x80000100};
  std::memcpy(bytes.data(), fields, sizeof fields);
  std::memcpy(bytes.data() + 76, &quick, 4);
  return bytes;
}

TEST(Vexel5, FirstUseWritesTheSevenDefaultsAndQuickCompressChoosesTheQuality) {
  PluginRoot root({"ksvvexel5.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  ComPtr<IVexelEncode> encode;
  ASSERT_EQ(MakeEncoder().As(&encode), S_OK);
  for (const char* name : kSettingNames) EXPECT_EQ(UserValue(name), 0u) << name;
  DWORD quick = 9;
  LONG quality = 0;
  ASSERT_EQ(encode->GetQuickCompress(&quick), S_OK);
  EXPECT_EQ(quick, 0u);
  ASSERT_EQ(encode->GetQuality(&quality), S_OK);
  EXPECT_EQ(quality, 95) << "best quality without quick compression";

  // QuickCompress on in the user's settings: the record's level (6) rules.
  SetUserValue("QuickCompress", 1);
  ASSERT_EQ(encode->ReloadSettings(), S_OK);
  ASSERT_EQ(encode->GetQuickCompress(&quick), S_OK);
  EXPECT_EQ(quick, 1u);
  ASSERT_EQ(encode->GetQuality(&quality), S_OK);
  EXPECT_EQ(quality, 75);
  // A value the user set is kept, not reset to its default.
  ComPtr<IVexelEncode> second;
  ASSERT_EQ(MakeEncoder().As(&second), S_OK);
  EXPECT_EQ(UserValue("QuickCompress"), 1u);
}

TEST(Vexel5, TheSettingsRecordIsTakenIn86And88ByteFormsAndCheckedFirst) {
  PluginRoot root({"ksvvexel5.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  ComPtr<IVexelEncode> encode;
  ASSERT_EQ(MakeEncoder().As(&encode), S_OK);
  LONG quality = 0;
  DWORD quick = 0;
  // The clip graph's record: size 86, QuickCompress 1, level 6.
  EXPECT_EQ(encode->SetSettings(Record(86, 6, 1).data()), S_OK);
  ASSERT_EQ(encode->GetQuickCompress(&quick), S_OK);
  EXPECT_EQ(quick, 1u);
  ASSERT_EQ(encode->GetQuality(&quality), S_OK);
  EXPECT_EQ(quality, 75);
  EXPECT_EQ(encode->SetSettings(Record(88, 10, 1).data()), S_OK);
  ASSERT_EQ(encode->GetQuality(&quality), S_OK);
  EXPECT_EQ(quality, 95);
  // Refused whole: another size, a level outside 1..10, another FOURCC.
  auto wrongName = Record(88, 2, 1);
  wrongName[4] = 'W';
  for (const auto& bad : {Record(90, 2, 1), Record(88, 0, 1), Record(88, 11, 1), wrongName}) {
    EXPECT_EQ(encode->SetSettings(bad.data()), E_INVALIDARG);
  }
  uint8_t back[VEXEL5_RECORD_SIZE] = {};
  ASSERT_EQ(encode->GetSettings(back, sizeof back), S_OK);
  EXPECT_EQ(std::vector<uint8_t>(std::begin(back), std::end(back)), Record(88, 10, 1));
  // A record that turns quick compression off outranks the user's value.
  SetUserValue("QuickCompress", 1);
  EXPECT_EQ(encode->SetSettings(Record(88, 6, 0).data()), S_OK);
  ASSERT_EQ(encode->GetQuickCompress(&quick), S_OK);
  EXPECT_EQ(quick, 0u);
  // By hand, then back to the settings' choice.
  EXPECT_EQ(encode->SetQuality(101), E_INVALIDARG);
  EXPECT_EQ(encode->SetQuality(40), S_OK);
  ASSERT_EQ(encode->GetQuality(&quality), S_OK);
  EXPECT_EQ(quality, 40);
  EXPECT_EQ(encode->SetQuality(0), S_OK);
  ASSERT_EQ(encode->GetQuality(&quality), S_OK);
  EXPECT_EQ(quality, 95);
}

// Bottom-up RGB24 pictures with edges and gradients that move frame to frame.
std::vector<std::vector<uint8_t>> Pictures(int count) {
  std::vector<std::vector<uint8_t>> pictures;
  for (int n = 0; n < count; ++n) {
    std::vector<uint8_t> picture(static_cast<size_t>(kWidth * kHeight * 3));
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        uint8_t* pixel = &picture[static_cast<size_t>((y * kWidth + x) * 3)];
        const bool square = ((x + n * 8) / 40 + y / 40) % 2 == 0;
        pixel[0] = static_cast<uint8_t>(x * 255 / kWidth);
        pixel[1] = static_cast<uint8_t>(y * 255 / kHeight);
        pixel[2] = square ? 200 : 50;
      }
    }
    pictures.push_back(std::move(picture));
  }
  return pictures;
}

double Psnr(const uint8_t* a, const uint8_t* b, size_t size) {
  double sum = 0;
  for (size_t i = 0; i < size; ++i) {
    const double d = double(a[i]) - double(b[i]);
    sum += d * d;
  }
  return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * double(size) / sum);
}

// RGB24 frames through the encoder and the AVI Mux into a file that
// ffprobe reads as Motion JPEG and ffmpeg decodes back above 35 dB.
TEST(Vexel5, WritesMotionJpegThatFfmpegDecodesCloseToTheFramesGiven) {
  if (!media::testing::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  PluginRoot root({"ksvvexel5.so", "ksvavimux.so", "ksvfilewriter.so"});
  ASSERT_TRUE(root.ok()) << root.error();
  const auto pictures = Pictures(4);
  const std::string file = (root / "vexel.avi").string();
  {
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(graph.GetAddressOf())),
              S_OK);
    auto* source = media::testing::Counted(new media::testing::PushSource());
    source->AddStream(media::testing::VideoType(BI_RGB, kWidth, kHeight, 24, 333'333),
                      media::testing::Frames(pictures, 333'333));
    ComPtr<IBaseFilter> encoder = MakeEncoder(), mux, writer;
    ASSERT_EQ(CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(mux.GetAddressOf())),
              S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(writer.GetAddressOf())),
              S_OK);
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(writer.As(&sink), S_OK);
    const std::u16string wide(file.begin(), file.end());
    ASSERT_EQ(sink->SetFileName(wide.c_str(), nullptr), S_OK);
    graph->AddFilter(source, u"Source");
    graph->AddFilter(encoder.Get(), u"Vexel");
    graph->AddFilter(mux.Get(), u"Mux");
    graph->AddFilter(writer.Get(), u"Writer");
    using media::testing::FirstPin;
    ASSERT_EQ(graph->ConnectDirect(FirstPin(source, PINDIR_OUTPUT).Get(),
                                   FirstPin(encoder.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ASSERT_EQ(graph->Connect(FirstPin(encoder.Get(), PINDIR_OUTPUT).Get(),
                             FirstPin(mux.Get(), PINDIR_INPUT).Get()),
              S_OK);
    ASSERT_EQ(graph->Connect(FirstPin(mux.Get(), PINDIR_OUTPUT).Get(),
                             FirstPin(writer.Get(), PINDIR_INPUT).Get()),
              S_OK);
    ComPtr<IMediaFilter> media;
    graph.As(&media);
    media->SetSyncSource(nullptr);
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    graph.As(&control);
    graph.As(&events);
    ASSERT_EQ(control->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    control->Stop();
    source->Release();
  }
  using media::testing::Probe;
  EXPECT_EQ(Probe(file, "v:0", "stream=codec_name"), "mjpeg");
  EXPECT_EQ(Probe(file, "v:0", "stream=codec_tag_string"), "MJPG");
  EXPECT_EQ(Probe(file, "v:0", "stream=width"), "320");
  EXPECT_EQ(Probe(file, "v:0", "stream=nb_frames", true), "4");
  const std::string raw = (root / "decoded.bgr").string();
  int status = -1;
  media::testing::RunCommand("ffmpeg -v error -xerror -i '" + file +
                                 "' -f rawvideo -pix_fmt bgr24 -y '" + raw + "'",
                             &status);
  ASSERT_EQ(status, 0) << "ffmpeg could not decode every frame";
  std::ifstream in(raw, std::ios::binary);
  const std::vector<uint8_t> decoded((std::istreambuf_iterator<char>(in)), {});
  const size_t frameBytes = static_cast<size_t>(kWidth * kHeight * 3);
  ASSERT_EQ(decoded.size(), frameBytes * pictures.size());
  for (size_t n = 0; n < pictures.size(); ++n) {
    // ffmpeg's rows run top-down, the bitmap's bottom-up.
    std::vector<uint8_t> topDown(frameBytes);
    const size_t row = static_cast<size_t>(kWidth * 3);
    for (size_t y = 0; y < kHeight; ++y) {
      std::memcpy(&topDown[y * row], &pictures[n][(kHeight - 1 - y) * row], row);
    }
    EXPECT_GT(Psnr(topDown.data(), &decoded[n * frameBytes], frameBytes), 35.0) << "frame " << n;
  }
}

}  // namespace
}  // namespace ksv::vexel
