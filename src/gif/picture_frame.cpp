#include "gif/picture_frame.h"

namespace nimbus::gif {

int32_t PictureSize(Handle picture) {
  if (picture == nullptr || *picture == nullptr) return 0;
  return GetHandleSize(picture);
}

int16_t PictureWord(Handle picture, int32_t offset) {
  if (offset < 0 || PictureSize(picture) - offset < 2) return 0;
  const auto* bytes = reinterpret_cast<const uint8_t*>(*picture + offset);
  return int16_t(bytes[0] | (bytes[1] << 8));
}

}  // namespace nimbus::gif
