// The body of a COM method or of a module's entry point, run so that
// nothing it throws reaches the caller, who knows only results: a failed
// allocation answers E_OUTOFMEMORY, anything else thrown E_FAIL.
//
//   HRESULT Filter::GetRate(LONG* rate) {
//     return ksv::com::ComMethod([&]() -> HRESULT { ... });
//   }
#pragma once

#include <utility>

#include "support/no_throw.h"
#include "platform/com/hresult.h"

namespace ksv::com {

template <typename Body>
HRESULT ComMethod(Body&& body) noexcept {
  return support::ComNoThrow<HRESULT>(E_OUTOFMEMORY, E_FAIL, std::forward<Body>(body));
}

}  // namespace ksv::com
