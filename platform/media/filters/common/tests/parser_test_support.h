// What the parser tests share: a sink filter that records every sample it
// gets, a graph of File Source + parser + one sink per output pin, and
// FFmpeg as the oracle (making the files, and listing their packets with
// the framecrc muxer).
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/media/testing/filter_pins.h"
#include "platform/media/base/streams.h"

namespace ksv::media::filters::testing {

struct RecordedSample {
  LONG size = 0;
  bool hasTime = false;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  bool syncPoint = false;
  bool discontinuity = false;
  bool preroll = false;
  uint32_t adler = 0;  // FFmpeg's framecrc checksum (adler32 from 0)
};

struct RecordedSegment {
  REFERENCE_TIME start, stop;
  double rate;
};

// A filter with one input pin that takes any audio or video type and
// records what arrives. End of stream reports EC_COMPLETE. What was
// recorded is cleared each time the filter leaves the stopped state.
class RecordingSink final : public CBaseFilter {
 public:
  // Returned with one reference, which the caller releases. With
  // `onlySubtype`, audio of that subtype is all it takes.
  static RecordingSink* Make(const GUID* onlySubtype = nullptr);

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override;
  HRESULT Pause() override;
  IPin* Input();

  std::vector<RecordedSample> Samples();
  std::vector<uint8_t> Bytes();  // every sample's bytes, in order
  std::vector<RecordedSegment> Segments();
  int EndsOfStream();
  CMediaType ConnectionType();
  // Each sample is held this long before Receive returns (a slow renderer).
  void SetDelay(int milliseconds) { delayMs_ = milliseconds; }
  // Keeps every sample it gets (as a renderer keeps a frame), so the
  // sender runs out of buffers; ReleaseHeld lets them go.
  void HoldSamples(bool hold) { hold_ = hold; }
  void ReleaseHeld();

 private:
  class Pin;
  friend class Pin;
  RecordingSink();
  ~RecordingSink() override;
  std::optional<GUID> onlySubtype_;

  CCritSec lock_;
  Pin* pin_;
  std::mutex recordMutex_;
  std::vector<RecordedSample> samples_;
  std::vector<uint8_t> bytes_;
  std::vector<RecordedSegment> segments_;
  int ends_ = 0;
  std::atomic<int> delayMs_{0};
  std::atomic<bool> hold_{false};
  std::vector<IMediaSample*> held_;  // counted
};

// adler32 as FFmpeg's framecrc computes it (the sums start at 0, not 1).
uint32_t FramecrcAdler(const uint8_t* data, size_t size, uint32_t adler = 0);

// One line of `ffmpeg -f framecrc`: times in the stream's time base.
struct FramecrcPacket {
  int stream = 0;
  int64_t dts = 0, pts = 0, duration = 0;
  uint32_t size = 0;
  uint32_t adler = 0;
  int64_t tbNum = 1, tbDen = 1;  // the stream's time base
  // A time in the stream's time base in 100-ns units.
  REFERENCE_TIME Time(int64_t ticks) const { return ticks * 10'000'000 * tbNum / tbDen; }
};

bool HaveFfmpeg();
// Runs `ffmpeg -v error -y <arguments>`; true when it succeeded.
bool Ffmpeg(const std::string& arguments);
// The packets of every stream of `file` as FFmpeg demuxes them (stream
// copy); nullopt when FFmpeg failed.
std::optional<std::vector<FramecrcPacket>> Framecrc(const std::filesystem::path& file);
// The bytes of every packet of `file`, one after another (stream copy to
// FFmpeg's data muxer); nullopt when FFmpeg failed.
std::optional<std::vector<uint8_t>> FfmpegPacketBytes(const std::filesystem::path& file);

// A filter graph with a File Source on `file`, the parser `parser`
// connected to it, and a RecordingSink on each of the parser's outputs.
class ParserGraph {
 public:
  ParserGraph();
  ~ParserGraph();
  ParserGraph(const ParserGraph&) = delete;
  ParserGraph& operator=(const ParserGraph&) = delete;

  // The result of connecting the source to the parser (the sinks are
  // connected when that succeeded).
  HRESULT Open(const std::filesystem::path& file, REFCLSID parser);
  // Runs until the graph completes or aborts: the event code, or -1 when
  // it did not end within `milliseconds`.
  LONG RunToEnd(LONG milliseconds = 20000);

  IGraphBuilder* Graph() { return graph_.Get(); }
  IMediaControl* Control() { return control_.Get(); }
  IBaseFilter* Parser() { return parser_.Get(); }
  IBaseFilter* Source() { return source_.Get(); }
  // The parser's output pins, in order, and the sink on each.
  const std::vector<com::ComPtr<IPin>>& Outputs() const { return outputs_; }
  RecordingSink* Sink(size_t output) { return sinks_[output]; }
  size_t SinkCount() const { return sinks_.size(); }

 private:
  com::ComPtr<IGraphBuilder> graph_;
  com::ComPtr<IMediaControl> control_;
  com::ComPtr<IMediaEvent> events_;
  com::ComPtr<IBaseFilter> source_;
  com::ComPtr<IBaseFilter> parser_;
  std::vector<com::ComPtr<IPin>> outputs_;
  std::vector<RecordingSink*> sinks_;  // counted
};

using ksv::media::testing::PinsOf;

}  // namespace ksv::media::filters::testing
