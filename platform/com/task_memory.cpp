#include "platform/com/task_memory.h"

#include <cstdlib>

void* CoTaskMemAlloc(size_t size) { return std::malloc(size > 0 ? size : 1); }

void* CoTaskMemRealloc(void* block, size_t size) {
  if (block == nullptr) return CoTaskMemAlloc(size);
  if (size == 0) {
    std::free(block);
    return nullptr;
  }
  return std::realloc(block, size);
}

void CoTaskMemFree(void* block) { std::free(block); }
