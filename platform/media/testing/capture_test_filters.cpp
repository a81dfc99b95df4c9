#include "platform/media/base/pin_category_property.h"
#include "platform/media/testing/capture_test_filters.h"

#include <cstring>
#include <new>

#include "platform/media/media_guids.h"

namespace ksv::media::testing {

using com::ComPtr;

namespace {
constexpr CLSID kCaptureSourceClass = ksv::com::Guid("5D0C8E41-7B63-4E0C-9A77-2B4F3C1D6E01");
constexpr CLSID kVideoSinkClass = ksv::com::Guid("5D0C8E41-7B63-4E0C-9A77-2B4F3C1D6E02");
constexpr CLSID kFrameCopierClass = ksv::com::Guid("5D0C8E41-7B63-4E0C-9A77-2B4F3C1D6E03");
constexpr size_t kMostSeen = 4096;

uint8_t FrameByte(uint32_t frame, LONG offset) {
  return static_cast<uint8_t>(frame * 37u + static_cast<uint32_t>(offset) * 7u);
}
}  // namespace

CMediaType CaptureVideoType() {
  CMediaType type(&MEDIATYPE_Video);
  type.SetSubtype(&MEDIASUBTYPE_RGB24);
  type.SetFormatType(&FORMAT_VideoInfo);
  type.SetSampleSize(kCaptureFrameBytes);
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = kCaptureFrameTime;
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kCaptureWidth;
  info.bmiHeader.biHeight = kCaptureHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biSizeImage = kCaptureFrameBytes;
  type.SetFormat(reinterpret_cast<const BYTE*>(&info), sizeof(info));
  return type;
}

void FillFrame(uint32_t frame, BYTE* bytes, LONG length) {
  std::memcpy(bytes, &frame, sizeof(frame));
  for (LONG i = sizeof(frame); i < length; ++i) bytes[i] = FrameByte(frame, i);
}

bool FrameIntact(const BYTE* bytes, LONG length, uint32_t* frame) {
  if (length != kCaptureFrameBytes) return false;
  std::memcpy(frame, bytes, sizeof(*frame));
  for (LONG i = sizeof(*frame); i < length; ++i) {
    if (bytes[i] != FrameByte(*frame, i)) return false;
  }
  return true;
}

CategoryPin::CategoryPin(CaptureSource* source, HRESULT* result, LPCWSTR name,
                         const GUID& category, bool streamConfig)
    : CSourceStream("capture test pin", result, source, name),
      source_(source),
      category_(category),
      streamConfig_(streamConfig),
      buffers_(source->frames()) {}

HRESULT CategoryPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), object);
  if (iid == IID_IAMStreamConfig && streamConfig_) {
    return GetInterface(static_cast<IAMStreamConfig*>(this), object);
  }
  return CSourceStream::NonDelegatingQueryInterface(iid, object);
}

HRESULT CategoryPin::GetMediaType(CMediaType* type) {
  *type = CaptureVideoType();
  return S_OK;
}

HRESULT CategoryPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = std::max<LONG>(request->cBuffers, 4);
  request->cbBuffer = std::max(request->cbBuffer, kCaptureFrameBytes);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer < kCaptureFrameBytes ? E_FAIL : S_OK;
}

HRESULT CategoryPin::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataSize,
                         DWORD* returned) {
  return GetPinCategoryProperty(category_, set, id, data, dataSize, returned);
}

HRESULT CategoryPin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  return QueryPinCategoryProperty(set, id, support);
}

HRESULT CategoryPin::SetFormat(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  return CMediaType(*type) == CaptureVideoType() ? S_OK : VFW_E_INVALIDMEDIATYPE;
}

