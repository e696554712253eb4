// The executable's directory on Windows: GetModuleFileNameA of the process's own module.
#include <windows.h>

#include <filesystem>

#include "executable_path.h"

namespace nimbus_host {

std::string ExecutableDirectory() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  return std::filesystem::path(std::string(path, length)).parent_path().string();
}

}  // namespace nimbus_host
