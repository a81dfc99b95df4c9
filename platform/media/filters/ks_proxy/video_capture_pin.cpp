#include "platform/media/filters/ks_proxy/video_capture_pin.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/kernel/performance_counter.h"
#include "platform/media/filters/ks_proxy/ks_proxy_filter.h"

namespace ksv::media::filters {
namespace {

constexpr LONG kBuffers = 4;

}  // namespace

VideoCapturePin::VideoCapturePin(HRESULT* result, CSource* filter)
    : CSourceStream("Video capture pin", result, filter, u"Capture") {}

HRESULT VideoCapturePin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), object);
  if (iid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), object);
  if (iid == IID_ISpecifyPropertyPages) {
    return GetInterface(static_cast<ISpecifyPropertyPages*>(this), object);
  }
  return CSourceStream::NonDelegatingQueryInterface(iid, object);
}

HRESULT VideoCapturePin::UseCamera(platform::usbcamd::CameraStack* camera) {
  CAutoLock lock(m_pFilter->pStateLock());
  camera_ = nullptr;
  intersections_.clear();
  capabilities_.clear();
  if (camera == nullptr) return S_OK;
  for (const auto* range : camera->Ranges()) {
    std::vector<uint8_t> format;
    if (!platform::kernel::NT_SUCCESS(camera->Intersect(*range, format))) {
      intersections_.clear();
      return VFW_E_NO_CAPTURE_HARDWARE;
    }
    intersections_.push_back(std::move(format));
  }
  capabilities_ = CapabilitiesOf(intersections_.size());
  camera_ = camera;
  return S_OK;
}

bool VideoCapturePin::CapabilityType(size_t index, REFERENCE_TIME interval,
                                     CMediaType* type) const {
  if (camera_ == nullptr || index >= capabilities_.size()) return false;
  const VideoCapability& capability = capabilities_[index];
  return VideoMediaType(intersections_[capability.range], capability.output, interval, type);
}

// ---- Types and connection

