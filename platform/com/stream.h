// ISequentialStream and IStream: a byte stream with a seek pointer. The
// media framework uses it where a filter writes at chosen positions of what
// a downstream file sink holds (a multiplexer writing its index and headers
// when the graph stops). Objects implement what their callers need and
// answer E_NOTIMPL (STG_E_INVALIDFUNCTION for locking) for the rest.
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"

typedef uint64_t ULONGLONG;

struct ISequentialStream : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("0C733A30-2A1C-11CE-ADE5-00AA0044773D");
  // `read` / `written` (may be null) receive the byte count; S_FALSE when
  // fewer bytes than asked were read.
  virtual HRESULT Read(void* buffer, ULONG size, ULONG* read) = 0;
  virtual HRESULT Write(const void* buffer, ULONG size, ULONG* written) = 0;

 protected:
  ~ISequentialStream() = default;
};

// Seek origins.
inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

// Commit flags.
inline constexpr DWORD STGC_DEFAULT = 0;

inline constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001);
inline constexpr HRESULT STG_E_INVALIDPOINTER = static_cast<HRESULT>(0x80030009);
inline constexpr HRESULT STG_E_WRITEFAULT = static_cast<HRESULT>(0x8003001D);
inline constexpr HRESULT STG_E_MEDIUMFULL = static_cast<HRESULT>(0x80030070);
inline constexpr HRESULT STG_E_REVERTED = static_cast<HRESULT>(0x80030102);

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
};
union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  ULONGLONG QuadPart;
};

struct STATSTG;  // Stat is not offered by the framework's streams

struct IStream : ISequentialStream {
  static constexpr IID kIid = ksv::com::Guid("0000000C-0000-0000-C000-000000000046");
  virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) = 0;
  virtual HRESULT SetSize(ULARGE_INTEGER size) = 0;
  virtual HRESULT CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                         ULARGE_INTEGER* written) = 0;
  // Makes what was written permanent (for a file sink: the file appears
  // under its name).
  virtual HRESULT Commit(DWORD flags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) = 0;
  virtual HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) = 0;
  virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
  virtual HRESULT Clone(IStream** copy) = 0;

 protected:
  ~IStream() = default;
};

inline constexpr IID IID_ISequentialStream = ISequentialStream::kIid;
inline constexpr IID IID_IStream = IStream::kIid;
