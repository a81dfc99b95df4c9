// Stand-in for the Win32 global-memory functions. Libraries hand bitmaps to
// their callers as global-memory blocks, and the callers free them, so every
// block of the process goes through this one table.
//
// Every block is zero-filled. A movable block's handle is not its address:
// GlobalLock gives the address. A fixed block's handle is its address, as on
// Windows. Unknown or already freed handles are refused, never dereferenced.
#pragma once

// The C declarations programs see; the compiler checks they match these.
#include "include/win32_calls.h"
#include "include/win32_types.h"

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

extern "C" {

// A new block of `bytes` bytes, or null when memory is short, `bytes` is
// above 1 GiB, or a flag other than GMEM_MOVEABLE and GMEM_ZEROINIT is given.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);

// The block's address (the same one for the block's life), counting one
// more lock; null for an unknown handle.
LPVOID GlobalLock(HGLOBAL block);

// Counts one lock less. TRUE while the block stays locked; FALSE once the
// count reaches 0, and for an unlocked block or an unknown handle.
BOOL GlobalUnlock(HGLOBAL block);

// Frees the block, locked or not. Null on success; the handle itself when it
// is unknown (including a second free).
HGLOBAL GlobalFree(HGLOBAL block);

// The block's size in bytes; 0 for an unknown handle.
SIZE_T GlobalSize(HGLOBAL block);

}  // extern "C"
