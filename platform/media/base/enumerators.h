// The enumerators a filter hands out for its pins and a pin for its media
// types. Each holds its owner and notices when the pins or types change
// (VFW_E_ENUM_OUT_OF_SYNC until Reset).
#pragma once

#include "platform/com/com_object.h"
#include "platform/media/filter_interfaces.h"

class CBaseFilter;
class CBasePin;

class CEnumPins : public ksv::com::ComObject<IEnumPins> {
 public:
  CEnumPins(CBaseFilter* filter, const CEnumPins* copy);
  HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override;
  HRESULT Skip(ULONG count) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumPins** copy) override;

 private:
  ~CEnumPins() override;
  CBaseFilter* filter_;
  int position_ = 0;
  LONG version_;
};

class CEnumMediaTypes : public ksv::com::ComObject<IEnumMediaTypes> {
 public:
  CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* copy);
  // An error of the pin's GetMediaType at the first item asked for is
  // returned as it is (the pin cannot know its types yet).
  HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  HRESULT Skip(ULONG count) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumMediaTypes** copy) override;

 private:
  ~CEnumMediaTypes() override;
  CBasePin* pin_;
  int position_ = 0;
  LONG version_;
};
