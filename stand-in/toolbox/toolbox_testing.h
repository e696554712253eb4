// Test-only controls of the stand-in toolbox library.
#pragma once

#include <cstdint>

#include "platform/abi.h"

extern "C" {
// Moving mode: unlocked blocks move on every resize, and some move at every allocation and
// yield; the old bytes are poisoned and freed.
TOOLBOX_API void TBTest_SetMovingMode(int32_t on);
// The next `count` allocations succeed, every later one fails with memFullErr; -1 lifts it.
TOOLBOX_API void TBTest_SetAllocationBudget(int32_t count);
// Live relocatable blocks and fixed records (for leak checks).
TOOLBOX_API int32_t TBTest_LiveHandles(void);
TOOLBOX_API int32_t TBTest_LivePointers(void);
// Block calls given a handle or record that is not live (never allocated, or disposed of):
// they did nothing and set nilHandleErr. Nonzero after a run means a stale handle was used.
TOOLBOX_API int32_t TBTest_UnknownBlockUses(void);
// Messages shown (ShowMessage) and beeps sounded since the last reset.
TOOLBOX_API int32_t TBTest_MessageCount(void);
TOOLBOX_API const char* TBTest_LastMessage(void);
TOOLBOX_API int32_t TBTest_BeepCount(void);
TOOLBOX_API void TBTest_ResetRecords(void);
}
