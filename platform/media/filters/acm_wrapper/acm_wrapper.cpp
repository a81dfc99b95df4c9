#include "platform/media/filters/acm_wrapper/acm_wrapper.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/acm/acm_formats.h"
#include "platform/com/variant.h"
#include "platform/media/filter_ids.h"
#include "platform/media/filters/acm_wrapper/acm_setup.h"

namespace ksv::media::acm {
namespace {

constexpr LONG kOutputBuffers = 8;
constexpr size_t kHeldCapacityUnits = 64;

bool ReadWave(const CMediaType& type, WAVEFORMATEX* wave) {
  if (*type.Type() != MEDIATYPE_Audio || *type.FormatType() != FORMAT_WaveFormatEx ||
      type.Format() == nullptr || type.FormatLength() < sizeof(WAVEFORMATEX)) {
    return false;
  }
  std::memcpy(wave, type.Format(), sizeof *wave);
  return wave->cbSize <= type.FormatLength() - sizeof(WAVEFORMATEX);
}

bool Ours(WORD tag) {
  return tag == platform::acm::kWaveFormatImaAdpcm || tag == platform::acm::kWaveFormatALaw ||
         tag == platform::acm::kWaveFormatMuLaw;
}

// The media type of a format block MakeFormat made.
void TypeOf(const std::vector<uint8_t>& block, CMediaType* type) {
  const WAVEFORMATEX wave = platform::acm::HeaderOf(block);
  const GUID subtype = FourccSubtype(wave.wFormatTag);
  type->InitMediaType();
  type->SetType(&MEDIATYPE_Audio);
  type->SetSubtype(&subtype);
  type->SetFormatType(&FORMAT_WaveFormatEx);
  type->SetTemporalCompression(FALSE);
  type->SetSampleSize(wave.nBlockAlign);
  type->SetFormat(block.data(), static_cast<ULONG>(block.size()));
}

}  // namespace

AcmWrapper::AcmWrapper(LPUNKNOWN outer, HRESULT* result)
    : CTransformFilter("ACM Wrapper", outer, CLSID_ACMWrapper) {
  if (result != nullptr) *result = S_OK;
}

CUnknown* AcmWrapper::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  *result = S_OK;
  auto* filter = new (std::nothrow) AcmWrapper(outer, result);
  if (filter == nullptr) *result = E_OUTOFMEMORY;
  return filter;
}

const AMOVIESETUP_FILTER* AcmWrapper::GetSetupData() { return &kAcmWrapperSetup; }

HRESULT AcmWrapper::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IPersistPropertyBag) return GetInterface(static_cast<IPersistPropertyBag*>(this), object);
  return CTransformFilter::NonDelegatingQueryInterface(iid, object);
}

HRESULT AcmWrapper::Load(IPropertyBag* bag, IErrorLog*) {
  if (bag == nullptr) return E_POINTER;
  CAutoLock lock(&m_csFilter);
  if (GetPin(0)->IsConnected() || GetPin(1)->IsConnected()) return VFW_E_ALREADY_CONNECTED;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  if (FAILED(bag->Read(kAcmIdProperty, &value, nullptr))) return S_OK;  // a decoder
  const LONG tag = value.lVal;
  if (tag < 0 || tag > 0xFFFF || !Ours(static_cast<WORD>(tag))) return E_INVALIDARG;
  compressTo_ = static_cast<WORD>(tag);
  return S_OK;
}

std::optional<SoundConverter> AcmWrapper::ConverterFor(const CMediaType& input) const {
  WAVEFORMATEX wave;
  if (!ReadWave(input, &wave)) return std::nullopt;
  if (compressTo_ != 0) {
    if (*input.Subtype() != MEDIASUBTYPE_PCM) return std::nullopt;
    return SoundConverter::Encoding(wave, compressTo_);
  }
  if (*input.Subtype() != FourccSubtype(wave.wFormatTag) || !Ours(wave.wFormatTag)) return std::nullopt;
  return SoundConverter::Decoding(*reinterpret_cast<const WAVEFORMATEX*>(input.Format()),
                                  input.FormatLength());
}

HRESULT AcmWrapper::CheckInputType(const CMediaType* input) {
  return ConverterFor(*input) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AcmWrapper::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  WAVEFORMATEX wave;
  if (!ReadWave(m_pInput->CurrentMediaType(), &wave)) return E_UNEXPECTED;
  const WORD tag = compressTo_ != 0 ? compressTo_ : WORD{WAVE_FORMAT_PCM};
  const std::vector<uint8_t> block = platform::acm::MakeFormat(tag, wave.nSamplesPerSec, wave.nChannels);
  if (block.empty()) return E_UNEXPECTED;
  TypeOf(block, type);
  return S_OK;
}

