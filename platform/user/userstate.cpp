// userstate.cpp: the window system's process-wide tables (windows, thread queues), its
// start-up wiring, and the geometry helpers every file of platform/user shares.
//
// A thread's queue lives as long as the thread: when the thread ends, every message still
// waiting for its answer is answered with 0, so a sender never waits for a thread that is gone.
#include "user/userstate.h"

#include <map>

#include "kernel/device.h"
#include "kernel/wait.h"
#include "registry/regnotify.h"

namespace ce::user {
namespace {

struct Tables {
    std::map<uint32_t, std::shared_ptr<Window>> windows;
    std::map<uint32_t, std::shared_ptr<Queue>> queues;
};

Tables& tables() {
    static Tables* t = new Tables; // outlives threads that end during exit
    return *t;
}

// Answers what a dying thread's queue still holds and removes the queue.
struct QueueOwner {
    uint32_t threadId = 0;
    ~QueueOwner() {
        if (!threadId) return;
        std::deque<SentMessage> pending;
        {
            Lock lock(userLock());
            auto it = tables().queues.find(threadId);
            if (it == tables().queues.end()) return;
            pending.swap(it->second->sent);
            tables().queues.erase(it);
        }
        for (auto& s : pending) {
            if (s.state) {
                Lock lock(userLock());
                s.state->done = true;
            }
            if (s.done) s.done(0);
        }
        if (!pending.empty()) wakeDeviceWaiters();
    }
};

thread_local QueueOwner queueOwner;

std::atomic<int32_t> pointerX{0}, pointerY{0};

} // namespace

std::recursive_mutex& userLock() {
    static std::recursive_mutex* m = new std::recursive_mutex;
    return *m;
}

void ensureInitialized() {
    static std::once_flag once;
    std::call_once(once, [] {
        ce::reg::setRegistryChangeSink([](const ce::reg::PendingNotification& n) {
            PostMessageW(n.hwnd, n.msg, n.wParam, n.lParam);
        });
    });
}

std::shared_ptr<Window> findWindow(uint32_t hwnd) {
    if (!hwnd) return nullptr;
    Lock lock(userLock());
    auto it = tables().windows.find(hwnd);
    return it == tables().windows.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<Window>> allWindows() {
    Lock lock(userLock());
    std::vector<std::shared_ptr<Window>> out;
    for (auto& [h, w] : tables().windows)
        out.push_back(w);
    return out;
}

void insertWindow(const std::shared_ptr<Window>& w) {
    Lock lock(userLock());
    tables().windows[w->handle] = w;
}

void eraseWindow(uint32_t hwnd) {
    Lock lock(userLock());
    tables().windows.erase(hwnd);
}

std::shared_ptr<Queue> queueOf(uint32_t threadId) {
    Lock lock(userLock());
    auto it = tables().queues.find(threadId);
    return it == tables().queues.end() ? nullptr : it->second;
}

std::shared_ptr<Queue> queueOfOrCreate(uint32_t threadId) {
    Lock lock(userLock());
    auto& q = tables().queues[threadId];
    if (!q) {
        q = std::make_shared<Queue>();
        q->threadId = threadId;
    }
    return q;
}

std::shared_ptr<Queue> currentQueue() {
    ensureInitialized();
    uint32_t tid = currentThreadId();
    if (!queueOwner.threadId) queueOwner.threadId = tid;
    return queueOfOrCreate(tid);
}

void wakeQueue(Queue& q) {
    {
        Lock lock(userLock());
        ++q.timerGeneration;
    }
    wakeDeviceWaiters();
}

POINT lastPointerPosition() {
    return POINT{pointerX.load(), pointerY.load()};
}

void setLastPointerPosition(POINT p) {
    pointerX = p.x;
    pointerY = p.y;
}

// ---- Geometry ---------------------------------------------------------------------------------

// A single-line border is the only non-client area: the device draws no caption inside a
// top-level window (the shell's title bar shows the title), so WS_CAPTION, which includes the
// WS_BORDER bit, takes no room.
bool hasBorder(DWORD style) {
    return (style & WS_CAPTION) == WS_BORDER;
}

RECT clientInWindow(const Window& w) {
    LONG width = w.rect.right - w.rect.left, height = w.rect.bottom - w.rect.top;
    LONG b = hasBorder(w.style) ? 1 : 0;
    RECT r{b, b, std::max<LONG>(b, width - b), std::max<LONG>(b, height - b)};
    return r;
}

POINT windowScreenOrigin(uint32_t hwnd) {
    if (auto w = findWindow(hwnd)) {
        RECT rect;
        uint32_t parent;
        {
            Lock lock(userLock());
            rect = w->rect;
            parent = w->parent;
        }
        if (!parent) return POINT{rect.left, rect.top};
        POINT p = clientScreenOrigin(parent);
        return POINT{p.x + rect.left, p.y + rect.top};
    }
    if (auto f = activeDriver().queryWindow(hwnd)) return POINT{f->rect.left, f->rect.top};
    return POINT{0, 0};
}

POINT clientScreenOrigin(uint32_t hwnd) {
    POINT p = windowScreenOrigin(hwnd);
    if (auto w = findWindow(hwnd)) {
        Lock lock(userLock());
        RECT c = clientInWindow(*w);
        return POINT{p.x + c.left, p.y + c.top};
    }
    if (auto f = activeDriver().queryWindow(hwnd)) {
        int b = hasBorder(f->style) ? 1 : 0;
        return POINT{p.x + b, p.y + b};
    }
    return p;
}

std::optional<WindowFacts> windowFacts(uint32_t hwnd) {
    if (!hwnd) return std::nullopt;
    if (auto w = findWindow(hwnd)) {
        WindowFacts f;
        POINT origin = windowScreenOrigin(hwnd);
        Lock lock(userLock());
        f.hwnd = hwnd;
        f.parent = w->parent;
        f.owner = w->owner;
        f.processId = GetCurrentProcessId();
        f.threadId = w->threadId;
        f.style = w->style;
        f.exStyle = w->exStyle;
        f.rect = RECT{origin.x, origin.y, origin.x + (w->rect.right - w->rect.left),
                      origin.y + (w->rect.bottom - w->rect.top)};
        f.visible = (w->style & WS_VISIBLE) != 0;
        f.className = w->cls ? w->cls->name : u"";
        f.text = w->text;
        return f;
    }
    return activeDriver().queryWindow(hwnd);
}

bool isWindowHandle(uint32_t hwnd) {
    if (!hwnd) return false;
    if (findWindow(hwnd)) return true;
    return activeDriver().queryWindow(hwnd).has_value();
}

uint32_t topLevelOf(uint32_t hwnd) {
    uint32_t current = hwnd;
    for (int depth = 0; depth < 256 && current; ++depth) {
        auto f = windowFacts(current);
        if (!f) return 0;
        if (!f->parent || f->parent == activeDriver().desktopWindow()) return current;
        current = f->parent;
    }
    return 0;
}

bool isVisibleChain(uint32_t hwnd) {
    uint32_t current = hwnd;
    for (int depth = 0; depth < 256 && current; ++depth) {
        auto f = windowFacts(current);
        if (!f || !f->visible) return false;
        if (!f->parent || f->parent == activeDriver().desktopWindow()) return true;
        current = f->parent;
    }
    return false;
}

LRESULT callProc(uint32_t hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = nullptr;
    if (auto w = findWindow(hwnd)) {
        Lock lock(userLock());
        proc = w->proc;
    }
    if (!proc) return 0;
    return proc(static_cast<HWND>(ULongToHandle(hwnd)), msg, wParam, lParam);
}

} // namespace ce::user