HRESULT CategoryPin::GetFormat(AM_MEDIA_TYPE** type) {
  if (type == nullptr) return E_POINTER;
  const CMediaType format = CaptureVideoType();
  *type = CreateMediaType(&format);
  return *type != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CategoryPin::GetNumberOfCapabilities(int* count, int* size) {
  if (count == nullptr || size == nullptr) return E_POINTER;
  *count = 1;
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

HRESULT CategoryPin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
  if (type == nullptr || caps == nullptr) return E_POINTER;
  if (index != 0) return S_FALSE;
  VIDEO_STREAM_CONFIG_CAPS record{};
  record.guid = FORMAT_VideoInfo;
  record.InputSize = record.MinOutputSize = record.MaxOutputSize = {kCaptureWidth, kCaptureHeight};
  record.MinFrameInterval = record.MaxFrameInterval = kCaptureFrameTime;
  std::memcpy(caps, &record, sizeof(record));
  return GetFormat(type);
}

const BYTE* CategoryPin::BufferOf(uint32_t frame) const {
  return frame < buffers_.size() ? buffers_[frame].load() : nullptr;
}

HRESULT CategoryPin::OnThreadCreate() {
  produced_ = 0;
  return S_OK;
}

HRESULT CategoryPin::FillBuffer(IMediaSample* sample) {
  if (produced_ >= source_->frames()) return S_FALSE;
  BYTE* bytes = nullptr;
  sample->GetPointer(&bytes);
  if (sample->GetSize() < kCaptureFrameBytes) return E_UNEXPECTED;
  FillFrame(produced_, bytes, kCaptureFrameBytes);
  sample->SetActualDataLength(kCaptureFrameBytes);
  REFERENCE_TIME start = produced_ * kCaptureFrameTime;
  REFERENCE_TIME stop = start + kCaptureFrameTime;
  sample->SetTime(&start, &stop);
  sample->SetSyncPoint(TRUE);
  buffers_[produced_].store(bytes);
  ++produced_;
  return S_OK;
}

CaptureSource::CaptureSource(uint32_t frames, bool previewPin)
    : CSource("capture test source", nullptr, kCaptureSourceClass), frames_(frames) {
  HRESULT result = S_OK;
  capture_ = new CategoryPin(this, &result, u"Capture", PIN_CATEGORY_CAPTURE, true);
  if (previewPin) preview_ = new CategoryPin(this, &result, u"Preview", PIN_CATEGORY_PREVIEW, false);
}

VideoSinkPin::VideoSinkPin(VideoSink* sink, CCritSec* lock, HRESULT* result)
    : CBaseInputPin("video test sink pin", sink, lock, result, u"In"), sink_(sink) {}

HRESULT VideoSinkPin::CheckMediaType(const CMediaType* type) {
  return *type->Type() == MEDIATYPE_Video ? S_OK : S_FALSE;
}

HRESULT VideoSinkPin::Receive(IMediaSample* sample) {
  const HRESULT result = CBaseInputPin::Receive(sample);
  if (result != S_OK) return result;
  sink_->Record(sample);
  if (sink_->mode_ == SinkMode::kBlock) sink_->released_.Wait();
  return S_OK;
}

HRESULT VideoSinkPin::EndOfStream() {
  const HRESULT result = CBaseInputPin::EndOfStream();
  if (result != S_OK) return result;
  sink_->ended_.Set();
  sink_->NotifyEvent(EC_COMPLETE, S_OK, 0);
  return S_OK;
}

HRESULT VideoSinkPin::ReceiveCanBlock() {
  return sink_->mode_ == SinkMode::kBlock ? S_OK : S_FALSE;
}

VideoSink::VideoSink(SinkMode mode)
    : CBaseFilter("video test sink", nullptr, &lock_, kVideoSinkClass), mode_(mode) {
  HRESULT result = S_OK;
  pin_ = new VideoSinkPin(this, &lock_, &result);
  seen_.reserve(kMostSeen);
  held_.reserve(kMostSeen);
}

VideoSink::~VideoSink() {
  ReleaseHeld();
  delete pin_;
}

HRESULT VideoSink::Pause() {
  if (IsStopped()) {
    released_.Reset();
    ended_.Reset();
    std::lock_guard<std::mutex> hold(mutex_);
    seen_.clear();
  }
  return CBaseFilter::Pause();
}

HRESULT VideoSink::Stop() {
  released_.Set();
  ReleaseHeld();
  return CBaseFilter::Stop();
}

void VideoSink::Record(IMediaSample* sample) {
  SeenSample seen;
  BYTE* bytes = nullptr;
  sample->GetPointer(&bytes);
  seen.buffer = bytes;
  const HRESULT timed = sample->GetTime(&seen.start, &seen.stop);
  seen.timed = timed == S_OK || timed == VFW_S_NO_STOP_TIME;
  seen.intact = FrameIntact(bytes, sample->GetActualDataLength(), &seen.frame);
  std::lock_guard<std::mutex> hold(mutex_);
  if (seen_.size() < seen_.capacity()) seen_.push_back(seen);
  if (mode_ == SinkMode::kHold && held_.size() < held_.capacity()) {
    sample->AddRef();
    held_.push_back(sample);
  }
}

void VideoSink::ReleaseHeld() {
  std::vector<IMediaSample*> held;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    held.swap(held_);
    held_.reserve(kMostSeen);
  }
  for (IMediaSample* sample : held) sample->Release();
}

