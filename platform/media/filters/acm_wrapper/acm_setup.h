// How the ACM Wrapper is registered: as a decoder in the filter mapper
// (compressed sound in, PCM out, MERIT_NORMAL so intelligent connect puts
// it between a parser and a PCM renderer), and as the three entries of the
// audio compressor category, each naming its format tag in "AcmId".
#pragma once

#include "platform/media/base/factory.h"
#include "platform/media/registration_interfaces.h"

namespace ksv::media::acm {

inline constexpr WCHAR kAcmIdProperty[] = u"AcmId";

extern const AMOVIESETUP_FILTER kAcmWrapperSetup;

// What the plug-in's DllRegisterServer and DllUnregisterServer do: the
// compressor entries, then the templates' classes and mapper records.
HRESULT RegisterAcmModule(const CFactoryTemplate* templates, int count, const void* addressInModule,
                          bool registering);

}  // namespace ksv::media::acm
