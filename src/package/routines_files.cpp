// Adapters of the file and picture transfer routines.
#include "package/block_files.h"
#include "package/file_transfer.h"
#include "package/picture_transfer.h"
#include "package/routine_table.h"
#include "package/slots.h"

namespace nimbus {
namespace {

constexpr int32_t kAppendFlag = 1;

// The slot of a TCP stream reference; null for a bad reference or a datagram endpoint,
// which has no connection to carry a file.
StreamRecord** StreamSlot(const RoutineCall& call, int32_t reference) {
  StreamRecord** slot = CheckReference(call.globals, reference);
  return (slot != nullptr && (*slot)->kind == kKindStream) ? slot : nullptr;
}

}  // namespace

void RunStreamSendFile(const RoutineCall& call) {
  StreamRecord** slot = StreamSlot(call, call.Longint(1));
  if (slot == nullptr) {
    call.ReturnLongint(-1);
    return;
  }
  call.ReturnLongint(StreamSendFile(slot, call.Text(2), call.Longint(3), call.Longint(4)));
}

void RunStreamReceiveFile(const RoutineCall& call) {
  StreamRecord** slot = StreamSlot(call, call.Longint(1));
  if (slot == nullptr) {
    call.ReturnLongint(-1);
    return;
  }
  call.ReturnLongint(StreamReceiveFile(call.globals, slot, call.Text(2), call.Longint(3),
                                       call.Longint(4) == kAppendFlag, call.Longint(5)));
}

void RunStreamSendPicture(const RoutineCall& call) {
  StreamRecord** slot = StreamSlot(call, call.Longint(1));
  if (slot == nullptr || call.params[1] == nullptr) {
    call.ReturnLongint(-1);
    return;
  }
  call.ReturnLongint(StreamSendPicture(slot, call.Block(2), call.Longint(3), call.Longint(4)));
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
