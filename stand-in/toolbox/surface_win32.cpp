// The window surface on Windows, with real USER32: a hidden top-level frame window of a
// registered class, and host windows as hidden child windows of it.
//
// A window's posted messages reach only the thread that created it, and the host's thread
// is often asleep or busy in a process. So one window thread of this library owns the frame
// and every host window: it runs their message loop and moves each application message
// (WM_USER and above, such as the socket notifications Winsock posts) into a queue that the
// pump, on whichever thread calls it, hands to the message filter; an idle host waits on
// that queue's event. Creating and destroying windows is asked of the window thread with
// SendMessage.
//
// The pump runs at every yield, so while nothing is queued it costs an atomic read: the
// queue's length is kept where the pump reads it without the lock, and the calling thread's
// own message queue (which only messages for windows made outside this library reach) is
// looked at when an idle wait saw something arrive there, and otherwise once a tick.

// USER32's SetRect (on RECT) would clash with the toolbox's SetRect (on Rect): rename it here.
#define SetRect User32SetRect
#include <windows.h>
#undef SetRect

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <unordered_set>

#include "host_services.h"
#include "messages_internal.h"

struct HostWindow {
  HWND hwnd;
};

namespace {

constexpr char kFrameClass[] = "NimbusHostFrame";
constexpr char kChildClass[] = "NimbusHostWindow";
// Requests to the window thread, sent to the frame (never posted, so never queued).
constexpr UINT kCreateChild = WM_APP + 0x3F00;
constexpr UINT kDestroyChild = WM_APP + 0x3F01;
// How often a busy pump looks at its own thread's message queue, in milliseconds.
constexpr DWORD kOwnQueueLookMs = 16;

struct CreateRequest {
  RECT bounds;
  const char* title;
  HWND created;
};

struct Surface {
  std::mutex mutex;
  std::condition_variable started;
  bool starting = false;
  bool ready = false;
  HWND frame = nullptr;
  HANDLE messageArrived = nullptr;  // auto-reset: set when the queue gains a message
  std::deque<HostMessage> queue;
  std::atomic<size_t> queued{0};  // the queue's length, read by the pump without the mutex
  std::unordered_set<const HostWindow*> windows;
  std::atomic<bool> ownQueueStirred{true};  // an idle wait saw the thread's own queue stir
  std::atomic<DWORD> ownQueueLooked{0};     // tick count of the last look at it
};

Surface& TheSurface() {
  static Surface* surface = new Surface;  // outlives callers during exit
  return *surface;
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kCreateChild) {
    auto* request = reinterpret_cast<CreateRequest*>(lParam);
    const RECT& r = request->bounds;
    request->created =
        CreateWindowExA(0, kChildClass, request->title, WS_CHILD, r.left, r.top, r.right - r.left,
                        r.bottom - r.top, hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
    return 0;
  }
  if (message == kDestroyChild) {
    DestroyWindow(reinterpret_cast<HWND>(wParam));
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void Enqueue(Surface& s, const MSG& msg) {
  std::lock_guard<std::mutex> guard(s.mutex);
  try {
    s.queue.push_back(
        HostMessage{msg.hwnd, msg.message, uintptr_t(msg.wParam), intptr_t(msg.lParam)});
  } catch (const std::bad_alloc&) {
    return;  // dropped, as a full Windows queue drops a post
  }
  s.queued.store(s.queue.size(), std::memory_order_release);
  SetEvent(s.messageArrived);
}

void WindowThread() {
  Surface& s = TheSurface();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA frameClass{};
  frameClass.lpfnWndProc = FrameProc;
  frameClass.hInstance = instance;
  frameClass.lpszClassName = kFrameClass;
  WNDCLASSA childClass{};
  childClass.lpfnWndProc = DefWindowProcA;
  childClass.hInstance = instance;
  childClass.lpszClassName = kChildClass;
  RegisterClassA(&frameClass);
  RegisterClassA(&childClass);
  HWND frame = CreateWindowExA(0, kFrameClass, "Nimbus host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                               CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
  {
    std::lock_guard<std::mutex> guard(s.mutex);
    s.frame = frame;
    s.ready = true;
  }
  s.started.notify_all();
  if (frame == nullptr) return;

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message >= WM_USER && msg.message < 0xC000 && msg.hwnd != nullptr) {
      Enqueue(s, msg);
    } else {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

// Starts the window thread once; answers the frame window (null when it could not be made).
HWND EnsureFrame() {
  Surface& s = TheSurface();
  std::unique_lock<std::mutex> lock(s.mutex);
  if (!s.starting) {
    s.starting = true;
    s.messageArrived = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    try {
      std::thread(WindowThread).detach();
    } catch (...) {
      s.ready = true;  // no thread, no frame: callers get null
    }
  }
  s.started.wait(lock, [&s] { return s.ready; });
  return s.frame;
}

// Offers messages posted to windows of the calling thread itself to the filter too.
void PumpOwnThreadQueue() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    HostMessage m{msg.hwnd, msg.message, uintptr_t(msg.wParam), intptr_t(msg.lParam)};
    MessageFilterProc filter = toolbox::CurrentMessageFilter();
    if (filter != nullptr && filter(m.window, &m) == 0) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

extern "C" {

TOOLBOX_API void* TBHost_FrameWindow(void) {
  return EnsureFrame();
}

TOOLBOX_API int32_t TBHost_PostMessage(void* window, uint32_t message, uintptr_t wParam,
                                       intptr_t lParam) {
  if (window == nullptr) return 0;
  HWND frame = EnsureFrame();
  HWND hwnd = static_cast<HWND>(window);
  // A message for one of our windows that the window thread would move into the queue goes
  // there at once: it is then in the queue when this returns, as a post is on Linux, rather
  // than whenever the window thread next runs.
  if (message >= WM_USER && message < 0xC000 && IsWindow(hwnd)) {
    Surface& s = TheSurface();
    bool ours = hwnd == frame;
    {
      std::lock_guard<std::mutex> guard(s.mutex);
      for (const HostWindow* w : s.windows) ours = ours || w->hwnd == hwnd;
    }
    if (ours) {
      Enqueue(s, MSG{hwnd, message, WPARAM(wParam), LPARAM(lParam), 0, {0, 0}});
      return 1;
    }
  }
  return PostMessageA(hwnd, message, WPARAM(wParam), LPARAM(lParam)) ? 1 : 0;
}

TOOLBOX_API void TBHost_PumpMessages(void) {
  Surface& s = TheSurface();
  const DWORD now = GetTickCount();  // a read of memory the system keeps up to date
  if (s.ownQueueStirred.exchange(false, std::memory_order_relaxed) ||
      now - s.ownQueueLooked.load(std::memory_order_relaxed) >= kOwnQueueLookMs) {
    s.ownQueueLooked.store(now, std::memory_order_relaxed);
    PumpOwnThreadQueue();
  }
  // Only the messages queued now: one the filter posts waits for the next pump.
  const size_t pending = s.queued.load(std::memory_order_acquire);
  for (size_t i = 0; i < pending; ++i) {
    HostMessage m;
    {
      std::lock_guard<std::mutex> guard(s.mutex);
      if (s.queue.empty()) break;
      m = s.queue.front();
      s.queue.pop_front();
      s.queued.store(s.queue.size(), std::memory_order_release);
    }
    // The window thread already dispatched it here; one the filter does not take is dropped.
    if (MessageFilterProc filter = toolbox::CurrentMessageFilter()) filter(m.window, &m);
  }
}

TOOLBOX_API void TBHost_WaitMessages(int32_t timeoutMs) {
  EnsureFrame();
  Surface& s = TheSurface();
  {
    std::lock_guard<std::mutex> guard(s.mutex);
    if (!s.queue.empty() || timeoutMs <= 0) return;
  }
  DWORD handles = s.messageArrived != nullptr ? 1 : 0;
  const DWORD woken = MsgWaitForMultipleObjects(handles, &s.messageArrived, FALSE, DWORD(timeoutMs),
                                                QS_ALLPOSTMESSAGE);
  if (woken == WAIT_OBJECT_0 + handles) s.ownQueueStirred.store(true, std::memory_order_relaxed);
}

TOOLBOX_API HostWindow* NewHostWindow(const Rect* bounds, ConstStr255Param title) {
  HWND frame = EnsureFrame();
  if (frame == nullptr) return nullptr;
  char titleText[256] = {};
  if (title != nullptr) CopyMemory(titleText, title + 1, title[0]);
  CreateRequest request{{0, 0, 0, 0}, titleText, nullptr};
  if (bounds != nullptr) {
    request.bounds = RECT{bounds->left, bounds->top, bounds->right, bounds->bottom};
  }
  SendMessageA(frame, kCreateChild, 0, reinterpret_cast<LPARAM>(&request));
  if (request.created == nullptr) return nullptr;
  auto* window = new (std::nothrow) HostWindow{request.created};
  Surface& s = TheSurface();
  std::lock_guard<std::mutex> guard(s.mutex);
  try {
    if (window == nullptr) throw std::bad_alloc();
    s.windows.insert(window);
  } catch (const std::bad_alloc&) {
    delete window;
    SendMessageA(frame, kDestroyChild, WPARAM(request.created), 0);
    return nullptr;
  }
  return window;
}

TOOLBOX_API void* HostWindowNative(HostWindow* window) {
  Surface& s = TheSurface();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (window == nullptr || s.windows.count(window) == 0) return nullptr;
  return window->hwnd;
}

TOOLBOX_API void DisposeHostWindow(HostWindow* window) {
  Surface& s = TheSurface();
  HWND hwnd;
  {
    std::lock_guard<std::mutex> guard(s.mutex);
    if (window == nullptr || s.windows.erase(window) == 0) return;
    hwnd = window->hwnd;
    std::erase_if(s.queue, [hwnd](const HostMessage& m) { return m.window == hwnd; });
    s.queued.store(s.queue.size(), std::memory_order_release);
    delete window;
  }
  SendMessageA(s.frame, kDestroyChild, WPARAM(hwnd), 0);
}

}  // extern "C"