HRESULT VideoCapturePin::CheckMediaType(const CMediaType* type) {
  CAutoLock lock(m_pFilter->pStateLock());
  if (camera_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  if (!MatchVideoType(*type, camera_->Ranges())) return VFW_E_TYPE_NOT_ACCEPTED;
  if (formatSet_) {
    const auto wanted = MatchVideoType(chosen_, camera_->Ranges());
    const auto asked = MatchVideoType(*type, camera_->Ranges());
    if (asked->capability.range != wanted->capability.range ||
        asked->capability.output != wanted->capability.output) {
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
  }
  return S_OK;
}

HRESULT VideoCapturePin::GetMediaType(int position, CMediaType* type) {
  CAutoLock lock(m_pFilter->pStateLock());
  if (camera_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
  if (position < 0) return E_INVALIDARG;
  if (formatSet_) {
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *type = chosen_;
    return S_OK;
  }
  return CapabilityType(static_cast<size_t>(position), 0, type) ? S_OK : VFW_S_NO_MORE_ITEMS;
}

HRESULT VideoCapturePin::DecideBufferSize(IMemAllocator* allocator,
                                          ALLOCATOR_PROPERTIES* request) {
  CAutoLock lock(m_pFilter->pStateLock());
  const LONG size = static_cast<LONG>(m_mt.GetSampleSize());
  if (size <= 0) return E_UNEXPECTED;
  request->cbBuffer = size;
  request->cBuffers = std::max(request->cBuffers, kBuffers);
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer >= size && actual.cBuffers > 0 ? S_OK : E_FAIL;
}

HRESULT VideoCapturePin::Active() {
  {
    CAutoLock lock(m_pFilter->pStateLock());
    if (camera_ == nullptr) return VFW_E_NO_CAPTURE_HARDWARE;
    if (IsConnected()) {
      const platform::kernel::NTSTATUS status = camera_->OpenStream(StreamFormatOf(m_mt), kBuffers);
      if (!platform::kernel::NT_SUCCESS(status)) return VFW_E_NO_CAPTURE_HARDWARE;
    }
  }
  const HRESULT result = CSourceStream::Active();
  if (FAILED(result) && camera_ != nullptr) camera_->CloseStream();
  return result;
}

HRESULT VideoCapturePin::Inactive() {
  // A thread waiting for a frame leaves its wait; then the stream closes.
  if (camera_ != nullptr) camera_->CancelRead();
  const HRESULT result = CSourceStream::Inactive();
  if (camera_ != nullptr) camera_->CloseStream();
  return result;
}

// ---- Streaming

HRESULT VideoCapturePin::OnThreadCreate() {
  CAutoLock lock(m_pFilter->pStateLock());
  const auto requested = MatchVideoType(m_mt, camera_->Ranges());
  interval_ = requested && requested->interval > 0 ? requested->interval : 333'333;
  frames_ = 0;
  lastEnd_ = 0;
  return S_OK;
}

HRESULT VideoCapturePin::FillBuffer(IMediaSample* sample) {
  keep_ = false;
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data))) return E_UNEXPECTED;
  int64_t completed = 0;
  const auto length = camera_->ReadFrame(
      std::span<uint8_t>(data, static_cast<size_t>(sample->GetSize())), &completed);
  if (!length) return S_FALSE;  // the stream is closing
  // How long the frame waited in its read buffer since the bus completed it.
  const REFERENCE_TIME age =
      std::max<int64_t>(0, platform::kernel::PerformanceCounterNow100ns() - completed);
  const KsProxyFilter::RunTiming timing = static_cast<KsProxyFilter*>(m_pFilter)->Timing();
  if (timing.state != State_Running) return S_OK;  // live: nothing is held for later
  REFERENCE_TIME start = static_cast<REFERENCE_TIME>(frames_) * interval_;
  if (timing.clock) {
    REFERENCE_TIME now = 0;
    if (FAILED(timing.clock->GetTime(&now))) return E_UNEXPECTED;
    // The bus completed the frame at the end of the interval the camera
    // took it in: that interval is its time. A frame completed before
    // stream time 0 is dropped. The run's first frame starts at 0 however
    // late the graph's start made it (a file writer would fill the time
    // before it with empty frames, and a recording starts with a picture).
    const REFERENCE_TIME completedAt = now - age - timing.start;
    if (completedAt < 0) return S_OK;  // before stream time 0
    const bool first = lastEnd_ == 0;  // every delivered frame ends after 0
    start = first ? 0 : std::max(completedAt - interval_, lastEnd_);
  }
  REFERENCE_TIME end = start + interval_;
  lastEnd_ = end;
  sample->SetActualDataLength(
      static_cast<LONG>(std::min<uint32_t>(*length, static_cast<uint32_t>(sample->GetSize()))));
  sample->SetTime(&start, &end);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(frames_ == 0 ? TRUE : FALSE);
  ++frames_;
  keep_ = true;
  return S_OK;
}

HRESULT VideoCapturePin::DoBufferProcessingLoop() {
  OnThreadStartPlay();
  Command command;
  for (;;) {
    if (CheckRequest(&command)) {
      if (command == CMD_STOP || command == CMD_EXIT) return S_FALSE;  // ThreadProc answers
      Reply(command == CMD_RUN || command == CMD_PAUSE ? S_OK : static_cast<DWORD>(E_UNEXPECTED));
      continue;
    }
    IMediaSample* sample = nullptr;
    if (FAILED(GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) {
      // Decommitted for a stop on its way.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    HRESULT result = FillBuffer(sample);
    if (result == S_FALSE) {
      // Reads were cancelled for a stop: its command comes next.
      sample->Release();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    if (FAILED(result)) {
      sample->Release();
      m_pFilter->NotifyEvent(EC_ERRORABORT, result, 0);
      DeliverEndOfStream();
      return result;
    }
    result = keep_ ? Deliver(sample) : S_OK;
    sample->Release();
    // Downstream refused or failed: it reports its own errors.
    if (result != S_OK) return S_OK;
  }
}

}  // namespace ksv::media::filters
