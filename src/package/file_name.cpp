#include "package/file_name.h"

#include <cstring>

namespace nimbus {

FileName FileNameOf(const FourDText& text) {
  FileName name{};
  const int32_t length = text.length;
  if (text.handle == nullptr || length < 0 || length > kMaxFileNameLength) return name;
  if (GetHandleSize(text.handle) < length) return name;
  if (length == 0) return name;
  if (std::memchr(*text.handle, 0, size_t(length)) != nullptr) return name;
  std::memcpy(name.path, *text.handle, size_t(length));
  name.path[length] = '\0';
  return name;
}

}  // namespace nimbus
