// COM's result codes, with the values the platform documents: bit 31 set
// for a failure, the facility in bits 16..26, the code below.
#pragma once

#include <cstdint>

typedef int32_t HRESULT;

constexpr bool SUCCEEDED(HRESULT result) { return result >= 0; }
constexpr bool FAILED(HRESULT result) { return result < 0; }

// A Win32 error code as a result: facility 7 (FACILITY_WIN32).
constexpr HRESULT HRESULT_FROM_WIN32(uint32_t error) {
  return static_cast<int32_t>(error) <= 0 ? static_cast<HRESULT>(error)
                                          : static_cast<HRESULT>((error & 0xFFFFu) | 0x80070000u);
}

namespace ksv::com::detail {
constexpr HRESULT Code(uint32_t value) { return static_cast<HRESULT>(value); }
}  // namespace ksv::com::detail

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT NOERROR = 0;
inline constexpr HRESULT S_FALSE = 1;

inline constexpr HRESULT E_UNEXPECTED = ksv::com::detail::Code(0x8000FFFFu);
inline constexpr HRESULT E_NOTIMPL = ksv::com::detail::Code(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = ksv::com::detail::Code(0x80004002u);
inline constexpr HRESULT E_POINTER = ksv::com::detail::Code(0x80004003u);
inline constexpr HRESULT E_HANDLE = ksv::com::detail::Code(0x80070006u);
inline constexpr HRESULT E_ABORT = ksv::com::detail::Code(0x80004004u);
inline constexpr HRESULT E_FAIL = ksv::com::detail::Code(0x80004005u);
inline constexpr HRESULT E_ACCESSDENIED = ksv::com::detail::Code(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = ksv::com::detail::Code(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = ksv::com::detail::Code(0x80070057u);
inline constexpr HRESULT E_PENDING = ksv::com::detail::Code(0x8000000Au);
inline constexpr HRESULT E_BOUNDS = ksv::com::detail::Code(0x8000000Bu);

inline constexpr HRESULT RPC_E_CHANGED_MODE = ksv::com::detail::Code(0x80010106u);

inline constexpr HRESULT DISP_E_TYPEMISMATCH = ksv::com::detail::Code(0x80020005u);
inline constexpr HRESULT DISP_E_BADVARTYPE = ksv::com::detail::Code(0x80020008u);
inline constexpr HRESULT DISP_E_OVERFLOW = ksv::com::detail::Code(0x8002000Au);
inline constexpr HRESULT DISP_E_BADINDEX = ksv::com::detail::Code(0x8002000Bu);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = ksv::com::detail::Code(0x8002000Du);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = ksv::com::detail::Code(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = ksv::com::detail::Code(0x80040111u);
inline constexpr HRESULT CLASS_E_NOTLICENSED = ksv::com::detail::Code(0x80040112u);
inline constexpr HRESULT REGDB_E_READREGDB = ksv::com::detail::Code(0x80040150u);
inline constexpr HRESULT REGDB_E_WRITEREGDB = ksv::com::detail::Code(0x80040151u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = ksv::com::detail::Code(0x80040154u);
inline constexpr HRESULT REGDB_E_IIDNOTREG = ksv::com::detail::Code(0x80040155u);
inline constexpr HRESULT SELFREG_E_TYPELIB = ksv::com::detail::Code(0x80040200u);
inline constexpr HRESULT SELFREG_E_CLASS = ksv::com::detail::Code(0x80040201u);

inline constexpr HRESULT MK_E_NOOBJECT = ksv::com::detail::Code(0x800401E5u);
inline constexpr HRESULT MK_E_NOSTORAGE = ksv::com::detail::Code(0x800401EDu);
inline constexpr HRESULT CO_E_NOTINITIALIZED = ksv::com::detail::Code(0x800401F0u);
inline constexpr HRESULT CO_E_CLASSSTRING = ksv::com::detail::Code(0x800401F3u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = ksv::com::detail::Code(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = ksv::com::detail::Code(0x800401F9u);
