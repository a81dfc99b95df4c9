#include "platform/media/filters/audio_capture/capture_pin.h"

#include <algorithm>
#include <chrono>
#include <span>
#include <thread>

#include "platform/media/filters/audio_capture/audio_capture_filter.h"
#include "platform/media/filters/audio_capture/pcm_media_type.h"
#include "platform/media/reference_clock.h"
#include "platform/sync/sync.h"

namespace ksv::media::filters {
namespace {

constexpr LONG kBuffers = 4;
constexpr uint32_t kBuffersPerSecond = 20;  // 50 ms each

REFERENCE_TIME FramesToTime(uint64_t frames, uint32_t rate) {
  return static_cast<REFERENCE_TIME>(frames * UNITS / rate);
}

}  // namespace

AudioCapturePin::AudioCapturePin(HRESULT* result, CSource* filter)
    : CSourceStream("Audio capture pin", result, filter, u"Capture"),
      stateEvent_(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      timeEvent_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
  if (stateEvent_ == nullptr || timeEvent_ == nullptr) *result = E_OUTOFMEMORY;
}

AudioCapturePin::~AudioCapturePin() {
  if (stateEvent_ != nullptr) CloseHandle(stateEvent_);
  if (timeEvent_ != nullptr) CloseHandle(timeEvent_);
}

HRESULT AudioCapturePin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), object);
  if (iid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), object);
  if (iid == IID_IAMBufferNegotiation) {
    return GetInterface(static_cast<IAMBufferNegotiation*>(this), object);
  }
  return CSourceStream::NonDelegatingQueryInterface(iid, object);
}

void AudioCapturePin::UseDevice(platform::audio::AudioSource* source) {
  source_ = source;
  format_ = source->PreferredFormat();
}

void AudioCapturePin::Wake() { SetEvent(stateEvent_); }

// ---- Types and connection

HRESULT AudioCapturePin::CheckMediaType(const CMediaType* type) {
  CAutoLock lock(m_pFilter->pStateLock());
  if (source_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  const auto format = PcmFormatOf(*type);
  if (!format || !source_->Range().Contains(*format)) return VFW_E_TYPE_NOT_ACCEPTED;
  if (formatSet_ && *format != format_) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT AudioCapturePin::GetMediaType(CMediaType* type) {
  CAutoLock lock(m_pFilter->pStateLock());
  if (source_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  PcmMediaType(format_, type);
  return S_OK;
}

HRESULT AudioCapturePin::SetMediaType(const CMediaType* type) {
  CAutoLock lock(m_pFilter->pStateLock());
  const auto format = PcmFormatOf(*type);
  if (!format) return VFW_E_TYPE_NOT_ACCEPTED;
  const HRESULT result = CSourceStream::SetMediaType(type);
  if (SUCCEEDED(result)) format_ = *format;
  return result;
}

HRESULT AudioCapturePin::CompleteConnect(IPin* receivePin) {
  {
    CAutoLock lock(m_pFilter->pStateLock());
    std::string error;
    if (source_ == nullptr || !source_->Open(format_, &error)) return VFW_E_NO_CAPTURE_HARDWARE;
  }
  return CSourceStream::CompleteConnect(receivePin);
}

HRESULT AudioCapturePin::DecideBufferSize(IMemAllocator* allocator,
                                          ALLOCATOR_PROPERTIES* request) {
  CAutoLock lock(m_pFilter->pStateLock());
  const LONG align = static_cast<LONG>(format_.BlockAlign());
  if (align == 0) return E_UNEXPECTED;
  LONG size = suggested_.cbBuffer > 0
                  ? suggested_.cbBuffer
                  : align * static_cast<LONG>((format_.samplesPerSecond + kBuffersPerSecond - 1) /
                                              kBuffersPerSecond);
  request->cbBuffer = std::max(align, size / align * align);
  request->cBuffers = suggested_.cBuffers > 0 ? suggested_.cBuffers
                                              : std::max(request->cBuffers, kBuffers);
  if (suggested_.cbAlign > 0) request->cbAlign = suggested_.cbAlign;
  if (request->cbAlign <= 0) request->cbAlign = 1;
  if (suggested_.cbPrefix > 0) request->cbPrefix = suggested_.cbPrefix;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer >= align && actual.cBuffers > 0 ? S_OK : E_FAIL;
}

HRESULT AudioCapturePin::Active() {
  stopping_ = false;
  return CSourceStream::Active();
}

HRESULT AudioCapturePin::Inactive() {
  // A thread waiting for the clock or for the run leaves its loop.
  stopping_ = true;
  Wake();
  return CSourceStream::Inactive();
}

// ---- Streaming

HRESULT AudioCapturePin::OnThreadCreate() {
  CAutoLock lock(m_pFilter->pStateLock());
  std::string error;
  capture_ = source_ != nullptr ? source_->Open(format_, &error) : nullptr;
  if (!capture_) return VFW_E_NO_CAPTURE_HARDWARE;
  streamFormat_ = format_;
  frames_ = 0;
  return S_OK;
}

HRESULT AudioCapturePin::OnThreadDestroy() {
  capture_.reset();
  return S_OK;
}

HRESULT AudioCapturePin::FillBuffer(IMediaSample* sample) {
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data))) return E_UNEXPECTED;
  const size_t room = static_cast<size_t>(sample->GetSize());
  const size_t got = capture_->Read(std::span<uint8_t>(data, room));
  if (got == 0) return S_FALSE;
  sample->SetActualDataLength(static_cast<LONG>(got));
  const uint32_t rate = streamFormat_.samplesPerSecond;
  REFERENCE_TIME start = FramesToTime(frames_, rate);
  frames_ += got / streamFormat_.BlockAlign();
  REFERENCE_TIME end = FramesToTime(frames_, rate);
  sample->SetTime(&start, &end);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(start == 0 ? TRUE : FALSE);
  return S_OK;
}

