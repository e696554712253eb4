// PictureInfo: size, frame words and GIF signature of a picture block.
#include <cstring>

#include "gif/gif.h"
#include "gif/picture_frame.h"

namespace nimbus {
namespace {

constexpr char kGifMagic[4] = {'G', 'I', 'F', '8'};
constexpr int32_t kFrameWordOffsets[4] = {gif::kFrameTopOffset, gif::kFrameLeftOffset,
                                          gif::kFrameBottomOffset, gif::kFrameRightOffset};

}  // namespace

int32_t PictureInfo(Handle picture, PictureInfoResult* info) {
  const int32_t size = gif::PictureSize(picture);
  for (int i = 0; i < 4; ++i) info->frameWords[i] = gif::PictureWord(picture, kFrameWordOffsets[i]);
  info->gifFlag =
      size >= int32_t(sizeof kGifMagic) && std::memcmp(*picture, kGifMagic, sizeof kGifMagic) == 0;
  return size;
}

}  // namespace nimbus
