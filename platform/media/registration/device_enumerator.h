// The system device enumerator (CLSID_SystemDeviceEnum): the devices and
// filters of a category as registry monikers, by merit (highest first; the
// class key's "Merit" over the FilterData's) and then by friendly name
// without regard to case (entries of equal names keep their key order).
// Entries whose FilterData is unreadable are left out. The video and audio
// input categories first publish the machine's capture hardware
// (hardware_entries.h).
#pragma once

#include "platform/com/com_object.h"
#include "platform/media/registration_interfaces.h"

namespace ksv::media::registration {

class SystemDeviceEnum : public com::ComObject<ICreateDevEnum> {
 public:
  // E_POINTER for a null `enumerator`; S_FALSE with a null enumerator for
  // an empty or unknown category. `flags` (CDEF_ values) are not used.
  HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator,
                                DWORD flags) override;
};

}  // namespace ksv::media::registration
