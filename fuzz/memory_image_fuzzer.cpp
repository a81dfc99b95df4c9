// Any bytes given to the camera memory image reader give a memory or a
// clear failure, never a read outside the input; a memory it accepts can be
// shown in both of the bulk library's views.
#include <cstddef>
#include <cstdint>
#include <span>

#include "simcam/memory_image.h"
#include "simcam/per_item_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ksv::simcam::CameraMemory memory;
  try {
    memory = ksv::simcam::ReadMemoryImage(std::span<const uint8_t>(data, size));
  } catch (const ksv::simcam::MemoryImageError&) {
    return 0;
  }
  for (const ksv::simcam::StoredItem& item : memory.items) {
    if (ksv::simcam::PerItemBytes(item).size() != ksv::simcam::PerItemSize(item)) __builtin_trap();
  }
  if (ksv::simcam::StreamBytes(memory).size() != ksv::simcam::StreamSize(memory)) __builtin_trap();
  return 0;
}
