// The window surface on POSIX: what Windows gives the package and POSIX lacks. A "window" is
// a small record with a parent; the host's frame window is the parent of every host window.
// Messages wait in one queue until the pump hands them to the message filter. Listening
// sockets registered with SurfaceAsyncSelect are polled by the pump (poll(), never select():
// descriptor numbers pass FD_SETSIZE) and a waiting connection is posted as a message, the
// way Winsock posts FD_ACCEPT.
//
// The host runs its processes as threads, one at a time, so the state sits behind a mutex;
// the mutex is never held while the filter runs, because the filter may post, create windows
// or register sockets itself.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "host_services.h"
#include "messages_internal.h"
#include "platform/posix/window_surface.h"

namespace toolbox {
// The native handle: what HostWindowNative answers and messages are addressed to.
struct NativeWindow {
  NativeWindow* parent;
};
}  // namespace toolbox

struct HostWindow {
  Rect bounds;
  std::string title;
  toolbox::NativeWindow native;
};

namespace {

using toolbox::NativeWindow;

constexpr int32_t kAcceptEvent = 8;  // FD_ACCEPT

struct QueuedMessage {
  HostMessage message;
  intptr_t acceptSocket;  // the registered socket this notification is for, or -1
};

struct AcceptWatch {
  intptr_t socket;
  NativeWindow* window;
  uint32_t message;
  bool queued;  // a notification for it waits in the queue: post no second one
};

struct Surface {
  std::mutex mutex;
  NativeWindow frame{nullptr};
  std::unordered_set<const void*> windows;  // native handles of live host windows
  std::deque<QueuedMessage> queue;
  std::vector<AcceptWatch> watches;
  int wakeRead = -1;  // self-pipe: a post wakes an idle wait
  int wakeWrite = -1;
};

Surface& TheSurface() {
  static Surface* surface = new Surface;  // outlives callers during exit
  return *surface;
}

// Caller holds the mutex.
bool IsKnownWindow(Surface& s, const void* window) {
  return window == &s.frame || s.windows.count(window) != 0;
}

// Caller holds the mutex.
void OpenWakePipe(Surface& s) {
  if (s.wakeRead >= 0) return;
  int fds[2];
  if (pipe(fds) != 0) return;
  for (int fd : fds) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  s.wakeRead = fds[0];
  s.wakeWrite = fds[1];
}

// Caller holds the mutex.
void Wake(Surface& s) {
  OpenWakePipe(s);
  if (s.wakeWrite < 0) return;
  char byte = 1;
  ssize_t ignored = write(s.wakeWrite, &byte, 1);  // a full pipe already means "wake"
  (void)ignored;
}

// Caller holds the mutex.
void DrainWakePipe(Surface& s) {
  if (s.wakeRead < 0) return;
  char bytes[64];
  while (read(s.wakeRead, bytes, sizeof bytes) > 0) {
  }
}

// Caller holds the mutex.
bool Post(Surface& s, const HostMessage& message, intptr_t acceptSocket) {
  try {
    s.queue.push_back({message, acceptSocket});
  } catch (const std::bad_alloc&) {
    return false;
  }
  Wake(s);
  return true;
}

// Polls the watched sockets (waiting up to timeoutMs, with the wake pipe when timeoutMs > 0)
// and posts a notification for each with a connection waiting. Takes the mutex itself and
// releases it while waiting.
void PollWatches(Surface& s, int timeoutMs) {
  std::vector<pollfd> fds;
  {
    std::lock_guard<std::mutex> guard(s.mutex);
    if (timeoutMs > 0) {
      OpenWakePipe(s);
      if (!s.queue.empty()) return;
    }
    for (const AcceptWatch& w : s.watches) {
      if (!w.queued) fds.push_back({int(w.socket), POLLIN, 0});
    }
    if (timeoutMs > 0 && s.wakeRead >= 0) fds.push_back({s.wakeRead, POLLIN, 0});
  }
  if (fds.empty()) return;
  if (poll(fds.data(), nfds_t(fds.size()), timeoutMs) <= 0) return;

  std::lock_guard<std::mutex> guard(s.mutex);
  for (const pollfd& p : fds) {
    if (p.fd == s.wakeRead) {
      DrainWakePipe(s);
      continue;
    }
    if ((p.revents & POLLIN) == 0) continue;
    // The registration may have changed while the mutex was free: look it up again.
    for (AcceptWatch& w : s.watches) {
      if (w.socket != p.fd || w.queued) continue;
      HostMessage m{w.window, w.message, uintptr_t(w.socket), kAcceptEvent};
      w.queued = Post(s, m, w.socket);
    }
  }
}

// Takes the first queued message; false when the queue is empty.
bool TakeMessage(Surface& s, HostMessage* out) {
  std::lock_guard<std::mutex> guard(s.mutex);
  if (s.queue.empty()) return false;
  QueuedMessage q = s.queue.front();
  s.queue.pop_front();
  if (q.acceptSocket >= 0) {
    for (AcceptWatch& w : s.watches) {
      if (w.socket == q.acceptSocket) w.queued = false;
    }
  }
  *out = q.message;
  return true;
}

}  // namespace

