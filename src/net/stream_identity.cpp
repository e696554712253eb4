#include "net/stream_identity.h"

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
  if (record->identityMark == 0) record->identityMark = NextMark();
  return {record, record->identityMark};
}

bool IsSameStream(Slot slot, const StreamIdentity& identity) {
  const StreamRecord* record = *slot;
  return record != nullptr && record == identity.record && record->identityMark == identity.mark;
}

}  // namespace nimbus
