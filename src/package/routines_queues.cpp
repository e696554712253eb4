// Adapters of the queue routines. The queue table lives in the global record; without one
// every queue is empty and pushes are dropped.
#include "package/routine_table.h"
#include "queues/queues.h"

namespace nimbus {

namespace {
// The record's queues, or an empty store that stays empty.
QueueStore& QueuesOf(const RoutineCall& call, QueueStore& none) {
  return call.globals != nullptr ? call.globals->queues : none;
}
}  // namespace

void RunQueueCount(const RoutineCall& call) {
  QueueStore none{};
  call.ReturnLongint(QueueCount(QueuesOf(call, none), call.Longint(1)));
}

void RunQueuePush(const RoutineCall& call) {
  if (call.globals == nullptr) return;
  const FourDText& text = call.Text(2);
  QueuePush(call.globals->queues, call.Longint(1), text.handle, text.length);
}

void RunQueuePop(const RoutineCall& call) {
  QueueStore none{};
  int16_t length = 0;
  Handle block = QueuePop(QueuesOf(call, none), call.Longint(1), &length);
  call.ReturnText(FourDText{length, block});
}

void RunQueueClear(const RoutineCall& call) {
  QueueStore none{};
  QueueClear(QueuesOf(call, none), call.Longint(1));
}

}  // namespace nimbus
