#pragma once

// Movable global memory blocks shared by the program, the source manager and the data
// sources (one shared library, so a block allocated by one module can be freed by another).
// A handle is opaque; every call checks it against the live blocks, so a stale or foreign
// handle is answered with a failure, never dereferenced.

#include <cstddef>

#define VELA_GLOBALMEMORY_API extern "C" __attribute__((visibility("default")))

using HGLOBAL = void*;

// A new zero-filled block of size bytes; null when the memory is not available.
VELA_GLOBALMEMORY_API HGLOBAL GlobalAlloc(std::size_t size);
// The block's address while it is locked (locks nest); null for an unknown handle.
VELA_GLOBALMEMORY_API void* GlobalLock(HGLOBAL handle);
// True while the block stays locked after this call.
VELA_GLOBALMEMORY_API bool GlobalUnlock(HGLOBAL handle);
// The block's size in bytes; 0 for an unknown handle.
VELA_GLOBALMEMORY_API std::size_t GlobalSize(HGLOBAL handle);
// Frees the block; answers null on success and the handle when it was not a live block.
VELA_GLOBALMEMORY_API HGLOBAL GlobalFree(HGLOBAL handle);
