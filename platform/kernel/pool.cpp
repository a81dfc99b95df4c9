#include "platform/kernel/pool.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <unordered_map>

namespace ksv::platform::kernel {
namespace {

struct Allocation {
  size_t bytes;
  uint32_t tag;
};

struct Pool {
  std::mutex lock;
  std::unordered_map<void*, Allocation> live;
  std::map<uint32_t, PoolUsage> usage;
  long failAfter = -1;  // allocations still to succeed before one fails
};

Pool& ThePool() {
  static Pool pool;
  return pool;
}

[[noreturn]] void DriverFault(const char* what) {
  std::fprintf(stderr, "kernel: driver fault: %s\n", what);
  std::abort();
}

}  // namespace

void* ExAllocatePoolWithTag(POOL_TYPE, size_t bytes, uint32_t tag) {
  Pool& pool = ThePool();
  std::lock_guard guard(pool.lock);
  if (pool.failAfter == 0) {
    pool.failAfter = -1;
    return nullptr;
  }
  if (pool.failAfter > 0) --pool.failAfter;
  void* memory = std::malloc(bytes == 0 ? 1 : bytes);
  if (memory == nullptr) return nullptr;
  try {
    pool.live.emplace(memory, Allocation{bytes, tag});
  } catch (...) {
    std::free(memory);
    return nullptr;
  }
  PoolUsage& usage = pool.usage[tag];
  ++usage.allocations;
  usage.bytes += bytes;
  return memory;
}

void ExFreePoolWithTag(void* memory, uint32_t) { ExFreePool(memory); }

void ExFreePool(void* memory) {
  if (memory == nullptr) return;
  Pool& pool = ThePool();
  std::lock_guard guard(pool.lock);
  const auto found = pool.live.find(memory);
  if (found == pool.live.end()) DriverFault("freed memory the pool does not hold");
  PoolUsage& usage = pool.usage[found->second.tag];
  --usage.allocations;
  usage.bytes -= found->second.bytes;
  pool.live.erase(found);
  std::free(memory);
}

PoolUsage PoolUsageOfTag(uint32_t tag) {
  Pool& pool = ThePool();
  std::lock_guard guard(pool.lock);
  const auto found = pool.usage.find(tag);
  return found == pool.usage.end() ? PoolUsage{} : found->second;
}

ScopedPoolFailure::ScopedPoolFailure(size_t succeeding) {
  std::lock_guard guard(ThePool().lock);
  ThePool().failAfter = static_cast<long>(succeeding);
}

ScopedPoolFailure::~ScopedPoolFailure() {
  std::lock_guard guard(ThePool().lock);
  ThePool().failAfter = -1;
}

}  // namespace ksv::platform::kernel
