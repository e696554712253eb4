// Peers that misbehave while the package moves data: one that stops reading (the send
// yields and other processes keep running), one that resets in the middle of a send, one
// that puts an out-of-band byte amid its data, one that trickles a byte at a time. Each run
// ends with the statistics matching what moved and nothing left open.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "host/toolbox.h"
#include "net/net_support.h"
#include "toolbox/toolbox_testing.h"

namespace nettest {
namespace {

constexpr int32_t kTextLength = 32000;
constexpr int32_t kTexts = 32;  // 1 024 000 bytes: far more than the socket buffers hold
constexpr int32_t kTotal = kTextLength * kTexts;
constexpr int kTurnsBeforeReading = 200;

std::string TextNumber(int32_t n) {
  std::string text(size_t(kTextLength), '\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = char('a' + (size_t(n) * 7 + i) % 26);
  return text;
}

class PeerFaultsTest : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    descriptors = OpenDescriptors();
    records = TBTest_LivePointers();
    ref = Connected(listener, &peer);
  }
  // Released stream, closed peer: the descriptors and records of before.
  void ExpectNothingLeft() {
    EXPECT_EQ(OpenCount(), 0);
    peer.Close();
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(TBTest_LivePointers(), records);
  }
  // The texts sent one after another in a process of its own, until one fails; `done` is
  // set at the end and `statuses` gets every answer.
  void StartSender(std::vector<int32_t>* statuses, bool* done) {
    host.StartProcess("sender", [this, statuses, done] {
      for (int32_t n = 0; n < kTexts; ++n) {
        statuses->push_back(Send(ref, TextNumber(n)));
        if (statuses->back() != 0) break;
      }
      *done = true;
    });
  }

  PeerListener listener;
  PeerSocket peer;
  int32_t ref = 0;
  int descriptors = 0;
  int32_t records = 0;
};

TEST_F(PeerFaultsTest, StoppedReaderMakesTheSendYieldWhileOtherProcessesRun) {
  std::vector<int32_t> statuses;
  bool sent = false;
  int turnsWhileSending = 0;
  std::atomic<bool> startReading{false};
  std::string received;
  // The peer reads on a thread of its own, so that its waiting never holds up the 4D
  // processes: nothing at first, then everything.
  std::thread reader([&] {
    while (!startReading) std::this_thread::yield();
    received = peer.Read(size_t(kTotal));
  });
  StartSender(&statuses, &sent);
  host.StartProcess("other", [&] {
    while (!sent) {
      if (++turnsWhileSending == kTurnsBeforeReading) startReading = true;
      YieldToHost();
    }
  });
  host.RunProcesses();
  startReading = true;
  reader.join();

  EXPECT_GE(turnsWhileSending, kTurnsBeforeReading);
  EXPECT_EQ(statuses, std::vector<int32_t>(kTexts, 0));
  ASSERT_EQ(received.size(), size_t(kTotal));
  for (int32_t n = 0; n < kTexts; ++n) {
    ASSERT_EQ(received.substr(size_t(n) * kTextLength, kTextLength), TextNumber(n)) << n;
  }
  EXPECT_EQ(Counter(7), kTotal);  // BytesSent
  EXPECT_EQ(State(ref), 8);
  EXPECT_EQ(Release(ref), 0);
  ExpectNothingLeft();
}

TEST_F(PeerFaultsTest, ResetInTheMiddleOfASendEndsItWithMinusOne) {
  std::vector<int32_t> statuses;
  bool sent = false;
  int turns = 0;
  StartSender(&statuses, &sent);
  host.StartProcess("resetter", [&] {
    // Once the send has been waiting for a while, the peer goes away without reading.
    while (!sent && ++turns < kTurnsBeforeReading) YieldToHost();
    peer.Reset();
  });
  host.RunProcesses();

  EXPECT_EQ(turns, kTurnsBeforeReading);  // the send was still waiting at the reset
  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses.back(), -1);
  EXPECT_LT(statuses.size(), size_t(kTexts));
  const int32_t bytesSent = Counter(7);  // BytesSent: what the sends took, never more
  EXPECT_GE(bytesSent, int32_t(statuses.size() - 1) * kTextLength);
  EXPECT_LT(bytesSent, kTotal);
  // A failed send leaves the state alone; the next receive finds the connection gone.
  EXPECT_EQ(State(ref), 8);
  std::string text;
  const int32_t answer = Receive(ref, &text);
  EXPECT_TRUE(answer == -1 || answer == 0) << answer;
  const int32_t state = State(ref);
  EXPECT_TRUE(state == 14 || state == 20) << state;
  EXPECT_EQ(Send(ref, "after the reset"), -1);
  Release(ref);
  ExpectNothingLeft();
}

TEST_F(PeerFaultsTest, OutOfBandByteAmidDataLeavesTheReceivedBytesInOrder) {
  const std::string before = TextNumber(1).substr(0, 10000);
  const std::string after = TextNumber(2).substr(0, 10000);
  peer.SendAll(before);
  peer.SendUrgent('!');
  peer.SendAll(after);

  // The poll sees the exception condition: the stream is broken.
  int32_t state = 8;
  for (int i = 0; i < 5000 && state == 8; ++i) state = State(ref);
  EXPECT_EQ(state, 20);

  // What arrived is still received, past the urgent byte: every byte of the data in order,
  // the urgent byte left out (or, where the system reads it inline, in its place).
  std::string received;
  int32_t answers = 0;  // the sum of the counts the receives answered
  for (int i = 0; i < 5000 && received.size() < before.size() + after.size(); ++i) {
    std::string text;
    const int32_t answer = Receive(ref, &text);
    if (answer > 0) {
      received += text;
      answers += answer;
    } else {
      std::this_thread::yield();
    }
  }
  if (received.size() == before.size() + after.size() + 1) {
    EXPECT_EQ(received, before + "!" + after);
  } else {
    EXPECT_EQ(received, before + after);
  }
  EXPECT_EQ(Counter(6), answers);  // BytesReceived
  EXPECT_EQ(int32_t(received.size()), answers);
  EXPECT_EQ(State(ref), 20);
  Release(ref);
  ExpectNothingLeft();
}

TEST_F(PeerFaultsTest, TrickledBytesArriveWholeAndInOrder) {
  constexpr int kBytes = 500;
  std::string trickled;
  for (int i = 0; i < kBytes; ++i) trickled += char('A' + i % 26);
  std::string received;
  int32_t lastAnswer = 0;
  bool finished = false;
  host.StartProcess("trickler", [&] {
    for (char c : trickled) {
      peer.SendAll(std::string(1, c));
      YieldToHost();
    }
    peer.Close();
  });
  host.StartProcess("reader", [&] {
    for (int turn = 0; turn < 100 * kBytes && !finished; ++turn) {
      std::string text;
      lastAnswer = Receive(ref, &text);
      if (lastAnswer > 0) received += text;
      finished = lastAnswer == 0;  // the orderly end, after the last byte
      YieldToHost();
    }
  });
  host.RunProcesses();

  EXPECT_TRUE(finished);
  EXPECT_EQ(received, trickled);
  EXPECT_EQ(Counter(6), kBytes);  // BytesReceived
  EXPECT_EQ(State(ref), 14);
  EXPECT_EQ(Release(ref), 0);
  EXPECT_EQ(Counter(5), 0);  // ended by the peer: the release closes nothing
  ExpectNothingLeft();
}

}  // namespace
}  // namespace nettest
