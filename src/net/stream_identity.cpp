#include "package/stream_identity.h"

namespace nimbus {
namespace {

uint32_t NextMark() {
  static uint32_t last = 0;
  last += 1;
  if (last == 0) last = 1;  // 0 means unmarked
  return last;
}

}  // namespace

StreamIdentity IdentifyStream(Slot slot) {
  StreamRecord* record = *slot;
  if (record->transferMark == 0) record->transferMark = NextMark();
  return {record, record->transferMark};
}

bool IsSameStream(Slot slot, const StreamIdentity& identity) {
  const StreamRecord* record = *slot;
  return record != nullptr && record == identity.record && record->transferMark == identity.mark;
}

}  // namespace nimbus
