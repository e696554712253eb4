// Adapters of the queue routines. The queue table lives in the global record; without one
// every queue is empty and pushes are dropped.
#include "package/routine_table.h"
#include "queues/queues.h"

namespace nimbus {

namespace {
Handle TableOf(const RoutineCall& call) {
  return call.globals != nullptr ? call.globals->queueTable : nullptr;
}
}  // namespace

void RunQueueCount(const RoutineCall& call) {
  call.ReturnLongint(QueueCount(TableOf(call), call.Longint(1)));
}

void RunQueuePush(const RoutineCall& call) {
  if (call.globals == nullptr) return;
  const FourDText& text = call.Text(2);
  QueuePush(&call.globals->queueTable, call.Longint(1), text.handle, text.length);
}

void RunQueuePop(const RoutineCall& call) {
  int16_t length = 0;
  Handle block = QueuePop(TableOf(call), call.Longint(1), &length);
  call.ReturnText(FourDText{length, block});
}

void RunQueueClear(const RoutineCall& call) {
  QueueClear(TableOf(call), call.Longint(1));
}

}  // namespace nimbus
