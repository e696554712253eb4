// The POSIX window surface: window parents, and waiting connections on registered listening
// sockets turned into posted messages by the watcher thread. Loopback only.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "host/toolbox.h"
#include "platform/posix/window_surface.h"
#include "toolbox/host_services.h"

namespace {

constexpr uint32_t kSocketMessage = 14566;
constexpr int32_t kAccept = 8;

struct Listener;

std::vector<HostMessage> seen;
Listener* acceptIn = nullptr;  // the filter accepts what waits on it, as the package's does

void AcceptAllIn(Listener* listener);

int32_t RecordingFilter(void*, HostMessage* message) {
  seen.push_back(*message);
  if (acceptIn != nullptr && message->message == kSocketMessage) AcceptAllIn(acceptIn);
  return 0;
}

size_t SocketMessagesSeen() {
  size_t n = 0;
  for (const HostMessage& m : seen) n += m.message == kSocketMessage;
  return n;
}

// A non-blocking listening socket on 127.0.0.1 and an ephemeral port.
struct Listener {
  int fd = -1;
  uint16_t port = 0;
  Listener() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd, 8);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    socklen_t length = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    port = ntohs(a.sin_port);
  }
  ~Listener() {
    for (int c : clients) close(c);
    close(fd);
  }
  // Connects a client (kept open until the listener goes).
  void Connect() {
    int c = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    ASSERT_EQ(connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    clients.push_back(c);
  }
  void AcceptAll() {
    int c;
    while ((c = accept(fd, nullptr, nullptr)) >= 0) close(c);
  }
  std::vector<int> clients;
};

void AcceptAllIn(Listener* listener) {
  listener->AcceptAll();
}

// Notifications come from a watcher thread: waits (pumping) until `count` messages have been
// seen or a generous deadline passes.
void PumpUntilSeen(size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (seen.size() < count && std::chrono::steady_clock::now() < deadline) {
    TBHost_WaitMessages(100);
    TBHost_PumpMessages();
  }
}

// Pumps for a while, so that anything the watcher was going to post has been seen.
void PumpAWhile() {
  for (int i = 0; i < 5; ++i) {
    TBHost_WaitMessages(20);
    TBHost_PumpMessages();
  }
}

class SurfaceTest : public testing::Test {
 protected:
  void SetUp() override {
    // What an earlier test left queued is dropped (no filter takes it).
    SetMessageFilter(nullptr);
    TBHost_PumpMessages();
    seen.clear();
    acceptIn = nullptr;
    SetMessageFilter(RecordingFilter);
    frame_ = TBHost_FrameWindow();
  }
  void TearDown() override {
    acceptIn = nullptr;
    SetMessageFilter(nullptr);
  }
  void* frame_ = nullptr;
};

TEST_F(SurfaceTest, HostWindowsHaveTheFrameAsParent) {
  HostWindow* w = NewHostWindow(nullptr, reinterpret_cast<const unsigned char*>("\3abc"));
  void* native = HostWindowNative(w);
  EXPECT_EQ(SurfaceGetParent(native), frame_);
  EXPECT_EQ(SurfaceGetParent(frame_), nullptr);
  int notAWindow = 0;
  EXPECT_EQ(SurfaceGetParent(&notAWindow), nullptr);
  EXPECT_EQ(SurfaceGetParent(nullptr), nullptr);
  DisposeHostWindow(w);
  EXPECT_EQ(SurfaceGetParent(native), nullptr);
}

TEST_F(SurfaceTest, AWaitingConnectionIsPostedToItsWindow) {
  Listener listener;
  ASSERT_EQ(SurfaceAsyncSelect(listener.fd, frame_, kSocketMessage, kAccept), 0);
  PumpAWhile();
  EXPECT_TRUE(seen.empty());

  listener.Connect();
  PumpUntilSeen(1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].window, frame_);
  EXPECT_EQ(seen[0].message, kSocketMessage);
  EXPECT_EQ(seen[0].wParam, uintptr_t(listener.fd));
  EXPECT_EQ(seen[0].lParam, kAccept);

  // Still waiting after the filter handled it (nobody accepted): announced again.
  PumpUntilSeen(2);
  EXPECT_EQ(seen.size(), 2u);
  // Once the filter accepts what waits, nothing more is announced.
  acceptIn = &listener;
  PumpUntilSeen(3);
  PumpAWhile();
  EXPECT_EQ(seen.size(), 3u);
  // A new connection is announced again.
  listener.Connect();
  PumpUntilSeen(4);
  EXPECT_EQ(seen.size(), 4u);
  SurfaceAsyncSelect(listener.fd, frame_, 0, 0);
}

