// The encoder's files are fixed to the byte: every image gives exactly the file that a plain,
// step-by-step encoder written here gives (table probe, code widths, clear codes, sub-blocks
// and all), and a sweep of images gives the files recorded when the encoder was first
// written, by length and FNV-1a hash.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gif/gif.h"
#include "gif/gif_reference_encoder.h"
#include "gif/gif_test_support.h"
#include "toolbox/toolbox_testing.h"

namespace {

using giftest::ReferenceEncoder;

// ---- Images -----------------------------------------------------------------------------------

// kZeroRich: mostly 0, 1 and 16, so that strings hashed to slot 0 (key 0: pixel 0 after
// string 0; pixel 1 after string 16) keep turning up; a key-0 string away from slot 0 ends
// the probes that reach it and is overwritten by them.
enum class Kind { kNoise, kFewColours, kFlat, kGradient, kStripes, kRuns, kZeroRich };

// A width x height image of the kind, at `stride` bytes a row (padding bytes hold 0xEE, which
// the encoder must never read).
std::vector<uint8_t> MakeImage(Kind kind, int32_t width, int32_t height, int32_t stride,
                               uint32_t seed) {
  std::vector<uint8_t> image(size_t(stride) * height, 0xEE);
  const std::vector<uint8_t> noise = giftest::RandomBytes(size_t(width) * height, seed);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t r = noise[size_t(y) * width + x];
      uint8_t p = 0;
      switch (kind) {
        case Kind::kNoise:
          p = r;
          break;
        case Kind::kFewColours:
          p = uint8_t(r % 5);
          break;
        case Kind::kFlat:
          p = uint8_t(seed);
          break;
        case Kind::kGradient:
          p = uint8_t((x + 3 * y) & 0xFF);
          break;
        case Kind::kStripes:
          p = uint8_t((x / 7 + y / 3) % 17);
          break;
        case Kind::kRuns:
          p = uint8_t((x * y / 97) % 250 + (r < 8 ? r : 0));
          break;
        case Kind::kZeroRich:
          p = r < 40 ? 0 : r < 140 ? 1 : r < 200 ? 16 : r;
          break;
      }
      image[size_t(y) * stride + x] = p;
    }
  return image;
}

std::string Encoded(const std::vector<uint8_t>& image, int32_t stride, int32_t width,
                    int32_t height, const std::vector<uint8_t>& palette, bool interlaced,
                    int16_t transparent) {
  Handle h = nimbus::EncodeGIF(
      {image.data(), stride, width, height, palette.data(), interlaced, transparent});
  std::string bytes = giftest::BlockBytes(h);
  if (h != nullptr) DisposeHandle(h);
  return bytes;
}

uint64_t Fnv1a(const std::string& bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : bytes) hash = (hash ^ uint8_t(c)) * 1099511628211ull;
  return hash;
}

const std::vector<uint8_t> kPalette = giftest::RandomBytes(768, 99);

// Every small size, both orders, with and without a transparent colour and row padding.
TEST(EncoderIdentity, EverySmallImageMatchesTheReference) {
  ReferenceEncoder reference;
  for (int32_t height = 1; height <= 11; ++height)
    for (int32_t width = 1; width <= 40; ++width)
      for (Kind kind : {Kind::kNoise, Kind::kFewColours, Kind::kFlat})
        for (int options = 0; options < 4; ++options) {
          const bool interlaced = options & 1;
          const int16_t transparent = options & 2 ? int16_t(width % 256) : int16_t(-1);
          const int32_t stride = width + (options == 3 ? 5 : 0);
          const auto image = MakeImage(kind, width, height, stride, uint32_t(width * 31 + height));
          ASSERT_EQ(Encoded(image, stride, width, height, kPalette, interlaced, transparent),
                    reference.Encode(image.data(), stride, width, height, kPalette.data(),
                                     interlaced, transparent))
              << width << "x" << height << " kind " << int(kind) << " options " << options;
        }
}

// Images large enough to fill the table many times over (Clear codes at 12 bits), many
// output growth steps and long probe chains.
TEST(EncoderIdentity, LargeImagesMatchTheReference) {
  ReferenceEncoder reference;
  struct Case {
    Kind kind;
    int32_t width, height, padding;
    bool interlaced;
  };
  std::vector<Case> cases = {{Kind::kNoise, 333, 517, 3, true},
                             {Kind::kGradient, 1000, 700, 24, true},
                             {Kind::kFlat, 4000, 3, 0, true},
                             {Kind::kNoise, 1, 65535, 0, false},
                             {Kind::kFewColours, 65535, 2, 1, true}};
  for (Kind kind : {Kind::kNoise, Kind::kFewColours, Kind::kGradient, Kind::kStripes, Kind::kRuns,
                    Kind::kZeroRich})
    for (bool interlaced : {false, true}) cases.push_back({kind, 1024, 1024, 0, interlaced});
  for (const Case& c : cases) {
    const int32_t stride = c.width + c.padding;
    const auto image = MakeImage(c.kind, c.width, c.height, stride, uint32_t(c.width ^ c.height));
    const std::string ours = Encoded(image, stride, c.width, c.height, kPalette, c.interlaced, 7);
    ASSERT_EQ(ours, reference.Encode(image.data(), stride, c.width, c.height, kPalette.data(),
                                     c.interlaced, 7))
        << c.width << "x" << c.height << " kind " << int(c.kind);
  }
}

