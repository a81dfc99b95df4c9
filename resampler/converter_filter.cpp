#include "resampler/converter_filter.h"

#include <algorithm>
#include <new>
#include <utility>

#include "platform/com/com_method.h"
#include "platform/com/property_page_list.h"
#include "platform/media/media_guids.h"
#include "platform/ui/user32.h"
#include "resampler/audio_types.h"
#include "resampler/converter_pins.h"

namespace ksv::resampler {
namespace {

const AMOVIESETUP_MEDIATYPE kAudio[] = {{&MEDIATYPE_Audio, nullptr}};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"Input"), FALSE, FALSE, FALSE, FALSE, nullptr,
     const_cast<LPWSTR>(u"Output"), 1, kAudio},
    {const_cast<LPWSTR>(u"Output"), FALSE, TRUE, FALSE, FALSE, nullptr,
     const_cast<LPWSTR>(u"Input"), 1, kAudio},
};
// Never picked by intelligent connection until the merit is raised.
const AMOVIESETUP_FILTER kSetup = {&CLSID_SampleRateConverter, kSampleRateConverterName,
                                   MERIT_DO_NOT_USE, 2, kPins};

bool SameFormat(const PcmFormat& a, const PcmFormat& b) {
  return a.rate == b.rate && a.channels == b.channels && a.bits == b.bits;
}

bool WideEquals(LPCWSTR a, const char16_t* b) {
  return std::char_traits<char16_t>::compare(a, b, std::char_traits<char16_t>::length(b) + 1) == 0;
}

}  // namespace

SampleRateConverterFilter::SampleRateConverterFilter(LPUNKNOWN outer, HRESULT* result)
    : CTransformFilter("sample rate converter", outer, CLSID_SampleRateConverter) {
  if (result != nullptr) *result = S_OK;
}

CUnknown* SampleRateConverterFilter::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* filter = new (std::nothrow) SampleRateConverterFilter(outer, result);
  if (filter == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  return filter;
}

const AMOVIESETUP_FILTER* SampleRateConverterFilter::Setup() { return &kSetup; }

HRESULT SampleRateConverterFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (iid == IID_ISampleRateConfig) return GetInterface(static_cast<ISampleRateConfig*>(this), object);
    if (iid == IID_ISpecifyPropertyPages) {
      return GetInterface(static_cast<ISpecifyPropertyPages*>(this), object);
    }
    if (iid == IID_IResamplePlanInfo) return GetInterface(static_cast<IResamplePlanInfo*>(this), object);
    return CTransformFilter::NonDelegatingQueryInterface(iid, object);
  });
}

HRESULT SampleRateConverterFilter::CreatePins() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    HRESULT result = S_OK;
    m_pInput = new (std::nothrow) ReblockingInputPin(this, &result);
    if (m_pInput == nullptr) return E_OUTOFMEMORY;
    if (FAILED(result)) return result;
    m_pOutput = new (std::nothrow) StreamingOutputPin(this, &result);
    if (m_pOutput == nullptr) return E_OUTOFMEMORY;
    return result;
  });
}

HRESULT SampleRateConverterFilter::FindPin(LPCWSTR id, IPin** pin) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (id == nullptr || pin == nullptr) return E_POINTER;
    if (GetPin(0) == nullptr) return E_OUTOFMEMORY;
    CBasePin* found = nullptr;
    if (WideEquals(id, u"In")) found = m_pInput;
    if (WideEquals(id, u"Out")) found = m_pOutput;
    if (found == nullptr) return CTransformFilter::FindPin(id, pin);
    found->AddRef();
    *pin = found;
    return S_OK;
  });
}

// --- Types -----------------------------------------------------------------

HRESULT SampleRateConverterFilter::CheckInputType(const CMediaType* input) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (input == nullptr) return E_POINTER;
    return CheckPcmInput(*input);
  });
}

HRESULT SampleRateConverterFilter::CheckTransform(const CMediaType* input, const CMediaType* output) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (input == nullptr || output == nullptr) return E_POINTER;
    const std::optional<PcmFormat> in = PcmFormatOf(*input);
    const std::optional<PcmFormat> out = PcmFormatOf(*output);
    if (!in || !out) return VFW_E_NO_ACCEPTABLE_TYPES;
    if (SameFormat(*in, *out)) return VFW_E_NO_ACCEPTABLE_TYPES;  // nothing to convert
    {
      CAutoLock lock(&m_csFilter);
      if (defaultNegotiation_ == 0 && !SameFormat(*out, configured_)) return VFW_E_NO_ACCEPTABLE_TYPES;
    }
    return CheckPcmInput(*output);
  });
}

