// GIF encoding speed: our encoder against giflib's on the same 1024x1024 pixels, in the same
// run. Reports megapixels per second and the file sizes, then the speed ratio per image.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "gif_encoders.h"

namespace {

using namespace gif_bench;

void Report(benchmark::State& state, size_t fileBytes) {
  state.counters["MP/s"] =
      benchmark::Counter(double(kPixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["file_bytes"] = double(fileBytes);
}

void BM_Nimbus(benchmark::State& state) {
  const Image& image = TheImage(state.range(0) != 0);
  long bytes = 0;
  for (auto _ : state) {
    bytes = EncodeWithNimbus(image);
    if (bytes < 0) {
      state.SkipWithError("no file");
      return;
    }
  }
  Report(state, size_t(bytes));
}

void BM_Giflib(benchmark::State& state) {
  const Image& image = TheImage(state.range(0) != 0);
  std::vector<GifColorType> colours = GiflibColours(image);
  std::vector<uint8_t> line(kSide);
  long bytes = 0;
  for (auto _ : state) {
    bytes = EncodeWithGiflib(image, colours, line);
    if (bytes < 0) {
      state.SkipWithError("giflib failed");
      return;
    }
  }
  Report(state, size_t(bytes));
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
