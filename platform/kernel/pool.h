// Non-paged pool: tagged allocations a driver makes at device start. Every
// live allocation is counted per tag, so tests can see that a device gives
// back all it took, and allocations can be made to fail on purpose.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/byte_order.h"

namespace ksv::platform::kernel {

enum POOL_TYPE { NonPagedPool = 0, PagedPool = 1 };

// A pool tag from its four characters as written ("Wdm "): the first
// character is the lowest byte.
constexpr uint32_t MakePoolTag(const char (&tag)[5]) {
  return support::FourCC(tag[0], tag[1], tag[2], tag[3]);
}

// Null when memory is short (or a failure was arranged). The memory is not
// cleared, as the kernel's is not.
void* ExAllocatePoolWithTag(POOL_TYPE type, size_t bytes, uint32_t tag);
// Frees null harmlessly. Freeing memory the pool did not hand out, or
// freeing twice, is a driver fault: the process stops with a message.
void ExFreePoolWithTag(void* memory, uint32_t tag);
void ExFreePool(void* memory);

struct PoolUsage {
  size_t allocations = 0;  // live
  size_t bytes = 0;        // live
};
PoolUsage PoolUsageOfTag(uint32_t tag);

// While alive, the allocation after the next `succeeding` ones fails (and
// only that one).
class ScopedPoolFailure {
 public:
  explicit ScopedPoolFailure(size_t succeeding);
  ~ScopedPoolFailure();
  ScopedPoolFailure(const ScopedPoolFailure&) = delete;
  ScopedPoolFailure& operator=(const ScopedPoolFailure&) = delete;
};

}  // namespace ksv::platform::kernel
