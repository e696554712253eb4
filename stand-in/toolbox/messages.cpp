// The message filter, the yield, the message display and the alert beep.
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "block_store.h"
#include "host_services.h"
#include "messages_internal.h"

namespace toolbox {
namespace {

constexpr int kMovesPerYield = 16;

std::atomic<MessageFilterProc> messageFilter{nullptr};
std::atomic<void (*)(void)> yieldHandler{nullptr};

struct Records {
  std::mutex mutex;
  int32_t messages = 0;
  int32_t beeps = 0;
  std::string lastMessage;
};

Records& TheRecords() {
  static Records* records = new Records;  // outlives every caller during exit
  return *records;
}

}  // namespace

MessageFilterProc CurrentMessageFilter() {
  return messageFilter;
}

int32_t MessageCount() {
  std::lock_guard<std::mutex> guard(TheRecords().mutex);
  return TheRecords().messages;
}

std::string LastMessage() {
  std::lock_guard<std::mutex> guard(TheRecords().mutex);
  return TheRecords().lastMessage;
}

int32_t BeepCount() {
  std::lock_guard<std::mutex> guard(TheRecords().mutex);
  return TheRecords().beeps;
}

void ResetRecords() {
  Records& r = TheRecords();
  std::lock_guard<std::mutex> guard(r.mutex);
  r.messages = 0;
  r.beeps = 0;
  r.lastMessage.clear();
}

}  // namespace toolbox

using namespace toolbox;

extern "C" {

TOOLBOX_API void SetMessageFilter(MessageFilterProc filter) {
  messageFilter = filter;
}

TOOLBOX_API void TBHost_SetYieldHandler(void (*handler)(void)) {
  yieldHandler = handler;
}

TOOLBOX_API void YieldToHost(void) {
  TBHost_PumpMessages();
  MoveSomeBlocks(kMovesPerYield);
  if (auto handler = yieldHandler.load()) handler();
}

TOOLBOX_API void ShowMessage(const char* message) {
  const char* text = message != nullptr ? message : "";
  std::fprintf(stderr, "%s\n", text);
  Records& r = TheRecords();
  std::lock_guard<std::mutex> guard(r.mutex);
  ++r.messages;
  try {
    r.lastMessage = text;
  } catch (...) {
    r.lastMessage.clear();  // out of memory: the count still tells a message was shown
  }
}

TOOLBOX_API void SysBeep(int16_t /*duration*/) {
  Records& r = TheRecords();
  std::lock_guard<std::mutex> guard(r.mutex);
  ++r.beeps;
}

}  // extern "C"
