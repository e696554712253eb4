// Adapters of the queue routines. Until the queues land they answer as for an unknown key.
#include "package/routine_table.h"

namespace nimbus {

void RunQueueCount(const RoutineCall& call) {
  call.ReturnLongint(0);
}
void RunQueuePush(const RoutineCall&) {}
void RunQueuePop(const RoutineCall& call) {
  call.ReturnEmptyText();
}
void RunQueueClear(const RoutineCall&) {}

}  // namespace nimbus
