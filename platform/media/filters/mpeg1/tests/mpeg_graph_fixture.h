// What the MPEG-1 graph tests share: the test stream that ffmpeg makes
// (once) with what ffmpeg and ffprobe say of it, picture and tone
// measures, and a fixture with a graph in a system root where the File
// Source and the MPEG-1 plug-in are registered.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/mpeg1/tests/capture_sink.h"
#include "platform/media/filters/mpeg1/tests/memory_reader.h"
#include "platform/media/media.h"
#include "platform/media/testing/plugin_root.h"
#include "testing/temp_files.h"

namespace ksv::media::mpeg1::testing {

using ksv::com::ComPtr;
using ksv::media::testing::PluginRoot;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kRate = 44100;

// The command's standard output, or nothing when it failed.
inline std::optional<std::string> Command(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string output;
  char chunk[4096];
  size_t got = 0;
  while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
  if (pclose(pipe) != 0) return std::nullopt;
  return output;
}

// The test stream and what ffmpeg says of it, made once.
struct Stream {
  ksv::testing::TempFolder folder;
  std::filesystem::path file;
  int frames = 0;
  double audioSeconds = 0;
  std::vector<uint8_t> firstFrame;  // BGR24, top-down
  std::vector<uint8_t> pcm;         // the audio decoded, 16-bit
};

inline Stream* MakeStream() {
  if (!Command("ffmpeg -version") || !Command("ffprobe -version")) return nullptr;
  auto* stream = new Stream;
  stream->file = stream->folder / "clip.mpg";
  const std::string file = stream->file.string();
  const auto made = Command(
      "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 -f lavfi -i "
      "sine=frequency=440:duration=2 -c:v mpeg1video -c:a mp2 -f mpeg '" + file + "'");
  const auto frames = Command("ffprobe -v error -count_frames -select_streams v "
                              "-show_entries stream=nb_read_frames -of csv=p=0 '" + file + "'");
  const auto seconds = Command("ffprobe -v error -select_streams a -show_entries "
                               "stream=duration -of csv=p=0 '" + file + "'");
  const auto reference = stream->folder / "first.bgr";
  const auto extracted = Command("ffmpeg -v error -y -i '" + file +
                                 "' -vf 'select=eq(n\\,0)' -frames:v 1 -f rawvideo "
                                 "-pix_fmt bgr24 '" + reference.string() + "'");
  const auto pcm = stream->folder / "audio.pcm";
  const auto decoded = Command("ffmpeg -v error -y -i '" + file + "' -map 0:a -f s16le '" +
                               pcm.string() + "'");
  if (!made || !frames || !seconds || !extracted || !decoded) {
    delete stream;
    return nullptr;
  }
  stream->frames = std::stoi(*frames);
  stream->audioSeconds = std::stod(*seconds);
  stream->firstFrame = ksv::testing::ReadFile(reference);
  stream->pcm = ksv::testing::ReadFile(pcm);
  return stream;
}

inline const Stream* TestStream() {
  static Stream* stream = MakeStream();
  return stream;
}

// Peak signal-to-noise ratio of a bottom-up BGR picture (`bytesPerPixel`
// 3 or 4, rows padded to 4 bytes) against a top-down BGR24 one.
inline double Psnr(const std::vector<uint8_t>& bottomUp, int bytesPerPixel,
            const std::vector<uint8_t>& reference) {
  const size_t stride = ((kWidth * bytesPerPixel) + 3) / 4 * 4;
  if (bottomUp.size() < stride * kHeight || reference.size() < size_t{kWidth} * kHeight * 3) {
    return 0;
  }
  double squares = 0;
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* row = bottomUp.data() + (kHeight - 1 - y) * stride;
    const uint8_t* wanted = reference.data() + static_cast<size_t>(y) * kWidth * 3;
    for (int x = 0; x < kWidth; ++x) {
      for (int c = 0; c < 3; ++c) {
        const double difference = static_cast<double>(row[x * bytesPerPixel + c]) - wanted[x * 3 + c];
        squares += difference * difference;
      }
    }
  }
  const double mse = squares / (double{kWidth} * kHeight * 3);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// The frequency of the tone in 16-bit mono samples, from its rising zero
// crossings between the first and the last (coders pad with silence at
// either end). A crossing counts when the signal goes from below
// -kThreshold to above +kThreshold, so coding noise around zero adds none.
inline double ToneFrequency(const std::vector<uint8_t>& bytes) {
  constexpr int kThreshold = 512;
  const size_t count = bytes.size() / 2;
  int crossings = 0;
  size_t first = 0;
  size_t last = 0;
  bool below = false;
  for (size_t i = 0; i < count; ++i) {
    int16_t value;
    std::memcpy(&value, bytes.data() + 2 * i, 2);
    if (value < -kThreshold) below = true;
    if (value > kThreshold && below) {
      if (crossings++ == 0) first = i;
      last = i;
      below = false;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) / (static_cast<double>(last - first) / kRate);
}

class MpegGraph : public ::testing::Test {
 protected:
  MpegGraph() : root_({"ksvfilesource.so", "ksvmpeg1.so"}) {}

  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    stream_ = TestStream();
    if (stream_ == nullptr) GTEST_SKIP() << "ffmpeg and ffprobe are needed to make MPEG streams";
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IGraphBuilder, reinterpret_cast<void**>(graph_.GetAddressOf())),
              S_OK);
    ASSERT_EQ(graph_.As(&control_), S_OK);
    ASSERT_EQ(graph_.As(&events_), S_OK);
  }
  void TearDown() override {
    if (control_) control_->Stop();
    for (CaptureSink* sink : sinks_) sink->Release();
  }

  ComPtr<IBaseFilter> Add(const CLSID& clsid, const char16_t* name) {
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(filter.GetAddressOf())),
              S_OK);
    if (filter) {
      EXPECT_EQ(graph_->AddFilter(filter.Get(), name), S_OK);
    }
    return filter;
  }
  static ComPtr<IPin> Pin(const ComPtr<IBaseFilter>& filter, const char16_t* name) {
    ComPtr<IPin> pin;
    if (filter) filter->FindPin(name, pin.GetAddressOf());
    return pin;
  }
  CaptureSink* AddSink(const GUID& major, std::vector<GUID> subtypes, bool keepAllBytes) {
    auto* sink = new CaptureSink(major, std::move(subtypes), keepAllBytes);
    sink->AddRef();
    sinks_.push_back(sink);
    EXPECT_EQ(graph_->AddFilter(sink, nullptr), S_OK);
    return sink;
  }
  // The File Source on `file` joined to a new splitter; the connection's result.
  HRESULT OpenSplitter(const std::filesystem::path& file) {
    source_ = Add(CLSID_AsyncReader, u"source");
    ComPtr<IFileSourceFilter> load;
    EXPECT_EQ(source_.As(&load), S_OK);
    EXPECT_EQ(load->Load(ksv::com::Utf8ToUtf16(file.string()).c_str(), nullptr), S_OK);
    splitter_ = Add(CLSID_MPEG1Splitter, u"splitter");
    return graph_->ConnectDirect(Pin(source_, u"Output").Get(), Pin(splitter_, u"Input").Get(),
                                 nullptr);
  }
  // A reader of `bytes` as a stream of `subtype` joined to a new splitter;
  // the connection's result in *connected.
  MemoryReader* OpenReader(std::vector<uint8_t> bytes, const GUID& subtype, HRESULT* connected) {
    auto* reader = new MemoryReader(std::move(bytes), subtype);
    reader->AddRef();
    source_ = ComPtr<IBaseFilter>::Adopt(reader);
    EXPECT_EQ(graph_->AddFilter(reader, u"reader"), S_OK);
    splitter_ = Add(CLSID_MPEG1Splitter, u"splitter");
    *connected = graph_->ConnectDirect(&reader->pin(), Pin(splitter_, u"Input").Get(), nullptr);
    return reader;
  }
  // A file ffmpeg makes with `arguments` (inputs, codecs, format), or
  // nothing when it cannot.
  std::optional<std::filesystem::path> MakeFile(const std::string& name,
                                                const std::string& arguments) {
    const auto path = root_ / name;
    if (!Command("ffmpeg -v error -y " + arguments + " '" + path.string() + "'")) {
      return std::nullopt;
    }
    return path;
  }
  // Splitter -> decoder -> a new sink, by direct connections.
  CaptureSink* Decode(const char16_t* pinName, const CLSID& decoder, const GUID& major,
                      std::vector<GUID> subtypes, bool keepAllBytes) {
    ComPtr<IBaseFilter> filter = Add(decoder, nullptr);
    EXPECT_EQ(graph_->ConnectDirect(Pin(splitter_, pinName).Get(), Pin(filter, u"XForm In").Get(),
                                    nullptr),
              S_OK);
    CaptureSink* sink = AddSink(major, std::move(subtypes), keepAllBytes);
    EXPECT_EQ(graph_->ConnectDirect(Pin(filter, u"XForm Out").Get(), sink->Input(), nullptr), S_OK);
    return sink;
  }
  void NoClock() {
    ComPtr<IMediaFilter> filter;
    ASSERT_EQ(graph_.As(&filter), S_OK);
    ASSERT_EQ(filter->SetSyncSource(nullptr), S_OK);
  }
  // Runs the graph to its end; the event that ended it.
  LONG RunToEnd() {
    EXPECT_TRUE(SUCCEEDED(control_->Run()));
    LONG code = 0;
    EXPECT_EQ(events_->WaitForCompletion(20000, &code), S_OK);
    control_->Stop();
    return code;
  }

  PluginRoot root_;
  const Stream* stream_ = nullptr;
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaEventEx> events_;
  ComPtr<IBaseFilter> source_;
  ComPtr<IBaseFilter> splitter_;
  std::vector<CaptureSink*> sinks_;
};

}  // namespace ksv::media::mpeg1::testing
