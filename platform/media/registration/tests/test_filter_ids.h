// The test plug-in's two filters.
#pragma once

#include "platform/media/media.h"

namespace ksv::media::registration::testing {

inline constexpr CLSID kAlphaClsid = com::Guid("5D1A7A10-0B3E-4F7C-9C11-3A1E2F000001");
inline constexpr CLSID kBetaClsid = com::Guid("5D1A7A10-0B3E-4F7C-9C11-3A1E2F000002");
// Friendly names: sorted without regard to case, "alpha" comes first.
inline constexpr const WCHAR* kAlphaName = u"alpha Test Filter";
inline constexpr const WCHAR* kBetaName = u"Beta Test Filter";

}  // namespace ksv::media::registration::testing
