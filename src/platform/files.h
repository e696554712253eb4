// The file seam: the few file operations the file and picture routines need, with the four
// opening styles those routines use. Windows implements them with CreateFileA and the
// KERNEL32 file calls; POSIX with open/read/write/lseek/fstat/close.
//
// Every call goes through one table of function pointers (FileCalls), which tests may
// override to make the Nth read or write fail, and restore with ResetFileCalls.
#pragma once

#include <cstdint>

namespace nimbus::platform {

// A file handle: a HANDLE on Windows, a descriptor on POSIX.
using File = intptr_t;
constexpr File kInvalidFile = -1;

// The opening styles.
enum class FileMode {
  // Read only; others may read and write the file meanwhile. Fails when it does not exist.
  kReadShared,
  // Read and write; creates the file, or empties an existing one.
  kCreateReadWrite,
  // Read and write; keeps the contents (creating the file when missing); writing starts at
  // the end.
  kAppend,
  // Read only. Fails when it does not exist.
  kReadOnly,
};

struct FileCalls {
  // Opens the zero-terminated path: a handle, or kInvalidFile with the reason left for
  // lastError. Directories do not open.
  File (*open)(const char* path, FileMode mode);
  // Reads up to count bytes: the number read (0 at the end), or -1 on failure.
  int32_t (*read)(File file, void* buffer, int32_t count);
  // Writes count bytes: the number written (count unless the call failed part-way), or -1.
  int32_t (*write)(File file, const void* data, int32_t count);
  // The file's size in bytes, or -1 on failure (or when it does not fit 31 bits).
  int32_t (*size)(File file);
  // Moves the position to the end: the new position, or -1.
  int32_t (*seekToEnd)(File file);
  // 0, or -1 on failure. The handle is gone either way.
  int32_t (*close)(File file);
  // The system's last error code (GetLastError; errno on POSIX) of this thread.
  int32_t (*lastError)();
};

// The system's own calls (what ResetFileCalls restores).
FileCalls SystemFileCalls();

// The table in force.
FileCalls& Files();
void ResetFileCalls();

}  // namespace nimbus::platform
