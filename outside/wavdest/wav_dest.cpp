#include "outside/wavdest/wav_dest.h"

#include <new>

#include "platform/media/avi/wav_file.h"
#include "platform/media/filter_ids.h"
#include "support/byte_order.h"

namespace ksv::media::wavdest {
namespace {

constexpr size_t kWaveFormatSize = 18;
constexpr WORD kImaAdpcm = 0x11;
constexpr LONG kBuffers = 4;
constexpr LONG kBufferSize = 1 << 20;
// The data chunk's size is 32 bits.
constexpr uint64_t kMaxData = 0xFFFFFFFFull - 4096;

const AMOVIESETUP_MEDIATYPE kAudio = {&MEDIATYPE_Audio, &GUID_NULL};
const AMOVIESETUP_MEDIATYPE kWave = {&MEDIATYPE_Stream, &MEDIASUBTYPE_WAVE};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"In"), FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &kAudio},
    {const_cast<LPWSTR>(u"Out"), FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kWave},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_WavDest, u"WAV Dest", MERIT_DO_NOT_USE, 2, kPins};

// The WAVEFORMATEX of an accepted type, field by field, with its extra bytes.
std::vector<uint8_t> StoredFormat(const CMediaType& type) {
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.Format());
  const uint16_t extra = type.FormatLength() >= kWaveFormatSize ? wave->cbSize : 0;
  std::vector<uint8_t> out;
  support::AppendLe16(out, wave->wFormatTag);
  support::AppendLe16(out, wave->nChannels);
  support::AppendLe32(out, wave->nSamplesPerSec);
  support::AppendLe32(out, wave->nAvgBytesPerSec);
  support::AppendLe16(out, wave->nBlockAlign);
  support::AppendLe16(out, wave->wBitsPerSample);
  support::AppendLe16(out, extra);
  out.insert(out.end(), type.Format() + kWaveFormatSize, type.Format() + kWaveFormatSize + extra);
  return out;
}

}  // namespace

uint32_t CountSamples(const std::vector<uint8_t>& format, uint64_t dataSize) {
  if (format.size() < kWaveFormatSize) return 0;
  const uint16_t tag = support::LoadLe16(format, 0);
  const uint32_t rate = support::LoadLe32(format, 4);
  const uint32_t bytesPerSecond = support::LoadLe32(format, 8);
  const uint16_t blockAlign = support::LoadLe16(format, 12);
  uint64_t samples = 0;
  if (tag == kImaAdpcm && format.size() >= kWaveFormatSize + 2 && blockAlign != 0) {
    samples = dataSize / blockAlign * support::LoadLe16(format, kWaveFormatSize);
  } else if (bytesPerSecond != 0) {
    samples = static_cast<uint64_t>(static_cast<long double>(dataSize) * rate / bytesPerSecond);
  }
  return samples > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(samples);
}

// Pins.

WavInputPin::WavInputPin(WavDest* filter, CCritSec* lock, HRESULT* result)
    : CBaseInputPin("WAV Dest input", filter, lock, result, u"In"), filter_(filter) {}

HRESULT WavInputPin::CheckMediaType(const CMediaType* type) {
  if (*type->Type() != MEDIATYPE_Audio || *type->FormatType() != FORMAT_WaveFormatEx ||
      type->Format() == nullptr || type->FormatLength() < 16) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type->Format());
  if (type->FormatLength() < kWaveFormatSize && wave->wFormatTag != WAVE_FORMAT_PCM) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  if (type->FormatLength() >= kWaveFormatSize &&
      wave->cbSize > type->FormatLength() - kWaveFormatSize) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  if (wave->nChannels == 0 || wave->nSamplesPerSec == 0 || wave->nAvgBytesPerSec == 0 ||
      wave->nBlockAlign == 0) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT WavInputPin::Receive(IMediaSample* sample) {
  const HRESULT result = CBaseInputPin::Receive(sample);
  if (result != S_OK) return result;
  return filter_->WriteSample(sample);
}

HRESULT WavInputPin::EndOfStream() {
  const HRESULT result = CBaseInputPin::EndOfStream();
  if (result != S_OK) return result;
  return filter_->EndStream();
}

WavOutputPin::WavOutputPin(WavDest* filter, CCritSec* lock, HRESULT* result)
    : CBaseOutputPin("WAV Dest output", filter, lock, result, u"Out") {}

HRESULT WavOutputPin::CheckMediaType(const CMediaType* type) {
  if (*type->Type() != MEDIATYPE_Stream) return VFW_E_TYPE_NOT_ACCEPTED;
  if (*type->Subtype() != MEDIASUBTYPE_WAVE && *type->Subtype() != GUID_NULL) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT WavOutputPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  type->InitMediaType();
  type->SetType(&MEDIATYPE_Stream);
  type->SetSubtype(&MEDIASUBTYPE_WAVE);
  type->SetFormatType(&FORMAT_None);
  return S_OK;
}

