// The kernel-streaming proxy filter (CLSID_Proxy) for a USB camera: one
// object per camera, made by binding the camera's moniker in the video
// input category, whose property bag names the device ("DevicePath": the
// machine's name for it; else "FriendlyName": the first camera). Loading it
// starts the camera under its driver (platform/usbcamd/camera_stack.h), or,
// when this process already hosts the camera and does not stream it, uses
// that stack (never a second driver instance on the camera; the host keeps
// its camera for as long as it has graphs on it); the filter's one pin,
// "Capture", streams what the driver's reads deliver.
//
// A bag with kProxyHostedCameraValue (the decimal serial of a camera stack this
// process already runs, CameraStack::HostedSerial) makes a filter over that
// stack instead of starting another: the video-capture driver mapper's
// format page reaches the camera a capture program streams this way. Such a
// filter does not own the stack; whoever made it keeps the stack running
// while the filter lives.
//
// IKsPropertySet on the filter reaches the driver's device property sets:
// the request is the property header (set, id, get or set) followed by the
// instance data, or, without instance data, by the bytes of the value after
// its own header (the video property structures begin with one); the value
// buffer is the caller's. ISpecifyPropertyPages on the filter lists the
// filter's own pages: none yet (the format page is the pin's).
#pragma once

#include <memory>

#include "platform/com/property_bag.h"
#include "platform/media/base/source.h"
#include "platform/media/config_interfaces.h"
#include "platform/media/ks_property_set.h"
#include "platform/usbcamd/camera_stack.h"

namespace ksv::media::filters {

class VideoCapturePin;

class KsProxyFilter final : public CSource,
                            public IPersistPropertyBag,
                            public IKsPropertySet,
                            public ISpecifyPropertyPages {
 public:
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);
  ~KsProxyFilter() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT GetClassID(CLSID* clsid) override { return CSource::GetClassID(clsid); }

  // IPersistPropertyBag. Load starts the camera the bag names
  // (VFW_E_NO_CAPTURE_HARDWARE when it is not there or does not start); a
  // filter takes one camera, once. Nothing is saved.
  HRESULT InitNew() override { return S_OK; }
  HRESULT Load(IPropertyBag* bag, IErrorLog* errorLog) override;
  HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  // Paused, a live source has nothing to cue: GetState says VFW_S_CANT_CUE.
  HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;

  // IKsPropertySet: the driver's device property sets.
  HRESULT Set(REFGUID propertySet, DWORD id, LPVOID instanceData, DWORD instanceLength,
              LPVOID propertyData, DWORD dataLength) override;
  HRESULT Get(REFGUID propertySet, DWORD id, LPVOID instanceData, DWORD instanceLength,
              LPVOID propertyData, DWORD dataLength, DWORD* returned) override;
  HRESULT QuerySupported(REFGUID propertySet, DWORD id, DWORD* support) override;

  // ISpecifyPropertyPages.
  HRESULT GetPages(CAUUID* pages) override;

  // What the pin's thread stamps samples by: the state, stream time 0 on
  // the clock, and the clock (none: frames are stamped by their count).
  struct RunTiming {
    FILTER_STATE state;
    REFERENCE_TIME start;
    com::ComPtr<IReferenceClock> clock;
  };
  RunTiming Timing();

 private:
  KsProxyFilter();
  HRESULT SendProperty(bool isSet, REFGUID propertySet, DWORD id, LPVOID instanceData,
                       DWORD instanceLength, LPVOID propertyData, DWORD dataLength,
                       DWORD* returned);

  std::unique_ptr<platform::usbcamd::CameraStack> owned_;  // a stack this filter started
  platform::usbcamd::CameraStack* camera_ = nullptr;       // owned_, or the process's hosted stack
  VideoCapturePin* pin_;  // owned by CSource's pin list
};

}  // namespace ksv::media::filters
