// Routines the entry point answers by itself: the reserved ones, NameCopy, StreamList.
#include <cstring>

#include "package/routine_table.h"

namespace nimbus {

void RunReservedMinusOne(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunReservedZero(const RoutineCall& call) {
  call.ReturnLongint(0);
}
void RunReservedEmptyString(const RoutineCall& call) {
  call.ReturnEmptyString();
}
void RunReserved45(const RoutineCall& call) {
  call.ReturnLongint(548);
}
void RunReserved55(const RoutineCall& call) {
  call.ReturnBlock(nullptr);
}

void RunNameCopy(const RoutineCall& call) {
  const unsigned char* source = call.String(1);
  std::memmove(call.String(2), source, size_t(source[0]) + 1);
  call.Longint(3) = 1000;
  call.ReturnLongint(0);
}

void RunStreamList(const RoutineCall& call) {
  const int32_t n = call.Longint(1);
  call.ReturnLongint(0);
  if (n < 0 || n > kSlotCount) call.ReturnLongint(-1);
  PackageGlobals* globals = call.globals;
  if (n == 0) {
    call.ReturnLongint(globals != nullptr ? globals->openStreamCount : 0);
    return;
  }
  if (globals == nullptr) return;
  for (int32_t reference = kFirstReference; reference <= kLastReference; ++reference) {
    if (globals->slots[reference] != nullptr) {
      call.ReturnLongint(reference);
      return;
    }
  }
}

}  // namespace nimbus
