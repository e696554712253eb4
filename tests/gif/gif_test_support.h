// Shared helpers of the picture tests: building picture blocks, the classic system palette
// written out from its definition, and reading blocks back.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "host/toolbox.h"

namespace giftest {

// A picture block with the given frame and, when `rgb` is not empty, an "RGB8" body.
std::string RasterPicture(int16_t top, int16_t left, int16_t bottom, int16_t right,
                          const std::vector<uint8_t>& rgb);

// A picture block whose body is `body` as given.
std::string PictureWithBody(int16_t top, int16_t left, int16_t bottom, int16_t right,
                            const std::string& body);

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed);

// A new block holding `bytes`.
Handle NewBlock(const std::string& bytes);
// The bytes of a block.
std::string BlockBytes(Handle h);

// The classic 8-bit system palette as 8-bit components (768 bytes).
std::vector<uint8_t> SystemPalette();

// The index of the palette entry nearest to (r, g, b); the lowest index on a tie. A plain
// search over all entries.
uint8_t NearestEntry(const std::vector<uint8_t>& palette, int r, int g, int b);

// The GIF file's bytes up to and including the image descriptor, and the position where
// the LZW minimum code size byte sits.
size_t ImageDataOffset(const std::string& file);

// The image data's sub-block lengths, and the concatenated data, from `offset` (the minimum
// code size byte). Stops at the zero-length block; `end` receives the offset after it.
std::vector<int> SubBlockLengths(const std::string& file, size_t offset, std::string* data,
                                 size_t* end);

// LZW codes of the image data with the width each was read at, following the decoder's rule
// for widening codes.
struct ReadCode {
  int code;
  int width;
};
std::vector<ReadCode> ReadCodes(const std::string& data, int minimumCodeSize);

}  // namespace giftest
