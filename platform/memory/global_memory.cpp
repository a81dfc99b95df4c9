#include "platform/memory/global_memory.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

// A 32-bit Windows process could never hold more in one block; refusing
// early also keeps absurd sizes away from the allocator.
constexpr SIZE_T kMaxBlockBytes = SIZE_T{1} << 30;

struct Block {
  void* data = nullptr;
  SIZE_T size = 0;
  unsigned locks = 0;
};

// Every live block by handle. A handle is looked up before it is used, so a
// stale or invented handle is an error and not a wild pointer.
class BlockTable {
 public:
  HGLOBAL Add(UINT flags, SIZE_T bytes) {
    // calloc of 0 may give null; one byte keeps every block addressable.
    void* data = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (data == nullptr) return nullptr;
    // A movable handle needs an address of its own that is not a data block.
    void* handle = data;
    if ((flags & GMEM_MOVEABLE) != 0) {
      handle = std::malloc(1);
      if (handle == nullptr) {
        std::free(data);
        return nullptr;
      }
    }
    std::lock_guard lock(mutex_);
    try {
      blocks_.emplace(handle, Block{data, bytes, 0});
    } catch (const std::bad_alloc&) {
      if (handle != data) std::free(handle);
      std::free(data);
      return nullptr;
    }
    return handle;
  }

  // action(block) under the table's lock, or `unknown` for an unknown handle.
  template <typename Result, typename Action>
  Result With(HGLOBAL handle, Result unknown, Action action) {
    std::lock_guard lock(mutex_);
    auto found = blocks_.find(handle);
    if (found == blocks_.end()) return unknown;
    return action(found->second);
  }

  bool Remove(HGLOBAL handle) {
    Block block;
    {
      std::lock_guard lock(mutex_);
      auto found = blocks_.find(handle);
      if (found == blocks_.end()) return false;
      block = found->second;
      blocks_.erase(found);
    }
    if (handle != block.data) std::free(handle);
    std::free(block.data);
    return true;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<HGLOBAL, Block> blocks_;
};

BlockTable& Table() {
  // Never destroyed: blocks may be freed from static destructors of other
  // modules. Made in static storage, so that the first GlobalAlloc of a
  // process allocates nothing but its block and fails, when memory is
  // short, by returning null like any other.
  alignas(BlockTable) static unsigned char storage[sizeof(BlockTable)];
  static BlockTable* table = new (storage) BlockTable;
  return *table;
}

}  // namespace

extern "C" {

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  if ((flags & ~(GMEM_MOVEABLE | GMEM_ZEROINIT)) != 0 || bytes > kMaxBlockBytes) return nullptr;
  return Table().Add(flags, bytes);
}

LPVOID GlobalLock(HGLOBAL block) {
  return Table().With(block, LPVOID{nullptr}, [](Block& b) {
    ++b.locks;
    return b.data;
  });
}

BOOL GlobalUnlock(HGLOBAL block) {
  return Table().With(block, BOOL{FALSE}, [](Block& b) -> BOOL {
    if (b.locks == 0) return FALSE;
    --b.locks;
    return b.locks > 0 ? TRUE : FALSE;
  });
}

HGLOBAL GlobalFree(HGLOBAL block) { return Table().Remove(block) ? nullptr : block; }

SIZE_T GlobalSize(HGLOBAL block) {
  return Table().With(block, SIZE_T{0}, [](Block& b) { return b.size; });
}

}  // extern "C"
