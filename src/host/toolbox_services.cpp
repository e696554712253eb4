// The table of toolbox services and their binding: every service the package uses, by the
// name the host's toolbox library exports it under, found when the package loads.
#include "host/toolbox_services.h"

#include "platform/host_library.h"

namespace nimbus::toolbox {
namespace {

// The host's toolbox library, which the host has loaded before it loads the package.
constexpr const char* kToolboxLibrary = "ASINTPPC";

using S = Service;
// To follow a host that exports a service under another name, change its name here.
constexpr ServiceEntry kTable[kServiceCount] = {
    {S::NewHandle, "NewHandle", false},
    {S::NewHandleClear, "NewHandleClear", false},
    {S::DisposeHandle, "DisposeHandle", false},
    {S::GetHandleSize, "GetHandleSize", false},
    {S::SetHandleSize, "SetHandleSize", false},
    {S::HLock, "HLock", false},
    {S::HUnlock, "HUnlock", true},
    {S::HGetState, "HGetState", false},
    {S::HSetState, "HSetState", false},
    {S::MemError, "MemError", false},
    {S::NewPtr, "NewPtr", true},
    {S::NewPtrClear, "NewPtrClear", false},
    {S::DisposePtr, "DisposePtr", false},
    {S::BlockMove, "BlockMove", true},
    {S::Munger, "Munger", true},
    {S::TickCount, "TickCount", true},
    {S::DateToSeconds, "DateToSeconds", true},
    {S::SecondsToDate, "SecondsToDate", true},
    {S::NumToString, "NumToString", true},
    {S::StringToNum, "StringToNum", true},
    {S::EqualString, "EqualString", true},
    {S::GetNamedResource, "GetNamedResource", true},
    {S::YieldToHost, "YieldToHost", true},
    {S::SetMessageFilter, "SetMessageFilter", true},
    {S::ShowMessage, "ShowMessage", true},
    {S::SysBeep, "SysBeep", true},
    {S::SetRect, "SetRect", true},
    {S::NewHostWindow, "NewHostWindow", true},
    {S::HostWindowNative, "HostWindowNative", true},
    {S::DisposeHostWindow, "DisposeHostWindow", true},
    {S::NewGWorld, "NewGWorld", true},
    {S::DisposeGWorld, "DisposeGWorld", true},
    {S::GetGWorld, "GetGWorld", true},
    {S::SetGWorld, "SetGWorld", true},
    {S::GetGDevice, "GetGDevice", true},
    {S::GetGWorldPixMap, "GetGWorldPixMap", true},
    {S::LockPixels, "LockPixels", true},
    {S::UnlockPixels, "UnlockPixels", true},
    {S::ForeColor, "ForeColor", true},
    {S::BackColor, "BackColor", true},
    {S::EraseRect, "EraseRect", true},
    {S::DrawPicture, "DrawPicture", true},
    {S::CopyBits, "CopyBits", true},
};

constexpr bool RowsFollowServiceOrder() {
  for (int32_t i = 0; i < kServiceCount; ++i) {
    if (int32_t(kTable[i].service) != i) return false;
  }
  return true;
}
static_assert(RowsFollowServiceOrder(), "one row per service, in Service order");

// Plain namespace-scope data, constant-initialised: no guard, no constructor at load.
void* gAddresses[kServiceCount] = {};
bool gBound = false;
SymbolLookup gTestLookup = nullptr;

void* FindInToolboxLibrary(const char* exportName) {
  return platform::HostLibrarySymbol(kToolboxLibrary, exportName);
}

}  // namespace

const ServiceEntry& ServiceAt(int32_t index) {
  return kTable[index];
}

int32_t BindServices() {
  const SymbolLookup lookup = gTestLookup != nullptr ? gTestLookup : FindInToolboxLibrary;
  int32_t essentialMissing = 0;
  for (int32_t i = 0; i < kServiceCount; ++i) {
    gAddresses[i] = lookup(kTable[i].exportName);
    if (gAddresses[i] == nullptr && !kTable[i].packageWorksWithout) ++essentialMissing;
  }
  gBound = true;
  return essentialMissing;
}

void* ServiceAddress(Service service) {
  if (!gBound) BindServices();
  return gAddresses[int32_t(service)];
}

bool DrawingServicesBound() {
  for (int32_t i = int32_t(Service::NewGWorld); i <= int32_t(Service::CopyBits); ++i) {
    if (ServiceAddress(Service(i)) == nullptr) return false;
  }
  return true;
}

void SetSymbolLookupForTesting(SymbolLookup lookup) {
  gTestLookup = lookup;
}

}  // namespace nimbus::toolbox
