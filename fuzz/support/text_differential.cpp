#include "support/text_differential.h"

#include "host/toolbox.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus::fuzz {

void CheckAgainstLiteral(const char* name, FastConversion fast, LiteralConversion literal,
                         int32_t option, const Steering& steering, std::string_view input) {
  const std::string bytes(input.substr(0, size_t(kMaxTextLength)));
  const std::string what =
      std::string(name) + " " + std::to_string(option) + " of \"" + Printable(bytes) + "\"";
  BlockAccount account;
  FourDText parameter = MakeText(bytes);
  if (steering.variant & 0x08) parameter.length = int16_t(kMaxTextLength);
  const FourDText before = parameter;

  steering.LimitAllocations();
  const FourDText result = fast(parameter, option);
  TBTest_SetAllocationBudget(-1);

  Check(parameter.length == before.length && parameter.handle == before.handle &&
            GetHandleSize(parameter.handle) == int32_t(bytes.size()) &&
            std::string(*parameter.handle, bytes.size()) == bytes,
        what + ": the parameter changed");
  const std::string expected = literal(bytes, option);
  if (result.handle == nullptr) {
    Check(result.length == 0, what + ": no block but a length");
    Check(expected.size() > size_t(kMaxTextLength) || steering.limited(),
          what + ": no Text, though the result fits");
  } else {
    Check(expected.size() <= size_t(kMaxTextLength),
          what + ": a Text although the result passes 32767 bytes");
    Check(GetHandleSize(result.handle) >= result.length, what + ": length beyond the block");
    const std::string got = TextBytes(result);
    Check(got == expected, what + ":\n  got      \"" + Printable(got) + "\"\n  expected \"" +
                               Printable(expected) + "\"");
  }
  DisposeText(result);
  DisposeText(parameter);
}

}  // namespace nimbus::fuzz
