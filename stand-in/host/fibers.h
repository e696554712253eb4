// Fibers: execution contexts with stacks of their own, switched explicitly on one thread.
// The host runs each cooperative 4D process as a fiber of the thread that made the host, so
// a switch between processes is a few register saves, not a wake-up of another thread, and
// exactly one process runs at a time by construction. ucontext on POSIX, Windows fibers on
// Windows.
#pragma once

#include <cstddef>

namespace standin {

struct Fiber;

// The calling thread as a fiber, so that it can switch to others and be switched back to.
// Answers null when the thread cannot be made a fiber. Release it on the same thread, once
// every other fiber it switched to has been deleted.
Fiber* AdoptThreadFiber();
void ReleaseThreadFiber(Fiber* thread);

// A new fiber that runs entry(argument) when first switched to. entry must never return:
// a fiber that is done switches away for the last time and is deleted by another.
// stackSize 0 means the system's usual stack size for a thread. Null when it cannot be had.
Fiber* NewFiber(void (*entry)(void*), void* argument, size_t stackSize);
void DeleteFiber(Fiber* fiber);

// Saves the running fiber's context in `from` and resumes `to`. `last` says that `from`
// will never be resumed (it is done), so what it keeps for its return may go.
void SwitchFiber(Fiber* from, Fiber* to, bool last = false);

}  // namespace standin
