// Adapters of the file and picture transfer routines.
#include "package/block_files.h"
#include "package/routine_table.h"
#include "package/slots.h"

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
  if (call.params[0] == nullptr) {
    call.ReturnLongint(-1);
    return;
  }
  call.ReturnLongint(BlobToFile(call.Block(1), call.Text(2)));
}

void RunFileToBlob(const RoutineCall& call) {
  call.ReturnBlock(FileToBlob(call.Text(1)));
}

}  // namespace nimbus
