// Adapters of the date and timer routines. Until the dates subsystem lands they answer 0.
#include "package/routine_table.h"

namespace nimbus {

void RunTimerStart(const RoutineCall& call) {
  call.ReturnLongint(0);
}
void RunTimerElapsed(const RoutineCall& call) {
  call.ReturnLongint(0);
}
void RunTimerSince(const RoutineCall& call) {
  call.ReturnLongint(0);
}
void RunSecondsToDateText(const RoutineCall& call) {
  call.ReturnEmptyString();
}
void RunDateTimeToSeconds(const RoutineCall& call) {
  call.ReturnLongint(0);
}
void RunDateTextToSeconds(const RoutineCall& call) {
  call.ReturnLongint(0);
}
void RunSecondsToDateTime(const RoutineCall&) {}

}  // namespace nimbus
