// The few Windows services that POSIX lacks, which the stand-in toolbox library provides on
// Linux: a window's parent, and readiness notification of listening sockets posted to a
// window as a message (as WSAAsyncSelect does with FD_ACCEPT).
#pragma once

#include <cstdint>

#include "platform/abi.h"

extern "C" {
TOOLBOX_API void* SurfaceGetParent(void* window);
// Posts message to window whenever the socket has an incoming connection waiting; events 0
// cancels. Answers 0, or -1 for an unknown window.
TOOLBOX_API int32_t SurfaceAsyncSelect(intptr_t socket, void* window, uint32_t message,
                                       int32_t events);
}
