// Cooperative 4D processes: each a fiber of the thread that made the scheduler (the main
// process is that thread itself), so exactly one runs at a time and a switch is cheap. The
// scheduler knows why each process is not running:
//   ready      it waits for its turn, in the order in which processes became ready;
//   delayed    it sleeps until a deadline (DELAY PROCESS) and takes no turn before it;
//   waiting    the main process waits for every other process to finish;
//   finished   its body has returned (or it was dropped before it began).
// A yield with nothing else ready returns at once. When no process is ready at all, the host
// sleeps until the earliest deadline or the next window message, pumps, and looks again.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace standin {

struct Fiber;

class ProcessScheduler {
 public:
  using Clock = std::chrono::steady_clock;

  // Installs itself as the toolbox's yield handler; the calling thread is the main process.
  ProcessScheduler();
  // Winds every process down (see WindDown) when called from the main process.
  ~ProcessScheduler();
  ProcessScheduler(const ProcessScheduler&) = delete;
  ProcessScheduler& operator=(const ProcessScheduler&) = delete;

  // Registers a process; it is ready at once and begins at its first turn.
  void Start(const std::string& name, std::function<void()> body);
  // Gives the turn to the next ready process, if there is one, and returns when the caller's
  // turn comes back. Answers whether another process ran. Does nothing on another thread.
  bool Yield();
  // Takes the calling process off the ready list until `duration` has passed (not sooner);
  // the others run meanwhile. 0 or less is a yield. While winding down it is a yield too.
  void Delay(Clock::duration duration);
  // Ends every delay at once: delayed processes are ready again (a script stopping on an
  // error in another process does not wait out their deadlines).
  void EndDelays();
  // Main process only: returns when every started process has finished.
  void RunUntilAllFinished();
  // Lets every started process run to its end: delayed ones wake at once, processes that
  // have not begun are dropped. Main process only.
  void WindDown();

  int32_t unfinishedCount() const { return unfinished_; }
  bool stopping() const { return stopping_; }
  // True in the main process, on the thread that made the scheduler.
  bool inMainProcess() const;

 private:
  enum class State { kRunning, kReady, kDelayed, kWaiting, kFinished };
  struct Process {
    std::string name;
    std::function<void()> body;
    ProcessScheduler* owner = nullptr;
    Fiber* fiber = nullptr;  // made at the first turn; the thread's own for the main process
    State state = State::kReady;
    Clock::time_point deadline{};
  };

  static void ProcessEntry(void* process);
  [[noreturn]] void Finish(Process* process);
  void Ended(Process* process);         // a process is finished: count it, free main
  void Schedule();                      // the running process has left kRunning: run the next
  void WakeDue(Clock::time_point now);  // delayed processes whose deadline has come
  void SleepUntilSomethingHappens();
  void ReapFinished();  // frees finished processes other than the running one
  bool onOwnThread() const { return std::this_thread::get_id() == thread_; }

  std::thread::id thread_;
  std::vector<std::unique_ptr<Process>> processes_;  // [0] is the main process
  Process* main_ = nullptr;
  Process* running_ = nullptr;
  std::deque<Process*> ready_;
  std::vector<Process*> delayed_;
  Clock::time_point earliestDeadline_ = Clock::time_point::max();
  std::vector<Process*> finished_;  // still to be freed
  int32_t unfinished_ = 0;
  bool stopping_ = false;
};

}  // namespace standin
