// Text conversion: the Mac Roman <-> ISO-8859-1 character tables, line breaks, replace-all,
// HTML entities, URL escapes and the conversion modes of the transfer routines.
//
// A Text's characters are its first `length` bytes, clipped to its block (a block may be
// longer than the length; a null handle or a length of 0 or less holds no characters). No
// Text ever holds more than 32767 bytes: an operation whose result would pass that answers
// its failure result instead of a truncated or wrapped one.
#pragma once

#include <cstdint>

#include "host/fourd_params.h"
#include "host/toolbox.h"

namespace nimbus {

// The failure result of the operations that answer a new Text: no block, length 0.
inline constexpr FourDText kNoText{0, nullptr};

// ---- Character tables ----------------------------------------------------------------------

// The two 256-byte tables of type "NMBc" in the package's resource file.
enum class CharTable { kMac2ISO, kISO2Mac };

// Translates the Text's characters in place, byte for byte; the length is unchanged. A table
// that cannot be found leaves the text as it is.
void TranslateText(FourDText& text, CharTable table);

// MacToISO / ISOToMac: a new block holding a translated copy of the Text's characters (a new
// empty block when it holds none). kNoText when the block cannot be allocated.
FourDText TranslatedCopy(const FourDText& text, CharTable table);

// ---- Replace-all and line breaks ---------------------------------------------------------

// Replaces every occurrence of `pattern` in the whole block by `replacement` (both
// length-prefixed), left to right; text a replacement inserts is never searched again. An
// empty pattern changes nothing. False when the block could not grow for a replacement (the
// replacements before it are kept). The caller updates any length it keeps.
bool ReplaceAll(Handle block, ConstStr255Param pattern, ConstStr255Param replacement);

// Every CR becomes CR LF (a CR LF already there becomes CR LF LF). False, with the Text
// unchanged, when the result would pass 32767 bytes or the block cannot grow.
bool ConvertCRToCRLF(FourDText& text);
// Every CR LF becomes CR; a lone LF stays.
void ConvertCRLFToCR(FourDText& text);

// ---- HTML entities and URL escapes (new Text results; the parameter is left unchanged) ----
//
// Each answers a new empty block for a Text without characters, and kNoText when its result
// would pass 32767 bytes or its block cannot be allocated.

// Option 0: entity encoding with the four markup characters escaped. Other options: for text
// that already holds markup; only an ampersand followed by a space is escaped.
FourDText TextToHTML(const FourDText& text, int32_t option);
// Option 0: entities decoded, markup escapes included. Option 2: tags removed, then as 0.
// Other options: "&amp;", "&lt;", "&gt;" and "&quot;" stay as they are.
FourDText HTMLToText(const FourDText& text, int32_t option);
// Option 0: form encoding (space to "+", bytes below "0" or above 127 escaped). Other
// options: bytes 0-32, above 127 and "%" escaped. Sounds the alert beep when it cannot get
// its block.
FourDText TextToURL(const FourDText& text, int32_t option);
// Option 0: "%XX" decoded and "+" to space. -1: "=XX" decoded, "+" stays. Others: "%XX"
// decoded, "+" stays.
FourDText URLToText(const FourDText& text, int32_t option);

// ---- Conversion modes ------------------------------------------------------------------

// The bits of a conversion mode, applied in this order; bits above kModeEncodeMarkup are
// ignored. Of the three HTML bits only the last one set counts.
inline constexpr int32_t kModeMacToISO = 1;
inline constexpr int32_t kModeISOToMac = 2;
inline constexpr int32_t kModeCRToCRLF = 4;
inline constexpr int32_t kModeCRLFToCR = 8;
inline constexpr int32_t kModeEncodeHTML = 16;    // TextToHTML, option 0
inline constexpr int32_t kModeDecodeHTML = 32;    // HTMLToText, option 0
inline constexpr int32_t kModeEncodeMarkup = 64;  // TextToHTML, option 1

// Converts the Text in place as the mode says. The line and character-set bits keep the
// Text's block; an HTML bit puts a new block into the record and disposes of the old one.
// False, with the Text unchanged, when the result would pass 32767 bytes or a block cannot be
// allocated; the caller decides what that means.
bool ApplyConversionMode(FourDText& text, int32_t mode);

// The most a mode can multiply a text's length by (1, 2, 8 or 16), and the longest text it
// is always able to convert: what the transfer routines take in before converting.
int32_t ConversionModeGrowth(int32_t mode);
int32_t ConversionModeInputCap(int32_t mode);

// ---- Converting a long text piece by piece ---------------------------------------------
//
// A conversion looks past some bytes before it decides what they become: a CR that an LF may
// join (CR LF to CR), an ampersand that may start an entity or a numeric reference (decoding,
// which may read up to 13 characters, "&amp;Aacute;", each of them maybe a reference of up to
// 6 bytes), an ampersand that a space may follow (the markup option's encoding). A routine that
// converts a long text piece by piece (a file, a stream) holds such an unfinished tail back and
// puts it in front of the next piece; the last piece is converted with no tail held back. The
// results, joined, are then those of converting the whole text at once.

// The most bytes ever held back.
inline constexpr int32_t kLongestUnfinishedTail = 78;

// How many of the piece's first count bytes the mode converts the same whatever bytes follow
// them; the other count - answer bytes (at most kLongestUnfinishedTail) are the unfinished
// tail. The bytes are read as they are, before the mode's conversions.
int32_t ConversionModeSettledLength(const uint8_t* bytes, int32_t count, int32_t mode);

}  // namespace nimbus
