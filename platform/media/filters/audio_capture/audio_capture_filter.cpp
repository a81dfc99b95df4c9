#include "platform/media/filters/audio_capture/audio_capture_filter.h"

#include "platform/com/variant.h"
#include "platform/com/wide_text.h"
#include "platform/hardware/device_list.h"
#include "platform/media/filter_ids.h"

namespace ksv::media::filters {

AudioCaptureFilter::AudioCaptureFilter() : CSource("Audio capture", nullptr, CLSID_AudioRecord) {
  HRESULT result = S_OK;
  pin_ = new AudioCapturePin(&result, this);  // joins the pin list, deleted with it
}

CUnknown* AudioCaptureFilter::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  if (outer != nullptr) {
    *result = CLASS_E_NOAGGREGATION;
    return nullptr;
  }
  *result = S_OK;
  return new AudioCaptureFilter();
}

HRESULT AudioCaptureFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IPersistPropertyBag) {
    return GetInterface(static_cast<IPersistPropertyBag*>(this), object);
  }
  return CSource::NonDelegatingQueryInterface(iid, object);
}

HRESULT AudioCaptureFilter::Load(IPropertyBag* bag, IErrorLog* /*errorLog*/) {
  if (bag == nullptr) return E_POINTER;
  CAutoLock lock(&m_cStateLock);
  if (pin_->HasDevice()) return E_UNEXPECTED;
  VARIANT name;
  VariantInit(&name);
  name.vt = VT_BSTR;
  const HRESULT read = bag->Read(u"FriendlyName", &name, nullptr);
  if (FAILED(read)) return read;
  const std::string wanted = com::Utf16ToUtf8(com::BstrView(name.bstrVal));
  VariantClear(&name);
  const auto machine = platform::hardware::EnumerateDevices();
  for (platform::hardware::HardwareDevice* device : machine.devices) {
    if (device->Name() != wanted) continue;
    auto* source = static_cast<platform::audio::AudioSource*>(
        device->Function(platform::audio::kAudioSourceInterface));
    if (source == nullptr) continue;
    pin_->UseDevice(source);
    return S_OK;
  }
  return VFW_E_NO_CAPTURE_HARDWARE;
}

HRESULT AudioCaptureFilter::Save(IPropertyBag* /*bag*/, BOOL /*clearDirty*/, BOOL /*saveAll*/) {
  return E_NOTIMPL;
}

HRESULT AudioCaptureFilter::Stop() {
  // The pin wakes its thread itself once the state is stopped.
  return CSource::Stop();
}

HRESULT AudioCaptureFilter::Pause() {
  const HRESULT result = CSource::Pause();
  pin_->Wake();
  return result;
}

HRESULT AudioCaptureFilter::Run(REFERENCE_TIME start) {
  const HRESULT result = CSource::Run(start);
  pin_->Wake();
  return result;
}

HRESULT AudioCaptureFilter::GetState(DWORD milliseconds, FILTER_STATE* state) {
  const HRESULT result = CSource::GetState(milliseconds, state);
  if (SUCCEEDED(result) && *state == State_Paused) return VFW_S_CANT_CUE;
  return result;
}

AudioCaptureFilter::RunTiming AudioCaptureFilter::Timing() {
  CAutoLock lock(&m_cStateLock);
  return {m_State, m_tStart, com::ComPtr<IReferenceClock>(m_pClock)};
}

}  // namespace ksv::media::filters
