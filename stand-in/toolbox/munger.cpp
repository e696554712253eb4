// Munger: search, and optionally replace, inside a relocatable block.
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "block_store.h"

namespace {

constexpr int32_t kNoMatch = -1;

// Offset of the first occurrence of pattern in data at or after `from`, or -1.
int32_t FindPattern(const char* data, int32_t size, int32_t from, const char* pattern,
                    int32_t length) {
  if (length == 0) return from;
  if (length > size - from) return kNoMatch;
  std::string_view haystack(data + from, size_t(size - from));
  size_t at = haystack.find(std::string_view(pattern, size_t(length)));
  return at == std::string_view::npos ? kNoMatch : from + int32_t(at);
}

// True when [p, p + n) overlaps the block's bytes, so that a resize could move it away.
bool PointsInto(const void* p, int32_t n, const char* data, int32_t size) {
  auto begin = reinterpret_cast<uintptr_t>(p);
  auto blockBegin = reinterpret_cast<uintptr_t>(data);
  return n > 0 && begin < blockBegin + uintptr_t(size) && blockBegin < begin + uintptr_t(n);
}

}  // namespace

extern "C" TOOLBOX_API int32_t Munger(Handle h, int32_t offset, const void* ptr1, int32_t len1,
                                      const void* ptr2, int32_t len2) {
  if (!toolbox::IsLiveHandle(h)) {
    toolbox::SetLastBlockError(nilHandleErr);
    return kNoMatch;
  }
  int32_t size = GetHandleSize(h);
  if (offset < 0 || offset > size) return kNoMatch;
  if (ptr2 != nullptr && len2 < 0) return kNoMatch;

  // The target: a found pattern, or (no pattern) the len1 bytes at offset, clipped to the end.
  int32_t matchAt = offset;
  int32_t matchLength;
  if (ptr1 == nullptr) {
    matchLength = (len1 < 0 || len1 > size - offset) ? size - offset : len1;
  } else {
    if (len1 < 0) return kNoMatch;
    matchAt = FindPattern(*h, size, offset, static_cast<const char*>(ptr1), len1);
    if (matchAt < 0) return kNoMatch;
    matchLength = len1;
  }
  if (ptr2 == nullptr) return matchAt;

  int64_t newSize64 = int64_t(size) - matchLength + len2;
  if (newSize64 > INT32_MAX) {
    toolbox::SetLastBlockError(memFullErr);
    return kNoMatch;
  }
  auto newSize = int32_t(newSize64);

  // A replacement taken from the block itself must be copied before the block can move.
  std::vector<char> ownCopy;
  const char* replacement = static_cast<const char*>(ptr2);
  if (PointsInto(ptr2, len2, *h, size)) {
    try {
      ownCopy.assign(replacement, replacement + len2);
    } catch (const std::bad_alloc&) {
      toolbox::SetLastBlockError(memFullErr);
      return kNoMatch;
    }
    replacement = ownCopy.data();
  }

  int32_t tailFrom = matchAt + matchLength;
  int32_t tailLength = size - tailFrom;
  int32_t tailTo = matchAt + len2;
  if (newSize > size) {
    if (toolbox::ResizeBlock(h, newSize) != noErr) return kNoMatch;
    std::memmove(*h + tailTo, *h + tailFrom, size_t(tailLength));
    std::memcpy(*h + matchAt, replacement, size_t(len2));
  } else {
    std::memmove(*h + matchAt, replacement, size_t(len2));
    std::memmove(*h + tailTo, *h + tailFrom, size_t(tailLength));
    if (newSize != size && toolbox::ResizeBlock(h, newSize) != noErr) return kNoMatch;
  }
  toolbox::SetLastBlockError(noErr);
  return matchAt + len2;
}
