// The table of file calls in force, shared by both systems.
#include "platform/files.h"

namespace nimbus::platform {
namespace {
// Plain namespace-scope data, filled on first use: no function-local static, whose guard
// would pull a threads library into the DLL, and no constructor run at load.
FileCalls gTable{};
bool gFilled = false;

FileCalls& Table() {
  if (!gFilled) {
    gTable = SystemFileCalls();
    gFilled = true;
  }
  return gTable;
}
}  // namespace

FileCalls& Files() {
  return Table();
}

void ResetFileCalls() {
  Table() = SystemFileCalls();
}

}  // namespace nimbus::platform
