// Shown messages, beeps, host windows, the message queue and pump, and the yield.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "host/toolbox.h"
#include "toolbox/host_services.h"
#include "toolbox/toolbox_testing.h"

namespace {

constexpr uint32_t kTestMessage = 0x5000;

// What the filter saw, and what it answers.
std::vector<HostMessage> seen;
int32_t filterAnswer = 0;
void* repostTo = nullptr;  // when set, the filter posts one more message there

int32_t RecordingFilter(void* window, HostMessage* message) {
  EXPECT_EQ(window, message->window);
  seen.push_back(*message);
  if (repostTo != nullptr) {
    void* target = repostTo;
    repostTo = nullptr;
    TBHost_PostMessage(target, kTestMessage + 1, 0, 0);  // must not deadlock
  }
  return filterAnswer;
}

// Pumps until `count` messages have been seen or a generous deadline passes (a window
// thread may deliver posted messages a little later than the post).
void PumpUntilSeen(size_t count) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (seen.size() < count && std::chrono::steady_clock::now() < deadline) {
    TBHost_WaitMessages(100);
    TBHost_PumpMessages();
  }
}

// Pumps for a while so that anything posted has had the chance to arrive.
void PumpAWhile() {
  for (int i = 0; i < 5; ++i) {
    TBHost_WaitMessages(20);
    TBHost_PumpMessages();
  }
}

class MessagesTest : public testing::Test {
 protected:
  void SetUp() override {
    seen.clear();
    filterAnswer = 0;
    repostTo = nullptr;
    SetMessageFilter(RecordingFilter);
    Rect bounds;
    SetRect(&bounds, 0, 0, 0, 0);
    window_ = NewHostWindow(&bounds, reinterpret_cast<const unsigned char*>("\0"));
    ASSERT_NE(window_, nullptr);
    native_ = HostWindowNative(window_);
    ASSERT_NE(native_, nullptr);
    PumpAWhile();
    seen.clear();
  }
  void TearDown() override {
    DisposeHostWindow(window_);
    SetMessageFilter(nullptr);
    TBHost_SetYieldHandler(nullptr);
  }
  HostWindow* window_ = nullptr;
  void* native_ = nullptr;
};

TEST(ShowMessageTest, RecordsMessagesAndBeeps) {
  TBTest_ResetRecords();
  EXPECT_EQ(TBTest_MessageCount(), 0);
  EXPECT_STREQ(TBTest_LastMessage(), "");
  ShowMessage("first");
  ShowMessage("Nimbus error: second !");
  EXPECT_EQ(TBTest_MessageCount(), 2);
  EXPECT_STREQ(TBTest_LastMessage(), "Nimbus error: second !");
  ShowMessage(nullptr);
  EXPECT_EQ(TBTest_MessageCount(), 3);
  EXPECT_STREQ(TBTest_LastMessage(), "");
  SysBeep(60);
  SysBeep(1);
  EXPECT_EQ(TBTest_BeepCount(), 2);
  TBTest_ResetRecords();
  EXPECT_EQ(TBTest_MessageCount(), 0);
  EXPECT_EQ(TBTest_BeepCount(), 0);
}

TEST(SetRectTest, FillsTheFourSides) {
  Rect r{};
  SetRect(&r, 1, 2, 3, 4);
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.right, 3);
  EXPECT_EQ(r.bottom, 4);
  SetRect(nullptr, 1, 2, 3, 4);
}

TEST_F(MessagesTest, HostWindowsAreDistinctAndTheFrameStaysTheSame) {
  void* frame = TBHost_FrameWindow();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(TBHost_FrameWindow(), frame);
  HostWindow* other = NewHostWindow(nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  EXPECT_NE(HostWindowNative(other), native_);
  EXPECT_NE(HostWindowNative(other), frame);
  DisposeHostWindow(other);
  EXPECT_EQ(HostWindowNative(nullptr), nullptr);
  DisposeHostWindow(nullptr);
}

TEST_F(MessagesTest, PumpDeliversPostedMessagesInOrderToTheFilter) {
  ASSERT_EQ(TBHost_PostMessage(native_, kTestMessage, 11, -1), 1);
  ASSERT_EQ(TBHost_PostMessage(native_, kTestMessage + 2, 22, 2), 1);
  PumpUntilSeen(2);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].window, native_);
  EXPECT_EQ(seen[0].message, kTestMessage);
  EXPECT_EQ(seen[0].wParam, 11u);
  EXPECT_EQ(seen[0].lParam, -1);
  EXPECT_EQ(seen[1].message, kTestMessage + 2);
  // Delivered once only, whatever the filter answered.
  filterAnswer = 1;
  TBHost_PostMessage(native_, kTestMessage, 0, 0);
  PumpUntilSeen(3);
  PumpAWhile();
  EXPECT_EQ(seen.size(), 3u);
}

TEST_F(MessagesTest, MessagesToTheFrameWindowReachTheFilter) {
  ASSERT_EQ(TBHost_PostMessage(TBHost_FrameWindow(), 14566, 3, 8), 1);
  PumpUntilSeen(1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].window, TBHost_FrameWindow());
  EXPECT_EQ(seen[0].message, 14566u);
}

TEST_F(MessagesTest, WithoutAFilterMessagesAreDropped) {
  SetMessageFilter(nullptr);
  TBHost_PostMessage(native_, kTestMessage, 0, 0);
  PumpAWhile();
  SetMessageFilter(RecordingFilter);
  PumpAWhile();
  EXPECT_TRUE(seen.empty());
}

TEST_F(MessagesTest, AFilterMayPostAndThatMessageComesLater) {
  repostTo = native_;
  TBHost_PostMessage(native_, kTestMessage, 0, 0);
  PumpUntilSeen(2);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].message, kTestMessage + 1);
}

TEST_F(MessagesTest, PostingToUnknownWindowsFails) {
  EXPECT_EQ(TBHost_PostMessage(nullptr, kTestMessage, 0, 0), 0);
  HostWindow* gone = NewHostWindow(nullptr, nullptr);
  void* goneNative = HostWindowNative(gone);
  DisposeHostWindow(gone);
  EXPECT_EQ(TBHost_PostMessage(goneNative, kTestMessage, 0, 0), 0);
  PumpAWhile();
  EXPECT_TRUE(seen.empty());
}

TEST_F(MessagesTest, DisposingAWindowDropsItsPendingMessages) {
  HostWindow* doomed = NewHostWindow(nullptr, nullptr);
  void* doomedNative = HostWindowNative(doomed);
  TBHost_PostMessage(doomedNative, kTestMessage, 0, 0);
  TBHost_WaitMessages(1000);
  DisposeHostWindow(doomed);
  PumpAWhile();
  for (const HostMessage& m : seen) EXPECT_NE(m.window, doomedNative);
}

bool deliveredBeforeHandler = false;
int handlerCalls = 0;
void YieldHandler() {
  ++handlerCalls;
  deliveredBeforeHandler = !seen.empty();
}

TEST_F(MessagesTest, YieldPumpsThenCallsTheHostScheduler) {
  handlerCalls = 0;
  YieldToHost();  // nothing installed beyond the pump
  EXPECT_EQ(handlerCalls, 0);
  TBHost_SetYieldHandler(YieldHandler);
  TBHost_PostMessage(native_, kTestMessage, 0, 0);
  TBHost_WaitMessages(5000);
  YieldToHost();
  EXPECT_EQ(handlerCalls, 1);
  EXPECT_TRUE(deliveredBeforeHandler);
}

}  // namespace
