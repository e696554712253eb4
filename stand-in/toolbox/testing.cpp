// Test-only controls: moving mode, allocation budget, live counts, recorded messages and beeps.
#include <mutex>
#include <string>

#include "block_store.h"
#include "messages_internal.h"
#include "toolbox_testing.h"

extern "C" {

TOOLBOX_API void TBTest_SetMovingMode(int32_t on) {
  toolbox::SetMovingMode(on != 0);
}

TOOLBOX_API void TBTest_SetAllocationBudget(int32_t count) {
  toolbox::SetAllocationBudget(count);
}

TOOLBOX_API int32_t TBTest_LiveHandles(void) {
  return toolbox::LiveHandleCount();
}

TOOLBOX_API int32_t TBTest_LivePointers(void) {
  return toolbox::LivePointerCount();
}

TOOLBOX_API int32_t TBTest_UnknownBlockUses(void) {
  return toolbox::UnknownBlockUseCount();
}

TOOLBOX_API int32_t TBTest_MessageCount(void) {
  return toolbox::MessageCount();
}

TOOLBOX_API const char* TBTest_LastMessage(void) {
  // The answer stays valid until the next call (tests read it at once).
  static std::mutex mutex;
  static std::string last;
  std::lock_guard<std::mutex> guard(mutex);
  last = toolbox::LastMessage();
  return last.c_str();
}

TOOLBOX_API int32_t TBTest_BeepCount(void) {
  return toolbox::BeepCount();
}

TOOLBOX_API void TBTest_ResetRecords(void) {
  toolbox::ResetRecords();
}

}  // extern "C"
