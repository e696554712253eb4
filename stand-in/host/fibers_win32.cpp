// Fibers on Windows: the system's own (ConvertThreadToFiber, CreateFiberEx, SwitchToFiber),
// with the floating-point state switched too.
#include <windows.h>

#include <new>

#include "fibers.h"

namespace standin {

struct Fiber {
  void* handle = nullptr;
  bool converted = false;  // made a fiber from the thread here, so turned back at release
  void (*entry)(void*) = nullptr;
  void* argument = nullptr;
};

namespace {

void CALLBACK Start(void* parameter) {
  auto* self = static_cast<Fiber*>(parameter);
  self->entry(self->argument);
  ExitProcess(70);  // entry never returns (see fibers.h)
}

}  // namespace

Fiber* AdoptThreadFiber() {
  auto* fiber = new (std::nothrow) Fiber;
  if (fiber == nullptr) return nullptr;
  if (IsThreadAFiber()) {
    // GetCurrentFiber reads the thread block through the fs segment; GCC 12 takes that read
    // for an access past a zero-length array.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    fiber->handle = GetCurrentFiber();
#pragma GCC diagnostic pop
  } else {
    fiber->handle = ConvertThreadToFiberEx(nullptr, FIBER_FLAG_FLOAT_SWITCH);
    fiber->converted = fiber->handle != nullptr;
  }
  if (fiber->handle == nullptr) {
    delete fiber;
    return nullptr;
  }
  return fiber;
}

void ReleaseThreadFiber(Fiber* thread) {
  if (thread == nullptr) return;
  if (thread->converted) ConvertFiberToThread();
  delete thread;
}

Fiber* NewFiber(void (*entry)(void*), void* argument, size_t stackSize) {
  auto* fiber = new (std::nothrow) Fiber;
  if (fiber == nullptr) return nullptr;
  fiber->entry = entry;
  fiber->argument = argument;
  // A stack size of 0 reserves what the executable asks for its threads.
  fiber->handle = CreateFiberEx(0, stackSize, FIBER_FLAG_FLOAT_SWITCH, &Start, fiber);
  if (fiber->handle == nullptr) {
    delete fiber;
    return nullptr;
  }
  return fiber;
}

void DeleteFiber(Fiber* fiber) {
  if (fiber == nullptr) return;
  if (fiber->handle != nullptr) ::DeleteFiber(fiber->handle);
  delete fiber;
}

void SwitchFiber(Fiber*, Fiber* to, bool) {
  SwitchToFiber(to->handle);
}

}  // namespace standin
