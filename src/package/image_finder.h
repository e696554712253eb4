// Finds the image inside a picture or BLOB block: a GIF that fills the block, or a JPEG
// stream embedded after the picture's own header.
#pragma once

#include <cstdint>

#include "host/toolbox.h"

namespace nimbus {

// The bytes to take from a block: `first` is the image's first offset, `end` the offset of
// its last byte (a JPEG's end marker's second byte), or the block size for a GIF. Both are 0
// when no image is found.
struct ImageRange {
  int32_t first;
  int32_t end;
};

// A block that begins with "GIF8" is a GIF: {0, size}. Otherwise the JPEG starts at the first
// FF D8 start marker at an offset above 0 and ends at its FF D9 end marker: {start, end
// marker + 1}. The end marker is found by following the JPEG's marker segments by their
// lengths and reading its entropy-coded data, so that a complete JPEG inside a segment (the
// thumbnail of an EXIF segment) does not end it; when the bytes after the start marker do not
// follow that structure, the first FF D9 after it ends the JPEG. A start marker at offset 0
// (the block is not a picture wrapping a JPEG) or a missing marker gives {0, 0}. Only bytes
// inside the block are read; a null handle finds nothing.
ImageRange FindImage(Handle block);

}  // namespace nimbus
