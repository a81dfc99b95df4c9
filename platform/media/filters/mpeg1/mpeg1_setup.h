// The registration records of the module's three filters: names, merits
// and pin types as the platform registers them.
#pragma once

#include "platform/media/registration_interfaces.h"

namespace ksv::media::mpeg1 {

inline constexpr WCHAR kSplitterName[] = u"MPEG-I Stream Splitter";
inline constexpr WCHAR kVideoDecoderName[] = u"MPEG Video Decoder";
inline constexpr WCHAR kAudioDecoderName[] = u"MPEG Audio Decoder";

extern const AMOVIESETUP_FILTER kSplitterSetup;
extern const AMOVIESETUP_FILTER kVideoDecoderSetup;
extern const AMOVIESETUP_FILTER kAudioDecoderSetup;

}  // namespace ksv::media::mpeg1
