// Failures that loopback does not produce on demand, injected through the socket seam:
// the subsystem's operations are called directly on records of the test's own.
#include <gtest/gtest.h>

#include <map>

#include "net/names.h"
#include "net/session.h"
#include "net/statistics.h"
#include "net/streams.h"
#include "net/transfer.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus {
namespace {

using platform::Calls;
using platform::Socket;

constexpr uint32_t kLoopback = 0x7F000001;

// What the injected calls report as WSAGetLastError, and what they saw.
int32_t gInjectedError = 0;
int32_t gCallsSeen = 0;
std::map<int32_t, int32_t> gOptions;
std::map<Socket, int32_t> gCloses;

int32_t InjectedError() {
  return gInjectedError;
}
int32_t FailingCall() {
  return platform::kSocketError;
}

class NetFaultsTest : public testing::Test {
 protected:
  void SetUp() override {
    gInjectedError = 0;
    gCallsSeen = 0;
    gOptions.clear();
    gCloses.clear();
    ResetStatistics();
    platform::Calls().startup(0x0101);  // Winsock needs its session in this test program
    // A listening socket of the subsystem's own serves as the peer.
    listener = OpenPassive(0, 0, kLoopback);
    ASSERT_NE(listener, nullptr);
    StreamEndpoints ends{};
    GetStreamAddresses(&listener, &ends);
    stream = OpenActive("127.0.0.1", ends.localPort, 0, 0, 0);
    ASSERT_NE(stream, nullptr);
    for (int i = 0; i < 1000 && PollStream(stream, 0) == StateConnecting; ++i) {
    }
    ASSERT_EQ(PollStream(stream, 0), StateEstablished);
    ASSERT_EQ(PollStream(listener, 0), StateEstablished);
  }
  void TearDown() override {
    platform::ResetSocketCalls();
    TBTest_SetAllocationBudget(-1);
    ReleaseStream(&stream);
    ReleaseStream(&listener);
    platform::Calls().cleanup();
  }
  void FailWith(int32_t code) {
    gInjectedError = code;
    Calls().lastError = InjectedError;
  }
  FourDText TextOf(const std::string& bytes) {
    FourDText text{int16_t(bytes.size()), NewHandle(int32_t(bytes.size()))};
    std::copy(bytes.begin(), bytes.end(), *text.handle);
    return text;
  }

