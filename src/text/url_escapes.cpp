// TextToURL and URLToText: percent escapes, form encoding and "=" escapes.
#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "text/char_map.h"
#include "text/text_block.h"

namespace nimbus {
namespace {

constexpr int32_t kFormOption = 0;
constexpr int32_t kEqualsSignOption = -1;
constexpr int32_t kEscapeLength = 3;  // "%" and two hexadecimal digits
constexpr int16_t kNoBlockBeep = 60;
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool NeedsEscape(uint8_t c, int32_t option) {
  if (option == kFormOption) return c != ' ' && (c < '0' || c > 127);
  return c <= ' ' || c > 127 || c == '%';
}

// What each source byte becomes: its translation, "+", or a percent escape.
class Escaper {
 public:
  Escaper(const CharMap& map, int32_t option) {
    for (int b = 0; b < 256; ++b) {
      uint8_t c = map.to[b];
      if (option == kFormOption && c == ' ') {
        Set(b, {'+'});
      } else if (NeedsEscape(c, option)) {
        Set(b, {'%', uint8_t(kHexDigits[c >> 4]), uint8_t(kHexDigits[c & 0x0F])});
      } else {
        Set(b, {c});
      }
    }
  }

  int32_t EscapedSize(const uint8_t* in, int32_t count) const {
    int32_t size = 0;
    for (int32_t i = 0; i < count; ++i) size += length_[in[i]];
    return size;
  }

  void Escape(const uint8_t* in, int32_t count, uint8_t* out) const {
    for (int32_t i = 0; i < count; ++i) {
      const uint8_t* bytes = bytes_[in[i]];
      if (length_[in[i]] == 1) {
        *out++ = bytes[0];
      } else {
        std::memcpy(out, bytes, kEscapeLength);
        out += kEscapeLength;
      }
    }
  }

 private:
  void Set(int b, std::initializer_list<uint8_t> bytes) {
    length_[b] = uint8_t(bytes.size());
    std::copy(bytes.begin(), bytes.end(), bytes_[b]);
  }

  uint8_t length_[256];
  uint8_t bytes_[256][kEscapeLength];
};

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Decodes the escapes, then translates; the scan goes on after each decoded byte, so a
// decoded escape character is not read again. out may be in.
int32_t Unescape(const uint8_t* in, int32_t count, const CharMap& map, int32_t option,
                 uint8_t* out) {
  uint8_t escape = option == kEqualsSignOption ? '=' : '%';
  bool plusIsSpace = option == kFormOption;
  int32_t written = 0;
  for (int32_t i = 0; i < count;) {
    uint8_t c = in[i];
    if (c == escape && i + 2 < count && HexValue(in[i + 1]) >= 0 && HexValue(in[i + 2]) >= 0) {
      out[written++] = map.to[HexValue(in[i + 1]) * 16 + HexValue(in[i + 2])];
      i += kEscapeLength;
      continue;
    }
    out[written++] = map.to[plusIsSpace && c == '+' ? uint8_t(' ') : c];
    ++i;
  }
  return written;
}

}  // namespace

FourDText TextToURL(const FourDText& text, int32_t option) {
  int32_t count = TextByteCount(text);
  FourDText result = kNoText;
  if (count == 0) {
    result = NewEmptyText();
  } else {
    Escaper escaper(LoadCharMap(CharTable::kMac2ISO), option);
    LockedBlock source(text.handle);
    int32_t size = escaper.EscapedSize(source.bytes(), count);
    if (size > kMaxTextLength) return kNoText;
    Handle block = NewHandle(size);
    if (block != nullptr) {
      escaper.Escape(source.bytes(), count, reinterpret_cast<uint8_t*>(*block));
      result = FourDText{int16_t(size), block};
    }
  }
  if (result.handle == nullptr) SysBeep(kNoBlockBeep);
  return result;
}

FourDText URLToText(const FourDText& text, int32_t option) {
  int32_t count = TextByteCount(text);
  if (count == 0) return NewEmptyText();
  CharMap map = LoadCharMap(CharTable::kISO2Mac);
  LockedBlock source(text.handle);
  Handle block = NewHandle(count);
  if (block == nullptr) return kNoText;
  int32_t size;
  {
    LockedBlock out(block);
    size = Unescape(source.bytes(), count, map, option, out.bytes());
  }
  TrimBlock(block, size);
  return FourDText{int16_t(size), block};
}

}  // namespace nimbus
