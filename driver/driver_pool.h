// The driver's pool memory: every buffer it holds comes from non-paged pool
// with the tag "Wdm ".
#pragma once

#include <cstdint>

#include "platform/kernel/pool.h"

namespace ksv::driver {

inline constexpr uint32_t kDriverPoolTag = platform::kernel::MakePoolTag("Wdm ");

// Zero-filled; null when memory is short.
void* AllocateDriverMemory(uint32_t bytes);
// Frees and clears the pointer; null is fine.
template <class T>
void FreeDriverMemory(T*& memory) {
  platform::kernel::ExFreePoolWithTag(memory, kDriverPoolTag);
  memory = nullptr;
}

}  // namespace ksv::driver
