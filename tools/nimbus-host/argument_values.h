// Turning a command-line argument into a parameter value of a routine's kind.
#pragma once

#include <string>

#include "host/host.h"

namespace nimbus_host {

// Parses `text` as a value of `kind`. False with `error` set when it does not parse or does
// not fit the kind (a longint out of 32 bits, a string over 255 bytes, an unreadable file).
bool ParseArgument(standin::Kind kind, const std::string& text, standin::Value* value,
                   std::string* error);

// Expands \r \n \t \\ \xHH; false with `error` set for an unknown or unfinished escape.
bool ExpandEscapes(const std::string& text, std::string* bytes, std::string* error);

}  // namespace nimbus_host