HRESULT WavOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  if (request->cBuffers < kBuffers) request->cBuffers = kBuffers;
  if (request->cbBuffer < kBufferSize) request->cbBuffer = kBufferSize;
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cBuffers >= 2 && actual.cbBuffer > 0 ? S_OK : E_FAIL;
}

// The filter.

WavDest::WavDest(LPUNKNOWN outer, HRESULT* result)
    : CBaseFilter("WAV Dest", outer, &stateLock_, CLSID_WavDest, result) {
  HRESULT made = S_OK;
  input_ = new WavInputPin(this, &stateLock_, &made);
  output_ = new WavOutputPin(this, &stateLock_, &made);
  sink_ = std::make_unique<PositionedOutput>(output_);
  if (result != nullptr && FAILED(made)) *result = made;
}

WavDest::~WavDest() {
  sink_.reset();
  delete input_;
  delete output_;
}

CUnknown* WavDest::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* filter = new (std::nothrow) WavDest(outer, result);
  if (filter == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  return filter;
}

const AMOVIESETUP_FILTER* WavDest::Setup() { return &kSetup; }

CBasePin* WavDest::GetPin(int index) {
  if (index == 0) return input_;
  if (index == 1) return output_;
  return nullptr;
}

HRESULT WavDest::Pause() {
  CAutoLock lock(&stateLock_);
  if (m_State == State_Stopped) {
    if (!input_->IsConnected() || !output_->IsConnected()) return VFW_E_NOT_CONNECTED;
    std::lock_guard<std::mutex> write(writeLock_);
    sink_->Reset();
    format_ = StoredFormat(input_->CurrentMediaType());
    dataOffset_ = avi::WavHeader(format_, 0, 0).size();
    dataSize_ = 0;
    active_ = true;
    begun_ = done_ = failed_ = false;
  }
  return CBaseFilter::Pause();
}

HRESULT WavDest::Stop() {
  CAutoLock lock(&stateLock_);
  if (m_State != State_Stopped) {
    std::lock_guard<std::mutex> write(writeLock_);
    if (active_ && !done_ && !failed_) {
      // The File writer stopped first and waits for the header and Commit.
      if (sink_->UseStream() && WriteHeader()) sink_->Commit();
    }
    active_ = false;
    done_ = true;
    sink_->Reset();
  }
  return CBaseFilter::Stop();
}

bool WavDest::WriteHeader() {
  const std::vector<uint8_t> header =
      avi::WavHeader(format_, dataSize_, CountSamples(format_, dataSize_));
  const avi::ByteRange piece{header.data(), header.size()};
  begun_ = true;
  return sink_->WriteAt(0, &piece, 1);
}

HRESULT WavDest::Failure() {
  failed_ = true;
  done_ = true;
  const HRESULT why = sink_->LastError();
  return FAILED(why) ? why : E_FAIL;
}

HRESULT WavDest::WriteSample(IMediaSample* sample) {
  HRESULT failure = S_OK;
  {
    std::lock_guard<std::mutex> write(writeLock_);
    if (!active_ || done_) return VFW_E_WRONG_STATE;
    BYTE* bytes = nullptr;
    const LONG length = sample->GetActualDataLength();
    if (FAILED(sample->GetPointer(&bytes)) || length < 0 || (length > 0 && bytes == nullptr)) {
      return E_POINTER;
    }
    if (dataSize_ + static_cast<uint64_t>(length) > kMaxData) {
      Failure();
      failure = STG_E_MEDIUMFULL;  // a WAV file holds no more
    } else {
      const avi::ByteRange piece{bytes, static_cast<size_t>(length)};
      if ((begun_ || WriteHeader()) && sink_->WriteAt(dataOffset_ + dataSize_, &piece, 1)) {
        dataSize_ += static_cast<uint64_t>(length);
        return S_OK;
      }
      failure = Failure();
    }
  }
  NotifyEvent(EC_ERRORABORT, failure, 0);
  return failure;
}

HRESULT WavDest::EndStream() {
  HRESULT failure = S_OK;
  {
    std::lock_guard<std::mutex> write(writeLock_);
    if (!active_ || done_) return S_OK;
    if (WriteHeader() && sink_->Flush()) {
      done_ = true;
    } else {
      failure = Failure();
    }
  }
  if (FAILED(failure)) NotifyEvent(EC_ERRORABORT, failure, 0);
  return output_->DeliverEndOfStream();
}

}  // namespace ksv::media::wavdest
