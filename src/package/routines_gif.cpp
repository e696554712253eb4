// Adapters of the picture routines. Until the encoder lands they answer empty results.
#include "package/routine_table.h"

namespace nimbus {

void RunPictureToGIF(const RoutineCall& call) {
  call.ReturnBlock(nullptr);
}
void RunPictureInfo(const RoutineCall& call) {
  call.ReturnLongint(0);
}

}  // namespace nimbus
