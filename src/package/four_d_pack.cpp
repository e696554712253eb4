// FourDPack: the package's one entry point. Load creates the global record and starts the
// Winsock session; unload releases every stream, the queues and the session; every other
// selector runs its row of the routine table.
#include "gif/gif.h"
#include "host/toolbox_services.h"
#include "net/session.h"
#include "net/streams.h"
#include "package/fourd_abi.h"
#include "package/globals.h"
#include "package/routine_table.h"
#include "queues/queues.h"

namespace nimbus {
namespace {

PackageGlobals* GlobalsOf(Handle* globalsVariable) {
  if (globalsVariable == nullptr || *globalsVariable == nullptr) return nullptr;
  return reinterpret_cast<PackageGlobals*>(**globalsVariable);
}

// Shown at load when the host's toolbox library lacks a service most routines need.
constexpr const char* kMissingServicesMessage =
    "Nimbus.4DX: the host's toolbox library lacks services the package needs; the routines "
    "that use them will fail.";

void Load(Handle* globalsVariable) {
  // The toolbox services are found by name in the library the host has loaded; a missing
  // one never stops the load.
  if (toolbox::BindServices() > 0) ShowMessage(kMissingServicesMessage);
  // Without a global record the package still loads: every reference is then bad and every
  // open answers 0.
  Handle block = NewHandleClear(sizeof(PackageGlobals));
  if (block != nullptr) HLock(block);  // for good: slot addresses must survive yields
  if (globalsVariable != nullptr) *globalsVariable = block;
  const int32_t status = StartWinsockSession();
  if (block != nullptr && globalsVariable != nullptr) {
    GlobalsOf(globalsVariable)->sessionStartStatus = status;
  } else if (block != nullptr) {
    DisposeHandle(block);  // nowhere to keep it
  }
}

void Unload(Handle* globalsVariable) {
  if (PackageGlobals* globals = GlobalsOf(globalsVariable)) {
    for (StreamRecord*& slot : globals->slots) {
      if (slot != nullptr) ReleaseStream(&slot);
    }
    DisposeQueueTable(globals->queues);
    // The PackageGlobals block itself is the host's to dispose of after this call: a host
    // that disposes of it as well would otherwise free it twice when 4D quits.
  }
  EndWinsockSession();
  ReleaseGifEncoder();  // the code table is kept from one encoding to the next
}

}  // namespace
}  // namespace nimbus

extern "C" NIMBUS_EXPORT void NIMBUS_CALL FourDPack(int32_t selector, void** params,
                                                    Handle* globals, FourDResult* result) {
  using namespace nimbus;
  try {
    if (selector == kSelectorLoad) {
      Load(globals);
      return;
    }
    if (selector == kSelectorUnload) {
      Unload(globals);
      return;
    }
    const RoutineAdapter run = FindRoutine(selector);
    if (run == nullptr || result == nullptr) return;
    run(RoutineCall{params, GlobalsOf(globals), result});
  } catch (...) {
    // Nothing the package does throws on purpose; whatever escapes must not reach 4D.
  }
}
