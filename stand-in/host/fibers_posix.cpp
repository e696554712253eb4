// Fibers on POSIX: ucontext, with stacks mapped on demand below a guard page. Under
// AddressSanitizer every switch is announced to it, so that it follows the change of stack.
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <new>

#include "fibers.h"

#if defined(__SANITIZE_ADDRESS__)
#define NIMBUS_FIBER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NIMBUS_FIBER_ASAN 1
#endif
#endif

#ifdef NIMBUS_FIBER_ASAN
#include <sanitizer/common_interface_defs.h>
#endif

namespace standin {

struct Fiber {
  ucontext_t context;
  void* mapping = nullptr;  // guard page and stack; null for a thread's own fiber
  size_t mappingSize = 0;
  const void* stackBottom = nullptr;  // lowest usable address; null until known
  size_t stackSize = 0;
  void (*entry)(void*) = nullptr;
  void* argument = nullptr;
#ifdef NIMBUS_FIBER_ASAN
  void* fakeStack = nullptr;
#endif
};

namespace {

constexpr size_t kDefaultStack = size_t{8} << 20;  // what Linux gives a thread

size_t PageSize() {
  const long size = sysconf(_SC_PAGESIZE);
  return size > 0 ? size_t(size) : 4096;
}

// After arriving on a fiber: tells the sanitizer the switch is complete and learns the
// bounds of the stack we came from (the first time, a thread's own stack).
void FinishSwitch([[maybe_unused]] Fiber* arrived, [[maybe_unused]] Fiber* from) {
#ifdef NIMBUS_FIBER_ASAN
  const void* bottom = nullptr;
  size_t size = 0;
  __sanitizer_finish_switch_fiber(arrived->fakeStack, &bottom, &size);
  if (from != nullptr && from->stackBottom == nullptr) {
    from->stackBottom = bottom;
    from->stackSize = size;
  }
#endif
}

// The fiber being started and the one it was started from, for the trampoline: makecontext
// passes only ints, and only one thread starts a given fiber.
thread_local Fiber* tStarting = nullptr;
thread_local Fiber* tStarter = nullptr;

void Trampoline() {
  Fiber* self = tStarting;
  FinishSwitch(self, tStarter);
  self->entry(self->argument);
  // entry never returns (see fibers.h); if it did, nothing could follow.
  _exit(70);
}

}  // namespace

Fiber* AdoptThreadFiber() {
  return new (std::nothrow) Fiber;
}

void ReleaseThreadFiber(Fiber* thread) {
  delete thread;
}

Fiber* NewFiber(void (*entry)(void*), void* argument, size_t stackSize) {
  const size_t page = PageSize();
  const size_t stack = ((stackSize != 0 ? stackSize : kDefaultStack) + page - 1) / page * page;
  auto* fiber = new (std::nothrow) Fiber;
  if (fiber == nullptr) return nullptr;
  void* mapping = mmap(nullptr, stack + page, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (mapping == MAP_FAILED || getcontext(&fiber->context) != 0) {
    if (mapping != MAP_FAILED) munmap(mapping, stack + page);
    delete fiber;
    return nullptr;
  }
  mprotect(mapping, page, PROT_NONE);  // an overflow faults instead of corrupting memory
  fiber->mapping = mapping;
  fiber->mappingSize = stack + page;
  fiber->stackBottom = static_cast<char*>(mapping) + page;
  fiber->stackSize = stack;
  fiber->entry = entry;
  fiber->argument = argument;
  fiber->context.uc_stack.ss_sp = static_cast<char*>(mapping) + page;
  fiber->context.uc_stack.ss_size = stack;
  fiber->context.uc_link = nullptr;
  makecontext(&fiber->context, &Trampoline, 0);
  return fiber;
}

void DeleteFiber(Fiber* fiber) {
  if (fiber == nullptr) return;
  if (fiber->mapping != nullptr) munmap(fiber->mapping, fiber->mappingSize);
  delete fiber;
}

void SwitchFiber(Fiber* from, Fiber* to, [[maybe_unused]] bool last) {
#ifdef NIMBUS_FIBER_ASAN
  __sanitizer_start_switch_fiber(last ? nullptr : &from->fakeStack, to->stackBottom, to->stackSize);
#endif
  tStarting = to;
  tStarter = from;
  swapcontext(&from->context, &to->context);
  // Back on `from`, switched to by some other fiber.
  FinishSwitch(from, nullptr);
}

}  // namespace standin
