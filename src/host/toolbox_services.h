// The toolbox services the package binds by name when it loads.
//
// The package never imports from the host's toolbox library: it finds each service in the
// library the host has already loaded, by the name in one table (toolbox_services.cpp), so a
// host whose library names a service differently is a one-line change there, and a library
// that lacks one still lets the package load. A service that is missing answers as the
// service does when it fails (the failure answers are in toolbox_binding.cpp and
// docs/behaviour-notes.md); the routines that need it fail and the others work.
#pragma once

#include <cstdint>

namespace nimbus::toolbox {

// Every service the package uses, in the table's order.
enum class Service : int32_t {
  NewHandle,
  NewHandleClear,
  DisposeHandle,
  GetHandleSize,
  SetHandleSize,
  HLock,
  HUnlock,
  HGetState,
  HSetState,
  MemError,
  NewPtr,
  NewPtrClear,
  DisposePtr,
  BlockMove,
  Munger,
  TickCount,
  DateToSeconds,
  SecondsToDate,
  NumToString,
  StringToNum,
  EqualString,
  GetNamedResource,
  YieldToHost,
  SetMessageFilter,
  ShowMessage,
  SysBeep,
  SetRect,
  NewHostWindow,
  HostWindowNative,
  DisposeHostWindow,
  NewGWorld,
  DisposeGWorld,
  GetGWorld,
  SetGWorld,
  GetGDevice,
  GetGWorldPixMap,
  LockPixels,
  UnlockPixels,
  ForeColor,
  BackColor,
  EraseRect,
  DrawPicture,
  CopyBits,
};
constexpr int32_t kServiceCount = int32_t(Service::CopyBits) + 1;

// One row of the table: the name the host's library exports the service under, and whether
// the package does its work without it (false: most routines fail when it is missing).
struct ServiceEntry {
  Service service;
  const char* exportName;
  bool packageWorksWithout;
};

// The table, kServiceCount rows in Service order.
const ServiceEntry& ServiceAt(int32_t index);

// Finds a service by its export name; null when the host's library has none.
using SymbolLookup = void* (*)(const char* exportName);

// Finds every service of the table again, through the test lookup when one is set, else in
// the host's loaded toolbox library. Load does it; a call through the binding before any load
// does it first. Answers how many services the package cannot work without are missing.
int32_t BindServices();

// The service's address, binding the table first if nothing has bound it yet; null when the
// service is missing.
void* ServiceAddress(Service service);
inline bool ServiceBound(Service service) {
  return ServiceAddress(service) != nullptr;
}

// Whether the host gives every drawing service an off-screen image needs.
bool DrawingServicesBound();

// Tests: answers services through lookup instead of the host's library (null restores the
// library). Takes effect at the next BindServices.
void SetSymbolLookupForTesting(SymbolLookup lookup);

}  // namespace nimbus::toolbox