std::vector<SeenSample> VideoSink::seen() {
  std::lock_guard<std::mutex> hold(mutex_);
  return seen_;
}

FrameCopier::FrameCopier() : CTransformFilter("frame copier", nullptr, kFrameCopierClass) {}

HRESULT FrameCopier::CheckInputType(const CMediaType* input) {
  return *input == CaptureVideoType() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT FrameCopier::CheckTransform(const CMediaType* input, const CMediaType* output) {
  return *input == *output ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT FrameCopier::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *type = CaptureVideoType();
  return S_OK;
}

HRESULT FrameCopier::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = std::max<LONG>(request->cBuffers, 2);
  request->cbBuffer = std::max(request->cbBuffer, kCaptureFrameBytes);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer < kCaptureFrameBytes ? E_FAIL : S_OK;
}

HRESULT FrameCopier::Transform(IMediaSample* input, IMediaSample* output) {
  BYTE* from = nullptr;
  BYTE* to = nullptr;
  const LONG length = input->GetActualDataLength();
  if (FAILED(input->GetPointer(&from)) || FAILED(output->GetPointer(&to)) ||
      length > output->GetSize()) {
    return E_FAIL;
  }
  std::memcpy(to, from, static_cast<size_t>(length));
  return output->SetActualDataLength(length);
}

int CountFiltersOfClass(IFilterGraph* graph, REFCLSID clsid) {
  ComPtr<IEnumFilters> each;
  if (FAILED(graph->EnumFilters(each.GetAddressOf()))) return -1;
  int count = 0;
  IBaseFilter* filter = nullptr;
  while (each->Next(1, &filter, nullptr) == S_OK) {
    CLSID actual{};
    if (SUCCEEDED(filter->GetClassID(&actual)) && actual == clsid) ++count;
    filter->Release();
  }
  return count;
}

ComPtr<IBaseFilter> PeerFilter(IPin* pin) {
  ComPtr<IPin> peer;
  if (FAILED(pin->ConnectedTo(peer.GetAddressOf()))) return nullptr;
  PIN_INFO info{};
  if (FAILED(peer->QueryPinInfo(&info))) return nullptr;
  return ComPtr<IBaseFilter>::Adopt(info.pFilter);
}

std::u16string PeerName(IPin* pin) {
  ComPtr<IPin> peer;
  if (FAILED(pin->ConnectedTo(peer.GetAddressOf()))) return {};
  PIN_INFO info{};
  if (FAILED(peer->QueryPinInfo(&info))) return {};
  if (info.pFilter != nullptr) info.pFilter->Release();
  return info.achName;
}

}  // namespace ksv::media::testing
