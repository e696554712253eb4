// Where this program's executable lies, to find the package the build put beside it.
#pragma once

#include <string>

namespace nimbus_host {

// The directory of the running executable, or an empty string when the system won't say.
std::string ExecutableDirectory();

}  // namespace nimbus_host
