// What FourDPack receives from 4D: the one header shared by the package and every host.
// Every 4D parameter arrives as the address of its value; results go through a slot. The
// shapes of the values themselves sit below the subsystems, in host/fourd_params.h.
#pragma once

#include <cstdint>

#include "host/fourd_params.h"
#include "host/toolbox.h"
#include "platform/abi.h"

// Selectors of the two life-cycle calls; routine numbers run from 2 to 58.
constexpr int32_t kSelectorLoad = -1;
constexpr int32_t kSelectorUnload = -2;

// selector; the list of parameter addresses; the globals variable (holds the handle of
// the package's global record between calls); the result slot.
using FourDPackProc = void(NIMBUS_CALL*)(int32_t selector, void** params, Handle* globals,
                                         FourDResult* result);

extern "C" NIMBUS_EXPORT void NIMBUS_CALL FourDPack(int32_t selector, void** params,
                                                    Handle* globals, FourDResult* result);
