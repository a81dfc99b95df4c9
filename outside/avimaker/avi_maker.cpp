#include "outside/avimaker/avi_maker.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ksv::media::avimaker {
namespace {

constexpr LONG kMaxSide = 8192;
constexpr LONG kBuffers = 2;
constexpr REFERENCE_TIME kUnitsPerMillisecond = 10000;

const AMOVIESETUP_MEDIATYPE kVideo = {&MEDIATYPE_Video, &GUID_NULL};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"Output"), FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kVideo},
};
// Found by name, never picked by intelligent connection.
const AMOVIESETUP_FILTER kSetup = {&CLSID_RMC900AviMaker, kAviMakerFriendlyName,
                                   MERIT_DO_NOT_USE, 1, kPins};

size_t Stride(const FrameSource& source) {
  return (size_t(source.width) * size_t(source.bitCount) + 31) / 32 * 4;
}
size_t PackedRow(const FrameSource& source) {
  return size_t(source.width) * size_t(source.bitCount) / 8;
}

}  // namespace

bool FrameType(const FrameSource& source, CMediaType* type) {
  const GUID* subtype = source.bitCount == 16   ? &MEDIASUBTYPE_RGB555
                        : source.bitCount == 24 ? &MEDIASUBTYPE_RGB24
                        : source.bitCount == 32 ? &MEDIASUBTYPE_RGB32
                                                : nullptr;
  if (subtype == nullptr || source.callback == nullptr) return false;
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = REFERENCE_TIME(source.milliseconds) * kUnitsPerMillisecond;
  BITMAPINFOHEADER& bitmap = info.bmiHeader;
  bitmap.biSize = sizeof(BITMAPINFOHEADER);
  bitmap.biWidth = source.width;
  bitmap.biHeight = source.height;  // bottom-up
  bitmap.biPlanes = 1;
  bitmap.biBitCount = WORD(source.bitCount);
  bitmap.biCompression = BI_RGB;
  bitmap.biSizeImage = DWORD(Stride(source) * size_t(source.height));
  const uint64_t bitsPerSecond =
      uint64_t(bitmap.biSizeImage) * 8 * 1000 / uint64_t(source.milliseconds);
  info.dwBitRate = DWORD(std::min<uint64_t>(bitsPerSecond, UINT32_MAX));
  type->InitMediaType();
  type->SetType(&MEDIATYPE_Video);
  type->SetSubtype(subtype);
  type->SetFormatType(&FORMAT_VideoInfo);
  type->SetTemporalCompression(FALSE);
  type->SetSampleSize(bitmap.biSizeImage);
  return type->SetFormat(reinterpret_cast<const BYTE*>(&info), sizeof info) != FALSE;
}

// ---- The pin

AviMakerPin::AviMakerPin(AviMaker* filter, HRESULT* result)
    : CSourceStream("AVI maker output", result, filter, u"Output"), maker_(filter) {}

HRESULT AviMakerPin::GetMediaType(CMediaType* type) {
  return FrameType(maker_->Source(), type) ? S_OK : VFW_E_NO_TYPES;
}

HRESULT AviMakerPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  const FrameSource source = maker_->Source();
  const LONG bytes = LONG(Stride(source) * size_t(source.height));
  if (bytes <= 0) return E_UNEXPECTED;
  if (request->cBuffers < kBuffers) request->cBuffers = kBuffers;
  if (request->cbBuffer < bytes) request->cbBuffer = bytes;
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer < bytes ? E_FAIL : S_OK;
}

HRESULT AviMakerPin::OnThreadCreate() {
  // A new stream each time the graph leaves the stopped state.
  frames_ = 0;
  ended_ = false;
  return S_OK;
}

HRESULT AviMakerPin::DoBufferProcessingLoop() {
  // Once ended, a pause-to-run change must not ask for frames or send the
  // end of the stream again; the thread only answers commands.
  if (ended_) return S_OK;
  return CSourceStream::DoBufferProcessingLoop();
}

