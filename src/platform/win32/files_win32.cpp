// The file seam over KERNEL32: CreateFileA with the access, sharing and creation that each
// opening style means (OpenFile would refuse paths of 128 characters or more; the routines
// accept names up to 254), ReadFile, WriteFile, SetFilePointer, GetFileSize, CloseHandle and
// GetLastError.
#include <windows.h>

#include "platform/files.h"

namespace nimbus::platform {
namespace {

struct OpenStyle {
  DWORD access;
  DWORD sharing;
  DWORD creation;
};

// OF_READ | OF_SHARE_DENY_NONE; OF_CREATE | OF_READWRITE (compatibility sharing, which
// denies nothing); OF_READWRITE, creating only when missing; OF_READ.
OpenStyle StyleOf(FileMode mode) {
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
  switch (mode) {
    case FileMode::kReadShared:
      return {GENERIC_READ, kShareAll, OPEN_EXISTING};
    case FileMode::kCreateReadWrite:
      return {GENERIC_READ | GENERIC_WRITE, kShareAll, CREATE_ALWAYS};
    case FileMode::kAppend:
      return {GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_ALWAYS};
    case FileMode::kReadOnly:
      return {GENERIC_READ, kShareAll, OPEN_EXISTING};
  }
  return {GENERIC_READ, kShareAll, OPEN_EXISTING};
}

HANDLE Native(File file) {
  return reinterpret_cast<HANDLE>(file);
}

File Open(const char* path, FileMode mode) {
  const OpenStyle style = StyleOf(mode);
  HANDLE handle = CreateFileA(path, style.access, style.sharing, nullptr, style.creation,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return kInvalidFile;
  SetLastError(NO_ERROR);
  if (mode == FileMode::kAppend &&
      SetFilePointer(handle, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    const DWORD error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return kInvalidFile;
  }
  return reinterpret_cast<File>(handle);
}

int32_t Read(File file, void* buffer, int32_t count) {
  if (count < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  DWORD n = 0;
  if (!ReadFile(Native(file), buffer, DWORD(count), &n, nullptr)) return -1;
  return int32_t(n);
}

int32_t Write(File file, const void* data, int32_t count) {
  if (count < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  const char* bytes = static_cast<const char*>(data);
  int32_t written = 0;
  while (written < count) {
    DWORD n = 0;
    if (!WriteFile(Native(file), bytes + written, DWORD(count - written), &n, nullptr)) {
      return written > 0 ? written : -1;
    }
    if (n == 0) {
      SetLastError(ERROR_WRITE_FAULT);  // nothing written and no reason given: never spin
      return written > 0 ? written : -1;
    }
    written += int32_t(n);
  }
  return written;
}

int32_t Size(File file) {
  DWORD high = 0;
  SetLastError(NO_ERROR);  // INVALID_FILE_SIZE is also a valid low word
  const DWORD low = GetFileSize(Native(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  if (high != 0 || low > 0x7FFFFFFFu) {
    SetLastError(ERROR_FILE_TOO_LARGE);
    return -1;
  }
  return int32_t(low);
}

int32_t SeekToEnd(File file) {
  LONG high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(Native(file), 0, &high, FILE_END);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
  if (high != 0 || low > 0x7FFFFFFFu) {
    SetLastError(ERROR_FILE_TOO_LARGE);
    return -1;
  }
  return int32_t(low);
}

int32_t Close(File file) {
  return CloseHandle(Native(file)) ? 0 : -1;
}

int32_t LastError() {
  const DWORD error = GetLastError();
  return error != NO_ERROR ? int32_t(error) : int32_t(ERROR_GEN_FAILURE);
}

}  // namespace

FileCalls SystemFileCalls() {
  return FileCalls{Open, Read, Write, Size, SeekToEnd, Close, LastError};
}

}  // namespace nimbus::platform
