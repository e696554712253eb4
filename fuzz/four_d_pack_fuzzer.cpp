// FourDPack itself: sequences of calls with fuzzed selectors and parameter values, in one
// load of the package, mixed with what the far ends of its connections do, with other 4D
// processes calling in during its yields, and with allocations and file calls that fail.
// Texts and blocks take any length up to 32767 bytes (four_d_pack/fuzzed_call.cpp).
//
// Every routine runs, over loopback only (four_d_pack/loopback_world.h) and with files kept
// in memory (four_d_pack/memory_files.h). Routines that wait are ended the way another 4D
// process would end them: after kYieldsBeforeRelease yields within one call, the stream the
// call works on is released from inside the yield. Another process's call runs whole inside
// one yield, so PictureToGIF, which waits for an encoding under way, is never one of those.
//
// Properties checked after each input: no sanitizer report; the open-stream count equals
// the occupied slots after every call; routines without a result leave the slot alone;
// after the unload every block, record, descriptor and file is given back.
#include <dirent.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "four_d_pack/fuzzed_call.h"
#include "four_d_pack/loopback_world.h"
#include "four_d_pack/memory_files.h"
#include "four_d_pack/peers.h"
#include "package/fourd_abi.h"
#include "package/globals.h"
#include "support/fuzz_support.h"
#include "toolbox/host_services.h"
#include "toolbox/toolbox_testing.h"

