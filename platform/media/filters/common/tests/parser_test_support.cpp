#include "platform/media/filters/common/tests/parser_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <map>
#include <thread>

#include "platform/com/inproc_servers.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_ids.h"

namespace ksv::media::filters::testing {

using com::ComPtr;

namespace {
// Any class will do: the sink is made in the test, never by COM.
constexpr CLSID kSinkClsid = com::Guid("6B1F30D2-5E0A-4C2B-9A51-3D3C2B8E7A10");
}  // namespace

class RecordingSink::Pin final : public CBaseInputPin {
 public:
  Pin(RecordingSink* sink, HRESULT* result)
      : CBaseInputPin("recording input", sink, &sink->lock_, result, u"In"), sink_(sink) {}

  HRESULT CheckMediaType(const CMediaType* type) override {
    if (sink_->onlySubtype_) {
      return *type->Type() == MEDIATYPE_Audio && *type->Subtype() == *sink_->onlySubtype_
                 ? S_OK
                 : VFW_E_TYPE_NOT_ACCEPTED;
    }
    return *type->Type() == MEDIATYPE_Video || *type->Type() == MEDIATYPE_Audio
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT Receive(IMediaSample* sample) override {
    const HRESULT result = CBaseInputPin::Receive(sample);
    if (result != S_OK) return result;
    RecordedSample record;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    record.size = sample->GetActualDataLength();
    record.hasTime = sample->GetTime(&record.start, &record.stop) == S_OK;
    record.syncPoint = sample->IsSyncPoint() == S_OK;
    record.discontinuity = sample->IsDiscontinuity() == S_OK;
    record.preroll = sample->IsPreroll() == S_OK;
    record.adler = FramecrcAdler(data, static_cast<size_t>(record.size));
    std::lock_guard guard(sink_->recordMutex_);
    sink_->samples_.push_back(record);
    sink_->bytes_.insert(sink_->bytes_.end(), data, data + record.size);
    if (sink_->hold_) {
      sample->AddRef();
      sink_->held_.push_back(sample);
    }
    const int delay = sink_->delayMs_.load();
    if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    return S_OK;
  }
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override {
    {
      std::lock_guard guard(sink_->recordMutex_);
      sink_->segments_.push_back({start, stop, rate});
    }
    return CBaseInputPin::NewSegment(start, stop, rate);
  }
  HRESULT EndOfStream() override {
    const HRESULT result = CBaseInputPin::EndOfStream();
    if (result != S_OK) return result;
    {
      std::lock_guard guard(sink_->recordMutex_);
      ++sink_->ends_;
    }
    sink_->NotifyEvent(EC_COMPLETE, S_OK, 0);
    return S_OK;
  }

 private:
  RecordingSink* sink_;
};

RecordingSink::RecordingSink() : CBaseFilter("recording sink", nullptr, &lock_, kSinkClsid) {
  HRESULT result = S_OK;
  pin_ = new Pin(this, &result);
}

RecordingSink::~RecordingSink() {
  ReleaseHeld();
  delete pin_;
}

void RecordingSink::ReleaseHeld() {
  std::vector<IMediaSample*> held;
  {
    std::lock_guard guard(recordMutex_);
    held.swap(held_);
  }
  for (IMediaSample* sample : held) sample->Release();
}

RecordingSink* RecordingSink::Make(const GUID* onlySubtype) {
  auto* sink = new RecordingSink();
  if (onlySubtype != nullptr) sink->onlySubtype_ = *onlySubtype;
  sink->NonDelegatingAddRef();
  return sink;
}

CBasePin* RecordingSink::GetPin(int index) { return index == 0 ? pin_ : nullptr; }
IPin* RecordingSink::Input() { return pin_; }

HRESULT RecordingSink::Pause() {
  if (IsStopped()) {
    std::lock_guard guard(recordMutex_);
    samples_.clear();
    bytes_.clear();
    segments_.clear();
    ends_ = 0;
  }
  return CBaseFilter::Pause();
}

std::vector<RecordedSample> RecordingSink::Samples() {
  std::lock_guard guard(recordMutex_);
  return samples_;
}
std::vector<uint8_t> RecordingSink::Bytes() {
  std::lock_guard guard(recordMutex_);
  return bytes_;
}
std::vector<RecordedSegment> RecordingSink::Segments() {
  std::lock_guard guard(recordMutex_);
  return segments_;
}
int RecordingSink::EndsOfStream() {
  std::lock_guard guard(recordMutex_);
  return ends_;
}
CMediaType RecordingSink::ConnectionType() {
  CAutoLock guard(&lock_);
  return pin_->CurrentMediaType();
}

uint32_t FramecrcAdler(const uint8_t* data, size_t size, uint32_t adler) {
  constexpr uint32_t kModulus = 65521;
  uint32_t low = adler & 0xFFFF;
  uint32_t high = adler >> 16;
  for (size_t i = 0; i < size; ++i) {
    low = (low + data[i]) % kModulus;
    high = (high + low) % kModulus;
  }
  return high << 16 | low;
}

bool HaveFfmpeg() {
  static const bool have = std::system("ffmpeg -version >/dev/null 2>&1") == 0;
  return have;
}

bool Ffmpeg(const std::string& arguments) {
  return std::system(("ffmpeg -nostdin -v error -y " + arguments).c_str()) == 0;
}

std::optional<std::vector<FramecrcPacket>> Framecrc(const std::filesystem::path& file) {
  const std::string command =
      "ffmpeg -nostdin -v error -i '" + file.string() + "' -map 0 -c copy -f framecrc -";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::vector<FramecrcPacket> packets;
  std::map<int, std::pair<int64_t, int64_t>> timeBases;
  char line[512];
  while (std::fgets(line, sizeof(line), pipe) != nullptr) {
    int stream = 0;
    long long num = 0, den = 0;
    if (std::sscanf(line, "#tb %d: %lld/%lld", &stream, &num, &den) == 3 && den > 0) {
      timeBases[stream] = {num, den};
    }
    if (line[0] == '#') continue;
    FramecrcPacket packet;
    long long dts = 0, pts = 0, duration = 0;
    unsigned size = 0, adler = 0;
    if (std::sscanf(line, "%d, %lld, %lld, %lld, %u, 0x%x", &packet.stream, &dts, &pts,
                    &duration, &size, &adler) != 6) {
      continue;
    }
    packet.dts = dts;
    packet.pts = pts;
    packet.duration = duration;
    packet.size = size;
    packet.adler = adler;
    if (const auto found = timeBases.find(packet.stream); found != timeBases.end()) {
      packet.tbNum = found->second.first;
      packet.tbDen = found->second.second;
    }
    packets.push_back(packet);
  }
  if (pclose(pipe) != 0) return std::nullopt;
  return packets;
}

std::optional<std::vector<uint8_t>> FfmpegPacketBytes(const std::filesystem::path& file) {
  const std::string command =
      "ffmpeg -nostdin -v error -i '" + file.string() + "' -map 0 -c copy -f data -";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  if (pclose(pipe) != 0) return std::nullopt;
  return bytes;
}

ParserGraph::ParserGraph() {
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                   reinterpret_cast<void**>(graph_.GetAddressOf()));
  if (graph_) {
    graph_.As(&control_);
    graph_.As(&events_);
  }
}

ParserGraph::~ParserGraph() {
  if (control_) control_->Stop();
  outputs_.clear();
  if (graph_) {
    // Removing the filters disconnects them.
    for (RecordingSink* sink : sinks_) graph_->RemoveFilter(sink);
    if (parser_) graph_->RemoveFilter(parser_.Get());
    if (source_) graph_->RemoveFilter(source_.Get());
  }
  for (RecordingSink* sink : sinks_) sink->Release();
}

HRESULT ParserGraph::Open(const std::filesystem::path& file, REFCLSID parser) {
  if (!graph_ || !control_ || !events_) return E_NOINTERFACE;
  HRESULT result = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IBaseFilter,
                                    reinterpret_cast<void**>(source_.GetAddressOf()));
  if (FAILED(result)) return result;
  result = CoCreateInstance(parser, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                            reinterpret_cast<void**>(parser_.GetAddressOf()));
  if (FAILED(result)) return result;
  ComPtr<IFileSourceFilter> load;
  if (FAILED(result = source_.As(&load))) return result;
  if (FAILED(result = load->Load(com::Utf8ToUtf16(file.string()).c_str(), nullptr))) {
    return result;
  }
  if (FAILED(result = graph_->AddFilter(source_.Get(), u"Source"))) return result;
  if (FAILED(result = graph_->AddFilter(parser_.Get(), u"Parser"))) return result;
  const auto sourceOut = PinsOf(source_.Get(), PINDIR_OUTPUT);
  const auto parserIn = PinsOf(parser_.Get(), PINDIR_INPUT);
  if (sourceOut.size() != 1 || parserIn.size() != 1) return E_UNEXPECTED;
  result = graph_->ConnectDirect(sourceOut[0].Get(), parserIn[0].Get(), nullptr);
  if (FAILED(result)) return result;
  outputs_ = PinsOf(parser_.Get(), PINDIR_OUTPUT);
  for (const ComPtr<IPin>& output : outputs_) {
    RecordingSink* sink = RecordingSink::Make();
    sinks_.push_back(sink);
    if (FAILED(result = graph_->AddFilter(sink, nullptr))) return result;
    if (FAILED(result = graph_->ConnectDirect(output.Get(), sink->Input(), nullptr))) {
      return result;
    }
  }
  return S_OK;
}

LONG ParserGraph::RunToEnd(LONG milliseconds) {
  if (FAILED(control_->Run())) return -1;
  LONG code = 0;
  if (events_->WaitForCompletion(milliseconds, &code) != S_OK) return -1;
  return code;
}

}  // namespace ksv::media::filters::testing
