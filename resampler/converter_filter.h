// The sample-rate converter filter: PCM in, PCM out at the configured (or
// negotiated) rate, channel count and width. The plan for a connection is
// made when the output connects; samples from upstream are cut into the
// plan's fixed blocks by the input pin (ReblockingInputPin) and each block
// becomes one output buffer.
//
// Locks: the filter lock (m_csFilter) guards the configuration and the
// connections; the receive lock guards the converter while a block is
// transformed. The page's window is told of streaming state by posted
// messages only.
#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include "include/trsmplrt.h"
#include "platform/com/property_page.h"
#include "platform/media/base/streams.h"
#include "resampler/dsp/converter.h"
#include "resampler/plan_info.h"

namespace ksv::resampler {

class ReblockingInputPin;

class SampleRateConverterFilter final : public CTransformFilter,
                                        public ISampleRateConfig,
                                        public ISpecifyPropertyPages,
                                        public IResamplePlanInfo {
 public:
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  static const AMOVIESETUP_FILTER* Setup();

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  const AMOVIESETUP_FILTER* GetSetupData() override { return Setup(); }
  // Pins are found by their identifiers ("In", "Out") and by their names.
  HRESULT FindPin(LPCWSTR id, IPin** pin) override;

  // The transform.
  HRESULT CheckInputType(const CMediaType* input) override;
  HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Transform(IMediaSample* input, IMediaSample* output) override;
  HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* pin) override;
  HRESULT BreakConnect(PIN_DIRECTION direction) override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type) override;
  HRESULT StartStreaming() override;
  HRESULT EndFlush() override;

  // ISampleRateConfig (include/trsmplrt.h).
  HRESULT GetRate(LONG* rate) override;
  HRESULT GetChannels(SHORT* channels) override;
  HRESULT GetBitsPerSample(SHORT* bits) override;
  HRESULT GetDefaultNegotiation(LONG* negotiate) override;
  HRESULT SetRate(LONG rate) override;
  HRESULT SetChannels(SHORT channels) override;
  HRESULT SetBitsPerSample(SHORT bits) override;
  HRESULT SetDefaultNegotiation(LONG negotiate) override;
  HRESULT SetPageWindow(HWND window) override;
  HRESULT IsStopped(LONG* stopped) override;
  HRESULT Reconnect() override;
  HRESULT SetMerit(DWORD merit) override;
  HRESULT GetMerit(DWORD* merit) override;

  // ISpecifyPropertyPages: the converter's own page.
  HRESULT GetPages(CAUUID* pages) override;

  // IResamplePlanInfo.
  HRESULT GetPlan(ResamplePlan* plan) override;
  HRESULT GetProducedDuration(int64_t* duration) override;

  // For the pins.
  // The input block size and the input's bytes per second, when a plan is made.
  bool BlockLayout(size_t* blockBytes, int64_t* bytesPerSecond);
  // The next block is the stream's last, padded after `realBytes` bytes of
  // sound: its output is cut to the frames those bytes give, so the output
  // ends where the input ends.
  void EndNextBlockAfter(size_t realBytes) { lastBlockRealBytes_ = realBytes; }
  // The output pin started (true) or stopped streaming.
  void OutputStreaming(bool active);
  CCritSec* ReceiveLock() { return &m_csReceive; }

 private:
  SampleRateConverterFilter(LPUNKNOWN outer, HRESULT* result);
  HRESULT CreatePins() override;
  HRESULT MakePlanLocked();
  void FreePlanLocked();
  // The input pin's partner belongs to a filter of our own class.
  static bool FromOurClass(IPin* pin);

  // The configured output format and whether any other may be negotiated.
  PcmFormat configured_{kSampleRateDefaultRate, kSampleRateDefaultChannels,
                        kSampleRateDefaultBits};
  LONG defaultNegotiation_ = 0;
  std::atomic<HWND> pageWindow_{nullptr};

  // The connection's plan (from the output's connection to its break) and
  // the converter that runs it; the input format it was made for.
  std::optional<ResamplePlan> plan_;
  std::unique_ptr<BlockConverter> converter_;
  PcmFormat planInput_{};
  PcmFormat planOutput_{};
  bool reconnectingInput_ = false;  // our own request is being carried out

  std::atomic<int64_t> produced_{0};  // 100-ns units since the output became active
  std::atomic<size_t> lastBlockRealBytes_{0};  // 0: the next block is whole
};

}  // namespace ksv::resampler
