// The reference conversions, step by step as they are defined, on host blocks.
#include "text/literal_substitution.h"

#include <optional>
#include <string_view>

#include "text/html_entities.h"

namespace nimbus::literal {
namespace {

constexpr ResType kTableType = ResTypeOf("NMBc");
const char kNothing[1] = {0};  // a non-null replacement of length 0 deletes the target

// A block holding a copy of some bytes, disposed of at the end of its scope.
class Block {
 public:
  explicit Block(std::string_view bytes) : handle_(NewHandle(int32_t(bytes.size()))) {
    if (handle_ != nullptr && !bytes.empty()) {
      BlockMove(bytes.data(), *handle_, int32_t(bytes.size()));
    }
  }
  ~Block() {
    if (handle_ != nullptr) DisposeHandle(handle_);
  }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;

  Handle handle() const { return handle_; }
  int32_t size() const { return GetHandleSize(handle_); }
  uint8_t& at(int32_t i) const { return reinterpret_cast<uint8_t*>(*handle_)[i]; }
  std::string bytes() const { return std::string(*handle_, size_t(size())); }

 private:
  Handle handle_;
};

// Start at offset 0; each call answers the offset just past its replacement; go on while it
// is greater than 0.
void ReplaceAll(const Block& block, std::string_view pattern, std::string_view replacement) {
  unsigned char p[256];
  unsigned char r[256];
  p[0] = uint8_t(pattern.size());
  r[0] = uint8_t(replacement.size());
  pattern.copy(reinterpret_cast<char*>(p + 1), pattern.size());
  replacement.copy(reinterpret_cast<char*>(r + 1), replacement.size());
  int32_t offset = 0;
  do {
    offset = Munger(block.handle(), offset, p + 1, p[0], r + 1, r[0]);
  } while (offset > 0);
}

// TranslateText: the table looked up by name, then byte i replaced by entry (byte i).
void TranslateText(const Block& block, int32_t length, CharTable table) {
  Handle resource = GetNamedResource(
      kTableType, reinterpret_cast<ConstStr255Param>(table == CharTable::kMac2ISO ? "\x07Mac2ISO"
                                                                                  : "\x07ISO2Mac"));
  if (resource == nullptr) return;
  for (int32_t i = 0; i < length; ++i) {
    block.at(i) = reinterpret_cast<const uint8_t*>(*resource)[block.at(i)];
  }
}

std::string_view OneByte(const uint8_t& code) {
  return std::string_view(reinterpret_cast<const char*>(&code), 1);
}

bool IsDigit(uint8_t c) {
  return c >= '0' && c <= '9';
}

// "&#", one to three digits, ";", wholly inside the text: the number of characters after the
// "&" that the reference takes, or nothing. The byte is the number's low 8 bits.
std::optional<int32_t> NumericReferenceTail(const Block& block, int32_t at, int32_t length,
                                            uint8_t* value) {
  if (at + 1 >= length || block.at(at + 1) != '#') return std::nullopt;
  int32_t digits = 0;
  int32_t number = 0;
  while (digits < 3 && at + 2 + digits < length && IsDigit(block.at(at + 2 + digits))) {
    number = number * 10 + block.at(at + 2 + digits) - '0';
    ++digits;
  }
  if (digits == 0 || at + 2 + digits >= length || block.at(at + 2 + digits) != ';') {
    return std::nullopt;
  }
  *value = uint8_t(number & 0xFF);
  return 2 + digits;
}

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string DecodeEntities(const std::string& text, bool withMarkup) {
  Block block(text);
  int32_t length = int32_t(text.size());
  for (int32_t i = 0; i < length; ++i) {
    uint8_t value;
    if (block.at(i) != '&') continue;
    if (auto tail = NumericReferenceTail(block, i, length, &value)) {
      block.at(i) = value;
      Munger(block.handle(), i + 1, nullptr, *tail, kNothing, 0);
      length -= *tail;
    }
  }
  SetHandleSize(block.handle(), length);
  TranslateText(block, length, CharTable::kISO2Mac);
  if (withMarkup) {
    for (const auto& s : html::kMarkupEscapes) ReplaceAll(block, s.replacement, s.pattern);
  }
  for (const auto& row : html::kEntityRows) {
    if (!row.read.empty()) ReplaceAll(block, row.read, OneByte(row.macCode));
  }
  return block.bytes();
}

}  // namespace

std::string Translate(const std::string& text, CharTable table) {
  Block block(text);
  TranslateText(block, int32_t(text.size()), table);
  return block.bytes();
}

std::string CRToCRLF(const std::string& text) {
  Block block(text);
  ReplaceAll(block, "\r", "\r\n");
  return block.bytes();
}

std::string CRLFToCR(const std::string& text) {
  Block block(text);
  ReplaceAll(block, "\r\n", "\r");
  return block.bytes();
}

std::string TextToHTML(const std::string& text, int32_t option) {
  if (text.empty()) return text;
  Block block(text);
  for (const auto& s : html::kEncoderPrefix) ReplaceAll(block, s.pattern, s.replacement);
  if (option == 0) {
    for (const auto& s : html::kMarkupEscapes) ReplaceAll(block, s.pattern, s.replacement);
  } else {
    ReplaceAll(block, html::kSpacedAmpersand.pattern, html::kSpacedAmpersand.replacement);
  }
  for (const auto& s : html::kSingleQuotes) ReplaceAll(block, s.pattern, s.replacement);
  for (const auto& row : html::kEntityRows) ReplaceAll(block, OneByte(row.macCode), row.written);
  TranslateText(block, block.size(), CharTable::kMac2ISO);
  for (int32_t i = 0; i < block.size();) {
    uint8_t c = block.at(i);
    if (c <= 127) {
      ++i;
      continue;
    }
    char reference[] = {'&', '#', char('0' + c / 100), char('0' + c / 10 % 10), char('0' + c % 10),
                        ';'};
    Munger(block.handle(), i, nullptr, 1, reference, sizeof reference);
    i += sizeof reference;
  }
  return block.bytes();
}

std::string HTMLToText(const std::string& text, int32_t option) {
  if (option != 2) return DecodeEntities(text, option == 0);
  std::string kept;
  bool inTag = false;
  for (char c : text) {
    if (!inTag && c == '<') {
      inTag = true;
    } else if (inTag && c == '>') {
      inTag = false;
    } else if (!inTag) {
      kept += c;
    }
  }
  return DecodeEntities(kept, true);
}

std::string TextToURL(const std::string& text, int32_t option) {
  Block block(text);
  TranslateText(block, block.size(), CharTable::kMac2ISO);
  for (int32_t i = 0; i < block.size(); ++i) {
    uint8_t c = block.at(i);
    bool escape = option == 0 ? (c < '0' || c > 127) : (c <= ' ' || c > 127 || c == '%');
    if (option == 0 && c == ' ') {
      block.at(i) = '+';
    } else if (escape) {
      const char* hex = "0123456789ABCDEF";
      char replacement[] = {'%', hex[c >> 4], hex[c & 15]};
      Munger(block.handle(), i, nullptr, 1, replacement, sizeof replacement);
      i += 2;
    }
  }
  return block.bytes();
}

std::string URLToText(const std::string& text, int32_t option) {
  Block block(text);
  uint8_t escape = option == -1 ? '=' : '%';
  int32_t length = int32_t(text.size());
  for (int32_t i = 0; i < length; ++i) {
    uint8_t c = block.at(i);
    if (c == escape && i + 2 < length && HexValue(block.at(i + 1)) >= 0 &&
        HexValue(block.at(i + 2)) >= 0) {
      block.at(i) = uint8_t(HexValue(block.at(i + 1)) * 16 + HexValue(block.at(i + 2)));
      Munger(block.handle(), i + 1, nullptr, 2, kNothing, 0);
      length -= 2;
    } else if (option == 0 && c == '+') {
      block.at(i) = ' ';
    }
  }
  SetHandleSize(block.handle(), length);
  TranslateText(block, length, CharTable::kISO2Mac);
  return block.bytes();
}

std::optional<std::string> ApplyConversionMode(const std::string& text, int32_t mode) {
  std::string result = text;
  if (mode & kModeMacToISO) result = Translate(result, CharTable::kMac2ISO);
  if (mode & kModeISOToMac) result = Translate(result, CharTable::kISO2Mac);
  if (mode & kModeCRToCRLF) result = CRToCRLF(result);
  if (mode & kModeCRLFToCR) result = CRLFToCR(result);
  if (result.size() > size_t(kMaxTextLength)) return std::nullopt;
  std::optional<std::string> kept;
  if (mode & kModeEncodeHTML) kept = TextToHTML(result, 0);
  if (mode & kModeDecodeHTML) kept = HTMLToText(result, 0);
  if (mode & kModeEncodeMarkup) kept = TextToHTML(result, 1);
  if (!kept) return result;
  if (kept->size() > size_t(kMaxTextLength)) return std::nullopt;
  return kept;
}

}  // namespace nimbus::literal