HRESULT AviMakerPin::FillBuffer(IMediaSample* sample) {
  const FrameSource source = maker_->Source();
  const size_t stride = Stride(source), row = PackedRow(source);
  const size_t bytes = stride * size_t(source.height);
  BYTE* buffer = nullptr;
  if (source.callback == nullptr || FAILED(sample->GetPointer(&buffer)) ||
      size_t(sample->GetSize()) < bytes) {
    ended_ = true;
    return E_UNEXPECTED;
  }
  // The callback fills packed rows; where the sample's rows are padded it
  // fills a picture of our own that is then spread over them.
  const bool padded = stride != row;
  if (padded) packed_.resize(row * size_t(source.height));
  if (source.callback(padded ? packed_.data() : buffer, source.userData) == 0) {
    ended_ = true;
    return S_FALSE;
  }
  if (padded) {
    for (LONG y = 0; y < source.height; ++y) {
      BYTE* out = buffer + size_t(y) * stride;
      std::memcpy(out, packed_.data() + size_t(y) * row, row);
      std::memset(out + row, 0, stride - row);
    }
  }
  const REFERENCE_TIME period = REFERENCE_TIME(source.milliseconds) * kUnitsPerMillisecond;
  REFERENCE_TIME start = frames_ * period, stop = start + period;
  sample->SetTime(&start, &stop);
  LONGLONG mediaStart = frames_, mediaStop = frames_ + 1;
  sample->SetMediaTime(&mediaStart, &mediaStop);
  sample->SetActualDataLength(LONG(bytes));
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(frames_ == 0 ? TRUE : FALSE);
  ++frames_;
  return S_OK;
}

// ---- The filter

AviMaker::AviMaker(LPUNKNOWN outer, HRESULT* result)
    : CSource("RMC900 AVI maker", outer, CLSID_RMC900AviMaker, result) {
  HRESULT made = S_OK;
  pin_ = new (std::nothrow) AviMakerPin(this, &made);
  if (result != nullptr) *result = pin_ == nullptr ? E_OUTOFMEMORY : made;
}

CUnknown* AviMaker::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* maker = new (std::nothrow) AviMaker(outer, result);
  if (maker == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  return maker;
}

const AMOVIESETUP_FILTER* AviMaker::Setup() { return &kSetup; }

HRESULT AviMaker::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IAviMakerControl) {
    return GetInterface(static_cast<IAviMakerControl*>(this), object);
  }
  return CSource::NonDelegatingQueryInterface(iid, object);
}

FrameSource AviMaker::Source() {
  std::lock_guard<std::mutex> lock(sourceMutex_);
  return source_;
}

HRESULT AviMaker::Setup(LONG width, LONG height, LONG bitsPerPixel,
                        AviMakerFrameCallback callback, intptr_t userData) {
  if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide || callback == nullptr ||
      (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)) {
    return E_INVALIDARG;
  }
  CAutoLock state(&m_cStateLock);
  if (pin_->IsConnected()) return VFW_E_ALREADY_CONNECTED;
  std::lock_guard<std::mutex> lock(sourceMutex_);
  source_.width = width;
  source_.height = height;
  source_.bitCount = bitsPerPixel;
  source_.callback = callback;
  source_.userData = userData;
  return S_OK;
}

HRESULT AviMaker::SetMillisecondsPerFrame(LONG milliseconds) {
  if (milliseconds < 1) return E_INVALIDARG;
  IFilterGraph* graph = nullptr;
  {
    CAutoLock state(&m_cStateLock);
    if (m_State != State_Stopped) return VFW_E_NOT_STOPPED;
    {
      std::lock_guard<std::mutex> lock(sourceMutex_);
      if (source_.milliseconds == milliseconds) return S_OK;
      source_.milliseconds = milliseconds;
    }
    if (!pin_->IsConnected()) return S_OK;
    graph = m_pGraph;
    if (graph != nullptr) graph->AddRef();
  }
  // The connected type carries the old period: the graph reconnects the
  // pin (outside our lock, since the pin's connection takes it).
  if (graph == nullptr) return S_OK;
  const HRESULT result = graph->Reconnect(pin_);
  graph->Release();
  return result;
}

}  // namespace ksv::media::avimaker
