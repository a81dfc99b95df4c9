// No exception ever leaves an exported C function or a COM method: the
// caller is C (or another module built apart) and knows only results. An
// export runs its body through NoThrow, which turns anything thrown (out
// of memory above all) into the export's failure result.
#pragma once

#include <new>
#include <type_traits>

namespace ksv::support {

// body() or, when it throws, `failure`.
template <typename Result, typename Body>
Result NoThrow(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

// For exports without a result: what body() throws is dropped.
template <typename Body>
void NoThrowVoid(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

// For COM methods: E_OUTOFMEMORY when out of memory, `failure` for anything
// else thrown.
template <typename Result, typename Body>
Result ComNoThrow(Result outOfMemory, Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return outOfMemory;
  } catch (...) {
    return failure;
  }
}

}  // namespace ksv::support
