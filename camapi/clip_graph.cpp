#include "camapi/clip_graph.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/hresult.h"
#include "camapi/clip_samples.h"
#include "camapi/codec_settings.h"
#include "camapi/item_headers.h"
#include "include/dextro.h"
#include "include/trsmplrt.h"
#include "include/vexel5.h"
#include "platform/com/apartment.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/wide_text.h"
#include "platform/files/files.h"
#include "platform/media/filter_ids.h"
#include "platform/media/media.h"
#include "platform/media/pin_search.h"
#include "platform/ui/user32.h"
#include "support/byte_order.h"

namespace ksv::camapi {

namespace {

using com::ComPtr;

// The filters in the order they are made and added.
enum Filter { kSource, kEncoder, kConverter, kMux, kWriter, kFilterCount };

const std::array<CLSID, kFilterCount> kFilterClasses = {
    CLSID_DownloadSourceFilter, CLSID_Vexel5Encoder, CLSID_SampleRateConverter, CLSID_AviDest,
    CLSID_FileWriter};

constexpr LONG kSoundRate = 22050;
constexpr uint64_t kNearlyFull = 1048576;

// The encoder's quick-compress record as the clip graph gives it (86 in its
// size field).
std::array<BYTE, VEXEL5_RECORD_SIZE> QuickCompressRecord() {
  std::array<BYTE, VEXEL5_RECORD_SIZE> record{};
  const uint32_t fields[] = {VEXEL5_SHORT_RECORD_SIZE, VEXEL5_RECORD_FOURCC, VEXEL5_VERSION, 6, 2,
                             0x80000100u};
  for (size_t i = 0; i < std::size(fields); ++i) support::StoreLe32(record, 4 * i, fields[i]);
  support::StoreLe32(record, 76, 1);
  return record;
}

void DispatchPendingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

bool DiskNearlyFull(const char* path) {
  std::string folder = path;
  const size_t slash = folder.rfind('/');
  folder = slash == std::string::npos ? "." : folder.substr(0, slash + 1);
  uint64_t available = 0;
  return GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr) &&
         available < kNearlyFull;
}

// One conversion: the graph, its filters and the pins it connected, all
// undone in the destructor.
class ClipGraph {
 public:
  explicit ClipGraph(CameraContext& context) : context_(context) {}
  ~ClipGraph() { TearDown(); }
  ClipGraph(const ClipGraph&) = delete;
  ClipGraph& operator=(const ClipGraph&) = delete;

