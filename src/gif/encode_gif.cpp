// EncodeGIF: one encoding in the shared state, from the output block to the finished file.
#include <cstdint>

#include "gif/encoder_state.h"
#include "gif/gif.h"
#include "gif/gif_file_writer.h"
#include "gif/output_block.h"

namespace nimbus {
namespace {

constexpr int32_t kMaxDimension = 0xFFFF;  // the file's 16-bit width and height
constexpr int64_t kMaxPixels = INT32_MAX;  // the pixel cursor counts in 32 bits

bool IsEncodable(const GifImage& image) {
  return image.pixels != nullptr && image.palette != nullptr && image.width > 0 &&
         image.height > 0 && image.width <= kMaxDimension && image.height <= kMaxDimension &&
         image.stride >= image.width && int64_t(image.width) * image.height <= kMaxPixels &&
         image.transparentIndex >= gif::kNoTransparency &&
         image.transparentIndex < gif::kColorCount;
}

}  // namespace

Handle EncodeGIF(const GifImage& image) {
  if (!IsEncodable(image)) return nullptr;
  gif::EncoderState& state = gif::SharedEncoderState();
  if (!gif::OpenOutput(state.output)) {
    SysBeep(gif::kAlertBeep);
    return nullptr;
  }
  if (!gif::EnsureCodeTable(state.table)) {
    gif::DiscardOutput(state.output);
    SysBeep(gif::kAlertBeep);
    return nullptr;
  }
  gif::WriteGIFFile(state, image);
  Handle file = gif::CloseOutput(state.output);
  if (file == nullptr) SysBeep(gif::kAlertBeep);
  return file;
}

void ReleaseGifEncoder() {
  gif::ReleaseCodeTable(gif::SharedEncoderState().table);
}

}  // namespace nimbus
