// userstate.h: the window system's own records of this process: window classes, windows,
// thread message queues and timers, and the helpers the files of platform/user share.
//
// One process-wide recursive lock guards everything here. It is never held while a window
// procedure, a timer callback or the display driver runs, nor across a wait, so a window
// procedure may call back into any function of the window system, from any thread.
//
// Inside the platform only (platform/user and its tests).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gdi/surface.h"
#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/wait.h"
#include "user/driver.h"
#include "windows.h"

namespace ce::user {

using ce::currentThreadId;
using ce::deviceTickCount;
using ce::deviceTickCount64;
using ce::RectList;
using ce::Surface;
using ce::wakeDeviceWaiters;

// WM_WINDOWPOSCHANGED carries these (undocumented, as on the desktop) when the client area
// kept its size or position; DefWindowProc then sends no WM_SIZE / WM_MOVE.
constexpr UINT kSwpNoClientSize = 0x0800;
constexpr UINT kSwpNoClientMove = 0x1000;

// Window positions are kept to 16 bits, as X keeps them, and sizes to kMaxWindowExtent: every
// window has a backing surface (and an X pixmap) of its size, so a size from a careless or
// hostile caller (SetWindowPos from another program) must not make this program allocate
// gigabytes. Far above any device screen (640 pixels at most).
constexpr int kMinWindowCoordinate = -32768;
constexpr int kMaxWindowCoordinate = 32767;
constexpr int kMaxWindowExtent = 2048;

struct WindowClass {
    std::u16string name;
    HINSTANCE instance = nullptr;
    ATOM atom = 0;
    WNDCLASSW wc{};          // lpszClassName and lpszMenuName are not kept here
    std::u16string menuName; // when lpszMenuName was a string
    std::vector<uint8_t> clsExtra;
    int liveWindows = 0; // UnregisterClassW fails while windows of the class exist
};

struct Window {
    uint32_t handle = 0;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    uint32_t parent = 0;            // 0 for a top-level window; may be a window of another program
    uint32_t owner = 0;             // top-level windows only
    std::vector<uint32_t> children; // own children, top of the stacking order first
    RECT rect{}; // in the parent's client coordinates; screen for top-level windows
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    std::vector<uint8_t> extra;
    std::u16string text;
    uint32_t threadId = 0;
    bool destroying = false;

