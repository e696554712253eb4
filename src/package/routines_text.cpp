// Adapters of the text routines. Until the text subsystem lands they answer empty Texts.
#include "package/routine_table.h"

namespace nimbus {

void RunTextToHTML(const RoutineCall& call) {
  call.ReturnEmptyText();
}
void RunHTMLToText(const RoutineCall& call) {
  call.ReturnEmptyText();
}
void RunTextToURL(const RoutineCall& call) {
  call.ReturnEmptyText();
}
void RunURLToText(const RoutineCall& call) {
  call.ReturnEmptyText();
}
void RunMacToISO(const RoutineCall& call) {
  call.ReturnEmptyText();
}
void RunISOToMac(const RoutineCall& call) {
  call.ReturnEmptyText();
}

}  // namespace nimbus
