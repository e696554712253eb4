#include "gif/giflib_reader.h"

#include <gif_lib.h>

#include <cstring>

namespace giftest {
namespace {

struct Source {
  const std::string* bytes;
  size_t position;
};

int ReadFromString(GifFileType* gif, GifByteType* buffer, int count) {
  auto* source = static_cast<Source*>(gif->UserData);
  const size_t n = std::min(size_t(count), source->bytes->size() - source->position);
  std::memcpy(buffer, source->bytes->data() + source->position, n);
  source->position += n;
  return int(n);
}

}  // namespace

DecodedGif DecodeWithGiflib(const std::string& file) {
  DecodedGif out;
  Source source{&file, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&source, ReadFromString, &error);
  if (gif == nullptr) {
    out.error = std::string("open: ") + GifErrorString(error);
    return out;
  }
  // DGifSlurp reads the whole file, up to the trailer, and undoes interlacing.
  if (DGifSlurp(gif) == GIF_ERROR) {
    out.error = GifErrorString(gif->Error);
  } else if (gif->ImageCount != 1 || gif->SColorMap == nullptr) {
    out.error = "not one image with a global colour table";
  } else {
    const SavedImage& image = gif->SavedImages[0];
    out.width = gif->SWidth, out.height = gif->SHeight;
    if (image.ImageDesc.Width != out.width || image.ImageDesc.Height != out.height ||
        image.ImageDesc.Left != 0 || image.ImageDesc.Top != 0)
      out.error = "image does not cover the screen";
    out.interlaced = image.ImageDesc.Interlace;
    out.pixels.assign(image.RasterBits, image.RasterBits + size_t(out.width) * out.height);
    for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
      const GifColorType c = gif->SColorMap->Colors[i];
      out.palette.insert(out.palette.end(), {c.Red, c.Green, c.Blue});
    }
    GraphicsControlBlock gcb;
    if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK)
      out.transparentIndex = gcb.TransparentColor;
  }
  DGifCloseFile(gif, &error);
  return out;
}

}  // namespace giftest
