// Adapters of the text routines: each takes a Text and (but for MacToISO and ISOToMac) a
// longint option, and answers a new Text that belongs to 4D from then on.
#include "package/routine_table.h"
#include "text/text.h"

namespace nimbus {

void RunTextToHTML(const RoutineCall& call) {
  call.ReturnText(TextToHTML(call.Text(1), call.Longint(2)));
}
void RunHTMLToText(const RoutineCall& call) {
  call.ReturnText(HTMLToText(call.Text(1), call.Longint(2)));
}
void RunTextToURL(const RoutineCall& call) {
  call.ReturnText(TextToURL(call.Text(1), call.Longint(2)));
}
void RunURLToText(const RoutineCall& call) {
  call.ReturnText(URLToText(call.Text(1), call.Longint(2)));
}
void RunMacToISO(const RoutineCall& call) {
  call.ReturnText(TranslatedCopy(call.Text(1), CharTable::kMac2ISO));
}
void RunISOToMac(const RoutineCall& call) {
  call.ReturnText(TranslatedCopy(call.Text(1), CharTable::kISO2Mac));
}

}  // namespace nimbus
