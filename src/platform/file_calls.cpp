// The table of file calls in force, shared by both systems.
#include "platform/files.h"

namespace nimbus::platform {
namespace {
FileCalls& Table() {
  static FileCalls table = SystemFileCalls();
  return table;
}
}  // namespace

FileCalls& Files() {
  return Table();
}

void ResetFileCalls() {
  Table() = SystemFileCalls();
}

}  // namespace nimbus::platform
