#include "four_d_pack/memory_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

#include "platform/files.h"

namespace nimbus::fuzz {
namespace {

using platform::File;
using platform::FileMode;

constexpr File kFirstHandle = 100;
constexpr size_t kLongestName = 255;
constexpr size_t kLargestFile = 1 << 20;  // a write past it fails as a full disk would

struct OpenFile {
  std::string name;
  size_t position = 0;
  bool writable = false;
  bool open = false;
};

std::map<std::string, std::string> gFiles;
std::vector<OpenFile> gOpen;
int32_t gError = 0;
int32_t gFailAfter = 0;

int32_t Failed(int32_t error) {
  gError = error;
  return -1;
}

// True when this call is the one chosen to fail.
bool InjectedFailure() {
  if (gFailAfter <= 0) return false;
  if (--gFailAfter > 0) return false;
  gError = EIO;
  return true;
}

OpenFile* Find(File file) {
  const File index = file - kFirstHandle;
  if (index < 0 || index >= File(gOpen.size()) || !gOpen[size_t(index)].open) return nullptr;
  return &gOpen[size_t(index)];
}

File Open(const char* path, FileMode mode) {
  const std::string name(path);
  if (name.empty()) return Failed(ENOENT);
  if (name.size() > kLongestName) return Failed(ENAMETOOLONG);
  const bool exists = gFiles.count(name) != 0;
  OpenFile file{name, 0, mode == FileMode::kCreateReadWrite || mode == FileMode::kAppend, true};
  switch (mode) {
    case FileMode::kReadShared:
    case FileMode::kReadOnly:
      if (!exists) return Failed(ENOENT);
      break;
    case FileMode::kCreateReadWrite:
      gFiles[name].clear();
      break;
    case FileMode::kAppend:
      file.position = gFiles[name].size();
      break;
  }
  gOpen.push_back(file);
  return kFirstHandle + File(gOpen.size()) - 1;
}

int32_t Read(File handle, void* buffer, int32_t count) {
  OpenFile* file = Find(handle);
  if (file == nullptr) return Failed(EBADF);
  if (count < 0) return Failed(EINVAL);
  if (InjectedFailure()) return -1;
  const std::string& bytes = gFiles[file->name];
  const size_t n =
      file->position >= bytes.size() ? 0 : std::min(size_t(count), bytes.size() - file->position);
  if (n > 0) std::memcpy(buffer, bytes.data() + file->position, n);
  file->position += n;
  return int32_t(n);
}

int32_t Write(File handle, const void* data, int32_t count) {
  OpenFile* file = Find(handle);
  if (file == nullptr || !file->writable) return Failed(EBADF);
  if (count < 0) return Failed(EINVAL);
  if (InjectedFailure()) return -1;
  std::string& bytes = gFiles[file->name];
  if (file->position + size_t(count) > kLargestFile) return Failed(ENOSPC);
  if (bytes.size() < file->position + size_t(count)) bytes.resize(file->position + size_t(count));
  if (count > 0) std::memcpy(bytes.data() + file->position, data, size_t(count));
  file->position += size_t(count);
  return count;
}

int32_t Size(File handle) {
  OpenFile* file = Find(handle);
  if (file == nullptr) return Failed(EBADF);
  if (InjectedFailure()) return -1;
  return int32_t(gFiles[file->name].size());
}

int32_t SeekToEnd(File handle) {
  OpenFile* file = Find(handle);
  if (file == nullptr) return Failed(EBADF);
  if (InjectedFailure()) return -1;
  file->position = gFiles[file->name].size();
  return int32_t(file->position);
}

int32_t Close(File handle) {
  OpenFile* file = Find(handle);
  if (file == nullptr) return Failed(EBADF);
  file->open = false;  // gone even when the close reports a failure
  if (InjectedFailure()) return -1;
  return 0;
}

int32_t LastError() {
  return gError != 0 ? gError : EIO;
}

}  // namespace

void InstallMemoryFiles() {
  platform::Files() = platform::FileCalls{Open, Read, Write, Size, SeekToEnd, Close, LastError};
}

void FailFileCallAfter(int32_t n) {
  gFailAfter = n;
}

void PutFile(const std::string& name, const std::string& bytes) {
  gFiles[name] = bytes;
}

int32_t OpenFileCount() {
  int32_t count = 0;
  for (const OpenFile& file : gOpen) count += file.open;
  return count;
}

void ClearFiles() {
  gFiles.clear();
  gOpen.clear();
  gError = 0;
  gFailAfter = 0;
}

}  // namespace nimbus::fuzz
