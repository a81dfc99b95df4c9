// The audio capture filter (CLSID_AudioRecord): one object per microphone,
// made by binding the device's moniker in the audio input category, whose
// property bag (IPersistPropertyBag::Load) names the device by its
// FriendlyName. Not registered as a filter of its own: made without a
// moniker it has no device and its pin connects to nothing.
#pragma once

#include "platform/com/com_ptr.h"
#include "platform/com/property_bag.h"
#include "platform/media/base/source.h"
#include "platform/media/filters/audio_capture/capture_pin.h"

namespace ksv::media::filters {

class AudioCaptureFilter final : public CSource, public IPersistPropertyBag {
 public:
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT GetClassID(CLSID* clsid) override { return CSource::GetClassID(clsid); }

  // IPersistPropertyBag. Load finds the device named by "FriendlyName"
  // among the machine's audio sources (VFW_E_NO_CAPTURE_HARDWARE when it is
  // not there); a filter takes one device, once. Nothing is saved.
  HRESULT InitNew() override { return S_OK; }
  HRESULT Load(IPropertyBag* bag, IErrorLog* errorLog) override;
  HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  // The pin's waiting thread hears of each state change. Paused, a live
  // source has nothing to cue: GetState says VFW_S_CANT_CUE.
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;

  // What the pin's thread paces itself by: the state, stream time 0 on the
  // clock, and the clock (none: as fast as the device gives sound).
  struct RunTiming {
    FILTER_STATE state;
    REFERENCE_TIME start;
    com::ComPtr<IReferenceClock> clock;
  };
  RunTiming Timing();

 private:
  AudioCaptureFilter();
  AudioCapturePin* pin_;  // owned by CSource's pin list
};

}  // namespace ksv::media::filters
