// Where the bulk library's camera memory comes from. A camera on the
// machine offers its stored items under kStoredItemSourceInterface (a
// hardware module, see platform/hardware); a memory image file replays a
// recorded camera through the same interface.
#pragma once

#include <mutex>

#include "outside/bulk/memory/camera_memory.h"

namespace ksv::outside::bulk {

inline constexpr const char* kStoredItemSourceInterface = "bulk.StoredItemSource";

// The memory held for one caller: nobody else reads or erases it while the
// access lives.
class MemoryAccess {
 public:
  MemoryAccess(std::mutex& lock, CameraMemory& memory) : hold_(lock), memory_(memory) {}
  CameraMemory& operator*() const { return memory_; }
  CameraMemory* operator->() const { return &memory_; }

 private:
  std::unique_lock<std::mutex> hold_;
  CameraMemory& memory_;
};

class StoredItemSource {
 public:
  virtual ~StoredItemSource() = default;
  // The camera's memory: the bulk library reads its items and erases them
  // through it.
  virtual MemoryAccess Access() = 0;
};

// A source that keeps the memory itself: a recorded camera, or the memory
// of a camera made in this process.
class HeldMemory final : public StoredItemSource {
 public:
  explicit HeldMemory(CameraMemory memory) : memory_(std::move(memory)) {}
  MemoryAccess Access() override { return MemoryAccess(lock_, memory_); }

 private:
  std::mutex lock_;
  CameraMemory memory_;
};

}  // namespace ksv::outside::bulk
