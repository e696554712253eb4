// The file seam over POSIX descriptors, errno as the last error.
//
//   Opening    the four styles as open() flags, always O_CLOEXEC so a descriptor never leaks
//              into a child process. O_NONBLOCK during the open keeps a FIFO from hanging the
//              host; only regular files and character devices are accepted afterwards.
//   Transfer   read and write retried on EINTR; write loops until everything is written.
//   Errors     errno of this thread; a failure that left no errno reports EIO.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/files.h"

namespace nimbus::platform {
namespace {

constexpr mode_t kNewFilePermissions = 0666;  // narrowed by the process's umask

int OpenFlags(FileMode mode) {
  switch (mode) {
    case FileMode::kReadShared:
    case FileMode::kReadOnly:
      return O_RDONLY;
    case FileMode::kCreateReadWrite:
      return O_RDWR | O_CREAT | O_TRUNC;
    case FileMode::kAppend:
      return O_RDWR | O_CREAT;
  }
  return O_RDONLY;
}

// Fails with `error` after closing the descriptor, keeping errno as the reason.
File Refuse(int fd, int error) {
  close(fd);
  errno = error;
  return kInvalidFile;
}

File Open(const char* path, FileMode mode) {
  const int fd = open(path, OpenFlags(mode) | O_CLOEXEC | O_NONBLOCK, kNewFilePermissions);
  if (fd < 0) return kInvalidFile;
  struct stat info;
  if (fstat(fd, &info) != 0) return Refuse(fd, errno);
  if (S_ISDIR(info.st_mode)) return Refuse(fd, EISDIR);
  if (!S_ISREG(info.st_mode) && !S_ISCHR(info.st_mode)) return Refuse(fd, ENXIO);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return Refuse(fd, errno);
  if (mode == FileMode::kAppend && lseek(fd, 0, SEEK_END) < 0) return Refuse(fd, errno);
  return File(fd);
}

int32_t Read(File file, void* buffer, int32_t count) {
  if (count < 0) {
    errno = EINVAL;
    return -1;
  }
  ssize_t n;
  do {
    n = read(int(file), buffer, size_t(count));
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : int32_t(n);
}

int32_t Write(File file, const void* data, int32_t count) {
  if (count < 0) {
    errno = EINVAL;
    return -1;
  }
  const char* bytes = static_cast<const char*>(data);
  int32_t written = 0;
  while (written < count) {
    const ssize_t n = write(int(file), bytes + written, size_t(count - written));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return written > 0 ? written : -1;
    if (n == 0) {
      errno = EIO;  // nothing written and no reason given: never spin
      return written > 0 ? written : -1;
    }
    written += int32_t(n);
  }
  return written;
}

int32_t Size(File file) {
  struct stat info;
  if (fstat(int(file), &info) != 0) return -1;
  if (info.st_size > INT32_MAX) {
    errno = EFBIG;
    return -1;
  }
  return int32_t(info.st_size);
}

int32_t SeekToEnd(File file) {
  const off_t position = lseek(int(file), 0, SEEK_END);
  if (position < 0) return -1;
  if (position > INT32_MAX) {
    errno = EFBIG;
    return -1;
  }
  return int32_t(position);
}

int32_t Close(File file) {
  // POSIX leaves the descriptor closed even when close reports EINTR: never retry.
  return close(int(file)) == 0 ? 0 : -1;
}

int32_t LastError() {
  return errno != 0 ? int32_t(errno) : int32_t(EIO);
}

}  // namespace

FileCalls SystemFileCalls() {
  return FileCalls{Open, Read, Write, Size, SeekToEnd, Close, LastError};
}

}  // namespace nimbus::platform
