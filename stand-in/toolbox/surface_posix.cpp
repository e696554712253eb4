// The window surface on POSIX: what Windows gives the package and POSIX lacks. A "window" is
// a small record with a parent; the host's frame window is the parent of every host window.
// Messages wait in one queue until the pump hands them to the message filter.
//
// Listening sockets registered with SurfaceAsyncSelect are watched by a thread of this
// library (epoll, one-shot: no descriptor limit, and no cost per socket while nothing
// happens) which posts a waiting connection as a message, the way Winsock posts FD_ACCEPT
// from its own thread. A socket is watched again once the filter has handled its
// notification; one still waiting then is announced again. So the pump, which runs at every yield,
// costs one atomic read while nothing is queued, however many sockets listen.
//
// The state sits behind a mutex, which is never held while the filter runs, because the
// filter may post, create windows or register sockets itself.
#include <sys/epoll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <thread>
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
  bool queued;  // a notification for it waits in the queue: the watcher leaves it alone
};

struct Surface {
  std::mutex mutex;
  std::condition_variable posted;  // an idle wait wakes when the queue gains a message
  NativeWindow frame{nullptr};
  std::unordered_set<const void*> windows;  // native handles of live host windows
  std::deque<QueuedMessage> queue;
  std::atomic<size_t> queued{0};  // the queue's length, read by the pump without the mutex
  std::vector<AcceptWatch> watches;
  int epoll = -1;  // the watcher's; -1 until the first registration
  bool watcherStarted = false;
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
bool Post(Surface& s, const HostMessage& message, intptr_t acceptSocket) {
  try {
    s.queue.push_back({message, acceptSocket});
  } catch (const std::bad_alloc&) {
    return false;
  }
  s.queued.store(s.queue.size(), std::memory_order_release);
  s.posted.notify_all();
  return true;
}

// Caller holds the mutex. Asks the watcher to report the socket's next waiting connection
// (once: a report disarms it until the next call).
void Arm(Surface& s, intptr_t socket) {
  if (s.epoll < 0) return;
  epoll_event event{};
  event.events = EPOLLIN | EPOLLONESHOT;
  event.data.fd = int(socket);
  if (epoll_ctl(s.epoll, EPOLL_CTL_MOD, int(socket), &event) != 0) {
    epoll_ctl(s.epoll, EPOLL_CTL_ADD, int(socket), &event);
  }
}

// Caller holds the mutex.
void Disarm(Surface& s, intptr_t socket) {
  if (s.epoll >= 0) epoll_ctl(s.epoll, EPOLL_CTL_DEL, int(socket), nullptr);
}

// The watcher: waits for a registered socket to have a connection waiting and posts its
// notification. Runs for the life of the program, like Winsock's own threads.
void Watch(Surface& s) {
  epoll_event events[64];
  for (;;) {
    const int n = epoll_wait(s.epoll, events, 64, -1);
    if (n <= 0) continue;  // interrupted
    std::lock_guard<std::mutex> guard(s.mutex);
    for (int i = 0; i < n; ++i) {
      // The registration may have changed since the socket was armed: look it up again.
      for (AcceptWatch& w : s.watches) {
        if (w.socket != events[i].data.fd || w.queued) continue;
        HostMessage m{w.window, w.message, uintptr_t(w.socket), kAcceptEvent};
        w.queued = Post(s, m, w.socket);
        if (!w.queued) Arm(s, w.socket);  // no room to post: try again later
      }
    }
  }
}

// Caller holds the mutex. False when no watcher can be had.
bool StartWatcher(Surface& s) {
  if (s.watcherStarted) return true;
  if (s.epoll < 0) s.epoll = epoll_create1(EPOLL_CLOEXEC);
  if (s.epoll < 0) return false;
  try {
    std::thread([&s] { Watch(s); }).detach();
  } catch (...) {
    return false;
  }
  s.watcherStarted = true;
  return true;
}

// Takes the first queued message; false when the queue is empty.
bool TakeMessage(Surface& s, QueuedMessage* out) {
  std::lock_guard<std::mutex> guard(s.mutex);
  if (s.queue.empty()) return false;
  *out = s.queue.front();
  s.queue.pop_front();
  s.queued.store(s.queue.size(), std::memory_order_release);
  return true;
}

// After the filter has handled a socket's notification (and, as the package's filter does,
// accepted what was waiting), the socket is watched again.
void WatchAgain(Surface& s, intptr_t socket) {
  std::lock_guard<std::mutex> guard(s.mutex);
  for (AcceptWatch& w : s.watches) {
    if (w.socket != socket || !w.queued) continue;
    w.queued = false;
    Arm(s, w.socket);
  }
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
  const size_t before = s.watches.size();
  std::erase_if(s.watches, [socket](const AcceptWatch& w) { return w.socket == socket; });
  if (s.watches.size() != before) Disarm(s, socket);
  if (events == 0) return 0;
  if (window == nullptr || !IsKnownWindow(s, window) || socket < 0) return -1;
  if ((events & kAcceptEvent) == 0) return 0;  // only incoming connections are announced
  if (!StartWatcher(s)) return -1;
  try {
    s.watches.push_back({socket, static_cast<NativeWindow*>(window), message, false});
  } catch (const std::bad_alloc&) {
    return -1;
  }
  Arm(s, socket);
  return 0;
}

TOOLBOX_API void* TBHost_FrameWindow(void) {
  Surface& s = TheSurface();
  std::lock_guard<std::mutex> guard(s.mutex);
  StartWatcher(s);  // with the window it serves, so its descriptor is there from the start
  return &s.frame;
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
  // Only the messages queued now: one the filter posts waits for the next pump.
  const size_t pending = s.queued.load(std::memory_order_acquire);
  QueuedMessage q;
  for (size_t i = 0; i < pending && TakeMessage(s, &q); ++i) {
    // A message the filter does not take has no window procedure to go to: it is dropped.
    if (MessageFilterProc filter = toolbox::CurrentMessageFilter()) {
      filter(q.message.window, &q.message);
    }
    if (q.acceptSocket >= 0) WatchAgain(s, q.acceptSocket);
  }
}

TOOLBOX_API void TBHost_WaitMessages(int32_t timeoutMs) {
  if (timeoutMs <= 0) return;
  Surface& s = TheSurface();
  std::unique_lock<std::mutex> lock(s.mutex);
  s.posted.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&s] { return !s.queue.empty(); });
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
    StartWatcher(s);
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
  s.queued.store(s.queue.size(), std::memory_order_release);
  for (const AcceptWatch& w : s.watches) {
    if (w.window == native) Disarm(s, w.socket);
  }
  std::erase_if(s.watches, [native](const AcceptWatch& w) { return w.window == native; });
  delete window;
}

}  // extern "C"
