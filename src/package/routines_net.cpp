// Adapters of the network routines: streams, datagrams, names.
#include "net/statistics.h"
#include "net/streams.h"
#include "package/routine_table.h"
#include "package/slots.h"

namespace nimbus {
namespace {

constexpr int32_t kFirstStatisticsReference = -18;
constexpr int32_t kFirstCounterReference = -6;

}  // namespace

void RunStreamOpen(const RoutineCall& call) {
  call.ReturnLongint(0);
}
void RunStreamListen(const RoutineCall& call) {
  call.ReturnLongint(0);
}

void RunStreamClose(const RoutineCall& call) {
  if (CheckReference(call.globals, call.Longint(1)) == nullptr) {
    call.ReturnLongint(-1);
    return;
  }
  call.ReturnLongint(-1);
}

void RunStreamRelease(const RoutineCall& call) {
  StreamRecord** slot = CheckReference(call.globals, call.Longint(1));
  if (slot == nullptr) return;  // a bad reference leaves the result as 4D gave it
  call.ReturnLongint(ReleaseSlot(call.globals, slot));
}

void RunStreamState(const RoutineCall& call) {
  const int32_t reference = call.Longint(1);
  if (reference >= kFirstStatisticsReference && reference <= -1) {
    // Statistics: -1..-5 answer 0, -6..-18 counters 1..13.
    call.ReturnLongint(reference > kFirstCounterReference ? 0 : CounterValue(-reference - 5));
    return;
  }
  if (CheckReference(call.globals, reference) == nullptr) {
    call.ReturnLongint(-1);
    return;
  }
  call.ReturnLongint(-1);
}

void RunStreamSendText(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunStreamReceiveText(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunStreamBytesAvailable(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunStreamAddresses(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunStreamWaitState(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunLocalAddress(const RoutineCall& call) {
  call.ReturnLongint(0);
}
void RunAddressToName(const RoutineCall& call) {
  call.ReturnEmptyString();
}
void RunNameToAddress(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunDatagramOpen(const RoutineCall& call) {
  call.ReturnLongint(0);
}
void RunDatagramClose(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunDatagramSend(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunDatagramReceive(const RoutineCall& call) {
  call.ReturnLongint(-1);
}

}  // namespace nimbus
