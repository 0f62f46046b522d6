// queue.cpp: the thread message queues: queuing posted, sent and input messages, taking them
// out in the documented order, and waiting for them.
//
// The order a thread sees: messages sent by other threads are answered first, whatever the
// filter; then posted messages; then WM_QUIT once PostQuitMessage was called and nothing is
// posted; then input; then a WM_PAINT made for a window of the thread with an update region
// (parents before their children); then WM_TIMER of a timer that is due. WM_PAINT and
// WM_TIMER are never queued: they are made when asked for, so a busy thread gets one of each
// however long it was busy.
//
// Waiting is one device wait (kernel/wait.h) whose deadline is the next timer: whoever queues
// something wakes the device's waiters, and a clock change wakes them too, so timers follow
// the device clock at any rate.
#include "user/queue.h"

#include <algorithm>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/wait.h"
#include "registry/regnotify.h"
#include "user/userstate.h"

namespace ce::user {
namespace {

std::atomic<uint32_t> registryWakeSeen{0};

bool matchesWindow(uint32_t hwnd, uint32_t filter) {
    return filterMatchesWindow(hwnd, filter);
}

bool inRange(UINT msg, UINT first, UINT last);

} // namespace

// A window of this process and the filter window: the same, or a descendant.
bool filterMatchesWindow(uint32_t hwnd, uint32_t filter) {
    if (!filter) return true;
    if (filter == 0xFFFFFFFFu) return hwnd == 0; // (HWND)-1: messages posted to the thread
    for (int depth = 0; depth < 256 && hwnd; ++depth) {
        if (hwnd == filter) return true;
        auto w = findWindow(hwnd);
        if (!w || !(w->style & WS_CHILD)) return false;
        hwnd = w->parent;
    }
    return false;
}

namespace {

bool inRange(UINT msg, UINT first, UINT last) {
    if (first == 0 && last == 0) return true;
    if (first <= last) return msg >= first && msg <= last;
    return msg >= first || msg <= last; // reversed range: everything outside
}

// The first queued message that passes the filter, or end.
std::deque<QueuedMessage>::iterator findMatch(std::deque<QueuedMessage>& list,
                                              const MessageFilter& f) {
    return std::find_if(list.begin(), list.end(), [&](const QueuedMessage& m) {
        return matchesWindow(HandleToULong(m.msg.hwnd), f.hwnd) &&
               inRange(m.msg.message, f.first, f.last);
    });
}

} // namespace

bool queuePosted(uint32_t threadId, const MSG& msg, std::shared_ptr<void> storage) {
    auto q = queueOfOrCreate(threadId);
    {
        Lock lock(userLock());
        q->posted.push_back(QueuedMessage{msg, std::move(storage)});
    }
    wakeDeviceWaiters();
    return true;
}

// Consecutive pointer moves to the same window collapse into the latest, as on Windows.
bool queueInput(uint32_t threadId, const MSG& msg) {
    auto q = queueOfOrCreate(threadId);
    {
        Lock lock(userLock());
        if (msg.message == WM_MOUSEMOVE && !q->input.empty() &&
            q->input.back().msg.message == WM_MOUSEMOVE && q->input.back().msg.hwnd == msg.hwnd)
            q->input.back().msg = msg;
        else
            q->input.push_back(QueuedMessage{msg, nullptr});
    }
    wakeDeviceWaiters();
    return true;
}

void deliverRegistryChangesIfWoken() {
    uint32_t word = deviceWakeWord()->load();
    if (registryWakeSeen.exchange(word) != word) ce::reg::deliverRegistryChanges();
}

bool queueHasMatch(Queue& q, const MessageFilter& f, DWORD wakeMask) {
    Lock lock(userLock());
    if (!q.sent.empty() && (wakeMask & QS_SENDMESSAGE)) return true;
    if ((wakeMask & QS_POSTMESSAGE) && (findMatch(q.posted, f) != q.posted.end() || q.quit))
        return true;
    if ((wakeMask & QS_INPUT) && findMatch(q.input, f) != q.input.end()) return true;
    if ((wakeMask & QS_PAINT) && inRange(WM_PAINT, f.first, f.last) &&
        windowToPaint(q.threadId, f.hwnd))
        return true;
    if ((wakeMask & QS_TIMER) && inRange(WM_TIMER, f.first, f.last) &&
        takeDueTimer(q, f.hwnd, false, nullptr))
        return true;
    return false;
}

bool peekQueue(MSG* out, const MessageFilter& f, bool remove) {
    auto q = currentQueue();
    deliverRegistryChangesIfWoken();
    processSentMessages();
    Lock lock(userLock());
    auto take = [&](std::deque<QueuedMessage>& list) {
        auto it = findMatch(list, f);
        if (it == list.end()) return false;
        *out = it->msg;
        if (remove) {
            q->lastStorage = std::move(it->storage);
            list.erase(it);
        } else {
            q->lastStorage = it->storage;
        }
        return true;
    };
    bool got = take(q->posted);
    if (!got && q->quit) {
        *out = MSG{};
        out->message = WM_QUIT;
        out->wParam = static_cast<WPARAM>(q->quitCode);
        out->time = deviceTickCount();
        if (remove) q->quit = false;
        got = true;
    }
    if (!got) got = take(q->input);
    if (!got && inRange(WM_PAINT, f.first, f.last)) {
        if (uint32_t h = windowToPaint(q->threadId, f.hwnd)) {
            *out = MSG{};
            out->hwnd = static_cast<HWND>(ULongToHandle(h));
            out->message = WM_PAINT;
            out->time = deviceTickCount();
            got = true;
        }
    }
    if (!got && inRange(WM_TIMER, f.first, f.last)) got = takeDueTimer(*q, f.hwnd, remove, out);
    if (got) {
        q->lastTime = out->time;
        q->lastPoint = out->pt;
    }
    return got;
}

DWORD waitForQueue(std::span<const HANDLE> handles, bool all, uint64_t deadline,
                   const MessageFilter& f, DWORD wakeMask) {
    auto q = currentQueue();
    uint32_t generation;
    uint64_t next;
    {
        Lock lock(userLock());
        generation = q->timerGeneration;
        next = (wakeMask & QS_TIMER) ? nextTimerDue(*q) : UINT64_MAX;
    }
    uint64_t until = std::min(deadline, next);
    DWORD timeout = INFINITE;
    if (until != UINT64_MAX) {
        uint64_t now = deviceTickCount64();
        uint64_t left = until > now ? until - now : 0;
        timeout = static_cast<DWORD>(std::min<uint64_t>(left, 0xFFFFFFF0u));
    }
    DWORD r = waitForObjects(handles, all, timeout, [&] {
        deliverRegistryChangesIfWoken();
        if (queueHasMatch(*q, f, wakeMask)) return true;
        Lock lock(userLock());
        return q->timerGeneration != generation;
    });
    return r;
}

bool waitForReply(const std::shared_ptr<SendState>& state, uint64_t deadline) {
    auto q = currentQueue();
    for (;;) {
        processSentMessages();
        {
            Lock lock(userLock());
            if (state->done) return true;
            if (deadline != UINT64_MAX && deviceTickCount64() >= deadline) {
                state->abandoned = true;
                return false;
            }
        }
        DWORD timeout = INFINITE;
        if (deadline != UINT64_MAX) {
            uint64_t now = deviceTickCount64();
            timeout = static_cast<DWORD>(
                std::min<uint64_t>(deadline > now ? deadline - now : 0, 0xFFFFFFF0u));
        }
        waitForObjects({}, false, timeout, [&] {
            Lock lock(userLock());
            return state->done || !q->sent.empty();
        });
    }
}

void processSentMessages() {
    auto q = currentQueue();
    for (;;) {
        SentMessage s;
        {
            Lock lock(userLock());
            if (q->sent.empty()) return;
            s = std::move(q->sent.front());
            q->sent.pop_front();
            if (s.state && s.state->abandoned) continue;
            ++q->inSend;
            q->replies.push_back(s.state);
        }
        LRESULT result = 0;
        if (s.task)
            s.task();
        else if (findWindow(s.hwnd))
            result = callProc(s.hwnd, s.message, s.wParam, s.lParam);
        {
            Lock lock(userLock());
            --q->inSend;
            q->replies.pop_back();
            if (s.state && !s.state->done) {
                if (!s.task) s.state->result = result; // a task stores its own result
                s.state->done = true;
            }
        }
        if (s.done) s.done(result);
        if (s.state) wakeDeviceWaiters();
    }
}

void runOnThread(uint32_t threadId, std::function<void()> task) {
    auto q = queueOfOrCreate(threadId);
    {
        Lock lock(userLock());
        SentMessage s;
        s.task = std::move(task);
        q->sent.push_back(std::move(s));
    }
    wakeDeviceWaiters();
}

LRESULT runOnThreadSync(uint32_t threadId, const std::function<LRESULT()>& fn) {
    if (threadId == currentThreadId()) return fn();
    auto state = std::make_shared<SendState>();
    auto q = queueOf(threadId);
    if (!q) return 0;
    {
        Lock lock(userLock());
        SentMessage s;
        s.state = state;
        s.task = [state, &fn] {
            LRESULT r = fn();
            Lock lock(userLock());
            state->result = r;
        };
        q->sent.push_back(std::move(s));
    }
    wakeDeviceWaiters();
    waitForReply(state, UINT64_MAX);
    Lock lock(userLock());
    return state->result;
}

} // namespace ce::user