  HRESULT Build() {
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(graph_.GetAddressOf()))) ||
        FAILED(graph_.As(&control_)) || FAILED(graph_.As(&events_))) {
      return E_FAIL;
    }
    settings_.emplace();
    for (int f = 0; f < kFilterCount; ++f) {
      if (FAILED(CoCreateInstance(kFilterClasses[f], nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(filters_[f].GetAddressOf()))) ||
          FAILED(graph_->AddFilter(filters_[f].Get(), nullptr))) {
        return E_FAIL;
      }
      added_[f] = true;
    }
    // No clock: the graph runs as fast as the filters go.
    ComPtr<IMediaFilter> timing;
    if (SUCCEEDED(graph_.As(&timing))) timing->SetSyncSource(nullptr);
    if (FAILED(ConfigureMux()) || FAILED(ConfigureWriter())) return E_FAIL;
    ConfigureConverter();
    ConfigureEncoder();
    return Connect();
  }

  // Runs the graph to its end; the conversion's result.
  HRESULT Run() {
    if (FAILED(control_->Run())) {
      control_->Stop();
      return E_FAIL;
    }
    LONG code = 0;
    bool cancelled = false;
    for (;;) {
      DispatchPendingMessages();
      if (context_.progress != nullptr) {
        ShowFrames();
        if (context_.progress(context_.userData, &context_.record) != 0) context_.cancel = 1;
      }
      if (context_.cancel != 0) {
        cancelled = true;
        break;
      }
      if (events_->WaitForCompletion(10, &code) == S_OK) break;
    }
    control_->Stop();
    if (cancelled) return kClipCancelled;
    if (code == EC_COMPLETE) return S_OK;
    if (code == EC_ERRORABORT && DiskNearlyFull(context_.pathBuffer)) return kClipDiskFull;
    return E_FAIL;
  }

 private:
  HRESULT ConfigureMux() {
    ComPtr<IConfigAviMux> mux;
    ComPtr<IConfigInterleaving> interleaving;
    if (SUCCEEDED(filters_[kMux].As(&mux))) mux->SetOutputCompatibilityIndex(TRUE);
    if (SUCCEEDED(filters_[kMux].As(&interleaving))) interleaving->put_Mode(INTERLEAVE_NONE);
    return S_OK;
  }

  HRESULT ConfigureWriter() {
    ComPtr<IFileSinkFilter2> sink;
    if (FAILED(filters_[kWriter].As(&sink))) return E_FAIL;
    std::u16string path = com::Utf8ToUtf16(context_.pathBuffer);
    if (path.size() > KXCAMAPI_PATH_BYTES) path.resize(KXCAMAPI_PATH_BYTES);
    if (FAILED(sink->SetFileName(path.c_str(), nullptr))) return E_FAIL;
    DWORD mode = 0;
    sink->GetMode(&mode);
    sink->SetMode(AM_FILE_OVERWRITE);
    return S_OK;
  }

  void ConfigureConverter() {
    ComPtr<ISampleRateConfig> config;
    if (FAILED(filters_[kConverter].As(&config))) return;
    config->SetDefaultNegotiation(0);
    config->SetChannels(1);
    config->SetBitsPerSample(16);
    config->SetRate(kSoundRate);
  }

  void ConfigureEncoder() {
    ComPtr<IVexelEncode> encode;
    if (FAILED(filters_[kEncoder].As(&encode))) return;
    const auto record = QuickCompressRecord();
    encode->SetSettings(record.data());
    DWORD quick = 0;
    encode->GetQuickCompress(&quick);
  }

  // Connects the five filters; on a failure every connection made so far is
  // broken again.
  HRESULT Connect() {
    struct Link {
      Filter from;
      int output;
      Filter to;
      int input;
      bool direct;
    };
    const Link links[] = {{kSource, 0, kEncoder, 0, true},
                          {kSource, 1, kConverter, 0, false},
                          {kEncoder, 0, kMux, 0, true},
                          {kConverter, 0, kMux, 1, true},
                          {kMux, 0, kWriter, 0, true}};
    for (const Link& link : links) {
      ComPtr<IPin> out = media::NthPin(filters_[link.from].Get(), PINDIR_OUTPUT, link.output);
      ComPtr<IPin> in = media::NthPin(filters_[link.to].Get(), PINDIR_INPUT, link.input);
      HRESULT made = E_FAIL;
      if (out && in) {
        made = link.direct ? graph_->ConnectDirect(out.Get(), in.Get(), nullptr)
                           : graph_->Connect(out.Get(), in.Get());
      }
      if (FAILED(made)) {
        Disconnect();
        return E_FAIL;
      }
      connected_.push_back(out);
      connected_.push_back(in);
    }
    return S_OK;
  }

  void Disconnect() {
    for (const ComPtr<IPin>& pin : connected_) graph_->Disconnect(pin.Get());
    connected_.clear();
  }

  // While a clip converts, the current item's percentage follows its frames.
  void ShowFrames() {
    const uint32_t chunks = ReadStoredItemHeader(std::span<const uint8_t, kItemHeaderBytes>(
                                                     context_.bulk->clipHeader, kItemHeaderBytes))
                                .chunkCount;
    if (chunks == 0) return;
    const uint64_t frames = std::atomic_ref<uint32_t>(context_.frameCounter).load();
    context_.record.itemPercent = static_cast<DWORD>(std::min<uint64_t>(100, frames * 100 / chunks));
  }

  void TearDown() {
    if (graph_) {
      if (control_) control_->Stop();
      Disconnect();
      for (int f = 0; f < kFilterCount; ++f) {
        if (added_[f]) graph_->RemoveFilter(filters_[f].Get());
      }
    }
    for (auto& filter : filters_) filter.Reset();
    settings_.reset();  // the codec's settings back as they were
    ReleaseClipSamples();
    events_.Reset();
    control_.Reset();
    graph_.Reset();
  }

  CameraContext& context_;
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaEvent> events_;
  std::optional<CodecSettingsOverride> settings_;
  std::array<ComPtr<IBaseFilter>, kFilterCount> filters_;
  std::array<bool, kFilterCount> added_{};
  std::vector<ComPtr<IPin>> connected_;
};

}  // namespace

HRESULT RunClipAviGraph(CameraContext& context) {
  if (const HRESULT prepared = PrepareClipSamples(context); FAILED(prepared)) {
    ReleaseClipSamples();
    return prepared;
  }
  const bool initialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  HRESULT result = E_FAIL;
  {
    ClipGraph graph(context);
    result = graph.Build();
    if (SUCCEEDED(result)) result = graph.Run();
  }
  if (initialised) CoUninitialize();
  return result;
}

}  // namespace ksv::camapi
