// What a filter plug-in's DllRegisterServer and DllUnregisterServer call
// with the filter's registration record: the COM class (class key and
// InprocServer32) and the filter in the filter mapper, which is created by
// class identifier, so the media module must be registered first.
//
//   const AMOVIESETUP_FILTER kSetup = {&CLSID_MyFilter, u"My Filter", MERIT_NORMAL, 2, kPins};
//   extern "C" KSV_EXPORT HRESULT DllRegisterServer() {
//     return ksv::media::RegisterFilterSetup(kSetup,
//                                            reinterpret_cast<const void*>(&DllRegisterServer));
//   }
#pragma once

#include "platform/media/registration_interfaces.h"

namespace ksv::media {

// Registers the class for the module holding `addressInModule` with
// `threadingModel`, then the filter under `category` (null: the legacy
// filter category), replacing an earlier registration of it. The mapper's
// error when it cannot be created or refuses the record.
HRESULT RegisterFilterSetup(const AMOVIESETUP_FILTER& setup, const void* addressInModule,
                            const char* threadingModel = "Both", const CLSID* category = nullptr);

// Removes the filter from `category` and its class key; S_OK also when
// either was not there.
HRESULT UnregisterFilterSetup(const AMOVIESETUP_FILTER& setup, const CLSID* category = nullptr);

// The filter mapper's half alone, for a filter's IAMovieSetup: the filter
// (re-)registered under `category` (null: legacy filters), and removed
// (S_OK also when it was not there).
HRESULT RegisterFilterWithMapper(const AMOVIESETUP_FILTER& setup, const CLSID* category = nullptr);
HRESULT UnregisterFilterFromMapper(const AMOVIESETUP_FILTER& setup,
                                   const CLSID* category = nullptr);

}  // namespace ksv::media
