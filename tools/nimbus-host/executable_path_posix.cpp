// The executable's directory on Linux: /proc/self/exe names the file.
#include <filesystem>

#include "executable_path.h"

namespace nimbus_host {

std::string ExecutableDirectory() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "";
  return exe.parent_path().string();
}

}  // namespace nimbus_host
