/* The download source filter (module Dextro): a source with a video pin
 * and an audio pin that stream the clip the camera access library of the
 * same process has prepared (include/oksv1api_samples.h). The library
 * creates it by class identifier as the first filter of its clip graph. */
#ifndef KSV_INCLUDE_DEXTRO_H
#define KSV_INCLUDE_DEXTRO_H

#include "include/win32_types.h"
#include "platform/com/unknown.h"

inline constexpr CLSID CLSID_DownloadSourceFilter =
    ksv::com::Guid("11F0D202-1631-4F92-86E0-6FB9ED328C3B");

/* The name the filter is registered under. */
inline constexpr const char16_t* kDownloadSourceFilterName = u"Tarvio(tm) Download Optimization";

/* Its output pins, in order: pin 0 video, pin 1 audio. */
inline constexpr const char16_t* kDownloadVideoPinName = u"Video Stream";
inline constexpr const char16_t* kDownloadAudioPinName = u"Audio Stream";

#endif /* KSV_INCLUDE_DEXTRO_H */
