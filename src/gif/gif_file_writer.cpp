#include "gif/gif_file_writer.h"

#include "gif/lzw_compressor.h"
#include "gif/output_block.h"
#include "gif/pixel_cursor.h"

namespace nimbus::gif {
namespace {

constexpr int32_t kMinimumCodeSize = kBitsPerPixel > 1 ? kBitsPerPixel : 2;
constexpr uint8_t kScreenPacked =
    kGlobalColorTableFlag | ((kBitsPerPixel - 1) << kColorResolutionShift) | (kBitsPerPixel - 1);
static_assert(kScreenPacked == 0xF7);

bool HasTransparency(const GifImage& image) {
  return image.transparentIndex >= 0;
}

void WriteHeader(OutputBlock& out, const GifImage& image) {
  WriteBytes(out, HasTransparency(image) ? kSignature89 : kSignature87, kSignatureLength);
}

void WriteScreenDescriptor(OutputBlock& out, const GifImage& image) {
  WriteWord(out, uint16_t(image.width));
  WriteWord(out, uint16_t(image.height));
  WriteByte(out, kScreenPacked);
  WriteByte(out, kBackgroundIndex);
  WriteByte(out, kPixelAspectRatio);
}

void WriteGraphicControl(OutputBlock& out, const GifImage& image) {
  WriteByte(out, kExtensionIntroducer);
  WriteByte(out, kGraphicControlLabel);
  WriteByte(out, kGraphicControlSize);
  WriteByte(out, kTransparentColorFlag);
  WriteWord(out, kNoDelay);
  WriteByte(out, uint8_t(image.transparentIndex));
  WriteByte(out, kBlockTerminator);
}

void WriteImageDescriptor(OutputBlock& out, const GifImage& image) {
  WriteByte(out, kImageSeparator);
  WriteWord(out, 0);  // left
  WriteWord(out, 0);  // top
  WriteWord(out, uint16_t(image.width));
  WriteWord(out, uint16_t(image.height));
  WriteByte(out, image.interlaced ? kInterlaceFlag : kNoLocalColorTable);
}

}  // namespace

void WriteGIFFile(EncoderState& state, const GifImage& image) {
  ResetEncoderState(state);
  StartCursor(state.cursor, image.pixels, image.stride, image.width, image.height,
              image.interlaced);
  OutputBlock& out = state.output;
  WriteHeader(out, image);
  WriteScreenDescriptor(out, image);
  WriteBytes(out, image.palette, kColorTableBytes);
  if (HasTransparency(image)) WriteGraphicControl(out, image);
  WriteImageDescriptor(out, image);
  WriteByte(out, uint8_t(kMinimumCodeSize));
  Compress(state, kMinimumCodeSize + 1);
  WriteByte(out, kBlockTerminator);
  WriteByte(out, kTrailer);
}

}  // namespace nimbus::gif
