// The class identifiers of the platform's standard property pages, as the
// platform documents them.
#pragma once

#include "platform/com/guid.h"

// The format page of a video capture pin (its IAMStreamConfig).
inline constexpr CLSID CLSID_VideoStreamConfigPropertyPage =
    ksv::com::Guid("71F96467-78F3-11D0-A18C-00A0C9118956");
