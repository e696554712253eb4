// How a translation unit sees the toolbox services declared in host/toolbox.h and
// host/toolbox_drawing.h.
//
// The stand-in library, the hosts and the tests that drive the toolbox directly see them as
// the library's C exports. The package's own code (built with NIMBUS_TOOLBOX_BOUND) sees them
// as functions of its binding (host/toolbox_binding.cpp), which call the export of the same
// name found in the host's library at load (host/toolbox_services.h). The package therefore
// imports nothing from that library: a host whose library lacks or renames a service still
// loads it, and the call sites keep the classic names.
#pragma once

#include "platform/abi.h"

#ifdef NIMBUS_TOOLBOX_BOUND
#define TOOLBOX_SERVICES_BEGIN namespace nimbus::toolbox {
#define TOOLBOX_SERVICES_END \
  }                          \
  using namespace nimbus::toolbox;
#define TOOLBOX_SERVICE
#else
#define TOOLBOX_SERVICES_BEGIN extern "C" {
#define TOOLBOX_SERVICES_END }
#define TOOLBOX_SERVICE TOOLBOX_API
#endif
