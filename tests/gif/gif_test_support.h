// Helpers of the picture tests: picture blocks, blocks to and from bytes, and the classic
// system palette written out from its definition, with a plain nearest-colour search.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/toolbox.h"

namespace giftest {

// A picture block: size word, frame (top, left, bottom, right) and `body` as given.
std::string Picture(int16_t top, int16_t left, int16_t bottom, int16_t right,
                    const std::string& body = "");
// The same with an "RGB8" body.
std::string RasterPicture(int16_t height, int16_t width, const std::vector<uint8_t>& rgb);

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed);
Handle NewBlock(const std::string& bytes);
std::string BlockBytes(Handle h);

// The classic 8-bit system palette, 3 bytes an entry.
std::vector<uint8_t> SystemPalette();
// The entry nearest to (r, g, b), the lowest index on a tie, by searching them all.
uint8_t NearestEntry(int r, int g, int b);
// What drawing a frame-sized raster into a width x height image gives: nearest-neighbour
// scaling, then the nearest palette colour.
std::vector<uint8_t> ExpectedImage(const std::vector<uint8_t>& rgb, int frameWidth, int frameHeight,
                                   int width, int height);

}  // namespace giftest
