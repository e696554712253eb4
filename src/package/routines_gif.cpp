// Adapters of the picture routines.
#include "gif/gif.h"
#include "package/routine_table.h"

namespace nimbus {

// 46: picture; options; width; height; column and row of the transparent colour → GIF block.
void RunPictureToGIF(const RoutineCall& call) {
  call.ReturnBlock(PictureToGIF(call.Block(1), call.Longint(2), call.Longint(3), call.Longint(4),
                                call.Longint(5), call.Longint(6)));
}

// 47: picture; → four frame words; → GIF flag. Answers the block's size.
void RunPictureInfo(const RoutineCall& call) {
  PictureInfoResult info{};
  const int32_t size = PictureInfo(call.Block(1), &info);
  for (int i = 0; i < 4; ++i) call.Longint(2 + i) = info.frameWords[i];
  call.Longint(6) = info.gifFlag;
  call.ReturnLongint(size);
}

}  // namespace nimbus