HRESULT AcmWrapper::CheckTransform(const CMediaType* input, const CMediaType* output) {
  WAVEFORMATEX in, out;
  if (!ConverterFor(*input) || !ReadWave(*input, &in) || !ReadWave(*output, &out)) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  const WORD tag = compressTo_ != 0 ? compressTo_ : WORD{WAVE_FORMAT_PCM};
  const std::vector<uint8_t> wanted = platform::acm::MakeFormat(tag, in.nSamplesPerSec, in.nChannels);
  const WAVEFORMATEX made = platform::acm::HeaderOf(wanted);
  return out.wFormatTag == made.wFormatTag && out.nChannels == made.nChannels &&
                 out.nSamplesPerSec == made.nSamplesPerSec && out.nBlockAlign == made.nBlockAlign &&
                 out.wBitsPerSample == made.wBitsPerSample
             ? S_OK
             : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AcmWrapper::SetMediaType(PIN_DIRECTION direction, const CMediaType* type) {
  if (direction != PINDIR_INPUT) return S_OK;
  converter_ = ConverterFor(*type);
  if (!converter_) return VFW_E_TYPE_NOT_ACCEPTED;
  WAVEFORMATEX wave;
  ReadWave(*type, &wave);
  rate_ = wave.nSamplesPerSec;
  held_.clear();
  held_.reserve(std::max<size_t>(converter_->InputUnit() * kHeldCapacityUnits, 1 << 16));
  return S_OK;
}

HRESULT AcmWrapper::BreakConnect(PIN_DIRECTION direction) {
  if (direction == PINDIR_INPUT) converter_.reset();
  return S_OK;
}

HRESULT AcmWrapper::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  if (!converter_) return E_UNEXPECTED;
  // About a tenth of a second a buffer, whole units.
  const size_t units = std::max<size_t>(1, rate_ / 10 / converter_->FramesPerUnit());
  request->cBuffers = std::max(request->cBuffers, kOutputBuffers);
  request->cbBuffer = std::max<LONG>(request->cbBuffer, static_cast<LONG>(units * converter_->OutputUnit()));
  request->cbAlign = std::max<LONG>(request->cbAlign, 1);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer >= static_cast<LONG>(converter_->OutputUnit()) ? S_OK : E_FAIL;
}

void AcmWrapper::Restart() {
  held_.clear();
  anchored_ = false;
  frames_ = 0;
  discontinuity_ = true;
}

HRESULT AcmWrapper::StartStreaming() {
  CAutoLock receiving(&m_csReceive);
  Restart();
  return S_OK;
}

HRESULT AcmWrapper::Receive(IMediaSample* sample) {
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || data == nullptr) return E_POINTER;
  const LONG size = sample->GetActualDataLength();
  if (size < 0) return E_INVALIDARG;
  CAutoLock receiving(&m_csReceive);
  if (!converter_) return VFW_E_NOT_CONNECTED;
  REFERENCE_TIME start = 0, stop = 0;
  if (sample->IsDiscontinuity() == S_OK) discontinuity_ = true;
  if (!anchored_) {
    const HRESULT timed = sample->GetTime(&start, &stop);
    anchor_ = (timed == S_OK || timed == VFW_S_NO_STOP_TIME) ? start : 0;
    anchored_ = true;
  }
  held_.insert(held_.end(), data, data + size);
  return DeliverHeld(false);
}

HRESULT AcmWrapper::DeliverHeld(bool finish) {
  const size_t inUnit = converter_->InputUnit();
  if (finish && held_.size() % inUnit != 0) held_.resize((held_.size() / inUnit + 1) * inUnit, 0);
  size_t done = 0;
  HRESULT result = S_OK;
  while (held_.size() - done >= inUnit) {
    IMediaSample* out = nullptr;
    result = m_pOutput->GetDeliveryBuffer(&out, nullptr, nullptr, 0);
    if (FAILED(result)) break;
    BYTE* buffer = nullptr;
    out->GetPointer(&buffer);
    const size_t units = std::min((held_.size() - done) / inUnit,
                                  static_cast<size_t>(out->GetSize()) / converter_->OutputUnit());
    if (buffer == nullptr || units == 0) {
      out->Release();
      result = E_FAIL;
      break;
    }
    converter_->Convert(held_.data() + done, units, buffer);
    done += units * inUnit;
    REFERENCE_TIME start = anchor_ + frames_ * UNITS / rate_;
    frames_ += static_cast<int64_t>(units * converter_->FramesPerUnit());
    REFERENCE_TIME stop = anchor_ + frames_ * UNITS / rate_;
    out->SetTime(&start, &stop);
    out->SetActualDataLength(static_cast<LONG>(units * converter_->OutputUnit()));
    out->SetSyncPoint(TRUE);
    out->SetDiscontinuity(discontinuity_ ? TRUE : FALSE);
    discontinuity_ = false;
    m_csReceive.Unlock();
    result = m_pOutput->Deliver(out);
    m_csReceive.Lock();
    out->Release();
    if (result != S_OK) break;
  }
  held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(done));
  return result;
}

HRESULT AcmWrapper::EndOfStream() {
  {
    CAutoLock receiving(&m_csReceive);
    if (converter_ && compressTo_ != 0 && !held_.empty()) DeliverHeld(true);
    held_.clear();
  }
  return CTransformFilter::EndOfStream();
}

HRESULT AcmWrapper::EndFlush() {
  {
    CAutoLock receiving(&m_csReceive);
    Restart();
  }
  return CTransformFilter::EndFlush();
}

}  // namespace ksv::media::acm
