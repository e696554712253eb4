// The POSIX window surface: window parents, and waiting connections on registered listening
// sockets turned into posted messages. Loopback only.
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

std::vector<HostMessage> seen;
bool nestPump = false;  // the filter runs a pump of its own on a message other than ours

int32_t RecordingFilter(void*, HostMessage* message) {
  seen.push_back(*message);
  if (nestPump && message->message != kSocketMessage) TBHost_PumpMessages();
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

class SurfaceTest : public testing::Test {
 protected:
  void SetUp() override {
    seen.clear();
    nestPump = false;
    SetMessageFilter(RecordingFilter);
    frame_ = TBHost_FrameWindow();
  }
  void TearDown() override { SetMessageFilter(nullptr); }
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
  TBHost_PumpMessages();
  EXPECT_TRUE(seen.empty());

  listener.Connect();
  TBHost_WaitMessages(2000);
  TBHost_PumpMessages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].window, frame_);
  EXPECT_EQ(seen[0].message, kSocketMessage);
  EXPECT_EQ(seen[0].wParam, uintptr_t(listener.fd));
  EXPECT_EQ(seen[0].lParam, kAccept);

  // Still waiting after delivery (nobody accepted): announced again at the next pump.
  TBHost_PumpMessages();
  EXPECT_EQ(seen.size(), 2u);
  listener.AcceptAll();
  TBHost_PumpMessages();
  EXPECT_EQ(seen.size(), 2u);
  SurfaceAsyncSelect(listener.fd, frame_, 0, 0);
}

TEST_F(SurfaceTest, NoSecondNotificationWhileOneIsQueued) {
  Listener listener;
  ASSERT_EQ(SurfaceAsyncSelect(listener.fd, frame_, kSocketMessage, kAccept), 0);
  listener.Connect();
  // The queue holds another message and then the notification; the filter pumps again while
  // handling the first, so the socket is polled once more with its notification queued.
  TBHost_PostMessage(frame_, 0x5000, 0, 0);
  nestPump = true;
  TBHost_WaitMessages(2000);
  TBHost_PumpMessages();
  nestPump = false;
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
  TBHost_PumpMessages();
  EXPECT_TRUE(seen.empty());

  // A registration with a host window ends with the window.
  HostWindow* w = NewHostWindow(nullptr, nullptr);
  ASSERT_EQ(SurfaceAsyncSelect(listener.fd, HostWindowNative(w), kSocketMessage, kAccept), 0);
  DisposeHostWindow(w);
  TBHost_PumpMessages();
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
  TBHost_WaitMessages(2000);
  TBHost_PumpMessages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].wParam, uintptr_t(kHighDescriptor));
  SurfaceAsyncSelect(kHighDescriptor, frame_, 0, 0);
  close(kHighDescriptor);
}

}  // namespace
