// Whole blocks to and from files: BlobToFile and FileToBlob.
#pragma once

#include <cstdint>

#include "host/fourd_params.h"

namespace nimbus {

// Writes the image inside a picture or BLOB block (FindImage), or the whole block when it
// holds none, into the named file, created or emptied first. 0 when every byte was written
// and the file closed cleanly; the system's last error code as a 16-bit value when the open,
// the write or the close failed (-1 should that code read as 0); -1 for a null block. The
// block's lock state is the same afterwards.
int32_t BlobToFile(Handle block, const FourDText& name);

// Reads the named file into a new block of the file's size, which the caller owns. Null
// when the file does not open, its size is unknown, the block cannot be had, or a read
// fails (the block is then disposed of). An empty file gives an empty block.
Handle FileToBlob(const FourDText& name);

}  // namespace nimbus
