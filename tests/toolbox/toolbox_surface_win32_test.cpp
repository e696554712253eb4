// The Windows window surface: host windows are children of the frame window, and Winsock's
// notifications posted to the frame reach the message filter through the pump. Loopback only.

// USER32's SetRect (on RECT) would clash with the toolbox's SetRect (on Rect): rename it here.
#define SetRect User32SetRect
#include <winsock2.h>
#undef SetRect

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "host/toolbox.h"
#include "toolbox/host_services.h"

namespace {

constexpr UINT kSocketMessage = 14566;

std::vector<HostMessage> seen;

int32_t RecordingFilter(void*, HostMessage* message) {
  seen.push_back(*message);
  return 0;
}

TEST(SurfaceWin32Test, HostWindowsAreHiddenChildrenOfTheFrame) {
  HWND frame = static_cast<HWND>(TBHost_FrameWindow());
  ASSERT_NE(frame, nullptr);
  EXPECT_FALSE(IsWindowVisible(frame));
  HostWindow* w = NewHostWindow(nullptr, reinterpret_cast<const unsigned char*>("\0"));
  ASSERT_NE(w, nullptr);
  HWND native = static_cast<HWND>(HostWindowNative(w));
  EXPECT_EQ(GetParent(native), frame);
  EXPECT_FALSE(IsWindowVisible(native));
  DisposeHostWindow(w);
  EXPECT_FALSE(IsWindow(native));
}

TEST(SurfaceWin32Test, AcceptNotificationsReachTheFilter) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  int length = sizeof a;
  getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length);

  seen.clear();
  SetMessageFilter(RecordingFilter);
  HWND frame = static_cast<HWND>(TBHost_FrameWindow());
  ASSERT_EQ(WSAAsyncSelect(listener, frame, kSocketMessage, FD_ACCEPT), 0);
  SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (seen.empty() && std::chrono::steady_clock::now() < deadline) {
    TBHost_WaitMessages(100);
    TBHost_PumpMessages();
  }
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].window, frame);
  EXPECT_EQ(seen[0].message, kSocketMessage);
  EXPECT_EQ(seen[0].wParam, uintptr_t(listener));
  EXPECT_EQ(WSAGETSELECTEVENT(seen[0].lParam), FD_ACCEPT);

  WSAAsyncSelect(listener, frame, 0, 0);
  SetMessageFilter(nullptr);
  closesocket(client);
  closesocket(listener);
  WSACleanup();
}

}  // namespace
