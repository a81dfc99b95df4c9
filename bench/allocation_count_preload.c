/* Counts a process's heap allocations (malloc, calloc, realloc,
 * posix_memalign, aligned_alloc and operator new, which calls malloc), for
 * a measurement of a program that cannot link a counter: loaded with
 * LD_PRELOAD, it writes the count to the file KSV_ALLOCATION_COUNT names
 * when the process exits. */
#define _GNU_SOURCE
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* block, size_t size);
extern void* __libc_memalign(size_t alignment, size_t size);

static atomic_long allocations;

void* malloc(size_t size) {
  atomic_fetch_add_explicit(&allocations, 1, memory_order_relaxed);
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  atomic_fetch_add_explicit(&allocations, 1, memory_order_relaxed);
  return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
  atomic_fetch_add_explicit(&allocations, 1, memory_order_relaxed);
  return __libc_realloc(block, size);
}

int posix_memalign(void** block, size_t alignment, size_t size) {
  atomic_fetch_add_explicit(&allocations, 1, memory_order_relaxed);
  *block = __libc_memalign(alignment, size);
  return *block == NULL ? 12 /* ENOMEM */ : 0;
}

void* aligned_alloc(size_t alignment, size_t size) {
  atomic_fetch_add_explicit(&allocations, 1, memory_order_relaxed);
  return __libc_memalign(alignment, size);
}

__attribute__((destructor)) static void WriteCount(void) {
  const char* path = getenv("KSV_ALLOCATION_COUNT");
  if (path == NULL) return;
  FILE* file = fopen(path, "w");
  if (file == NULL) return;
  fprintf(file, "%ld\n", atomic_load(&allocations));
  fclose(file);
}
