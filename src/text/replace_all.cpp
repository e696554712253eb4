// ReplaceAll: every occurrence of a pattern in a block, through the host's search-and-replace.
#include "text/text.h"

namespace nimbus {

bool ReplaceAll(Handle block, ConstStr255Param pattern, ConstStr255Param replacement) {
  // An empty pattern matches everywhere: replacing it would never end.
  if (block == nullptr || pattern[0] == 0) return true;
  int32_t offset = 0;
  for (;;) {
    // The answer is the offset just past the replacement, so inserted text is not searched
    // again. An empty replacement at offset 0 answers 0, which is a match like any other.
    int32_t next = Munger(block, offset, pattern + 1, pattern[0], replacement + 1, replacement[0]);
    if (next >= 0) {
      offset = next;
      continue;
    }
    // Either no match is left, or there was one and the block could not grow for it.
    return Munger(block, offset, pattern + 1, pattern[0], nullptr, 0) < 0;
  }
}

}  // namespace nimbus