AudioCapturePin::Due AudioCapturePin::WaitUntilDue(REFERENCE_TIME streamEnd) {
  auto* filter = static_cast<AudioCaptureFilter*>(m_pFilter);
  for (;;) {
    if (stopping_) return Due::kStopped;
    const AudioCaptureFilter::RunTiming timing = filter->Timing();
    const HANDLE events[] = {stateEvent_, timeEvent_};
    // Paused (or still stopped while the filter starts the thread): only a
    // state change moves us on.
    DWORD count = 1;
    ULONG_PTR cookie = 0;
    if (timing.state == State_Running) {
      if (!timing.clock) return Due::kNow;
      REFERENCE_TIME now = 0;
      if (FAILED(timing.clock->GetTime(&now)) || now >= timing.start + streamEnd) return Due::kNow;
      if (FAILED(timing.clock->AdviseTime(timing.start, streamEnd, ClockHandleOf(timeEvent_),
                                          &cookie))) {
        return Due::kNow;  // a clock that cannot wait does not hold the sound back
      }
      count = 2;
    }
    WaitForMultipleObjects(count, events, FALSE, INFINITE);
    if (cookie != 0) timing.clock->Unadvise(cookie);
  }
}

HRESULT AudioCapturePin::DoBufferProcessingLoop() {
  OnThreadStartPlay();
  Command command;
  for (;;) {
    if (CheckRequest(&command)) {
      if (command == CMD_STOP || command == CMD_EXIT) return S_FALSE;  // ThreadProc answers
      Reply(command == CMD_RUN || command == CMD_PAUSE ? S_OK : static_cast<DWORD>(E_UNEXPECTED));
      continue;
    }
    // Nothing is heard before the filter runs.
    const REFERENCE_TIME next = FramesToTime(frames_, streamFormat_.samplesPerSecond);
    if (WaitUntilDue(next) == Due::kStopped) return S_FALSE;
    IMediaSample* sample = nullptr;
    if (FAILED(GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) {
      // Decommitted for a stop on its way.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    HRESULT result = FillBuffer(sample);
    if (result == S_FALSE) {
      sample->Release();
      DeliverEndOfStream();
      return S_OK;
    }
    REFERENCE_TIME start = 0, end = 0;
    sample->GetTime(&start, &end);
    if (WaitUntilDue(end) == Due::kStopped) {
      sample->Release();
      return S_FALSE;
    }
    result = Deliver(sample);
    sample->Release();
    // Downstream refused or failed: it reports its own errors.
    if (result != S_OK) return S_OK;
  }
}

}  // namespace ksv::media::filters
