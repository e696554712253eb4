// Recognising a stream across yields. During a yield another 4D process may release the
// stream in a slot, and a new stream may take the slot again, its record even at the same
// address. A routine whose work spans a yield holds its stream: after every yield it asks
// whether the slot still holds that stream, and when it does not, it stops at once, answers
// -1 and touches nothing more (neither the new stream nor the caller's parameters).
#pragma once

#include <cstdint>

#include "net/streams.h"

namespace nimbus {

class HeldStream {
 public:
  // Holds the stream in the slot, marking its record when no routine has marked it yet, so
  // that routines nested in one another hold it alike. An empty slot (or none) holds
  // nothing: Present() is false from the start.
  explicit HeldStream(Slot slot);

  Slot slot() const { return slot_; }
  // True while the slot holds the stream this was made for.
  bool Present() const;
  // The held record while it is present; null once it has gone.
  StreamRecord* Record() const { return Present() ? *slot_ : nullptr; }
  uint32_t mark() const { return mark_; }

  // Yields to other 4D processes, then answers Present().
  bool YieldAndCheck() const;

 private:
  Slot slot_;
  const StreamRecord* record_ = nullptr;
  uint32_t mark_ = 0;
};

}  // namespace nimbus