HRESULT SampleRateConverterFilter::GetMediaType(int position, CMediaType* type) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    CAutoLock lock(&m_csFilter);
    return OutputType(position, configured_, type);
  });
}

HRESULT SampleRateConverterFilter::SetMediaType(PIN_DIRECTION direction, const CMediaType* type) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    // The output type accepted becomes the configured format (what the
    // page then shows, and what a reconnection offers first).
    if (direction != PINDIR_OUTPUT || type == nullptr) return S_OK;
    const std::optional<PcmFormat> out = PcmFormatOf(*type);
    if (!out) return VFW_E_NO_ACCEPTABLE_TYPES;
    CAutoLock lock(&m_csFilter);
    configured_ = *out;
    return S_OK;
  });
}

// --- Connections -----------------------------------------------------------

bool SampleRateConverterFilter::FromOurClass(IPin* pin) {
  PIN_INFO info{};
  if (pin == nullptr || FAILED(pin->QueryPinInfo(&info)) || info.pFilter == nullptr) return false;
  CLSID clsid{};
  const bool ours = SUCCEEDED(info.pFilter->GetClassID(&clsid)) && clsid == CLSID_SampleRateConverter;
  info.pFilter->Release();
  return ours;
}

HRESULT SampleRateConverterFilter::CompleteConnect(PIN_DIRECTION direction, IPin* pin) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    CAutoLock lock(&m_csFilter);
    if (direction == PINDIR_INPUT) {
      // Two converters in a row would only pass the sound back and forth.
      if (FromOurClass(pin)) return E_UNEXPECTED;
      if (!m_pOutput->IsConnected()) return S_OK;
      const bool ourRequest = std::exchange(reconnectingInput_, false);
      const std::optional<PcmFormat> in = PcmFormatOf(m_pInput->CurrentMediaType());
      // A new upstream, or one that came back with another format, needs a
      // new plan: the output reconnects and makes it.
      if (!ourRequest || !in || !SameFormat(*in, planInput_)) ReconnectPin(m_pOutput, nullptr);
      return S_OK;
    }
    const HRESULT result = MakePlanLocked();
    if (FAILED(result)) return result;
    // The input side sets up its cutting for the plan on reconnection.
    reconnectingInput_ = true;
    if (FAILED(ReconnectPin(m_pInput, nullptr))) reconnectingInput_ = false;
    return S_OK;
  });
}

HRESULT SampleRateConverterFilter::MakePlanLocked() {
  const std::optional<PcmFormat> in = PcmFormatOf(m_pInput->CurrentMediaType());
  const std::optional<PcmFormat> out = PcmFormatOf(m_pOutput->CurrentMediaType());
  if (!in || !out || in->channels <= 0 || in->bits <= 0) return E_UNEXPECTED;
  const LONG upstreamBytes = static_cast<ReblockingInputPin*>(m_pInput)->UpstreamBufferBytes();
  const int32_t frameBytes = in->channels * (in->bits / 8);
  const int32_t upstreamFrames = frameBytes > 0 ? upstreamBytes / frameBytes : 0;
  ResamplePlan plan;
  if (MakePlan(*in, *out, upstreamFrames, plan) != PlanStatus::kOk) return E_UNEXPECTED;
  converter_ = std::make_unique<BlockConverter>(plan);  // out of memory: the caller's E_OUTOFMEMORY
  plan_ = std::move(plan);
  planInput_ = *in;
  planOutput_ = *out;
  return S_OK;
}

void SampleRateConverterFilter::FreePlanLocked() {
  CAutoLock receiving(&m_csReceive);
  plan_.reset();
  converter_.reset();
}

HRESULT SampleRateConverterFilter::BreakConnect(PIN_DIRECTION direction) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (direction == PINDIR_OUTPUT) {
      CAutoLock lock(&m_csFilter);
      FreePlanLocked();
      reconnectingInput_ = false;
    }
    return S_OK;
  });
}

bool SampleRateConverterFilter::BlockLayout(size_t* blockBytes, int64_t* bytesPerSecond) {
  CAutoLock lock(&m_csFilter);
  if (!plan_ || plan_->inBlockBytes <= 0) return false;
  *blockBytes = static_cast<size_t>(plan_->inBlockBytes);
  *bytesPerSecond = BytesPerSecond(planInput_);
  return true;
}

