// The conversion modes of the transfer routines, and the translated copies of MacToISO and
// ISOToMac, against their literal references, and the conversion of a text piece by piece with
// each piece's unfinished tail held back, against the whole text's. Input: the steering byte,
// a mode byte (bit 7 adds a bit above the known ones, which must change nothing), then the
// text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>

#include "host/toolbox.h"
#include "support/fuzz_support.h"
#include "text/literal_substitution.h"
#include "text/text.h"
#include "toolbox/toolbox_testing.h"

namespace {

using namespace nimbus;
using nimbus::fuzz::Check;

constexpr int32_t kUnknownModeBit = 128;

// Pieces of 1 to 1000 bytes, each converted without its unfinished tail, which goes in front
// of the next; the last converted whole. Joined, they must be the whole text's conversion.
constexpr size_t kPieceSizes[] = {1, 2, 3, 5, 8, 13, 64, 1000};
constexpr size_t kMostPieces = 256;

void CheckPieces(const fuzz::Steering& steering, int32_t mode, const std::string& bytes,
                 const std::string& expected) {
  // At most kMostPieces pieces, so that long inputs stay quick.
  const size_t size = std::max(kPieceSizes[steering.variant % std::size(kPieceSizes)],
                               bytes.size() / kMostPieces + 1);
  const std::string what = "mode " + std::to_string(mode) + " in pieces of " +
                           std::to_string(size) + " of \"" + fuzz::Printable(bytes) + "\"";
  auto convert = [&](const std::string& piece) {
    if (piece.empty()) return std::string();
    FourDText text = fuzz::MakeText(piece);
    Check(ApplyConversionMode(text, mode), what + ": a piece did not convert");
    std::string out = fuzz::TextBytes(text);
    fuzz::DisposeText(text);
    return out;
  };
  std::string got, held;
  for (size_t at = 0; at < bytes.size(); at += size) {
    const std::string piece = held + bytes.substr(at, size);
    if (at + size >= bytes.size()) {
      held = piece;  // the last piece holds nothing back
      break;
    }
    const int32_t settled = ConversionModeSettledLength(
        reinterpret_cast<const uint8_t*>(piece.data()), int32_t(piece.size()), mode);
    Check(settled >= 0 && piece.size() - size_t(settled) <= size_t(kLongestUnfinishedTail),
          what + ": held back " + std::to_string(int32_t(piece.size()) - settled));
    got += convert(piece.substr(0, size_t(settled)));
    held = piece.substr(size_t(settled));
  }
  got += convert(held);
  Check(got == expected, what + ":\n  got      \"" + fuzz::Printable(got) + "\"\n  expected \"" +
                             fuzz::Printable(expected) + "\"");
}

void CheckMode(const fuzz::Steering& steering, int32_t mode, const std::string& bytes) {
  const std::string what =
      "mode " + std::to_string(mode) + " of \"" + fuzz::Printable(bytes) + "\"";
  FourDText text = fuzz::MakeText(bytes);
  const Handle original = text.handle;
  steering.LimitAllocations();
  const bool converted = ApplyConversionMode(text, mode);
  TBTest_SetAllocationBudget(-1);

  const std::optional<std::string> expected = literal::ApplyConversionMode(bytes, mode);
  if (!converted) {
    Check(text.handle == original && text.length == int16_t(bytes.size()) &&
              fuzz::TextBytes(text) == bytes,
          what + ": failed, but changed the Text");
    Check(!expected.has_value() || steering.limited(), what + ": failed, though it fits");
    Check(steering.limited() || int32_t(bytes.size()) > ConversionModeInputCap(mode),
          what + ": failed on a text within the mode's input cap");
  } else {
    Check(expected.has_value(), what + ": converted, though the result passes 32767 bytes");
    const std::string got = fuzz::TextBytes(text);
    Check(got == *expected, what + ":\n  got      \"" + fuzz::Printable(got) + "\"\n  expected \"" +
                                fuzz::Printable(*expected) + "\"");
    Check(int64_t(got.size()) <= int64_t(bytes.size()) * ConversionModeGrowth(mode),
          what + ": grew past the mode's growth");
    Check(GetHandleSize(text.handle) >= text.length, what + ": length beyond the block");
    if (expected.has_value() && !steering.limited()) CheckPieces(steering, mode, bytes, *expected);
  }
  fuzz::DisposeText(text);
}

void CheckTranslatedCopy(const fuzz::Steering& steering, CharTable table,
                         const std::string& bytes) {
  const std::string what = std::string(table == CharTable::kMac2ISO ? "MacToISO" : "ISOToMac") +
                           " of \"" + fuzz::Printable(bytes) + "\"";
  FourDText text = fuzz::MakeText(bytes);
  steering.LimitAllocations();
  const FourDText copy = TranslatedCopy(text, table);
  TBTest_SetAllocationBudget(-1);
  Check(fuzz::TextBytes(text) == bytes, what + ": the parameter changed");
  if (copy.handle == nullptr) {
    Check(steering.limited(), what + ": no copy");
  } else {
    Check(fuzz::TextBytes(copy) == literal::Translate(bytes, table), what + ": wrong bytes");
  }
  fuzz::DisposeText(copy);
  fuzz::DisposeText(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SetUpToolbox();
  const fuzz::Steering steering = fuzz::Steering::Take(data, size);
  if (size == 0) return 0;
  int32_t mode = data[0] & 0x7F;
  if (data[0] & 0x80) mode |= kUnknownModeBit << (steering.variant % 4);
  const std::string bytes(reinterpret_cast<const char*>(data + 1),
                          std::min(size - 1, size_t(kMaxTextLength)));
  fuzz::BlockAccount account;
  if (steering.variant & 0x08) {
    CheckTranslatedCopy(steering, (mode & 1) ? CharTable::kMac2ISO : CharTable::kISO2Mac, bytes);
  } else {
    CheckMode(steering, mode, bytes);
  }
  return 0;
}
