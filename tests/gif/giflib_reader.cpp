#include "gif/giflib_reader.h"

#include <gif_lib.h>

#include <cstring>

namespace giftest {
namespace {

struct MemorySource {
  const std::string* bytes;
  size_t position;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int count) {
  auto* source = static_cast<MemorySource*>(gif->UserData);
  const size_t left = source->bytes->size() - source->position;
  const size_t n = size_t(count) < left ? size_t(count) : left;
  std::memcpy(buffer, source->bytes->data() + source->position, n);
  source->position += n;
  return int(n);
}

std::string Fail(GifFileType* gif, const char* what) {
  return std::string(what) + ": " + GifErrorString(gif->Error);
}

// Reads the first image and the extensions before it. Empty on success, else the error.
std::string ReadRecords(GifFileType* gif, DecodedGif& out) {
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return Fail(gif, "record type");
    if (type == TERMINATE_RECORD_TYPE) return "no image";
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* data = nullptr;
      if (DGifGetExtension(gif, &code, &data) == GIF_ERROR) return Fail(gif, "extension");
      if (code == GRAPHICS_EXT_FUNC_CODE && data != nullptr) {
        GraphicsControlBlock gcb;
        if (DGifExtensionToGCB(data[0], data + 1, &gcb) == GIF_ERROR) return "bad GCE";
        out.transparentIndex = gcb.TransparentColor;
      }
      while (data != nullptr)
        if (DGifGetExtensionNext(gif, &data) == GIF_ERROR) return Fail(gif, "extension data");
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) == GIF_ERROR) return Fail(gif, "image descriptor");
    out.imageWidth = gif->Image.Width;
    out.imageHeight = gif->Image.Height;
    out.interlaced = gif->Image.Interlace;
    out.pixels.assign(size_t(out.imageWidth) * out.imageHeight, 0);
    std::vector<int> rows(out.imageHeight);
    for (int i = 0; i < out.imageHeight; ++i) rows[i] = i;
    if (out.interlaced) rows = InterlacedRowOrder(out.imageHeight);
    for (int row : rows)
      if (DGifGetLine(gif, out.pixels.data() + size_t(row) * out.imageWidth, out.imageWidth) ==
          GIF_ERROR)
        return Fail(gif, "image data");
    // The rest of the file must parse too, up to the trailer.
    for (;;) {
      if (DGifGetRecordType(gif, &type) == GIF_ERROR) return Fail(gif, "after image");
      if (type == TERMINATE_RECORD_TYPE) return "";
      return "unexpected record after the image";
    }
  }
}

}  // namespace

std::vector<int> InterlacedRowOrder(int height) {
  static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  std::vector<int> order;
  for (int pass = 0; pass < 4; ++pass)
    for (int row = kStart[pass]; row < height; row += kStep[pass]) order.push_back(row);
  return order;
}

DecodedGif DecodeWithGiflib(const std::string& file) {
  DecodedGif out;
  MemorySource source{&file, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&source, ReadFromMemory, &error);
  if (gif == nullptr) {
    out.error = std::string("open: ") + GifErrorString(error);
    return out;
  }
  out.width = gif->SWidth;
  out.height = gif->SHeight;
  if (gif->SColorMap != nullptr)
    for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
      const GifColorType c = gif->SColorMap->Colors[i];
      out.palette.insert(out.palette.end(), {c.Red, c.Green, c.Blue});
    }
  out.error = ReadRecords(gif, out);
  DGifCloseFile(gif, &error);
  out.ok = out.error.empty();
  return out;
}

}  // namespace giftest