TEST_F(SurfaceTest, NoSecondNotificationWhileOneIsQueued) {
  Listener listener;
  ASSERT_EQ(SurfaceAsyncSelect(listener.fd, frame_, kSocketMessage, kAccept), 0);
  listener.Connect();
  // The connection keeps the socket readable while its notification waits in the queue,
  // unpumped: the watcher must not post it again and again meanwhile.
  TBHost_WaitMessages(2000);
  for (int i = 0; i < 5; ++i) TBHost_WaitMessages(20);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  acceptIn = &listener;
  TBHost_PumpMessages();
  PumpAWhile();
  EXPECT_EQ(SocketMessagesSeen(), 1u);
  SurfaceAsyncSelect(listener.fd, frame_, 0, 0);
}

TEST_F(SurfaceTest, CancelledAndUnknownRegistrationsPostNothing) {
  Listener listener;
  EXPECT_EQ(SurfaceAsyncSelect(listener.fd, nullptr, kSocketMessage, kAccept), -1);
  int notAWindow = 0;
  EXPECT_EQ(SurfaceAsyncSelect(listener.fd, &notAWindow, kSocketMessage, kAccept), -1);
  ASSERT_EQ(SurfaceAsyncSelect(listener.fd, frame_, kSocketMessage, kAccept), 0);
  ASSERT_EQ(SurfaceAsyncSelect(listener.fd, frame_, 0, 0), 0);
  listener.Connect();
  PumpAWhile();
  EXPECT_TRUE(seen.empty());

  // A registration with a host window ends with the window.
  HostWindow* w = NewHostWindow(nullptr, nullptr);
  ASSERT_EQ(SurfaceAsyncSelect(listener.fd, HostWindowNative(w), kSocketMessage, kAccept), 0);
  DisposeHostWindow(w);
  PumpAWhile();
  EXPECT_TRUE(seen.empty());
}

TEST_F(SurfaceTest, AnIdleWaitWakesForAConnection) {
  Listener listener;
  ASSERT_EQ(SurfaceAsyncSelect(listener.fd, frame_, kSocketMessage, kAccept), 0);
  std::thread client([&listener] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    listener.Connect();
  });
  auto start = std::chrono::steady_clock::now();
  TBHost_WaitMessages(20000);
  auto waited = std::chrono::steady_clock::now() - start;
  client.join();
  // It returned because of the connection, long before its time-out.
  EXPECT_LT(waited, std::chrono::seconds(15));
  acceptIn = &listener;
  TBHost_PumpMessages();
  EXPECT_EQ(seen.size(), 1u);
  SurfaceAsyncSelect(listener.fd, frame_, 0, 0);
}

TEST_F(SurfaceTest, AnIdleWaitWakesForAPostFromAnotherThread) {
  std::thread poster([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    TBHost_PostMessage(frame_, 0x5000, 0, 0);
  });
  auto start = std::chrono::steady_clock::now();
  TBHost_WaitMessages(20000);
  auto waited = std::chrono::steady_clock::now() - start;
  poster.join();
  EXPECT_LT(waited, std::chrono::seconds(15));
  TBHost_PumpMessages();
  EXPECT_EQ(seen.size(), 1u);
}

TEST_F(SurfaceTest, SocketsPastTheSelectLimitAreWatched) {
  // Descriptor numbers above FD_SETSIZE (1024), as with a thousand streams open.
  constexpr int kHighDescriptor = 1500;
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max <= kHighDescriptor) {
    GTEST_SKIP() << "the open-file limit stops below descriptor " << kHighDescriptor;
  }
  if (limit.rlim_cur <= kHighDescriptor) {
    limit.rlim_cur = kHighDescriptor + 1;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
  }
  Listener listener;
  ASSERT_EQ(dup2(listener.fd, kHighDescriptor), kHighDescriptor);
  ASSERT_EQ(SurfaceAsyncSelect(kHighDescriptor, frame_, kSocketMessage, kAccept), 0);
  listener.Connect();
  PumpUntilSeen(1);
  ASSERT_GE(seen.size(), 1u);
  EXPECT_EQ(seen[0].wParam, uintptr_t(kHighDescriptor));
  SurfaceAsyncSelect(kHighDescriptor, frame_, 0, 0);
  close(kHighDescriptor);
}

}  // namespace
