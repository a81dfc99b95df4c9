// IAMBufferNegotiation: how an application asks a capture pin for the
// number and size of its buffers before it connects (latency of a live
// source), and reads what the connection settled on.
#pragma once

#include "platform/com/unknown.h"
#include "platform/media/sample_interfaces.h"

struct IAMBufferNegotiation : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("56ED71A0-AF5F-11D0-B3F0-00AA003761C5");
  // Fields of -1 (or 0) are left to the pin; call before connecting.
  virtual HRESULT SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* properties) = 0;
  // What the connection's allocator uses.
  virtual HRESULT GetAllocatorProperties(ALLOCATOR_PROPERTIES* properties) = 0;

 protected:
  ~IAMBufferNegotiation() = default;
};

inline constexpr IID IID_IAMBufferNegotiation = IAMBufferNegotiation::kIid;
