// Adapters of the date and timer routines.
#include "dates/dates.h"
#include "package/routine_table.h"

namespace nimbus {

void RunTimerStart(const RoutineCall& call) {
  call.ReturnLongint(TimerStart());
}

void RunTimerElapsed(const RoutineCall& call) {
  call.ReturnLongint(TimerElapsed(call.Longint(1)));
}

// The same measure as TimerElapsed, under its second routine number.
void RunTimerSince(const RoutineCall& call) {
  call.ReturnLongint(TimerElapsed(call.Longint(1)));
}

void RunSecondsToDateText(const RoutineCall& call) {
  Str255 text;
  SecondsToDateText(call.Longint(1), call.Longint(2), text);
  call.ReturnString(text);
}

void RunDateTimeToSeconds(const RoutineCall& call) {
  const FourDDate& date = call.Date(1);
  call.ReturnLongint(
      DateTimeToSeconds(date.day, date.month, date.year, call.Longint(2), call.Longint(3)));
}

void RunDateTextToSeconds(const RoutineCall& call) {
  call.ReturnLongint(DateTextToSeconds(call.String(1), call.Longint(2)));
}

void RunSecondsToDateTime(const RoutineCall& call) {
  const DateAndTime converted = SecondsToDateTime(call.Longint(1), call.Longint(4));
  FourDDate& date = call.Date(2);
  date.day = converted.day;
  date.month = converted.month;
  date.year = converted.year;
  call.Longint(3) = converted.timeOfDay;
}

}  // namespace nimbus
