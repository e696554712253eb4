// HTMLToText with every option against its literal reference.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "support/text_differential.h"
#include "text/literal_substitution.h"
#include "text/text.h"

namespace {
// An option value for each distinct behaviour, and some that fall under "any other".
constexpr int32_t kOptions[] = {0, 1, 2, 3, -1};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace nimbus;
  fuzz::SetUpToolbox();
  const fuzz::Steering steering = fuzz::Steering::Take(data, size);
  const int32_t option = kOptions[steering.variant % std::size(kOptions)];
  fuzz::CheckAgainstLiteral("HTMLToText", HTMLToText, literal::HTMLToText, option, steering,
                            std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
