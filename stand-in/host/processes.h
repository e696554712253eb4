// Cooperative 4D processes: one thread each, handing a baton so that exactly one of them
// runs at a time. The thread that creates the scheduler is the main process. At each yield
// the toolbox calls the installed scheduler, which passes the baton to the next unfinished
// process (round-robin) and blocks until it comes back.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace standin {

class ProcessScheduler {
 public:
  // Installs itself as the toolbox's yield handler.
  ProcessScheduler();
  // Winds every process down (see WindDown) and joins the threads.
  ~ProcessScheduler();
  ProcessScheduler(const ProcessScheduler&) = delete;
  ProcessScheduler& operator=(const ProcessScheduler&) = delete;

  // Registers a process; it begins when the baton first reaches it.
  void Start(const std::string& name, std::function<void()> body);
  // Passes the baton on if another process can run and waits for it to come back.
  // Answers whether another process ran. Does nothing when the caller does not hold the
  // baton (a thread that is no process of ours).
  bool PassBaton();
  // Main process only: runs until every started process has finished, pumping messages
  // and waiting for them when nothing else can run.
  void RunUntilAllFinished();
  // Lets every started process run to its end; processes that have not begun are dropped.
  void WindDown();

  int32_t unfinishedCount() const;
  bool stopping() const;
  bool onMainThread() const;

 private:
  struct Process {
    std::string name;
    std::function<void()> body;
    std::thread thread;
    std::thread::id threadId;
    bool finished = false;
  };

  void ProcessMain(size_t index);
  size_t NextUnfinishedAfter(size_t index) const;  // caller holds mutex_
  bool OthersUnfinished() const;                   // caller holds mutex_
  void JoinFinished();

  mutable std::mutex mutex_;
  std::condition_variable batonMoved_;
  std::vector<std::unique_ptr<Process>> processes_;  // [0] is the main process
  size_t holder_ = 0;
  uint64_t passes_ = 0;
  bool stopping_ = false;
};

}  // namespace standin
