#include "platform/media/filters/avi_mux/avi_mux.h"

#include <new>
#include <string>

#include "platform/media/filter_ids.h"

namespace ksv::media::avimux {
namespace {

const AMOVIESETUP_MEDIATYPE kAnyType = {&GUID_NULL, &GUID_NULL};
const AMOVIESETUP_MEDIATYPE kAviType = {&MEDIATYPE_Stream, &MEDIASUBTYPE_Avi};
// {name, rendered, output, zero, many, connects-to filter, pin, types}
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"Input 01"), FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 1,
     &kAnyType},
    {const_cast<LPWSTR>(u"AVI Out"), FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kAviType},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_AviDest, u"AVI Mux", MERIT_DO_NOT_USE, 2, kPins};

std::u16string InputName(size_t number) {
  const std::string digits = (number < 10 ? "0" : "") + std::to_string(number);
  std::u16string name = u"Input ";
  name.append(digits.begin(), digits.end());
  return name;
}

}  // namespace

const AMOVIESETUP_FILTER* AviMux::Setup() { return &kSetup; }

AviMux::AviMux(LPUNKNOWN outer, HRESULT* result)
    : CBaseFilter("AVI Mux", outer, &stateLock_, CLSID_AviDest, result) {
  HRESULT made = S_OK;
  output_ = new MuxOutputPin(this, &stateLock_, &made);
  inputs_.push_back(new MuxInputPin(this, &stateLock_, &made, InputName(1).c_str()));
  sink_ = std::make_unique<PositionedOutput>(output_);
  if (result != nullptr && FAILED(made)) *result = made;
}

AviMux::~AviMux() {
  session_.reset();
  sink_.reset();
  for (MuxInputPin* pin : inputs_) delete pin;
  delete output_;
}

CUnknown* AviMux::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* mux = new (std::nothrow) AviMux(outer, result);
  if (mux == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  return mux;
}

HRESULT AviMux::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IConfigAviMux) return GetInterface(static_cast<IConfigAviMux*>(this), object);
  if (iid == IID_IConfigInterleaving) {
    return GetInterface(static_cast<IConfigInterleaving*>(this), object);
  }
  return CBaseFilter::NonDelegatingQueryInterface(iid, object);
}

int AviMux::GetPinCount() { return 1 + static_cast<int>(inputs_.size()); }

CBasePin* AviMux::GetPin(int index) {
  if (index == 0) return output_;
  if (index < 1 || index > static_cast<int>(inputs_.size())) return nullptr;
  return inputs_[index - 1];
}

const AMOVIESETUP_FILTER* AviMux::GetSetupData() { return &kSetup; }

// Called with the filter's lock held, from the pin's connection. Pins are
// never taken away (a caller may hold one): an unconnected pin is always
// there to connect to.
void AviMux::InputConnected() {
  for (MuxInputPin* pin : inputs_) {
    if (!pin->IsConnected()) return;
  }
  if (static_cast<int>(inputs_.size()) >= kMaxInputs) return;
  HRESULT made = S_OK;
  auto* pin =
      new (std::nothrow) MuxInputPin(this, &stateLock_, &made, InputName(inputs_.size() + 1).c_str());
  if (pin == nullptr) return;
  inputs_.push_back(pin);
  IncrementPinVersion();
}

HRESULT AviMux::Pause() {
  CAutoLock lock(&stateLock_);
  if (m_State == State_Stopped) {
    if (!output_->IsConnected()) return VFW_E_NOT_CONNECTED;
    std::vector<CMediaType> types;
    for (MuxInputPin* pin : inputs_) {
      pin->setStream(-1);
      if (!pin->IsConnected()) continue;
      pin->setStream(static_cast<int>(types.size()));
      types.push_back(pin->CurrentMediaType());
    }
    SessionOptions options;
    options.legacyIndex = legacyIndex_;
    options.mode = mode_;
    std::lock_guard<std::mutex> write(writeLock_);
    sink_->Reset();
    session_ = std::make_unique<MuxSession>(*sink_, std::move(types), options);
    done_ = false;
    failed_ = false;
  }
  return CBaseFilter::Pause();
}

HRESULT AviMux::Stop() {
  CAutoLock lock(&stateLock_);
  if (m_State != State_Stopped) {
    // The sink stopped before us and waits: the rest of the file, its
    // index and headers go through its stream, and Commit makes it appear.
    std::lock_guard<std::mutex> write(writeLock_);
    if (session_ != nullptr && !done_ && !failed_) {
      done_ = true;
      if (sink_->UseStream() && session_->Finish()) sink_->Commit();
    }
    done_ = true;
    session_.reset();
    sink_->Reset();
  }
  return CBaseFilter::Stop();
}

