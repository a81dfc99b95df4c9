// The task allocator: memory that one side of an interface allocates and
// the other frees (strings handed out by COM calls and the like).
#pragma once

#include <cstddef>

/* A block of `size` bytes (a valid, distinct pointer even for 0); null when
 * memory runs out. */
void* CoTaskMemAlloc(size_t size);
/* Resizes a block: a null `block` allocates, a size of 0 frees and gives
 * null; on failure the old block is left as it was and null is returned. */
void* CoTaskMemRealloc(void* block, size_t size);
/* Frees a block; null is ignored. */
void CoTaskMemFree(void* block);
