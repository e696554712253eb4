#include "package/block_files.h"

#include <algorithm>

#include "package/file_name.h"
#include "package/image_finder.h"
#include "platform/files.h"

namespace nimbus {
namespace {

using platform::File;
using platform::FileMode;
using platform::Files;
using platform::kInvalidFile;

// The system's last error as a status: its low 16 bits, sign-extended, never 0.
int32_t SystemErrorStatus() {
  const int16_t code = int16_t(Files().lastError());
  return code != 0 ? code : -1;
}

struct ByteRange {
  int32_t offset;
  int32_t count;
};

// The bytes of the block that BlobToFile writes: the image, or everything.
ByteRange BytesToWrite(Handle block, int32_t size) {
  ImageRange image = FindImage(block);
  if (image.first == image.end) image = {0, size};
  // From the first offset through the end offset, but nothing at or past the block's end.
  const int64_t count =
      std::min<int64_t>(int64_t(image.end) - image.first + 1, int64_t(size) - image.first);
  return {image.first, int32_t(std::max<int64_t>(count, 0))};
}

}  // namespace

int32_t BlobToFile(Handle block, const FourDText& name) {
  if (block == nullptr) return -1;
  const FileName path = FileNameOf(name);
  const File file = Files().open(path.path, FileMode::kCreateReadWrite);
  if (file == kInvalidFile) return SystemErrorStatus();

  const int32_t size = std::max(GetHandleSize(block), 0);
  const ByteRange bytes = BytesToWrite(block, size);
  const int8_t state = HGetState(block);
  HLock(block);
  int32_t status = 0;
  if (bytes.count > 0 && Files().write(file, *block + bytes.offset, bytes.count) != bytes.count) {
    status = SystemErrorStatus();
  }
  HSetState(block, state);
  // A failed close may have lost buffered bytes: it fails the call as a failed write does.
  if (Files().close(file) != 0 && status == 0) status = SystemErrorStatus();
  return status;
}

Handle FileToBlob(const FourDText& name) {
  const FileName path = FileNameOf(name);
  const File file = Files().open(path.path, FileMode::kReadOnly);
  if (file == kInvalidFile) return nullptr;
  const int32_t size = Files().size(file);
  Handle block = size >= 0 ? NewHandle(size) : nullptr;
  if (block == nullptr) {
    Files().close(file);
    return nullptr;
  }
  HLock(block);
  int32_t total = 0;
  bool failed = false;
  while (total < size) {
    const int32_t n = Files().read(file, *block + total, size - total);
    if (n < 0) failed = true;
    if (n <= 0) break;
    total += n;
  }
  HUnlock(block);
  Files().close(file);
  if (failed) {
    DisposeHandle(block);
    return nullptr;
  }
  // A file that shrank while it was read gives what it still held.
  if (total < size) SetHandleSize(block, total);
  return block;
}

}  // namespace nimbus