  StreamRecord* listener = nullptr;  // the accepted end once connected
  StreamRecord* stream = nullptr;
};

TEST_F(NetFaultsTest, SendFailureEndsTheSendKeepingWhatWasCounted) {
  Calls().send = [](Socket s, const void* data, int32_t length, int32_t flags) {
    if (++gCallsSeen > 1) return FailingCall();
    return platform::SystemSocketCalls().send(s, data, length, flags);
  };
  FailWith(platform::kWsaEConnReset);
  FourDText text = TextOf(std::string(3000, 'z'));
  EXPECT_EQ(SendTextRecord(&stream, text), -1);
  EXPECT_EQ(stream->bytesSent, 1024);
  EXPECT_EQ(CounterValue(BytesSent), 1024);
  EXPECT_EQ(stream->state, StateEstablished);  // a failed send changes no state
  DisposeHandle(text.handle);
}

TEST_F(NetFaultsTest, ReceiveFailuresSetTheStates) {
  FourDText text{0, nullptr};
  Calls().recv = [](Socket, void*, int32_t, int32_t) { return FailingCall(); };
  FailWith(platform::kWsaEConnAborted);
  EXPECT_EQ(ReceiveIntoText(&stream, text, 0), -1);
  EXPECT_EQ(stream->state, StateBroken);
  FailWith(platform::kWsaEConnReset);
  EXPECT_EQ(ReceiveIntoText(&listener, text, 0), -1);
  EXPECT_EQ(listener->state, StateClosed);
  EXPECT_EQ(text.length, 0);
  DisposeHandle(text.handle);
}

TEST_F(NetFaultsTest, FailingSelectBreaksAnEstablishedStream) {
  Calls().selectOne = [](Socket, platform::SelectSet) { return FailingCall(); };
  EXPECT_EQ(PollStream(stream, 0), StateBroken);
}

TEST_F(NetFaultsTest, ReceiveWithoutABlockLeavesTheDataWaiting) {
  FourDText sent = TextOf("data");
  ASSERT_EQ(SendTextRecord(&listener, sent), 0);
  for (int i = 0; i < 1000 && BytesAvailable(&stream) < 4; ++i) {
  }
  TBTest_SetAllocationBudget(0);
  FourDText text{0, nullptr};
  EXPECT_EQ(ReceiveIntoText(&stream, text, 0), -1);
  TBTest_SetAllocationBudget(-1);
  EXPECT_EQ(text.handle, nullptr);
  EXPECT_EQ(BytesAvailable(&stream), 4);
  EXPECT_EQ(stream->state, StateEstablished);
  DisposeHandle(sent.handle);
}

TEST_F(NetFaultsTest, EverySocketIsClosedOnce) {
  Calls().closesocket = [](Socket s) {
    ++gCloses[s];
    return platform::SystemSocketCalls().closesocket(s);
  };
  const Socket socket = stream->socket;
  EXPECT_EQ(CloseStream(&stream), 0);
  EXPECT_EQ(CloseStream(&stream), -1);
  EXPECT_EQ(ReleaseStream(&stream), 0);
  EXPECT_EQ(gCloses[socket], 1);
  EXPECT_EQ(CounterValue(ClosesRequested), 2);
  EXPECT_EQ(CounterValue(ReleasesClosing), 0);
}

TEST_F(NetFaultsTest, ABrokenStreamClosedThenReleasedCountsTheReleaseAndClosesOnce) {
  Calls().closesocket = [](Socket s) {
    ++gCloses[s];
    return platform::SystemSocketCalls().closesocket(s);
  };
  stream->state = StateBroken;  // as after an exception condition
  const Socket socket = stream->socket;
  EXPECT_EQ(CloseStream(&stream), 0);
  EXPECT_EQ(stream->state, StateBroken);  // states never go down
  EXPECT_EQ(ReleaseStream(&stream), 0);
  EXPECT_EQ(gCloses[socket], 1);
  EXPECT_EQ(CounterValue(ClosesRequested), 1);
  EXPECT_EQ(CounterValue(ReleasesClosing), 1);  // released in a state other than 14
}

TEST_F(NetFaultsTest, SocketBuffersAreClampedAndTheSocketNonBlocking) {
  Calls().setsockopt = [](Socket, int32_t, int32_t name, const void* value, int32_t) {
    gOptions[name] = *static_cast<const int32_t*>(value);
    return 0;
  };
  for (auto [asked, given] : {std::pair{0, 8192}, {100, 8192}, {20000, 20000}, {100000, 32767}}) {
    StreamRecord* record = NewStreamRecord(asked);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(gOptions[platform::kSoSndBuf], given) << asked;
    EXPECT_EQ(gOptions[platform::kSoRcvBuf], given) << asked;
    EXPECT_EQ(gOptions[platform::kSoReuseAddr], 1);
    EXPECT_EQ(Calls().send(record->socket, "x", 1, 0), -1);  // unconnected, and not waiting
    ReleaseStream(&record);
  }
}

TEST_F(NetFaultsTest, ResolverFailuresFallBack) {
  Calls().gethostbyname = [](const char*, uint32_t*) { return FailingCall(); };
  Calls().gethostbyaddr = [](uint32_t, char*, int32_t) { return FailingCall(); };
  EXPECT_EQ(ResolveName("no-such-host"), kNoAddress);
  EXPECT_EQ(ResolveName("127.0.0.1"), kLoopback);  // dotted text needs no look-up
  EXPECT_EQ(LocalHostAddress(), CachedLocalAddress());
  EXPECT_EQ(CachedLocalAddress(), kLoopback);  // set by the connect in SetUp
  unsigned char name[256];
  AddressToName(kLoopback, false, name);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(name + 1), name[0]), "127.0.0.1");

  const int32_t opens = CounterValue(OpensStarted);
  EXPECT_EQ(OpenActive("no-such-host", 80, 0, 0, 0), nullptr);
  EXPECT_EQ(CounterValue(OpensStarted), opens + 1);
  EXPECT_EQ(CounterValue(ReleasesClosing), 1);

  Calls().gethostname = [](char*, int32_t) { return FailingCall(); };
  EXPECT_EQ(ResolveName(""), CachedLocalAddress());
}

}  // namespace
}  // namespace nimbus