    // Painting: the update region in client coordinates, whether it still needs erasing,
    // and the backing surface (window-sized, kept across paints).
    RectList update;
    bool erasePending = false;
    bool internalPaint = false;
    std::shared_ptr<Surface> surface;
    std::optional<RectList> shape; // window coordinates
    RECT paintDirty{};             // what BeginPaint validated, window coordinates
};

// A message another thread (or program) sent to a window of this thread, or work that must
// run on this thread (task).
struct SendState {
    bool done = false;
    bool abandoned = false; // the sender gave up (time-out): a late reply is dropped
    LRESULT result = 0;
    std::vector<uint8_t> payload; // reply data of a message from another program
};

struct SentMessage {
    uint32_t hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::shared_ptr<SendState> state;  // null: nobody waits (SendNotifyMessage)
    std::function<void()> task;        // internal work instead of a message
    std::function<void(LRESULT)> done; // called with the result (messages from other programs)
};

struct QueuedMessage {
    MSG msg{};
    std::shared_ptr<void> storage; // what lParam points at (messages from other programs)
};

struct Timer {
    uint32_t hwnd = 0;
    UINT_PTR id = 0;
    uint64_t period = 0; // ms of device time
    uint64_t due = 0;    // on the deviceTickCount64 timeline
    TIMERPROC proc = nullptr;
};

struct Queue {
    uint32_t threadId = 0;
    std::deque<SentMessage> sent;
    std::deque<QueuedMessage> posted;
    std::deque<QueuedMessage> input;
    bool quit = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    uint32_t timerGeneration = 0; // bumped when a timer changes, so a wait recomputes
    uint32_t focus = 0;
    uint32_t active = 0;
    int inSend = 0;                                  // depth of sent messages being handled
    std::vector<std::shared_ptr<SendState>> replies; // their reply slots (ReplyMessage)
    std::shared_ptr<void> lastStorage;               // data of the last message taken
    DWORD lastTime = 0;
    POINT lastPoint{};
};

// ---- State ----------------------------------------------------------------------------------
std::recursive_mutex& userLock();
using Lock = std::lock_guard<std::recursive_mutex>;

// Wires the window system to the rest of the platform at its first use (the registry's
// change sink). Cheap after the first call.
void ensureInitialized();

// The window of this process behind a handle value (null when it is not one, or gone).
std::shared_ptr<Window> findWindow(uint32_t hwnd);
inline std::shared_ptr<Window> findWindow(HWND hwnd) {
    return findWindow(HandleToULong(hwnd));
}
// All windows of this process (a snapshot).
std::vector<std::shared_ptr<Window>> allWindows();
void insertWindow(const std::shared_ptr<Window>& w);
void eraseWindow(uint32_t hwnd);

// The queue of a thread of this process: made on first use by currentQueue(); queueOf
// answers null for a thread that never used the window system.
std::shared_ptr<Queue> currentQueue();
std::shared_ptr<Queue> queueOf(uint32_t threadId);
std::shared_ptr<Queue> queueOfOrCreate(uint32_t threadId);
// Tells a thread that waits for messages to look at its queue again.
void wakeQueue(Queue& q);

// Window classes (class.cpp).
std::shared_ptr<WindowClass> findClass(LPCWSTR name, HINSTANCE instance);

// ---- Geometry ---------------------------------------------------------------------------------
bool hasBorder(DWORD style);
// The client area in window coordinates.
RECT clientInWindow(const Window& w);
// The screen position of a window's top-left corner and of its client area's; works for a
// window of another program through the driver.
POINT windowScreenOrigin(uint32_t hwnd);
POINT clientScreenOrigin(uint32_t hwnd);
// The facts of any window of the device: local for own windows, from the driver otherwise.
std::optional<WindowFacts> windowFacts(uint32_t hwnd);
bool isWindowHandle(uint32_t hwnd);
// The top-level window a window belongs to (itself for a top-level window).
uint32_t topLevelOf(uint32_t hwnd);
bool isVisibleChain(uint32_t hwnd);

// ---- Messages ---------------------------------------------------------------------------------
// Calls the window procedure on this thread (no lock held).
LRESULT callProc(uint32_t hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// SendMessage within the process (direct on the window's thread, queued otherwise).
LRESULT sendInternal(uint32_t hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queues work on a thread of this process (it runs with the sent messages).
void runOnThread(uint32_t threadId, std::function<void()> task);
// Runs fn on a thread of this process and waits for it, answering messages sent to the
// calling thread meanwhile, as SendMessage does. Direct when it is the calling thread.
LRESULT runOnThreadSync(uint32_t threadId, const std::function<LRESULT()>& fn);
// Answers every message sent to this thread, in order.
void processSentMessages();
// Queues a posted or input message for a window or thread of this process.
bool queuePosted(uint32_t threadId, const MSG& msg, std::shared_ptr<void> storage = {});
bool queueInput(uint32_t threadId, const MSG& msg);
POINT lastPointerPosition();
void setLastPointerPosition(POINT p);

// ---- Requests to other programs' windows ------------------------------------------------------
// What a program asks of another program's window (show it, move it, repaint it) travels as
// an internal wire message: a message number above 0xFFFF, which no program can send or post
// to another program (such numbers are reserved by the system) and which no window procedure
// ever sees. The owning program performs the request on the window's own thread, so its
// window system stays the truth and sends its usual messages (remote.cpp).
constexpr uint32_t kWireShowWindow = 0x00010001;   // sent; wParam: SW_ command; result: BOOL
constexpr uint32_t kWireSetWindowPos = 0x00010002; // sent; payload: insert-after, x, y, cx, cy,
                                                   // flags (32 bits each); result: BOOL
constexpr uint32_t kWireRedraw = 0x00010003; // posted; wParam: RDW_ flags; lParam 1: rectangles
                                             // (RECT each) in the payload, 0: the whole window
inline bool isInternalWireMessage(uint32_t msg) {
    return msg > 0xFFFF;
}

// Sends a packed message to another program's window and waits for the answer until the
// deadline (deviceTickCount64; UINT64_MAX: none), answering messages sent to this thread
// meanwhile. False with the last error set (ERROR_INVALID_WINDOW_HANDLE, ERROR_TIMEOUT).
// The answer ends with 0 when the window disappears while the sender waits.
bool sendWire(const WireMessage& wire, uint64_t deadline, LRESULT* result,
              std::vector<uint8_t>* replyPayload);
// Carries out an internal wire message for a window of this process (driver event thread).
void deliverInternalWire(const WireMessage& message, bool sent, const ReplyFn& reply);
// ShowWindow, SetWindowPos and RedrawWindow on another program's window.
BOOL showRemoteWindow(uint32_t hwnd, int command);
BOOL placeRemoteWindow(uint32_t hwnd, HWND after, int x, int y, int cx, int cy, UINT flags);
BOOL redrawRemoteWindow(uint32_t hwnd, const RECT* rect, HRGN region, UINT flags);

// ---- Windows ----------------------------------------------------------------------------------
// SetWindowPos for a window of this process, with the messages it sends.
bool setWindowPosInternal(uint32_t hwnd, HWND after, int x, int y, int cx, int cy, UINT flags);
// Painting state changes (paint.cpp).
void invalidateClient(Window& w, const RECT* rect, bool erase);
void invalidateTree(uint32_t hwnd, bool erase);
void resizeSurface(Window& w);
// Whether a window of the thread needs WM_PAINT, parents before children; 0 if none.
uint32_t windowToPaint(uint32_t threadId, uint32_t filter);
// Timers (timer.cpp).
void killWindowTimers(uint32_t hwnd);
// Focus and activation (focus.cpp): what destroying or hiding a window must undo.
void activateWindow(uint32_t hwnd, bool setForeground);
void windowGoingAway(uint32_t hwnd, bool destroying);
uint32_t currentCapture(); // the capture window of the process, 0 for none
// Key state tracking (input.cpp).
void noteKeyState(uint8_t vk, bool down);

} // namespace ce::user
