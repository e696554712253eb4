// Failures that loopback does not produce on demand, injected through the socket seam:
// the subsystem's operations are called directly on records of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "net/datagrams.h"
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
    EXPECT_EQ(gOptions.count(platform::kSoReuseAddr), 0u);   // the opens decide on reuse
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

// Every socket option set through the seam, in order, with its value.
std::vector<std::pair<int32_t, int32_t>> gOptionsSet;

int32_t RecordingSetSockOpt(Socket s, int32_t level, int32_t name, const void* value,
                            int32_t length) {
  gOptionsSet.push_back({name, *static_cast<const int32_t*>(value)});
  return platform::SystemSocketCalls().setsockopt(s, level, name, value, length);
}

// What each build asks of the socket: the same calls on Windows and on Linux. A passive open
// asks for no address reuse (SO_REUSEADDR would share a port another socket listens on,
// SO_EXCLUSIVEADDRUSE would stop a listen while an earlier connection is open); an active
// open does.
TEST_F(NetFaultsTest, PassiveOpensAskForNoAddressReuseAndActiveOpensDo) {
  Calls().setsockopt = RecordingSetSockOpt;
  using Options = std::vector<std::pair<int32_t, int32_t>>;
  StreamRecord* passive = OpenPassive(0, 0, kLoopback);
  ASSERT_NE(passive, nullptr);
  EXPECT_EQ(gOptionsSet, (Options{{platform::kSoSndBuf, 8192}, {platform::kSoRcvBuf, 8192}}));
  StreamEndpoints ends{};
  GetStreamAddresses(&passive, &ends);

  gOptionsSet.clear();
  StreamRecord* active = OpenActive("127.0.0.1", ends.localPort, 20000, 0, 0);
  ASSERT_NE(active, nullptr);
  EXPECT_EQ(gOptionsSet, (Options{{platform::kSoSndBuf, 20000},
                                  {platform::kSoRcvBuf, 20000},
                                  {platform::kSoReuseAddr, 1}}));
  ReleaseStream(&active);
  ReleaseStream(&passive);
}

// 0.0.0.0 never reaches the socket calls: the open and the send fail as Winsock fails them.
TEST_F(NetFaultsTest, TheUnspecifiedAddressIsRefusedBeforeAnyConnectOrSend) {
  Calls().connect = [](Socket s, const platform::SockAddrIn* to) {
    ++gCallsSeen;
    return platform::SystemSocketCalls().connect(s, to);
  };
  Calls().sendto = [](Socket s, const void* data, int32_t length, int32_t flags,
                      const platform::SockAddrIn* to) {
    ++gCallsSeen;
    return platform::SystemSocketCalls().sendto(s, data, length, flags, to);
  };
  const int32_t opens = CounterValue(OpensStarted);
  EXPECT_EQ(OpenActive("0.0.0.0", 80, 0, 0, 0), nullptr);
  EXPECT_EQ(CounterValue(OpensStarted), opens + 1);
  EXPECT_EQ(CounterValue(ReleasesClosing), 1);

  StreamRecord* endpoint = OpenDatagram(0, 0);
  ASSERT_NE(endpoint, nullptr);
  FourDText text = TextOf("astray");
  EXPECT_EQ(SendDatagram(&endpoint, text, 0, 7), -1);
  EXPECT_EQ(gCallsSeen, 0);
  EXPECT_EQ(SendDatagram(&endpoint, text, kLoopback, 7), 0);  // anywhere else is sent
  EXPECT_EQ(gCallsSeen, 1);
  CloseDatagram(&endpoint);
  DisposeHandle(text.handle);
}

// Receives that report WSAECONNRESET, as Windows does after an earlier send drew an ICMP
// port unreachable: the first `resets` calls fail so, the rest are the system's own.
int32_t gResetsLeft = 0;
bool gLastWasReset = false;