HRESULT SampleRateConverterFilter::DecideBufferSize(IMemAllocator* allocator,
                                                    ALLOCATOR_PROPERTIES* request) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (allocator == nullptr || request == nullptr) return E_POINTER;
    LONG blockBytes = 0;
    int64_t bytesPerSecond = 0;
    {
      CAutoLock lock(&m_csFilter);
      if (!plan_) return E_UNEXPECTED;
      blockBytes = plan_->outBlockBytes;
      bytesPerSecond = BytesPerSecond(planOutput_);
    }
    // 300 ms of output, and at least one buffer for a slow rate.
    request->cbBuffer = blockBytes;
    request->cBuffers = static_cast<LONG>(std::max<int64_t>(bytesPerSecond / blockBytes * 300 / 1000, 1));
    if (request->cbAlign <= 0) request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT result = allocator->SetProperties(request, &actual);
    if (FAILED(result)) return result;
    if (actual.cbBuffer < blockBytes || actual.cBuffers < 1) return E_FAIL;
    return S_OK;
  });
}

// --- Streaming -------------------------------------------------------------

HRESULT SampleRateConverterFilter::StartStreaming() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    // m_csReceive is held: a new stream starts from silence.
    if (converter_) converter_->Reset();
    return S_OK;
  });
}

HRESULT SampleRateConverterFilter::EndFlush() {
  return ksv::com::ComMethod([&]() -> HRESULT {
    lastBlockRealBytes_ = 0;
    {
      CAutoLock receiving(&m_csReceive);
      if (converter_) converter_->Reset();
    }
    return CTransformFilter::EndFlush();
  });
}

HRESULT SampleRateConverterFilter::Transform(IMediaSample* input, IMediaSample* output) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    // Called with m_csReceive held, which guards the converter.
    if (!converter_) return VFW_E_NOT_CONNECTED;
    const ResamplePlan& plan = converter_->plan();
    BYTE* in = nullptr;
    BYTE* out = nullptr;
    if (FAILED(input->GetPointer(&in)) || FAILED(output->GetPointer(&out))) return E_POINTER;
    if (input->GetActualDataLength() != plan.inBlockBytes || output->GetSize() < plan.outBlockBytes) {
      return E_UNEXPECTED;
    }
    std::fill(out, out + output->GetSize(), BYTE{0});
    if (!converter_->Convert({in, static_cast<size_t>(plan.inBlockBytes)},
                             {out, static_cast<size_t>(plan.outBlockBytes)})) {
      return E_UNEXPECTED;
    }
    LONG outBytes = plan.outBlockBytes;
    const size_t realBytes = lastBlockRealBytes_.exchange(0);
    const int64_t inFrameBytes = int64_t{planInput_.channels} * (planInput_.bits / 8);
    const int64_t outFrameBytes = int64_t{planOutput_.channels} * (planOutput_.bits / 8);
    if (realBytes != 0 && inFrameBytes > 0 && plan.inFrames > 0) {
      // The padding's share of the block is not sound of the stream.
      const int64_t realFrames = static_cast<int64_t>(realBytes) / inFrameBytes;
      const int64_t outFrames = (realFrames * plan.outFrames + plan.inFrames / 2) / plan.inFrames;
      outBytes = static_cast<LONG>(std::min<int64_t>(outFrames * outFrameBytes, plan.outBlockBytes));
    }
    output->SetActualDataLength(outBytes);
    const int64_t bytesPerSecond = BytesPerSecond(planOutput_);
    if (bytesPerSecond > 0) produced_ += int64_t{outBytes} * 10'000'000 / bytesPerSecond;
    output->SetPreroll(input->IsPreroll() == S_OK);
    return S_OK;
  });
}

void SampleRateConverterFilter::OutputStreaming(bool active) {
  if (active) produced_ = 0;
  HWND page = pageWindow_.load();
  // A null window would post to this thread's own queue: nobody to tell.
  if (page != nullptr) PostMessageA(page, kSampleRateStreamingMessage, 0, active ? 0 : 1);
}

// --- Property pages and the plan -------------------------------------------

HRESULT SampleRateConverterFilter::GetPages(CAUUID* pages) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    return ListPropertyPages({&CLSID_SampleRateConverterPage, 1}, pages);
  });
}

HRESULT SampleRateConverterFilter::GetPlan(ResamplePlan* plan) {
  return ksv::com::ComMethod([&]() -> HRESULT {
    if (plan == nullptr) return E_POINTER;
    CAutoLock lock(&m_csFilter);
    if (!plan_) return VFW_E_NOT_CONNECTED;
    *plan = *plan_;
    return S_OK;
  });
}

HRESULT SampleRateConverterFilter::GetProducedDuration(int64_t* duration) {
  if (duration == nullptr) return E_POINTER;
  *duration = produced_.load();
  return S_OK;
}

}  // namespace ksv::resampler
