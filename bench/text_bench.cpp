// Text conversions on the longest texts: the one-pass routines against the literal
// pass-by-pass reference and against a plain byte copy of the same input, with few and with
// many special characters. Encoders get the longest input whose result still fits in 32767
// bytes; decoders get 32767-byte inputs. After the runs a table gives each routine's time as a
// ratio to the reference (how much faster) and to the copy (how much slower).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/toolbox.h"
#include "text/literal_substitution.h"
#include "text/text.h"

namespace {

constexpr int32_t kLongest = 32767;

FourDText MakeText(const std::string& bytes) {
  Handle block = NewHandle(int32_t(bytes.size()));
  BlockMove(bytes.data(), *block, int32_t(bytes.size()));
  return FourDText{int16_t(bytes.size()), block};
}

std::string Bytes(const FourDText& text) {
  return text.handle == nullptr ? std::string() : std::string(*text.handle, size_t(text.length));
}

// Prose with one special character every `every` bytes, cycling through `specials`.
std::string Prose(size_t length, int every, const std::string& specials) {
  const std::string words = "The quick brown fox jumps over the lazy dog while a cat sleeps ";
  std::string text;
  size_t next = 0;
  while (text.size() < length) {
    if (int(text.size()) % every == every - 1) {
      text += specials[next++ % specials.size()];
    } else {
      text += words[text.size() % words.size()];
    }
  }
  return text;
}

// The longest prefix of text whose conversion still fits in a Text.
std::string LongestThatFits(const std::string& text,
                            const std::function<FourDText(const FourDText&)>& convert) {
  size_t low = 0;
  size_t high = std::min(text.size(), size_t(kLongest));
  while (low < high) {
    size_t mid = (low + high + 1) / 2;
    FourDText in = MakeText(text.substr(0, mid));
    FourDText out = convert(in);
    bool fits = out.handle != nullptr;
    DisposeHandle(in.handle);
    if (out.handle != nullptr) DisposeHandle(out.handle);
    if (fits) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  return text.substr(0, low);
}

struct Routine {
  std::string name;
  std::function<FourDText(const FourDText&)> fast;
  std::function<std::string(const std::string&)> literal;
  bool encoder;  // input sized so the result fits; otherwise the input is 32767 bytes
};

struct Input {
  std::string name;
  std::string text;
};

void RunFast(benchmark::State& state, const Routine& routine, const std::string& input) {
  FourDText text = MakeText(input);
  for (auto _ : state) {
    FourDText result = routine.fast(text);
    benchmark::DoNotOptimize(result.handle);
    if (result.handle == nullptr) state.SkipWithError("no result");
    DisposeHandle(result.handle);
  }
  DisposeHandle(text.handle);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(input.size()));
}

void RunLiteral(benchmark::State& state, const Routine& routine, const std::string& input) {
  for (auto _ : state) {
    std::string result = routine.literal(input);
    benchmark::DoNotOptimize(result.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(input.size()));
}

void RunCopy(benchmark::State& state, const std::string& input) {
  std::vector<char> destination(input.size());
  for (auto _ : state) {
    std::memcpy(destination.data(), input.data(), input.size());
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(input.size()));
}

// Keeps each benchmark's CPU time per iteration for the ratio table (steadier than wall time
// on a shared machine).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration)
        times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const {
    auto found = times_.find(name);
    return found == times_.end() ? 0 : found->second;
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  if (OpenResFile(NIMBUS_RESOURCE_PATH) < 0) {
    std::fprintf(stderr, "cannot open %s\n", NIMBUS_RESOURCE_PATH);
    return 1;
  }
  const std::string macSpecials = "\x8E<&\"\xA1\xD2\xCA\x87>\xD5";
  const std::string urlSpecials = ".\x8E/&%\xA1";
  std::vector<Routine> routines = {
      {"TextToHTML0", [](const FourDText& t) { return nimbus::TextToHTML(t, 0); },
       [](const std::string& s) { return nimbus::literal::TextToHTML(s, 0); }, true},
      {"HTMLToText0", [](const FourDText& t) { return nimbus::HTMLToText(t, 0); },
       [](const std::string& s) { return nimbus::literal::HTMLToText(s, 0); }, false},
      {"TextToURL0", [](const FourDText& t) { return nimbus::TextToURL(t, 0); },
       [](const std::string& s) { return nimbus::literal::TextToURL(s, 0); }, true},
      {"URLToText0", [](const FourDText& t) { return nimbus::URLToText(t, 0); },
       [](const std::string& s) { return nimbus::literal::URLToText(s, 0); }, false},
      {"Mode5",
       [](const FourDText& t) {
         FourDText copy = MakeText(Bytes(t));
         if (!nimbus::ApplyConversionMode(copy, 5)) {
           DisposeHandle(copy.handle);
           return FourDText{0, nullptr};
         }
         return copy;
       },
       [](const std::string& s) { return *nimbus::literal::ApplyConversionMode(s, 5); }, true},
  };

  std::vector<std::pair<std::string, std::string>> rows;  // benchmark prefix, description
  std::vector<std::string> keep;                          // inputs outlive the registered lambdas
  keep.reserve(routines.size() * 2);
  for (const Routine& routine : routines) {
    for (int many = 0; many < 2; ++many) {
      bool url = routine.name.find("URL") != std::string::npos;
      std::string prose =
          Prose(size_t(kLongest) * 8, many ? 2 : 100, url ? urlSpecials : macSpecials);
      if (routine.name == "Mode5") prose = Prose(size_t(kLongest) * 2, many ? 2 : 100, "\r\x8E");
      std::string input;
      if (routine.encoder) {
        input = LongestThatFits(prose, routine.fast);
      } else {
        // What the matching encoder writes, cut to the longest Text.
        FourDText source = MakeText(prose.substr(0, many ? 4000 : 30000));
        FourDText encoded = url ? nimbus::TextToURL(source, 0) : nimbus::TextToHTML(source, 0);
        input = Bytes(encoded);
        while (input.size() < size_t(kLongest)) input += input;
        input.resize(size_t(kLongest));
        DisposeHandle(source.handle);
        DisposeHandle(encoded.handle);
      }
      keep.push_back(input);
      const std::string& text = keep.back();
      std::string prefix = routine.name + (many ? "/many" : "/few");
      benchmark::RegisterBenchmark((prefix + "/fast").c_str(), RunFast, routine, text)
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark((prefix + "/literal").c_str(), RunLiteral, routine, text)
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark((prefix + "/copy").c_str(), RunCopy, text)
          ->Unit(benchmark::kMicrosecond);
      rows.push_back({prefix, std::to_string(text.size()) + " bytes in"});
    }
  }

  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\n%-22s %-16s %12s %14s %12s\n", "routine", "input", "one-pass cpu us",
              "literal/fast", "fast/copy");
  for (const auto& [prefix, description] : rows) {
    double fast = reporter.Time(prefix + "/fast");
    double literal = reporter.Time(prefix + "/literal");
    double copy = reporter.Time(prefix + "/copy");
    if (fast <= 0) continue;
    std::printf("%-22s %-16s %12.1f %14.0f %12.1f\n", prefix.c_str(), description.c_str(), fast,
                literal / fast, copy > 0 ? fast / copy : 0.0);
  }
  return 0;
}