HRESULT AviMux::Failure() {
  failed_ = true;
  done_ = true;
  const HRESULT why = sink_->LastError();
  return FAILED(why) ? why : E_FAIL;
}

HRESULT AviMux::WriteSample(MuxInputPin* pin, IMediaSample* sample) {
  HRESULT failure = S_OK;
  {
    std::lock_guard<std::mutex> write(writeLock_);
    if (session_ == nullptr || done_ || pin->stream() < 0) return VFW_E_WRONG_STATE;
    SampleData data;
    BYTE* bytes = nullptr;
    const LONG length = sample->GetActualDataLength();
    if (FAILED(sample->GetPointer(&bytes)) || length < 0 || (length > 0 && bytes == nullptr)) {
      return E_POINTER;
    }
    data.data = bytes;
    data.size = static_cast<size_t>(length);
    data.keyFrame = sample->IsSyncPoint() == S_OK;
    const HRESULT timed = sample->GetTime(&data.start, &data.stop);
    data.timed = SUCCEEDED(timed);
    if (timed == VFW_S_NO_STOP_TIME) data.stop = data.start;
    if (session_->Write(static_cast<size_t>(pin->stream()), data)) return S_OK;
    failure = Failure();
  }
  NotifyEvent(EC_ERRORABORT, failure, 0);
  return failure;
}

HRESULT AviMux::EndStream(MuxInputPin* pin) {
  HRESULT failure = S_OK;
  {
    std::lock_guard<std::mutex> write(writeLock_);
    if (session_ == nullptr || done_ || pin->stream() < 0) return S_OK;
    const size_t stream = static_cast<size_t>(pin->stream());
    if (session_->EndStream(stream) && !session_->AllEnded()) return S_OK;
    if (session_->AllEnded() && session_->Finish() && sink_->Flush()) {
      done_ = true;
    } else {
      failure = Failure();
    }
  }
  if (FAILED(failure)) NotifyEvent(EC_ERRORABORT, failure, 0);
  return output_->DeliverEndOfStream();
}

HRESULT AviMux::SetMasterStream(LONG stream) {
  if (stream < -1) return E_INVALIDARG;
  CAutoLock lock(&stateLock_);
  master_ = stream;
  return S_OK;
}

HRESULT AviMux::GetMasterStream(LONG* stream) {
  if (stream == nullptr) return E_POINTER;
  CAutoLock lock(&stateLock_);
  *stream = master_;
  return S_OK;
}

HRESULT AviMux::SetOutputCompatibilityIndex(BOOL oldIndex) {
  CAutoLock lock(&stateLock_);
  legacyIndex_ = oldIndex != FALSE;
  return S_OK;
}

HRESULT AviMux::GetOutputCompatibilityIndex(BOOL* oldIndex) {
  if (oldIndex == nullptr) return E_POINTER;
  CAutoLock lock(&stateLock_);
  *oldIndex = legacyIndex_ ? TRUE : FALSE;
  return S_OK;
}

HRESULT AviMux::put_Mode(InterleavingMode mode) {
  if (mode < INTERLEAVE_NONE || mode > INTERLEAVE_NONE_BUFFERED) return E_INVALIDARG;
  CAutoLock lock(&stateLock_);
  if (m_State != State_Stopped) return VFW_E_NOT_STOPPED;
  mode_ = mode;
  return S_OK;
}

HRESULT AviMux::get_Mode(InterleavingMode* mode) {
  if (mode == nullptr) return E_POINTER;
  CAutoLock lock(&stateLock_);
  *mode = mode_;
  return S_OK;
}

HRESULT AviMux::put_Interleaving(const REFERENCE_TIME* interleave,
                                 const REFERENCE_TIME* preroll) {
  if (interleave == nullptr || preroll == nullptr) return E_POINTER;
  if (*interleave <= 0 || *preroll < 0) return E_INVALIDARG;
  CAutoLock lock(&stateLock_);
  interleave_ = *interleave;
  preroll_ = *preroll;
  return S_OK;
}

HRESULT AviMux::get_Interleaving(REFERENCE_TIME* interleave, REFERENCE_TIME* preroll) {
  if (interleave == nullptr || preroll == nullptr) return E_POINTER;
  CAutoLock lock(&stateLock_);
  *interleave = interleave_;
  *preroll = preroll_;
  return S_OK;
}

}  // namespace ksv::media::avimux
