// Internal to the toolbox library: the relocatable-block store (blocks.cpp), shared with
// Munger, the resource reader, the yield and the test controls.
#pragma once

#include <cstdint>

#include "host/toolbox.h"

namespace toolbox {

// Records `error` as the answer of the next MemError call.
void SetLastBlockError(OSErr error);

// True when h is a live handle made by this library. Any value may be asked about: only the
// library's own memory is read.
bool IsLiveHandle(Handle h);

// SetHandleSize: answers the result, which is also recorded as the last block error.
OSErr ResizeBlock(Handle h, Size newSize);

// Moving mode: relocates up to `count` unlocked blocks, continuing the rotation where the
// previous call stopped (a yield calls this, as allocations do).
void MoveSomeBlocks(int count);

void SetMovingMode(bool on);
void SetAllocationBudget(int32_t count);
int32_t LiveHandleCount();
int32_t LivePointerCount();
// Calls that were given a handle or record this library does not know (disposed twice,
// never allocated): they do nothing and report nilHandleErr instead of touching memory.
int32_t UnknownBlockUseCount();

}  // namespace toolbox
