// Push/pop pairs on keyed text queues with 1, 100 and 10000 keys in use, against a queue per
// key in a hashed map of deques. The queues find a key's entry through their index, so the
// cost of a pair should not grow with the number of keys.
#include <benchmark/benchmark.h>

#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>

#include "host/toolbox.h"
#include "queues/queues.h"

namespace {

constexpr int32_t kTextLength = 32;

// Every key holds one message throughout, so its entry stays in use; pairs go round the keys.
void BM_QueuePushPop(benchmark::State& state) {
  const int32_t keyCount = int32_t(state.range(0));
  Handle text = NewHandle(kTextLength);
  std::memset(*text, 'm', kTextLength);
  nimbus::QueueStore queues{};
  for (int32_t key = 0; key < keyCount; ++key) nimbus::QueuePush(queues, key, text, kTextLength);

  int32_t key = 0;
  for (auto _ : state) {
    nimbus::QueuePush(queues, key, text, kTextLength);
    int16_t length = 0;
    Handle popped = nimbus::QueuePop(queues, key, &length);
    benchmark::DoNotOptimize(popped);
    DisposeHandle(popped);
    if (++key == keyCount) key = 0;
  }
  state.SetItemsProcessed(state.iterations());
  nimbus::DisposeQueueTable(queues);
  DisposeHandle(text);
}
BENCHMARK(BM_QueuePushPop)->Arg(1)->Arg(100)->Arg(10000);

void BM_HashedDequePushPop(benchmark::State& state) {
  const int32_t keyCount = int32_t(state.range(0));
  const std::string text(kTextLength, 'm');
  std::unordered_map<int32_t, std::deque<std::string>> queues;
  for (int32_t key = 0; key < keyCount; ++key) queues[key].push_back(text);

  int32_t key = 0;
  for (auto _ : state) {
    std::deque<std::string>& queue = queues[key];
    queue.push_back(text);
    std::string popped = std::move(queue.front());
    queue.pop_front();
    benchmark::DoNotOptimize(popped);
    if (++key == keyCount) key = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HashedDequePushPop)->Arg(1)->Arg(100)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
