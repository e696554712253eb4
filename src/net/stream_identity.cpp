#include "net/stream_identity.h"

#include "host/toolbox.h"

namespace nimbus {
namespace {

uint32_t NextMark() {
  static uint32_t last = 0;
  last += 1;
  if (last == 0) last = 1;  // 0 means unmarked
  return last;
}

}  // namespace

HeldStream::HeldStream(Slot slot) : slot_(slot) {
  if (slot == nullptr || *slot == nullptr) return;
  StreamRecord* record = *slot;
  if (record->identityMark == 0) record->identityMark = NextMark();
  record_ = record;
  mark_ = record->identityMark;
}

bool HeldStream::Present() const {
  if (record_ == nullptr) return false;
  const StreamRecord* record = *slot_;
  return record == record_ && record->identityMark == mark_;
}

bool HeldStream::YieldAndCheck() const {
  YieldToHost();
  return Present();
}

}  // namespace nimbus
