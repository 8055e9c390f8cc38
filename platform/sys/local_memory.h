// Movable memory blocks addressed by handle, as the clipboard exchanges them:
// the caller allocates, locks to write, and hands the handle over.
#pragma once

#include <cstddef>

#include "platform/types.h"

struct HLOCAL__;
using HLOCAL = HLOCAL__*;

constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_MOVEABLE = 0x0002;
constexpr UINT LMEM_ZEROINIT = 0x0040;
constexpr UINT LHND = LMEM_MOVEABLE | LMEM_ZEROINIT;
constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;

// nullptr when the size cannot be had. The block stays until LocalFree.
HLOCAL LocalAlloc(UINT flags, size_t bytes);
// nullptr on success; the handle itself when it is not a live block.
HLOCAL LocalFree(HLOCAL mem);
// The block's bytes (nullptr for a handle that is not a live block).
void* LocalLock(HLOCAL mem);
bool LocalUnlock(HLOCAL mem);
size_t LocalSize(HLOCAL mem);
