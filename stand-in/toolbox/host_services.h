// What the toolbox library offers the 4D host (not the package): the scheduler hook, the
// message pump, the frame window, and the resource files' life cycle.
#pragma once

#include <cstdint>

#include "host/toolbox.h"

extern "C" {
// The host's scheduler: YieldToHost pumps messages, then calls this (if set) so the host
// can switch to another cooperative process.
TOOLBOX_API void TBHost_SetYieldHandler(void (*handler)(void));

// Delivers every pending window message: each goes first to the registered message filter,
// and is dropped when the filter takes it (answers 0). On Linux this also turns waiting
// connections on sockets registered with SurfaceAsyncSelect into posted messages.
TOOLBOX_API void TBHost_PumpMessages(void);

// Idle wait: returns when a message may be pending or after timeoutMs milliseconds.
TOOLBOX_API void TBHost_WaitMessages(int32_t timeoutMs);

// Posts a message to a window's queue (PostMessage).
TOOLBOX_API int32_t TBHost_PostMessage(void* window, uint32_t message, uintptr_t wParam,
                                       intptr_t lParam);

// The host's frame window: the parent of every host window's native handle.
TOOLBOX_API void* TBHost_FrameWindow(void);

// Closes every open resource file and disposes of the resources read from them.
TOOLBOX_API void TBHost_CloseResFiles(void);
}
