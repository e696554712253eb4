// Adapters of the file and picture transfer routines. Until they land they answer as a
// failed call: -1, or a null handle.
#include "package/routine_table.h"

namespace nimbus {

void RunStreamSendFile(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunStreamReceiveFile(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunStreamSendPicture(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunBlobToFile(const RoutineCall& call) {
  call.ReturnLongint(-1);
}
void RunFileToBlob(const RoutineCall& call) {
  call.ReturnBlock(nullptr);
}

}  // namespace nimbus