// Flat stretches: the encoder follows a run of strings, each one pixel longer than the last,
// by expecting the next code. Long enough to fill the table more than once, in each colour
// that picks a different table (pixel 0 adds key 0 at once and probes the slots; other
// colours use the plain dictionary), and in bands whose colour changes mid-string, at a
// stride that puts the change anywhere in a row.
TEST(EncoderIdentity, FlatStretchesMatchTheReference) {
  ReferenceEncoder reference;
  constexpr int32_t kSide = 2800;  // 7.8 million pixels: a flat table fills at about 7.4
  for (const uint8_t colour : {0, 1, 16, 255}) {
    const std::vector<uint8_t> image(size_t(kSide) * kSide, colour);
    ASSERT_EQ(Encoded(image, kSide, kSide, kSide, kPalette, false, -1),
              reference.Encode(image.data(), kSide, kSide, kSide, kPalette.data(), false, -1))
        << "colour " << int(colour);
  }
  // Bands of 1 to 40 000 pixels of one colour, the colours from a small set so that a band
  // meets strings of its colour already in the table.
  const std::vector<uint8_t> noise = giftest::RandomBytes(4000, 17);
  for (const int32_t width : {997, 1024}) {
    std::vector<uint8_t> image;
    for (size_t n = 0; image.size() < size_t(width) * 1500; ++n) {
      const size_t length =
          1 + (size_t(noise[n % 4000]) * noise[(n + 1) % 4000] % 40000) / (n % 3 + 1);
      const uint8_t colours[] = {0, 0, 1, 16, 200, 255};
      image.insert(image.end(), length, colours[noise[(n + 2) % 4000] % 6]);
    }
    image.resize(size_t(width) * 1500);
    for (const bool interlaced : {false, true})
      ASSERT_EQ(Encoded(image, width, width, 1500, kPalette, interlaced, -1),
                reference.Encode(image.data(), width, width, 1500, kPalette.data(), interlaced, -1))
          << "bands, width " << width << (interlaced ? ", interlaced" : "");
  }
}

// An encoding cut short where its output could not grow, at every growth step, leaves the
// string table as a whole encoding does: the next encoding still gives the reference file.
TEST(EncoderIdentity, AnEncodingCutShortLeavesTheTableClean) {
  ReferenceEncoder reference;
  const auto cut = MakeImage(Kind::kRuns, 300, 200, 300, 5);
  const auto next = MakeImage(Kind::kZeroRich, 211, 97, 211, 6);
  const std::string expected =
      reference.Encode(next.data(), 211, 211, 97, kPalette.data(), false, -1);
  for (int32_t budget = 0; budget <= 40; ++budget) {
    TBTest_SetAllocationBudget(budget);
    const std::string partial = Encoded(cut, 300, 300, 200, kPalette, false, -1);
    TBTest_SetAllocationBudget(-1);
    ASSERT_EQ(Encoded(next, 211, 211, 97, kPalette, false, -1), expected) << budget;
    if (!partial.empty()) break;  // the budget sufficed: every cut point was tried
  }
}

// The files of a fixed sweep, as the first encoder wrote them. Holds the bytes even if the
// reference above and the encoder were ever changed together.
TEST(EncoderIdentity, SweepGivesTheRecordedFiles) {
  struct Recorded {
    Kind kind;
    int32_t width, height;
    bool interlaced;
    int16_t transparent;
    size_t length;
    uint64_t hash;
  };
  const Recorded recorded[] = {
#include "encoder_identity_recorded.inc"
  };
  const bool print = std::getenv("NIMBUS_PRINT_GIF_RECORDS") != nullptr;
  const Kind kinds[] = {Kind::kNoise,    Kind::kFewColours, Kind::kFlat,
                        Kind::kGradient, Kind::kStripes,    Kind::kRuns};
  const int32_t sides[][2] = {{1, 1}, {3, 2}, {17, 9}, {256, 256}, {1024, 1024}, {5000, 13}};
  size_t n = 0;
  for (Kind kind : kinds)
    for (const auto& side : sides)
      for (int options = 0; options < 3; ++options) {
        const bool interlaced = options == 1;
        const int16_t transparent = options == 2 ? int16_t(200) : int16_t(-1);
        const auto image = MakeImage(kind, side[0], side[1], side[0], 4242);
        const std::string file =
            Encoded(image, side[0], side[0], side[1], kPalette, interlaced, transparent);
        if (print) {
          std::printf("{Kind(%d), %d, %d, %s, %d, %zu, 0x%016llxull},\n", int(kind), side[0],
                      side[1], interlaced ? "true" : "false", transparent, file.size(),
                      static_cast<unsigned long long>(Fnv1a(file)));
          continue;
        }
        ASSERT_LT(n, std::size(recorded));
        const Recorded& r = recorded[n++];
        ASSERT_TRUE(r.kind == kind && r.width == side[0] && r.height == side[1] &&
                    r.interlaced == interlaced && r.transparent == transparent)
            << "record " << n << " is for another image";
        EXPECT_EQ(file.size(), r.length) << n;
        EXPECT_EQ(Fnv1a(file), r.hash) << n;
      }
  if (!print) {
    EXPECT_EQ(n, std::size(recorded));
  }
}

}  // namespace
