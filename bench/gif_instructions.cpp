// Encodes one of the GIF benchmark images a given number of times, with our encoder or with
// giflib's, for an instruction counter run from outside (callgrind, or an emulator's trace
// where the build cannot run natively). The counts of two runs with different numbers of
// encodings, subtracted, give the instructions of the encodings alone, without the setup.
//   gif_instructions nimbus|giflib flat|noisy COUNT
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gif_encoders.h"

int main(int argc, char** argv) {
  using namespace gif_bench;
  const bool known = argc == 4 &&
                     (!std::strcmp(argv[1], "nimbus") || !std::strcmp(argv[1], "giflib")) &&
                     (!std::strcmp(argv[2], "flat") || !std::strcmp(argv[2], "noisy"));
  const int count = known ? std::atoi(argv[3]) : -1;
  if (count < 0) {
    std::fprintf(stderr, "usage: gif_instructions nimbus|giflib flat|noisy COUNT\n");
    return 2;
  }
  const Image& image = TheImage(argv[2][0] == 'n');
  std::vector<GifColorType> colours = GiflibColours(image);
  std::vector<uint8_t> line(kSide);
  const bool ours = argv[1][0] == 'n';
  long bytes = 0;
  for (int n = 0; n < count && bytes >= 0; ++n)
    bytes = ours ? EncodeWithNimbus(image) : EncodeWithGiflib(image, colours, line);
  if (bytes < 0) {
    std::fprintf(stderr, "gif_instructions: the %s encoder made no file\n", argv[1]);
    return 1;
  }
  std::printf("%s %s x%d: %ld bytes\n", argv[1], argv[2], count, bytes);
  return 0;
}
