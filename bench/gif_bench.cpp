// GIF encoding speed: our encoder against giflib's on the same 1024x1024 pixels, in the same
// run. Reports megapixels per second and the file sizes, then the speed ratio per image.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <map>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "gif/gif.h"

namespace {

constexpr int kSide = 1024;
constexpr int kPixels = kSide * kSide;

struct Image {
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> palette;
};

Image MakeImage(bool noisy) {
  Image image{std::vector<uint8_t>(kPixels, 0), std::vector<uint8_t>(768)};
  std::mt19937 random(12345);
  if (noisy)
    for (uint8_t& p : image.pixels) p = uint8_t(random());
  for (int i = 0; i < 768; ++i) image.palette[size_t(i)] = uint8_t(i * 37);
  return image;
}

const Image& TheImage(bool noisy) {
  static const Image flat = MakeImage(false), noise = MakeImage(true);
  return noisy ? noise : flat;
}

void Report(benchmark::State& state, size_t fileBytes) {
  state.counters["MP/s"] =
      benchmark::Counter(double(kPixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["file_bytes"] = double(fileBytes);
}

void BM_Nimbus(benchmark::State& state) {
  const Image& image = TheImage(state.range(0) != 0);
  const nimbus::GifImage gif{image.pixels.data(),  kSide, kSide, kSide,
                             image.palette.data(), false, -1};
  size_t bytes = 0;
  for (auto _ : state) {
    Handle file = nimbus::EncodeGIF(gif);
    if (file == nullptr) {
      state.SkipWithError("no file");
      return;
    }
    bytes = size_t(GetHandleSize(file));
    DisposeHandle(file);
  }
  Report(state, bytes);
}

int AppendToString(GifFileType* gif, const GifByteType* bytes, int count) {
  static_cast<std::string*>(gif->UserData)
      ->append(reinterpret_cast<const char*>(bytes), size_t(count));
  return count;
}

void BM_Giflib(benchmark::State& state) {
  const Image& image = TheImage(state.range(0) != 0);
  std::vector<GifColorType> colours(256);
  for (int i = 0; i < 256; ++i)
    colours[size_t(i)] = {image.palette[3 * size_t(i)], image.palette[3 * size_t(i) + 1],
                          image.palette[3 * size_t(i) + 2]};
  std::vector<uint8_t> line(kSide);
  size_t bytes = 0;
  for (auto _ : state) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendToString, &error);
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    bool ok = gif && map && EGifPutScreenDesc(gif, kSide, kSide, 8, 0, map) != GIF_ERROR &&
              EGifPutImageDesc(gif, 0, 0, kSide, kSide, false, nullptr) != GIF_ERROR;
    for (int y = 0; ok && y < kSide; ++y) {
      // EGifPutLine may scribble on the line it is given: hand it a copy, as callers must.
      std::copy_n(image.pixels.data() + size_t(y) * kSide, kSide, line.data());
      ok = EGifPutLine(gif, line.data(), kSide) != GIF_ERROR;
    }
    if (gif) ok = EGifCloseFile(gif, &error) != GIF_ERROR && ok;
    GifFreeMapObject(map);
    if (!ok) {
      state.SkipWithError("giflib failed");
      return;
    }
    bytes = out.size();
  }
  Report(state, bytes);
}

BENCHMARK(BM_Nimbus)->ArgName("noisy")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Giflib)->ArgName("noisy")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Prints as usual and keeps each repetition's rate, to print the median ratios at the end.
// scripts/bench.sh runs the repetitions interleaved at random, so that a slow spell of the
// machine falls on both encoders alike.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}  // plain text, for logs
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto rate = run.counters.find("MP/s");
      const auto size = run.counters.find("file_bytes");
      if (run.run_type == Run::RT_Iteration && rate != run.counters.end()) {
        Result& result = results[run.benchmark_name()];
        result.rates.push_back(rate->second.value);
        result.bytes = size->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  struct Result {
    std::vector<double> rates;
    double bytes = 0;
    double Median() const {
      std::vector<double> sorted = rates;
      std::sort(sorted.begin(), sorted.end());
      const size_t n = sorted.size();
      return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
  };
  std::map<std::string, Result> results;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* image : {"noisy:1", "noisy:0"}) {
    const auto ours = reporter.results.find(std::string("BM_Nimbus/") + image);
    const auto theirs = reporter.results.find(std::string("BM_Giflib/") + image);
    if (ours == reporter.results.end() || theirs == reporter.results.end()) continue;
    const double ourRate = ours->second.Median(), theirRate = theirs->second.Median();
    std::printf(
        "%s: ours %.1f MP/s, giflib %.1f MP/s (medians of %zu), ratio %.2f; files %.0f vs %.0f "
        "bytes\n",
        image[6] == '1' ? "noisy 1024x1024" : "flat 1024x1024", ourRate, theirRate,
        ours->second.rates.size(), ourRate / theirRate, ours->second.bytes, theirs->second.bytes);
  }
  benchmark::Shutdown();
  return 0;
}
