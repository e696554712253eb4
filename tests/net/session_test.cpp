// The Winsock session: start and end, the message filter, and the accept pass over listen
// entries set up on real loopback sockets.
#include "net/session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "net/listen_queue.h"
#include "net/statistics.h"
#include "toolbox/host_services.h"
#include "toolbox/toolbox_testing.h"

namespace nimbus {
namespace {

using platform::Calls;
using platform::Socket;

struct RecordedCall {
  Socket socket;
  int32_t a;
  int32_t b;
};
std::vector<RecordedCall> gAsyncSelects;
std::vector<RecordedCall> gSockOpts;
std::vector<Socket> gCloses;

class SessionTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::ResetSocketCalls();
    TBTest_ResetRecords();
    gAsyncSelects.clear();
    gSockOpts.clear();
    gCloses.clear();
  }
  void TearDown() override {
    EndWinsockSession();
    platform::ResetSocketCalls();
  }

  // A non-blocking listening socket on 127.0.0.1 and the port it got.
  static Socket Listening(uint16_t* port) {
    const Socket s =
        Calls().socket(platform::kAfInet, platform::kSockStream, platform::kIpProtoTcp);
    EXPECT_NE(s, platform::kInvalidSocket);
    platform::SockAddrIn local{};
    local.family = platform::kAfInet;
    local.address = platform::HostToNet32(0x7F000001);
    EXPECT_EQ(Calls().bind(s, &local), 0);
    EXPECT_EQ(Calls().listen(s, 10), 0);
    uint32_t on = 1;
    Calls().ioctlsocket(s, platform::kFionbio, &on);
    platform::SockAddrIn bound{};
    Calls().getsockname(s, &bound);
    *port = platform::NetToHost16(bound.port);
    return s;
  }

  // A client connection to 127.0.0.1:port (blocking connect; loopback completes at once).
  static Socket Connect(uint16_t port) {
    const Socket s =
        Calls().socket(platform::kAfInet, platform::kSockStream, platform::kIpProtoTcp);
    platform::SockAddrIn remote{};
    remote.family = platform::kAfInet;
    remote.port = platform::HostToNet16(port);
    remote.address = platform::HostToNet32(0x7F000001);
    EXPECT_EQ(Calls().connect(s, &remote), 0);
    return s;
  }

  static StreamRecord* Waiting(Socket listening) {
    auto* record = reinterpret_cast<StreamRecord*>(NewPtrClear(sizeof(StreamRecord)));
    record->socket = listening;
    record->state = StateListening;
    return record;
  }

  // Queues the records on a new entry for `listening`, first to last.
  static ListenEntry& Enter(Socket listening, const std::vector<StreamRecord*>& waiting) {
    ListenEntry& entry = ListenTable()[0];
    entry.listeningSocket = listening;
    entry.waitingCount = int32_t(waiting.size());
    for (size_t i = 0; i < waiting.size(); ++i) {
      waiting[i]->nextWaiting = i + 1 < waiting.size() ? waiting[i + 1] : nullptr;
    }
    entry.firstWaiting = waiting.front();
    entry.lastWaiting = waiting.back();
    return entry;
  }

  // Waits (bounded) until the listening socket reports a waiting connection.
  static void AwaitBacklog(Socket listening, int connections) {
    for (int i = 0; i < 200 && Calls().selectOne(listening, platform::SelectSet::kRead) != 1; ++i) {
    }
    (void)connections;
  }

  static void Dispose(StreamRecord* record) {
    if (record->socket != platform::kInvalidSocket && record->state == StateEstablished) {
      Calls().closesocket(record->socket);
    }
    DisposePtr(reinterpret_cast<Ptr>(record));
  }
};

TEST_F(SessionTest, StartZeroesStatisticsRegistersFilterAndFindsTheFrameWindow) {
  AddToCounter(BytesSent, 5);
  EXPECT_EQ(StartWinsockSession(), 0);
  EXPECT_EQ(CounterValue(BytesSent), 0);
  EXPECT_EQ(EventWindow(), TBHost_FrameWindow());
  EXPECT_EQ(TBTest_MessageCount(), 0);
}

TEST_F(SessionTest, FailedStartupStillRegistersAndZeroesAndAnswersMinus5550) {
  Calls().startup = [](uint16_t) { return int32_t(platform::kWsaSysNotReady); };
  AddToCounter(OpensStarted, 3);
  EXPECT_EQ(StartWinsockSession(), -5550);
  EXPECT_EQ(CounterValue(OpensStarted), 0);
  EXPECT_NE(EventWindow(), nullptr);
  HostMessage message{EventWindow(), kSocketNotification, 0, 0};
  EXPECT_EQ(SocketMessageFilter(EventWindow(), &message), 0);  // the filter is live
}

TEST_F(SessionTest, NoParentWindowShowsTheMessageOnceAndLeavesTheFilterInert) {
  Calls().getParent = [](void*) -> void* { return nullptr; };
  EXPECT_EQ(StartWinsockSession(), 0);
  EXPECT_EQ(EventWindow(), nullptr);
  ASSERT_EQ(TBTest_MessageCount(), 1);
  EXPECT_STREQ(TBTest_LastMessage(),
               "Nimbus error: Couldn't get parent window for Winsock events !");
  HostMessage message{nullptr, kSocketNotification, 0, 0};
  EXPECT_EQ(SocketMessageFilter(nullptr, &message), 1);
}

