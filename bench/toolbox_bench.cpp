// The stand-in toolbox's costs that every test run pays: Munger on a full-sized text, and
// block traffic with moving mode on and off.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "host/toolbox.h"
#include "toolbox/toolbox_testing.h"

namespace {

// Every CR of a 32767-byte text turned into CR LF, the way a replace-all loop drives Munger.
void BM_MungerReplaceAll(benchmark::State& state) {
  TBTest_SetMovingMode(int32_t(state.range(0)));
  std::string text(32767, 'a');
  for (size_t i = 39; i < text.size(); i += 40) text[i] = '\r';
  for (auto _ : state) {
    Handle h = NewHandle(Size(text.size()));
    std::memcpy(*h, text.data(), text.size());
    int32_t offset = 0;
    while ((offset = Munger(h, offset, "\r", 1, "\r\n", 2)) >= 0) {
    }
    DisposeHandle(h);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_MungerReplaceAll)->Arg(0)->Arg(1);

// Allocate, grow, yield and dispose with 1000 other live blocks around.
void BM_BlockTraffic(benchmark::State& state) {
  TBTest_SetMovingMode(int32_t(state.range(0)));
  Handle others[1000];
  for (Handle& h : others) h = NewHandle(256);
  for (auto _ : state) {
    Handle h = NewHandle(64);
    SetHandleSize(h, 1024);
    YieldToHost();
    DisposeHandle(h);
  }
  for (Handle h : others) DisposeHandle(h);
}
BENCHMARK(BM_BlockTraffic)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
