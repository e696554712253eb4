// How nimbus-host shows a value: numbers as numbers, dates as D/M/YYYY, strings, Texts and
// blocks with their length and their bytes escaped (printable ASCII as is, \\ for a
// backslash, \" for a quote, every other byte as \xHH), or as a hex dump.
#pragma once

#include <string>

#include "host/host.h"

namespace nimbus_host {

// One line, or with `hex` for Texts and blocks a header line followed by dump lines.
std::string FormatValue(const standin::Value& value, bool hex);

std::string EscapeBytes(const std::string& bytes);

// Lines of "OFFSET: 16 hex bytes  ASCII", each ending with a newline.
std::string HexDump(const std::string& bytes);

}  // namespace nimbus_host
