// The file around the image data: header, logical screen descriptor, global colour table,
// graphic control extension, image descriptor, the compressed data and the trailer.
#pragma once

#include "gif/encoder_state.h"
#include "gif/gif.h"

namespace nimbus::gif {

// Writes the whole file for `image` into the state's open output. The code table must exist.
void WriteGIFFile(EncoderState& state, const GifImage& image);

}  // namespace nimbus::gif
