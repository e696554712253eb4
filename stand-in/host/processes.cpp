// Cooperative processes as fibers of one thread, with a ready list, deadlines and an idle
// sleep that lasts until a deadline or a window message.
#include "processes.h"

#include <algorithm>
#include <atomic>

#include "fibers.h"
#include "toolbox/host_services.h"

namespace standin {
namespace {

// A sleeping host wakes at least this often to look again, whatever it waits for.
constexpr int32_t kLongestSleepMs = 1000;
// What a process with no other reason to stop is given when the host has nothing at all to
// wait for (it cannot happen while the bookkeeping is right; the host then keeps looking).
constexpr int32_t kNothingToWaitForMs = 10;

// The toolbox's yield handler is one plain function; it reaches the scheduler through here.
std::atomic<ProcessScheduler*> activeScheduler{nullptr};

void OnYield() {
  if (ProcessScheduler* scheduler = activeScheduler.load(std::memory_order_acquire)) {
    scheduler->Yield();
  }
}

}  // namespace

ProcessScheduler::ProcessScheduler() : thread_(std::this_thread::get_id()) {
  auto main = std::make_unique<Process>();
  main->name = "main";
  main->owner = this;
  main->state = State::kRunning;
  main->fiber = AdoptThreadFiber();
  main_ = running_ = main.get();
  processes_.push_back(std::move(main));
  activeScheduler.store(this, std::memory_order_release);
  TBHost_SetYieldHandler(&OnYield);
}

ProcessScheduler::~ProcessScheduler() {
  if (inMainProcess()) WindDown();
  ProcessScheduler* self = this;
  if (activeScheduler.compare_exchange_strong(self, nullptr)) TBHost_SetYieldHandler(nullptr);
  // Only processes that never began (or whose fiber could not be made) can be left here.
  for (const auto& process : processes_) {
    if (process.get() != main_) DeleteFiber(process->fiber);
  }
  ReleaseThreadFiber(main_->fiber);
}

bool ProcessScheduler::inMainProcess() const {
  return onOwnThread() && running_ == main_;
}

void ProcessScheduler::Start(const std::string& name, std::function<void()> body) {
  auto process = std::make_unique<Process>();
  process->name = name;
  process->body = std::move(body);
  process->owner = this;
  process->state = State::kReady;
  ready_.push_back(process.get());
  processes_.push_back(std::move(process));
  ++unfinished_;
}

bool ProcessScheduler::Yield() {
  if (!onOwnThread() || main_->fiber == nullptr) return false;
  if (!delayed_.empty()) {
    const Clock::time_point now = Clock::now();
    if (now >= earliestDeadline_) WakeDue(now);
  }
  if (ready_.empty()) return false;
  running_->state = State::kReady;
  ready_.push_back(running_);
  Schedule();
  return true;
}

void ProcessScheduler::Delay(Clock::duration duration) {
  if (!onOwnThread() || main_->fiber == nullptr) return;
  if (duration <= Clock::duration::zero() || stopping_) {
    Yield();
    return;
  }
  Process* self = running_;
  self->state = State::kDelayed;
  self->deadline = Clock::now() + duration;
  delayed_.push_back(self);
  earliestDeadline_ = std::min(earliestDeadline_, self->deadline);
  Schedule();
}

void ProcessScheduler::RunUntilAllFinished() {
  if (!inMainProcess() || main_->fiber == nullptr) return;
  while (unfinished_ > 0) {
    main_->state = State::kWaiting;
    Schedule();  // back when the last other process has finished
  }
  TBHost_PumpMessages();  // what the last process posted before it ended
  ReapFinished();
}

void ProcessScheduler::EndDelays() {
  if (!onOwnThread()) return;
  for (Process* process : delayed_) {
    process->state = State::kReady;
    ready_.push_back(process);
  }
  delayed_.clear();
  earliestDeadline_ = Clock::time_point::max();
}

void ProcessScheduler::WindDown() {
  if (!inMainProcess()) return;
  stopping_ = true;
  EndDelays();
  RunUntilAllFinished();
  stopping_ = false;
}

void ProcessScheduler::WakeDue(Clock::time_point now) {
  // Woken in the order of their deadlines, so that the one that waited longest goes first.
  std::sort(delayed_.begin(), delayed_.end(),
            [](const Process* a, const Process* b) { return a->deadline < b->deadline; });
  size_t due = 0;
  while (due < delayed_.size() && delayed_[due]->deadline <= now) {
    delayed_[due]->state = State::kReady;
    ready_.push_back(delayed_[due]);
    ++due;
  }
  delayed_.erase(delayed_.begin(), delayed_.begin() + ptrdiff_t(due));
  earliestDeadline_ = delayed_.empty() ? Clock::time_point::max() : delayed_.front()->deadline;
}

void ProcessScheduler::SleepUntilSomethingHappens() {
  int32_t ms = kNothingToWaitForMs;
  if (!delayed_.empty()) {
    const auto left = earliestDeadline_ - Clock::now();
    // Rounded up: waking before the deadline would only mean sleeping again.
    const auto whole = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    ms = int32_t(std::clamp<int64_t>(whole, 0, kLongestSleepMs));
  }
  if (ms > 0) TBHost_WaitMessages(ms);
  TBHost_PumpMessages();
}

void ProcessScheduler::Schedule() {
  Process* self = running_;
  Process* next = nullptr;
  while (next == nullptr) {
    if (!delayed_.empty()) WakeDue(Clock::now());
    if (ready_.empty()) {
      SleepUntilSomethingHappens();
      continue;
    }
    Process* candidate = ready_.front();
    ready_.pop_front();
    if (candidate->fiber == nullptr && candidate != main_) {
      // Its first turn. While winding down, a process that has not begun is dropped.
      if (!stopping_) candidate->fiber = NewFiber(&ProcessEntry, candidate, 0);
      if (candidate->fiber == nullptr) {
        Ended(candidate);
        continue;
      }
    }
    next = candidate;
  }
  next->state = State::kRunning;
  running_ = next;
  if (next == self) return;
  SwitchFiber(self->fiber, next->fiber, self->state == State::kFinished);
  // The turn is back: whoever gave it may have finished just before.
  ReapFinished();
}

void ProcessScheduler::ProcessEntry(void* argument) {
  auto* process = static_cast<Process*>(argument);
  ProcessScheduler* scheduler = process->owner;
  scheduler->ReapFinished();
  try {
    process->body();
  } catch (...) {
    // A process that throws ends there; the others go on.
  }
  scheduler->Finish(process);
}

void ProcessScheduler::Finish(Process* process) {
  Ended(process);
  Schedule();
  // A finished process is never given another turn.
  std::terminate();
}

void ProcessScheduler::Ended(Process* process) {
  process->state = State::kFinished;
  finished_.push_back(process);
  if (--unfinished_ == 0 && main_->state == State::kWaiting) {
    main_->state = State::kReady;
    ready_.push_back(main_);
  }
}

void ProcessScheduler::ReapFinished() {
  if (finished_.empty()) return;
  std::vector<Process*> keep;
  for (Process* process : finished_) {
    if (process == running_) {
      keep.push_back(process);  // still on its own stack
      continue;
    }
    DeleteFiber(process->fiber);
    std::erase_if(processes_, [process](const auto& p) { return p.get() == process; });
  }
  finished_ = std::move(keep);
}

}  // namespace standin