class DatagramResetTest : public NetFaultsTest {
 protected:
  void SetUp() override {
    NetFaultsTest::SetUp();
    receiver = OpenDatagram(0, 0);
    sender = OpenDatagram(0, 0);
    ASSERT_NE(receiver, nullptr);
    ASSERT_NE(sender, nullptr);
    const platform::SockAddrIn local = platform::InternetAddress(kLoopback, 0);
    ASSERT_EQ(Calls().bind(receiver->socket, &local), 0);
    platform::SockAddrIn bound{};
    ASSERT_EQ(Calls().getsockname(receiver->socket, &bound), 0);
    receiverPort = platform::NetToHost16(bound.port);
    gResetsLeft = 0;
    gLastWasReset = false;
    Calls().recvfrom = [](Socket s, void* data, int32_t length, int32_t flags,
                          platform::SockAddrIn* from) {
      ++gCallsSeen;
      gLastWasReset = gResetsLeft > 0;
      if (gLastWasReset) {
        --gResetsLeft;
        return FailingCall();
      }
      return platform::SystemSocketCalls().recvfrom(s, data, length, flags, from);
    };
    Calls().lastError = [] {
      return gLastWasReset ? platform::kWsaEConnReset : platform::SystemSocketCalls().lastError();
    };
  }
  void TearDown() override {
    CloseDatagram(&receiver);
    CloseDatagram(&sender);
    NetFaultsTest::TearDown();
  }
  // Sends bytes from the sender and waits until they are waiting at the receiver.
  void SendAndWait(const std::string& bytes) {
    FourDText text = TextOf(bytes);
    ASSERT_EQ(SendDatagram(&sender, text, kLoopback, receiverPort), 0);
    DisposeHandle(text.handle);
    for (int i = 0;
         i < 100000 && Calls().selectOne(receiver->socket, platform::SelectSet::kRead) != 1; ++i) {
    }
    ASSERT_EQ(Calls().selectOne(receiver->socket, platform::SelectSet::kRead), 1);
  }
  uint16_t SenderPort() {
    platform::SockAddrIn bound{};
    Calls().getsockname(sender->socket, &bound);
    return platform::NetToHost16(bound.port);
  }

  StreamRecord* receiver = nullptr;
  StreamRecord* sender = nullptr;
  uint16_t receiverPort = 0;
};

// Every number of resets ahead of a waiting datagram, up to one past the bound: the datagram
// comes back with its sender while the retries last; past them the routine fails, the Text
// untouched, and the datagram waits for the next receive.
TEST_F(DatagramResetTest, ADatagramWaitingBehindResetsIsReturnedWithItsSender) {
  for (int32_t resets = 0; resets <= kConnResetRetries + 1; ++resets) {
    const std::string bytes = std::to_string(resets) + " resets ahead";
    SendAndWait(bytes);
    gResetsLeft = resets;
    gCallsSeen = 0;
    FourDText text = TextOf("before");
    DatagramSender from{};
    const bool withinBound = resets <= kConnResetRetries;
    const int16_t answer = ReceiveDatagram(&receiver, text, &from);
    EXPECT_EQ(gCallsSeen, withinBound ? resets + 1 : kConnResetRetries + 1) << resets;
    if (!withinBound) {
      EXPECT_EQ(answer, -1);
      EXPECT_EQ(std::string(*text.handle, text.length), "before");
      EXPECT_EQ(ReceiveDatagram(&receiver, text, &from), 0);  // still waiting
    } else {
      EXPECT_EQ(answer, 0) << resets;
    }
    EXPECT_EQ(std::string(*text.handle, text.length), bytes);
    EXPECT_EQ(from.address, kLoopback);
    EXPECT_EQ(from.port, SenderPort());
    DisposeHandle(text.handle);
  }
}

TEST_F(DatagramResetTest, ResetsWithNothingWaitingAnswerAsWhenNothingArrived) {
  FourDText text = TextOf("kept");
  for (int32_t resets : {0, 1, 5, kConnResetRetries, kConnResetRetries + 1, 1000000}) {
    gResetsLeft = resets;
    gCallsSeen = 0;
    EXPECT_EQ(ReceiveDatagram(&receiver, text, nullptr), -1) << resets;
    EXPECT_EQ(gCallsSeen, std::min(resets, kConnResetRetries) + 1) << resets;
    EXPECT_EQ(std::string(*text.handle, text.length), "kept");
  }
  DisposeHandle(text.handle);
}

// Only WSAECONNRESET on a datagram endpoint is read past: a TCP stream's reset is its end,
// and other failures answer at once.
TEST_F(DatagramResetTest, OtherFailuresAndTcpResetsAreNotRetried) {
  FourDText text = TextOf("kept");
  gResetsLeft = 3;
  gCallsSeen = 0;
  EXPECT_EQ(ReceiveDatagram(&stream, text, nullptr), -1);
  EXPECT_EQ(gCallsSeen, 1);
  Calls().recvfrom = [](Socket, void*, int32_t, int32_t, platform::SockAddrIn*) {
    ++gCallsSeen;
    return FailingCall();
  };
  FailWith(platform::kWsaENetDown);
  gCallsSeen = 0;
  EXPECT_EQ(ReceiveDatagram(&receiver, text, nullptr), -1);
  EXPECT_EQ(gCallsSeen, 1);
  EXPECT_EQ(std::string(*text.handle, text.length), "kept");
  DisposeHandle(text.handle);
}

}  // namespace
}  // namespace nimbus
