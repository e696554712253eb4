// The text conversions computed literally, the slow way they are defined: one whole-text
// ReplaceAll pass per substitution pair through the host's search-and-replace, each moving the
// tail of the block at every replacement. Used only by tests and benchmarks, as the reference
// that the one-pass conversions must match byte for byte; never part of the package.
//
// Each takes the characters of a Text and answers the characters of the result, without the
// 32767-byte limit (the package's routines answer an empty Text where this answers more).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "text/text.h"

namespace nimbus::literal {

std::string Translate(const std::string& text, CharTable table);
std::string CRToCRLF(const std::string& text);
std::string CRLFToCR(const std::string& text);
std::string TextToHTML(const std::string& text, int32_t option);
std::string HTMLToText(const std::string& text, int32_t option);
std::string TextToURL(const std::string& text, int32_t option);
std::string URLToText(const std::string& text, int32_t option);
// The mode's bits applied one after another, each HTML bit computed and the last kept.
// Nothing when the text after the line and character-set bits, or the kept HTML result,
// passes 32767 bytes.
std::optional<std::string> ApplyConversionMode(const std::string& text, int32_t mode);

}  // namespace nimbus::literal
