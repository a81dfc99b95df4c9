// The Smart Tee's outputs: the capture pin hands on the input's samples
// through the input's allocator; the preview pin copies into its own
// buffers and delivers them from its own thread.
#include <algorithm>
#include <cstring>

#include "platform/media/filters/smart_tee/smart_tee.h"
#include "platform/media/formats.h"

namespace ksv::media::smarttee {

namespace {

// The bytes one sample of `type` needs, 0 when the type does not say.
LONG SampleBytes(const CMediaType& type) {
  if (type.GetSampleSize() != 0) return static_cast<LONG>(type.GetSampleSize());
  if (*type.FormatType() == FORMAT_VideoInfo && type.FormatLength() >= sizeof(VIDEOINFOHEADER)) {
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
    return static_cast<LONG>(info->bmiHeader.biSizeImage);
  }
  return 0;
}

}  // namespace

TeeOutputPin::TeeOutputPin(const TCHAR* objectName, SmartTee* tee, CCritSec* lock,
                           HRESULT* result, LPCWSTR name)
    : CBaseOutputPin(objectName, tee, lock, result, name), tee_(tee) {}

HRESULT TeeOutputPin::CheckMediaType(const CMediaType* type) {
  if (type == nullptr) return E_POINTER;
  if (!tee_->input()->IsConnected()) return VFW_E_NOT_CONNECTED;
  return *type == tee_->input()->CurrentMediaType() ? S_OK : S_FALSE;
}

HRESULT TeeOutputPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (!tee_->input()->IsConnected()) return VFW_E_NOT_CONNECTED;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *type = tee_->input()->CurrentMediaType();
  return S_OK;
}

TeeCaptureOutput::TeeCaptureOutput(SmartTee* tee, CCritSec* lock, HRESULT* result)
    : TeeOutputPin("Smart Tee capture", tee, lock, result, u"Capture") {}

HRESULT TeeCaptureOutput::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
  if (pin == nullptr || allocator == nullptr) return E_POINTER;
  IMemAllocator* shared = tee_->input()->Allocator();
  if (shared == nullptr) return CBaseOutputPin::DecideAllocator(pin, allocator);
  const HRESULT result = pin->NotifyAllocator(shared, FALSE);
  if (FAILED(result)) return result;
  shared->AddRef();
  *allocator = shared;
  return S_OK;
}

HRESULT TeeCaptureOutput::DecideBufferSize(IMemAllocator* allocator,
                                           ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = std::max<LONG>(request->cBuffers, 1);
  request->cbBuffer = std::max(request->cbBuffer, SampleBytes(CurrentMediaType()));
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

TeePreviewOutput::TeePreviewOutput(SmartTee* tee, CCritSec* lock, HRESULT* result)
    : TeeOutputPin("Smart Tee preview", tee, lock, result, u"Preview") {}

TeePreviewOutput::~TeePreviewOutput() { StopThread(); }

HRESULT TeePreviewOutput::DecideBufferSize(IMemAllocator* allocator,
                                           ALLOCATOR_PROPERTIES* request) {
  // Two buffers: one in the slot while the renderer has the other.
  LONG bytes = SampleBytes(CurrentMediaType());
  ALLOCATOR_PROPERTIES input{};
  IMemAllocator* upstream = tee_->input()->Allocator();
  if (upstream != nullptr && SUCCEEDED(upstream->GetProperties(&input))) {
    bytes = std::max(bytes, input.cbBuffer);
  }
  request->cBuffers = std::max<LONG>(request->cBuffers, 2);
  request->cbBuffer = std::max(request->cbBuffer, bytes);
  if (request->cbBuffer <= 0) return E_FAIL;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

HRESULT TeePreviewOutput::Active() {
  const HRESULT result = CBaseOutputPin::Active();
  if (FAILED(result)) return result;
  StopThread();
  {
    std::lock_guard<std::mutex> hold(mutex_);
    running_ = true;
    endPending_ = false;
  }
  thread_ = std::thread([this] { DeliverLoop(); });
  return S_OK;
}

HRESULT TeePreviewOutput::Inactive() {
  StopThread();
  return CBaseOutputPin::Inactive();
}

void TeePreviewOutput::StopThread() {
  IMediaSample* left = nullptr;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    running_ = false;
    left = std::exchange(pending_, nullptr);
    endPending_ = false;
  }
  wake_.notify_all();
  if (left != nullptr) left->Release();
  // The thread may be inside the renderer's Receive; a renderer returns
  // from it when it stops, which the graph does before it stops us.
  if (thread_.joinable()) thread_.join();
}

void TeePreviewOutput::Offer(IMediaSample* sample) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!running_ || pending_ != nullptr || endPending_) {
      ++dropped_;
      return;
    }
  }
  // The input's thread is the only one that fills the slot, so it stays
  // empty until we put the copy in.
  IMediaSample* copy = nullptr;
  if (FAILED(GetDeliveryBuffer(&copy, nullptr, nullptr, AM_GBF_NOWAIT))) {
    std::lock_guard<std::mutex> hold(mutex_);
    ++dropped_;
    return;
  }
  BYTE* from = nullptr;
  BYTE* to = nullptr;
  const LONG length = sample->GetActualDataLength();
  if (FAILED(sample->GetPointer(&from)) || FAILED(copy->GetPointer(&to)) || length < 0 ||
      length > copy->GetSize()) {
    copy->Release();
    std::lock_guard<std::mutex> hold(mutex_);
    ++dropped_;
    return;
  }
  std::memcpy(to, from, static_cast<size_t>(length));
  copy->SetActualDataLength(length);
  copy->SetTime(nullptr, nullptr);  // preview frames are shown when they come
  copy->SetMediaTime(nullptr, nullptr);
  copy->SetSyncPoint(sample->IsSyncPoint() == S_OK);
  copy->SetDiscontinuity(sample->IsDiscontinuity() == S_OK);
  copy->SetPreroll(FALSE);
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (running_) {
      pending_ = std::exchange(copy, nullptr);
    } else {
      ++dropped_;
    }
  }
  if (copy != nullptr) {
    copy->Release();
  } else {
    wake_.notify_one();
  }
}

void TeePreviewOutput::QueueEndOfStream() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!running_) return;
    endPending_ = true;
  }
  wake_.notify_one();
}

void TeePreviewOutput::Flush() {
  IMediaSample* left = nullptr;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    left = std::exchange(pending_, nullptr);
    endPending_ = false;
  }
  if (left != nullptr) left->Release();
}

LONG TeePreviewOutput::dropped() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return dropped_;
}

void TeePreviewOutput::DeliverLoop() {
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    wake_.wait(hold, [this] { return !running_ || pending_ != nullptr || endPending_; });
    if (!running_) return;
    if (IMediaSample* sample = std::exchange(pending_, nullptr)) {
      hold.unlock();
      if (IsConnected()) Deliver(sample);
      sample->Release();
      hold.lock();
    } else if (endPending_) {
      endPending_ = false;
      hold.unlock();
      if (IsConnected()) DeliverEndOfStream();
      hold.lock();
    }
  }
}

}  // namespace ksv::media::smarttee
