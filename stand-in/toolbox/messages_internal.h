// Internal to the toolbox library: the registered message filter (read by the message pump)
// and the records of shown messages and beeps (read by the test controls).
#pragma once

#include <cstdint>
#include <string>

#include "host/toolbox.h"

namespace toolbox {

MessageFilterProc CurrentMessageFilter();

int32_t MessageCount();
// A copy of the last message shown, "" when none since the last reset.
std::string LastMessage();
int32_t BeepCount();
void ResetRecords();

}  // namespace toolbox
