// Cooperative processes as threads handing a baton.
#include "processes.h"

#include <atomic>

#include "toolbox/host_services.h"

namespace standin {
namespace {

constexpr size_t kMainProcess = 0;
constexpr int32_t kIdleWaitMs = 10;

// The toolbox's yield handler is one plain function; it reaches the scheduler through here.
std::atomic<ProcessScheduler*> activeScheduler{nullptr};

void OnYield() {
  if (ProcessScheduler* scheduler = activeScheduler.load()) scheduler->PassBaton();
}

}  // namespace

ProcessScheduler::ProcessScheduler() {
  auto main = std::make_unique<Process>();
  main->name = "main";
  main->threadId = std::this_thread::get_id();
  processes_.push_back(std::move(main));
  activeScheduler.store(this);
  TBHost_SetYieldHandler(&OnYield);
}

ProcessScheduler::~ProcessScheduler() {
  if (onMainThread()) WindDown();
  ProcessScheduler* self = this;
  if (activeScheduler.compare_exchange_strong(self, nullptr)) TBHost_SetYieldHandler(nullptr);
  JoinFinished();
}

void ProcessScheduler::Start(const std::string& name, std::function<void()> body) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto process = std::make_unique<Process>();
  process->name = name;
  process->body = std::move(body);
  const size_t index = processes_.size();
  Process* p = process.get();
  processes_.push_back(std::move(process));
  // The new thread waits for the baton under mutex_, which we hold until its id is set.
  p->thread = std::thread([this, index] { ProcessMain(index); });
  p->threadId = p->thread.get_id();
}

void ProcessScheduler::ProcessMain(size_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  batonMoved_.wait(lock, [&] { return holder_ == index; });
  Process& self = *processes_[index];
  const bool run = !stopping_;
  lock.unlock();
  if (run) {
    try {
      self.body();
    } catch (...) {
      // A process that throws ends there; the others go on.
    }
  }
  lock.lock();
  self.finished = true;
  holder_ = NextUnfinishedAfter(index);  // the main process never finishes: there is one
  ++passes_;
  batonMoved_.notify_all();
}

size_t ProcessScheduler::NextUnfinishedAfter(size_t index) const {
  const size_t count = processes_.size();
  for (size_t step = 1; step <= count; ++step) {
    const size_t candidate = (index + step) % count;
    if (!processes_[candidate]->finished) return candidate;
  }
  return kMainProcess;
}

bool ProcessScheduler::OthersUnfinished() const {
  for (size_t i = 1; i < processes_.size(); ++i) {
    if (!processes_[i]->finished) return true;
  }
  return false;
}

bool ProcessScheduler::PassBaton() {
  std::unique_lock<std::mutex> lock(mutex_);
  const size_t me = holder_;
  if (processes_[me]->threadId != std::this_thread::get_id()) return false;
  const size_t next = NextUnfinishedAfter(me);
  if (next == me) return false;
  holder_ = next;
  ++passes_;
  batonMoved_.notify_all();
  batonMoved_.wait(lock, [&] { return holder_ == me; });
  return true;
}

void ProcessScheduler::RunUntilAllFinished() {
  if (!onMainThread()) return;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!OthersUnfinished()) break;
    }
    TBHost_PumpMessages();
    if (!PassBaton()) TBHost_WaitMessages(kIdleWaitMs);
  }
  TBHost_PumpMessages();  // what the last process posted before it ended
  JoinFinished();
}

void ProcessScheduler::WindDown() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  RunUntilAllFinished();
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = false;
}

void ProcessScheduler::JoinFinished() {
  std::vector<std::thread> done;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (OthersUnfinished()) return;  // indexes must stay put while processes run
    for (size_t i = 1; i < processes_.size(); ++i) done.push_back(std::move(processes_[i]->thread));
    processes_.resize(1);
    holder_ = kMainProcess;
  }
  for (std::thread& thread : done) {
    if (thread.joinable()) thread.join();
  }
}

int32_t ProcessScheduler::unfinishedCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  int32_t count = 0;
  for (size_t i = 1; i < processes_.size(); ++i) count += processes_[i]->finished ? 0 : 1;
  return count;
}

bool ProcessScheduler::stopping() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopping_;
}

bool ProcessScheduler::onMainThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return processes_[kMainProcess]->threadId == std::this_thread::get_id();
}

}  // namespace standin