namespace {

using namespace nimbus;
using nimbus::fuzz::Check;
using nimbus::fuzz::Fail;
using nimbus::fuzz::FuzzedCall;

constexpr int kMostSteps = 48;
constexpr int kYieldsBeforeRelease = 300;
constexpr int kMostYieldsPerCall = kYieldsBeforeRelease + 20000;
constexpr int32_t kSelectorStreamRelease = 5;
constexpr int32_t kSelectorPictureToGIF = 46;

Handle gGlobals = nullptr;
bool gLoaded = false;
fuzz::Peers* gPeers = nullptr;

// The calls under way, outermost first: the fuzzer's own, and the one another process makes
// during its yields.
struct ActiveCall {
  FuzzedCall* call;
  int yields = 0;
  bool releasedItsStream = false;
};
std::vector<ActiveCall> gActive;
std::unique_ptr<FuzzedCall> gNested;  // runs at the first yield of the next call
bool gInHandler = false;

void Call(FuzzedCall& call);

void ReleaseStreamOf(const FuzzedCall& call) {
  int32_t reference = *call.reference();
  int32_t unused = 0;
  void* params[] = {&reference, &unused};
  FourDResult result{};
  FourDPack(kSelectorStreamRelease, params, &gGlobals, &result);
}

// The host's scheduler: the far ends move, another process may call in, and a call that
// keeps waiting has its stream released.
void OnYield() {
  if (gInHandler || gActive.empty()) return;
  gInHandler = true;
  gPeers->Pump();
  ActiveCall& current = gActive.back();
  ++current.yields;
  if (gNested && gActive.size() == 1) {
    std::unique_ptr<FuzzedCall> nested = std::move(gNested);
    gInHandler = false;  // the nested call's own yields are handled as any call's
    Call(*nested);
    gInHandler = true;
  }
  ActiveCall& waiting = gActive.back();
  if (waiting.yields > kYieldsBeforeRelease && !waiting.releasedItsStream &&
      waiting.call->reference()) {
    waiting.releasedItsStream = true;
    ReleaseStreamOf(*waiting.call);
  }
  if (waiting.yields > kMostYieldsPerCall) {
    Fail("selector " + std::to_string(waiting.call->selector()) +
         " goes on yielding after its stream was released");
  }
  gInHandler = false;
}

void CheckOpenStreamCount() {
  if (gGlobals == nullptr) return;
  const auto* globals = reinterpret_cast<const PackageGlobals*>(*gGlobals);
  int32_t occupied = 0;
  for (int32_t slot = 0; slot < kSlotCount; ++slot) occupied += globals->slots[slot] != nullptr;
  Check(globals->slots[0] == nullptr, "slot 0 was used");
  Check(globals->openStreamCount == occupied,
        "open-stream count " + std::to_string(globals->openStreamCount) + " with " +
            std::to_string(occupied) + " slots occupied");
}

// NIMBUS_FUZZ_TRACE=1 in the environment prints every call, to read a finding's steps.
bool Tracing() {
  static const bool tracing = std::getenv("NIMBUS_FUZZ_TRACE") != nullptr;
  return tracing;
}

void Call(FuzzedCall& call) {
  gActive.push_back({&call});
  if (Tracing()) {
    std::fprintf(stderr, "%*scall %d ref %d\n", int(gActive.size()) * 2, "", call.selector(),
                 call.reference().value_or(0));
  }
  FourDPack(call.selector(), call.params(), &gGlobals, call.result());
  if (Tracing()) {
    std::fprintf(stderr, "%*s-> %d (%d yields)\n", int(gActive.size()) * 2, "",
                 call.result()->longint, gActive.back().yields);
  }
  gActive.pop_back();
  call.CheckResultSlot();
  CheckOpenStreamCount();
}

// With pick's top bit set, the global record cannot be allocated: the package must still
// load, and answer every later call as it says.
void Load(uint32_t pick) {
  if (Tracing()) std::fprintf(stderr, "load\n");
  FourDResult result{};
  const bool starved = (pick & 0x80) != 0;
  if (starved) TBTest_SetAllocationBudget(0);
  FourDPack(kSelectorLoad, nullptr, &gGlobals, &result);
  TBTest_SetAllocationBudget(-1);
  Check(starved || gGlobals != nullptr, "load left no global record");
  gLoaded = true;
}

void Unload() {
  if (Tracing()) std::fprintf(stderr, "unload\n");
  FourDResult result{};
  FourDPack(kSelectorUnload, nullptr, &gGlobals, &result);
  if (gGlobals != nullptr) DisposeHandle(gGlobals);  // as the host does with what is left
  gGlobals = nullptr;
  gLoaded = false;
  fuzz::ForgetPackagePorts();
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

int32_t Selector(FuzzedDataProvider& input) {
  return int32_t(input.ConsumeIntegral<uint8_t>() % 64) - 3;  // -3 to 60
}

// One step of the input: a call, or something the far ends, the files or the allocator do.
void Step(FuzzedDataProvider& input) {
  const uint8_t op = input.ConsumeIntegral<uint8_t>();
  const uint32_t pick = input.ConsumeIntegral<uint8_t>();
  if (Tracing()) {
    std::fprintf(stderr, "step %d pick %u (blocks %d, records %d)\n", op % 16, pick,
                 TBTest_LiveHandles(), TBTest_LivePointers());
  }
  switch (op % 16) {
    case 8:
      gPeers->ConnectToPackage(pick);
      break;
    case 9:
      gPeers->Send(pick, input.ConsumeRandomLengthString(4096));
      break;
    case 10:
      gPeers->SendUrgent(pick);
      break;
    case 11:
      if (pick & 0x80) {
        gPeers->ShutDownSending(pick);
      } else {
        gPeers->Close(pick);
      }
      break;
    case 12:
      gPeers->Reset(pick);
      break;
    case 13:
      gPeers->SendDatagram(pick, input.ConsumeRandomLengthString(3000));
      break;
    case 14:
      if (pick & 0x80) {
        fuzz::FailFileCallAfter(int32_t(pick & 0x0F));
      } else {
        fuzz::PutFile(std::string(1, char('a' + pick % 3)), input.ConsumeRandomLengthString(4096));
      }
      break;
    case 15: {
      // A nested call runs to its end inside one yield of the outer call, so it must not
      // wait for the outer call to go on: PictureToGIF would wait for the encoding the
      // outer call holds for ever (4D would switch back to the outer process); it stays out.
      const int32_t selector = Selector(input);
      if (selector != kSelectorLoad && selector != kSelectorUnload &&
          selector != kSelectorPictureToGIF) {
        gNested = std::make_unique<FuzzedCall>(selector, input);
      }
      break;
    }
    default: {
      const int32_t selector = Selector(input);
      // 4D loads the package once before any call and unloads it after the last one.
      if (selector == kSelectorLoad) {
        if (!gLoaded) Load(pick);
      } else if (selector == kSelectorUnload) {
        if (gLoaded) Unload();
      } else if (gLoaded) {
        FuzzedCall call(selector, input);
        if (pick & 0x80) TBTest_SetAllocationBudget(int32_t(pick & 0x1F));
        Call(call);
        TBTest_SetAllocationBudget(-1);
        gNested.reset();  // one that found no yield to run in
      }
      break;
    }
  }
  TBHost_PumpMessages();  // the host pumps whenever it is idle
  gPeers->Pump();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SetUpToolbox();
  fuzz::InstallLoopbackWorld();
  fuzz::InstallMemoryFiles();
  static fuzz::Peers peers;
  gPeers = &peers;
  TBHost_SetYieldHandler(OnYield);
  static const bool surfaceReady = [] {
    // The host's message queue opens its wake-up pipe at the first post, for good: make it
    // now, so that the descriptor count of each input leaves it out.
    TBHost_PostMessage(TBHost_FrameWindow(), 0, 0, 0);
    TBHost_PumpMessages();
    return true;
  }();
  (void)surfaceReady;

  const int descriptors = OpenDescriptors();
  {
    fuzz::BlockAccount account;
    FuzzedDataProvider input(data, size);
    Load(0);
    for (int step = 0; step < kMostSteps && input.remaining_bytes() > 0; ++step) Step(input);
    gNested.reset();
    if (gLoaded) Unload();
    peers.CloseAll();
    Check(fuzz::OpenFileCount() == 0, "a file was left open");
    fuzz::ClearFiles();
  }
  Check(OpenDescriptors() == descriptors,
        "descriptors leaked: " + std::to_string(OpenDescriptors() - descriptors));
  return 0;
}
