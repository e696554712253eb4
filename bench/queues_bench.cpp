// Push/pop pairs on keyed text queues with 1, 100 and 10000 keys in use, against a queue per
// key in a hashed map of deques. The queues find a key's entry through their index, so the
// cost of a pair should not grow with the number of keys.
#include <benchmark/benchmark.h>

#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

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

// The floor under a pair: the toolbox calls a push and a pop make (the copy and the node
// allocated, the sizes read, the bytes copied, the node and the popped text disposed of),
// with no queue around them, and as many other blocks alive as the queues hold at that key
// count (a node and a text per key).
void BM_ToolboxCallsOfAPair(benchmark::State& state) {
  Handle text = NewHandle(kTextLength);
  std::memset(*text, 'm', kTextLength);
  std::vector<Handle> alive;
  for (int64_t i = 0; i < 2 * state.range(0); ++i) alive.push_back(NewHandle(kTextLength));
  for (auto _ : state) {
    const Size size = GetHandleSize(text);
    Handle copy = NewHandle(size);
    BlockMove(*text, *copy, size);
    Handle node = NewHandle(2 * Size(sizeof(Handle)));
    benchmark::DoNotOptimize(GetHandleSize(copy));
    DisposeHandle(node);
    DisposeHandle(copy);
  }
  state.SetItemsProcessed(state.iterations());
  for (Handle h : alive) DisposeHandle(h);
  DisposeHandle(text);
}
BENCHMARK(BM_ToolboxCallsOfAPair)->Arg(1)->Arg(100)->Arg(10000);

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
