// The substitution lists of the HTML entity encoder and decoder. Order matters: the encoder
// applies kEncoderPrefix, then the markup escapes (kMarkupEscapes under option 0,
// kSpacedAmpersand under any other), then kSingleQuotes, then kEntityRows, each pair to the
// whole text before the next. The decoder reads kMarkupEscapes backwards (replacement to
// pattern, same order; option 0 only), then the rows' `read` entities.
#pragma once

#include <cstdint>
#include <string_view>

namespace nimbus::html {

// Every occurrence of pattern becomes replacement.
struct Substitution {
  std::string_view pattern;
  std::string_view replacement;
};

// A Mac Roman character, what the encoder writes for it, and the entity that the decoder
// reads back into it (empty: the decoder leaves what the encoder wrote alone).
struct EntityRow {
  uint8_t macCode;
  std::string_view written;
  std::string_view read;
};

// Mac Roman <=, >=, guillemets and double quotation marks, written as ASCII.
inline constexpr Substitution kEncoderPrefix[] = {
    {"\xB2", "<="}, {"\xB3", ">="}, {"\xC7", "<<"}, {"\xC8", ">>"}, {"\xD2", "\""}, {"\xD3", "\""},
};

// The ampersand goes first so that the entities written after it are not escaped again.
inline constexpr Substitution kMarkupEscapes[] = {
    {"&", "&amp;"},
    {"<", "&lt;"},
    {">", "&gt;"},
    {"\"", "&quot;"},
};

// For text that already holds markup: only an ampersand followed by a space is escaped.
inline constexpr Substitution kSpacedAmpersand = {"& ", "&amp; "};

// Mac Roman single quotation marks become the apostrophe.
inline constexpr Substitution kSingleQuotes[] = {{"\xD4", "'"}, {"\xD5", "'"}};

inline constexpr EntityRow kEntityRows[] = {
    {0xAE, "&AElig;", "&AElig;"},
    {0xE7, "&Aacute;", "&Aacute;"},
    {0xE5, "&Acirc;", "&Acirc;"},
    {0xCB, "&Agrave;", "&Agrave;"},
    {0x81, "&Aring;", "&Aring;"},
    {0xCC, "&Atilde;", "&Atilde;"},
    {0x80, "&Auml;", "&Auml;"},
    {0x82, "&Ccedil;", "&Ccedil;"},
    {0x83, "&Eacute;", "&Eacute;"},
    {0xE6, "&Ecirc;", "&Ecirc;"},
    {0xE9, "&Egrave;", "&Egrave;"},
    {0xE8, "&Euml;", "&Euml;"},
    {0xEA, "&Iacute;", "&Iacute;"},
    {0xEB, "&Icirc;", "&Icirc;"},
    {0xED, "&Igrave;", "&Igrave;"},
    {0xEC, "&Iuml;", "&Iuml;"},
    {0x84, "&Ntilde;", "&Ntilde;"},
    {0xEE, "&Oacute;", "&Oacute;"},
    {0xEF, "&Ocirc;", "&Ocirc;"},
    {0xF1, "&Ograve;", "&Ograve;"},
    {0x85, "&Ouml;", "&Ouml;"},
    {0xCD, "&Otilde;", "&Otilde;"},
    {0xF2, "&Uacute;", "&Uacute;"},
    {0xF3, "&Ucirc;", "&Ucirc;"},
    {0xF4, "&Ugrave;", "&Ugrave;"},
    {0x86, "&Uuml;", "&Uuml;"},
    {0x87, "&aacute;", "&aacute;"},
    {0x89, "&acirc;", "&acirc;"},
    {0x88, "&agrave;", "&agrave;"},
    {0x8A, "&auml;", "&auml;"},
    {0xBE, "&aelig;", "&aelig;"},
    {0x8B, "&atilde;", "&atilde;"},
    {0x8C, "&aring;", "&aring;"},
    {0x8D, "&ccedil;", "&ccedil;"},
    {0x8E, "&eacute;", "&eacute;"},
    {0x90, "&ecirc;", "&ecirc;"},
    {0x8F, "&egrave;", "&egrave;"},
    {0x91, "&euml;", "&euml;"},
    {0x92, "&iacute;", "&iacute;"},
    {0x94, "&icirc;", "&icirc;"},
    {0x93, "&igrave;", "&igrave;"},
    {0x95, "&iuml;", "&iuml;"},
    {0x96, "&ntilde;", "&ntilde;"},
    {0x97, "&oacute;", "&oacute;"},
    {0x99, "&ocirc;", "&ocirc;"},
    {0x98, "&ograve;", "&ograve;"},
    {0x9A, "&ouml;", "&ouml;"},
    {0x9B, "&otilde;", "&otilde;"},
    {0x9C, "&uacute;", "&uacute;"},
    {0x9E, "&ucirc;", "&ucirc;"},
    {0x9D, "&ugrave;", "&ugrave;"},
    {0x9F, "&uuml;", "&uuml;"},
    {0xD8, "&yuml;", "&yuml;"},
    {0xA9, "(C)", ""},
    {0xA8, "(R)", ""},
    {0xAA, "(TM)", ""},
    {0xCA, "&nbsp;", "&nbsp;"},
    {0xC9, "...", ""},
    {0xCF, "oe", "&oelig;"},
    {0xCE, "OE", ""},
    {0xA7, "&szlig;", "&szlig;"},
};

// A numeric character reference as the encoder writes it: "&#", three digits, ";".
inline constexpr int32_t kNumericReferenceLength = 6;

}  // namespace nimbus::html
