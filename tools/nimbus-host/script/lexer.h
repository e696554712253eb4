// Splits a script's text into tokens.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "token.h"

namespace nimbus_script {

// Reads `source` (the contents of `file`) into tokens ending with kEnd. Comments (// to the
// end of the line, /* ... */) vanish; a "\" at the end of a line joins it to the next. Names
// made of several words ("End if", "New process") come out as one kName token when they
// are one of `phrases` (matched without regard to case, words separated by spaces or tabs).
// Throws ScriptError at the first character it cannot read.
std::vector<Token> Tokenize(const std::string& source, std::shared_ptr<const std::string> file,
                            const std::vector<std::string>& phrases);

}  // namespace nimbus_script