TEST_F(SessionTest, FilterTakesOnlyTheNotificationAddressedToTheEventWindow) {
  StartWinsockSession();
  void* window = EventWindow();
  int other = 0;
  HostMessage wrongWindow{&other, kSocketNotification, 0, 0};
  EXPECT_EQ(SocketMessageFilter(&other, &wrongWindow), 1);
  HostMessage wrongMessage{window, kSocketNotification + 1, 0, 0};
  EXPECT_EQ(SocketMessageFilter(window, &wrongMessage), 1);
  HostMessage notification{window, kSocketNotification, 0, 0};
  EXPECT_EQ(SocketMessageFilter(window, &notification), 0);  // no entry in use: nothing to do
}

TEST_F(SessionTest, OnePassHandsOutEveryWaitingConnectionInQueueOrder) {
  StartWinsockSession();
  uint16_t port = 0;
  const Socket listening = Listening(&port);
  StreamRecord* first = Waiting(listening);
  StreamRecord* second = Waiting(listening);
  StreamRecord* third = Waiting(listening);
  ListenEntry& entry = Enter(listening, {first, second, third});
  const Socket a = Connect(port);
  const Socket b = Connect(port);
  AwaitBacklog(listening, 2);

  HostMessage notification{EventWindow(), kSocketNotification, listening, platform::kFdAccept};
  // Accepting both may need the second connection to reach the backlog: pump a few times.
  for (int i = 0; i < 100 && entry.waitingCount > 1; ++i) {
    SocketMessageFilter(EventWindow(), &notification);
  }
  EXPECT_EQ(first->state, StateEstablished);
  EXPECT_EQ(second->state, StateEstablished);
  EXPECT_EQ(third->state, StateListening);
  EXPECT_NE(first->socket, listening);
  EXPECT_EQ(entry.waitingCount, 1);
  EXPECT_EQ(entry.firstWaiting, third);
  EXPECT_EQ(entry.listeningSocket, listening);
  EXPECT_EQ(CounterValue(ConnectionsAccepted), 2);

  Dispose(first);
  Dispose(second);
  Dispose(third);
  Calls().closesocket(a);
  Calls().closesocket(b);
}

TEST_F(SessionTest, LastWaitingStreamFreesTheEntryAndClosesTheListeningSocket) {
  StartWinsockSession();
  uint16_t port = 0;
  const Socket listening = Listening(&port);
  StreamRecord* only = Waiting(listening);
  ListenEntry& entry = Enter(listening, {only});
  const Socket a = Connect(port);
  const Socket b = Connect(port);
  AwaitBacklog(listening, 2);
  AcceptPending();
  EXPECT_EQ(only->state, StateEstablished);
  EXPECT_EQ(entry.listeningSocket, 0u);
  EXPECT_EQ(entry.firstWaiting, nullptr);
  EXPECT_EQ(entry.waitingCount, 0);
  // The listening socket is gone: the layer no longer knows it.
  EXPECT_EQ(Calls().selectOne(listening, platform::SelectSet::kRead), platform::kSocketError);
  Dispose(only);
  Calls().closesocket(a);
  Calls().closesocket(b);
}

TEST_F(SessionTest, EndCancelsNotificationsSetsReuseAndClosesEveryListeningSocket) {
  StartWinsockSession();
  uint16_t port = 0;
  const Socket listening = Listening(&port);
  StreamRecord* waiting = Waiting(listening);
  Enter(listening, {waiting});
  Calls().asyncSelect = [](Socket s, void*, uint32_t message, int32_t events) {
    gAsyncSelects.push_back({s, int32_t(message), events});
    return int32_t(0);
  };
  Calls().setsockopt = [](Socket s, int32_t level, int32_t name, const void* value, int32_t) {
    int32_t v;
    std::memcpy(&v, value, 4);
    gSockOpts.push_back({s, name, v});
    return level == platform::kSolSocket ? int32_t(0) : int32_t(-1);
  };
  static int32_t (*realClose)(Socket) = platform::SystemSocketCalls().closesocket;
  Calls().closesocket = [](Socket s) {
    gCloses.push_back(s);
    return realClose(s);
  };
  EndWinsockSession();
  ASSERT_EQ(gAsyncSelects.size(), 1u);
  EXPECT_EQ(gAsyncSelects[0].socket, listening);
  EXPECT_EQ(gAsyncSelects[0].a, 0);
  EXPECT_EQ(gAsyncSelects[0].b, 0);
  ASSERT_EQ(gSockOpts.size(), 1u);
  EXPECT_EQ(gSockOpts[0].a, platform::kSoReuseAddr);
  EXPECT_EQ(gSockOpts[0].b, 1);
  ASSERT_EQ(gCloses.size(), 1u);
  EXPECT_EQ(gCloses[0], listening);
  DisposePtr(reinterpret_cast<Ptr>(waiting));
}

}  // namespace
}  // namespace nimbus