extern "C" {

TOOLBOX_API void* SurfaceGetParent(void* window) {
  Surface& s = TheSurface();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (window == nullptr || !IsKnownWindow(s, window)) return nullptr;
  return static_cast<NativeWindow*>(window)->parent;
}

TOOLBOX_API int32_t SurfaceAsyncSelect(intptr_t socket, void* window, uint32_t message,
                                       int32_t events) {
  Surface& s = TheSurface();
  std::lock_guard<std::mutex> guard(s.mutex);
  std::erase_if(s.watches, [socket](const AcceptWatch& w) { return w.socket == socket; });
  if (events == 0) return 0;
  if (window == nullptr || !IsKnownWindow(s, window) || socket < 0) return -1;
  if ((events & kAcceptEvent) == 0) return 0;  // only incoming connections are announced
  try {
    s.watches.push_back({socket, static_cast<NativeWindow*>(window), message, false});
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 0;
}

TOOLBOX_API void* TBHost_FrameWindow(void) {
  return &TheSurface().frame;
}

TOOLBOX_API int32_t TBHost_PostMessage(void* window, uint32_t message, uintptr_t wParam,
                                       intptr_t lParam) {
  Surface& s = TheSurface();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (window == nullptr || !IsKnownWindow(s, window)) return 0;
  return Post(s, HostMessage{window, message, wParam, lParam}, -1) ? 1 : 0;
}

TOOLBOX_API void TBHost_PumpMessages(void) {
  Surface& s = TheSurface();
  PollWatches(s, 0);
  // Only the messages queued now: one the filter posts waits for the next pump.
  size_t pending;
  {
    std::lock_guard<std::mutex> guard(s.mutex);
    pending = s.queue.size();
  }
  HostMessage m;
  for (size_t i = 0; i < pending && TakeMessage(s, &m); ++i) {
    // A message the filter does not take has no window procedure to go to: it is dropped.
    if (MessageFilterProc filter = toolbox::CurrentMessageFilter()) filter(m.window, &m);
  }
}

TOOLBOX_API void TBHost_WaitMessages(int32_t timeoutMs) {
  Surface& s = TheSurface();
  bool idleWithoutSockets;
  {
    std::lock_guard<std::mutex> guard(s.mutex);
    if (!s.queue.empty() || timeoutMs <= 0) return;
    OpenWakePipe(s);
    idleWithoutSockets = s.watches.empty() && s.wakeRead < 0;
  }
  if (idleWithoutSockets) {
    usleep(useconds_t(timeoutMs) * 1000);  // nothing could wake us early
    return;
  }
  PollWatches(s, timeoutMs);
}

TOOLBOX_API HostWindow* NewHostWindow(const Rect* bounds, ConstStr255Param title) {
  auto* window = new (std::nothrow) HostWindow;
  if (window == nullptr) return nullptr;
  Surface& s = TheSurface();
  std::lock_guard<std::mutex> guard(s.mutex);
  try {
    window->bounds = bounds != nullptr ? *bounds : Rect{0, 0, 0, 0};
    if (title != nullptr) window->title.assign(reinterpret_cast<const char*>(title + 1), title[0]);
    window->native.parent = &s.frame;
    s.windows.insert(&window->native);
  } catch (const std::bad_alloc&) {
    delete window;
    return nullptr;
  }
  return window;
}

TOOLBOX_API void* HostWindowNative(HostWindow* window) {
  Surface& s = TheSurface();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (window == nullptr || s.windows.count(&window->native) == 0) return nullptr;
  return &window->native;
}

TOOLBOX_API void DisposeHostWindow(HostWindow* window) {
  Surface& s = TheSurface();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (window == nullptr || s.windows.erase(&window->native) == 0) return;
  // Like a destroyed window: its pending messages and socket notifications go with it.
  NativeWindow* native = &window->native;
  std::erase_if(s.queue, [native](const QueuedMessage& q) { return q.message.window == native; });
  std::erase_if(s.watches, [native](const AcceptWatch& w) { return w.window == native; });
  delete window;
}

}  // extern "C"
