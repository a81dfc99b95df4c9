// Any bytes given to the camera memory image reader give a memory or a
// clear failure, never a read outside the input; a memory it accepts can be
// shown in both of the bulk library's views.
#include <cstddef>
#include <cstdint>
#include <span>

#include "outside/bulk/memory/memory_image.h"
#include "outside/bulk/memory/per_item_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ksv::outside::bulk::CameraMemory memory;
  try {
    memory = ksv::outside::bulk::ReadMemoryImage(std::span<const uint8_t>(data, size));
  } catch (const ksv::outside::bulk::MemoryImageError&) {
    return 0;
  }
  for (const ksv::outside::bulk::StoredItem& item : memory.items) {
    if (ksv::outside::bulk::PerItemBytes(item).size() != ksv::outside::bulk::PerItemSize(item)) __builtin_trap();
  }
  if (ksv::outside::bulk::StreamBytes(memory).size() != ksv::outside::bulk::StreamSize(memory)) __builtin_trap();
  return 0;
}
