// message.cpp: the message API: GetMessageW, PeekMessageW, DispatchMessageW, PostMessageW,
// SendMessageW and its variants, PostQuitMessage, PostThreadMessageW, MsgWaitForMultipleObjects,
// and the messages that arrive from other programs through the driver.
//
// SendMessage to a window of the calling thread calls its procedure; to another thread's
// window it queues the message on that thread and waits, answering whatever is sent to the
// caller meanwhile (so two threads sending to each other do not deadlock); to another
// program's window it packs the message (marshal.h), hands it to the driver with a ticket and
// waits the same way for deliverForeignReply. Time-outs run on the device clock.
#include <algorithm>
#include <map>

#include "kernel/clock.h"
#include "kernel/trace.h"
#include "kernel/wait.h"
#include "user/marshal.h"
#include "user/queue.h"
#include "user/userstate.h"

using namespace ce::user;

namespace ce::user {
namespace {

// Sends to other programs that wait for their answer, by ticket.
struct ForeignSend {
    std::shared_ptr<SendState> state;
};

std::map<uint64_t, ForeignSend>& foreignSends() {
    static auto* m = new std::map<uint64_t, ForeignSend>;
    return *m;
}

std::atomic<uint64_t> nextTicket{1};

uint64_t deadlineAfter(UINT timeoutMs) {
    return deviceTickCount64() + timeoutMs;
}

// Sends to another program's window; false on time-out or when it cannot be sent. Message
// numbers above 0xFFFF are the system's (the requests of remote.cpp): a program cannot send
// them to another program.
bool sendForeign(uint32_t hwnd, UINT msg, WPARAM wParam, LPARAM lParam, uint64_t deadline,
                 bool wait, LRESULT* result) {
    WireMessage wire;
    if (isInternalWireMessage(msg) || !packMessage(hwnd, msg, wParam, lParam, wire)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!wait) return activeDriver().sendForeign(wire, 0);
    std::vector<uint8_t> payload;
    if (!sendWire(wire, deadline, result, &payload)) return false;
    if (auto m = findMessageMarshaller(msg); m && m->unpackReply)
        m->unpackReply(msg, wParam, lParam, payload, *result);
    return true;
}

// Sends within the process or to another program. False with the last error set on failure.
bool sendAny(uint32_t hwnd, UINT msg, WPARAM wParam, LPARAM lParam, uint64_t deadline,
             LRESULT* result) {
    *result = 0;
    auto w = findWindow(hwnd);
    if (!w) {
        if (!activeDriver().queryWindow(hwnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        return sendForeign(hwnd, msg, wParam, lParam, deadline, true, result);
    }
    uint32_t thread;
    {
        Lock lock(userLock());
        thread = w->threadId;
    }
    if (thread == currentThreadId()) {
        *result = callProc(hwnd, msg, wParam, lParam);
        return true;
    }
    auto state = std::make_shared<SendState>();
    auto q = queueOfOrCreate(thread);
    {
        Lock lock(userLock());
        SentMessage s;
        s.hwnd = hwnd;
        s.message = msg;
        s.wParam = wParam;
        s.lParam = lParam;
        s.state = state;
        q->sent.push_back(std::move(s));
    }
    wakeDeviceWaiters();
    if (!waitForReply(state, deadline)) {
        Lock lock(userLock());
        auto& sent = q->sent;
        sent.erase(std::remove_if(sent.begin(), sent.end(),
                                  [&](const SentMessage& s) { return s.state == state; }),
                   sent.end());
        SetLastError(ERROR_TIMEOUT);
        return false;
    }
    Lock lock(userLock());
    *result = state->result;
    return true;
}

MSG makeMsg(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = deviceTickCount();
    m.pt = lastPointerPosition();
    return m;
}

bool postToWindow(uint32_t hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (auto w = findWindow(hwnd)) {
        uint32_t thread;
        {
            Lock lock(userLock());
            thread = w->threadId;
        }
        return queuePosted(thread,
                           makeMsg(static_cast<HWND>(ULongToHandle(hwnd)), msg, wParam, lParam));
    }
    WireMessage wire;
    if (isInternalWireMessage(msg) || !packMessage(hwnd, msg, wParam, lParam, wire)) return false;
    return activeDriver().postForeign(wire);
}

} // namespace

bool sendWire(const WireMessage& wire, uint64_t deadline, LRESULT* result,
              std::vector<uint8_t>* replyPayload) {
    auto state = std::make_shared<SendState>();
    uint64_t ticket = nextTicket++;
    {
        Lock lock(userLock());
        foreignSends()[ticket] = ForeignSend{state};
    }
    bool sent = activeDriver().sendForeign(wire, ticket);
    bool answered = sent && waitForReply(state, deadline);
    {
        Lock lock(userLock());
        foreignSends().erase(ticket);
        if (replyPayload) *replyPayload = std::move(state->payload);
        *result = answered ? state->result : 0;
    }
    if (!sent) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (!answered) {
        SetLastError(ERROR_TIMEOUT);
        return false;
    }
    return true;
}

LRESULT sendInternal(uint32_t hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT r = 0;
    sendAny(hwnd, msg, wParam, lParam, UINT64_MAX, &r);
    return r;
}

} // namespace ce::user

// ---- Calls from the driver
// ------------------------------------------------------------------------

namespace ce::user {

// A message from another program. Posted ones join the owner thread's posted list (a
// WM_DESTROY or WM_PAINT among them is a plain message: it never destroys or validates the
// window); sent ones are answered through reply once the window procedure returned. The
// system's own requests (numbers above 0xFFFF) go to remote.cpp.
void deliverForeignMessage(WireMessage message, bool sent, ReplyFn reply) {
    if (isInternalWireMessage(message.message)) {
        deliverInternalWire(message, sent, reply);
        return;
    }
    auto w = findWindow(message.hwnd);
    UnpackedMessage m;
    if (!w || !unpackMessage(message, m)) {
        CE_TRACE("msg", "dropped message %04x for %08x", message.message, message.hwnd);
        if (sent && reply) reply(0, {});
        return;
    }
    uint32_t thread;
    {
        Lock lock(userLock());
        thread = w->threadId;
    }
    HWND hwnd = static_cast<HWND>(ULongToHandle(message.hwnd));
    if (!sent) {
        queuePosted(thread, makeMsg(hwnd, message.message, m.wParam, m.lParam), m.storage);
        return;
    }
    auto q = queueOfOrCreate(thread);
    {
        Lock lock(userLock());
        SentMessage s;
        s.hwnd = message.hwnd;
        s.message = message.message;
        s.wParam = m.wParam;
        s.lParam = m.lParam;
        UINT msg = message.message;
        s.done = [m, msg, reply](LRESULT result) {
            std::vector<uint8_t> payload;
            if (auto marshaller = findMessageMarshaller(msg); marshaller && marshaller->packReply)
                marshaller->packReply(msg, m, result, payload);
            if (reply) reply(result, std::move(payload));
        };
        q->sent.push_back(std::move(s));
    }
    wakeDeviceWaiters();
}

void deliverForeignReply(uint64_t ticket, LRESULT result, std::vector<uint8_t> payload) {
    {
        Lock lock(userLock());
        auto it = foreignSends().find(ticket);
        if (it == foreignSends().end() || it->second.state->abandoned) return;
        it->second.state->result = result;
        it->second.state->payload = std::move(payload);
        it->second.state->done = true;
    }
    wakeDeviceWaiters();
}

} // namespace ce::user

// ---- The message loop
// -------------------------------------------------------------------------------

// Waits for the next message (see queue.cpp for the order); FALSE for WM_QUIT, -1 on a bad
// argument.
WINUSERAPI BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    MessageFilter f{HandleToULong(hWnd), wMsgFilterMin, wMsgFilterMax};
    for (;;) {
        if (peekQueue(lpMsg, f, true)) return lpMsg->message == WM_QUIT ? FALSE : TRUE;
        waitForQueue({}, false, UINT64_MAX, f, QS_ALLINPUT);
    }
}

// Takes or copies the next message without waiting; messages sent by other threads are
// answered first in any case.
WINUSERAPI BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                             UINT wRemoveMsg) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MessageFilter f{HandleToULong(hWnd), wMsgFilterMin, wMsgFilterMax};
    return peekQueue(lpMsg, f, (wRemoveMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
}

// Calls the window procedure of the message's window (a window of the calling thread), or
// the timer callback that a WM_TIMER names.
WINUSERAPI LRESULT DispatchMessageW(const MSG* lpMsg) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    uint32_t hwnd = HandleToULong(lpMsg->hwnd);
    if (lpMsg->message == WM_TIMER && lpMsg->lParam) {
        // Only a callback of a live timer of this thread is called: a posted WM_TIMER must not
        // make the thread jump to an address taken from a message.
        auto q = currentQueue();
        TIMERPROC proc = nullptr;
        {
            Lock lock(userLock());
            for (auto& t : q->timers)
                if (t.hwnd == hwnd && t.id == lpMsg->wParam &&
                    reinterpret_cast<LPARAM>(t.proc) == lpMsg->lParam)
                    proc = t.proc;
        }
        if (proc) {
            proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, deviceTickCount());
            return 0;
        }
    }
    auto w = findWindow(hwnd);
    if (!w) {
        if (hwnd) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    {
        Lock lock(userLock());
        if (w->threadId != currentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
    }
    return callProc(hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

// Queues a message for the window's thread: a window of this process, another program's
// window (through the driver), HWND_BROADCAST (every top-level window of the device) or
// NULL (the calling thread).
WINUSERAPI BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (!hWnd) return PostThreadMessageW(GetCurrentThreadId(), Msg, wParam, lParam);
    if (hWnd == HWND_BROADCAST) {
        for (uint32_t h : activeDriver().childWindows(0))
            postToWindow(h, Msg, wParam, lParam);
        return TRUE;
    }
    uint32_t handle = HandleToULong(hWnd);
    bool own = findWindow(handle) != nullptr;
    if (!own && !activeDriver().queryWindow(handle)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!own && isInternalWireMessage(Msg)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!postToWindow(handle, Msg, wParam, lParam)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

// Queues a message with no window for a thread of this process that has a message queue.
WINUSERAPI BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (idThread == GetCurrentThreadId()) currentQueue();
    if (!queueOf(idThread)) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return queuePosted(idThread, makeMsg(nullptr, Msg, wParam, lParam)) ? TRUE : FALSE;
}

WINUSERAPI LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd == HWND_BROADCAST) {
        SendNotifyMessageW(hWnd, Msg, wParam, lParam);
        return 0;
    }
    LRESULT r = 0;
    sendAny(HandleToULong(hWnd), Msg, wParam, lParam, UINT64_MAX, &r);
    return r;
}

// SendMessage that gives up after uTimeout ms of device time (0 with ERROR_TIMEOUT; a reply
// that comes later is dropped). The flags change nothing here: a receiver that does not pump
// is what the time-out is for.
WINUSERAPI LRESULT SendMessageTimeoutW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam,
                                       UINT fuFlags, UINT uTimeout, PDWORD_PTR lpdwResult) {
    LRESULT r = 0;
    if (!sendAny(HandleToULong(hWnd), Msg, wParam, lParam, deadlineAfter(uTimeout), &r)) return 0;
    if (lpdwResult) *lpdwResult = static_cast<DWORD_PTR>(r);
    return TRUE;
}

// Sends without waiting for the answer: direct on the window's own thread, queued as a sent
// message otherwise.
WINUSERAPI BOOL SendNotifyMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd == HWND_BROADCAST) {
        for (uint32_t h : activeDriver().childWindows(0))
            SendNotifyMessageW(static_cast<HWND>(ULongToHandle(h)), Msg, wParam, lParam);
        return TRUE;
    }
    uint32_t handle = HandleToULong(hWnd);
    auto w = findWindow(handle);
    if (!w) {
        LRESULT ignored;
        if (!activeDriver().queryWindow(handle)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        return sendForeign(handle, Msg, wParam, lParam, UINT64_MAX, false, &ignored) ? TRUE : FALSE;
    }
    uint32_t thread;
    {
        Lock lock(userLock());
        thread = w->threadId;
    }
    if (thread == currentThreadId()) {
        callProc(handle, Msg, wParam, lParam);
        return TRUE;
    }
    auto q = queueOfOrCreate(thread);
    {
        Lock lock(userLock());
        SentMessage s;
        s.hwnd = handle;
        s.message = Msg;
        s.wParam = wParam;
        s.lParam = lParam;
        q->sent.push_back(std::move(s));
    }
    wakeDeviceWaiters();
    return TRUE;
}

// WM_QUIT comes when the posted messages before it have been taken.
WINUSERAPI void PostQuitMessage(int nExitCode) {
    auto q = currentQueue();
    {
        Lock lock(userLock());
        q->quit = true;
        q->quitCode = nExitCode;
    }
    wakeDeviceWaiters();
}

WINUSERAPI BOOL InSendMessage(void) {
    auto q = currentQueue();
    Lock lock(userLock());
    return q->inSend > 0 && q->replies.back() ? TRUE : FALSE;
}

// Answers the message being handled now, so the sender goes on while the procedure runs.
WINUSERAPI BOOL ReplyMessage(LRESULT lResult) {
    auto q = currentQueue();
    {
        Lock lock(userLock());
        if (q->inSend == 0 || !q->replies.back() || q->replies.back()->done) return FALSE;
        q->replies.back()->result = lResult;
        q->replies.back()->done = true;
    }
    wakeDeviceWaiters();
    return TRUE;
}

// What the queue holds now (QS_* flags), in both halves.
WINUSERAPI DWORD GetQueueStatus(UINT flags) {
    auto q = currentQueue();
    DWORD status = 0;
    MessageFilter any;
    for (DWORD bit : {QS_SENDMESSAGE, QS_POSTMESSAGE, QS_PAINT, QS_TIMER}) {
        if (queueHasMatch(*q, any, bit)) status |= bit;
    }
    {
        Lock lock(userLock());
        for (auto& m : q->input)
            status |= (m.msg.message == WM_MOUSEMOVE) ? QS_MOUSEMOVE
                      : (m.msg.message >= WM_MOUSEFIRST && m.msg.message <= WM_MOUSELAST)
                          ? QS_MOUSEBUTTON
                          : QS_KEY;
    }
    status &= flags;
    return (status << 16) | status;
}

// The pointer position (screen) when the last message taken was queued.
WINUSERAPI DWORD GetMessagePos(void) {
    auto q = currentQueue();
    Lock lock(userLock());
    return static_cast<DWORD>(
        MAKELONG(static_cast<WORD>(q->lastPoint.x), static_cast<WORD>(q->lastPoint.y)));
}

WINUSERAPI LONG GetMessageTime(void) {
    auto q = currentQueue();
    Lock lock(userLock());
    return static_cast<LONG>(q->lastTime);
}

// Waits for the handles or for messages of dwWakeMask in the queue: WAIT_OBJECT_0 + nCount
// means the queue has such a message.
WINUSERAPI DWORD MsgWaitForMultipleObjectsEx(DWORD nCount, const HANDLE* pHandles,
                                             DWORD dwMilliseconds, DWORD dwWakeMask,
                                             DWORD dwFlags) {
    if (nCount && !pHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    if (dwFlags & (MWMO_ALERTABLE | MWMO_INPUTAVAILABLE))
        CE_FIXME("msg", "MsgWaitForMultipleObjectsEx flags %lx",
                 static_cast<unsigned long>(dwFlags));
    auto q = currentQueue();
    uint64_t deadline =
        dwMilliseconds == INFINITE ? UINT64_MAX : deviceTickCount64() + dwMilliseconds;
    std::span<const HANDLE> handles(pHandles, nCount);
    bool all = (dwFlags & MWMO_WAITALL) != 0;
    MessageFilter any;
    for (;;) {
        processSentMessages();
        deliverRegistryChangesIfWoken();
        if (queueHasMatch(*q, any, dwWakeMask & ~QS_SENDMESSAGE)) return WAIT_OBJECT_0 + nCount;
        DWORD r = waitForQueue(handles, all, deadline, any, dwWakeMask);
        if (r == WAIT_TIMEOUT && deadline != UINT64_MAX && deviceTickCount64() >= deadline)
            return WAIT_TIMEOUT;
        if (r == WAIT_FAILED) return r;
        if (r < WAIT_OBJECT_0 + nCount || (r >= WAIT_ABANDONED_0 && r < WAIT_ABANDONED_0 + nCount))
            return r;
        if (r == WAIT_TIMEOUT && deadline == UINT64_MAX) continue;
    }
}

WINUSERAPI DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll,
                                           DWORD dwMilliseconds, DWORD dwWakeMask) {
    return MsgWaitForMultipleObjectsEx(nCount, pHandles, dwMilliseconds, dwWakeMask,
                                       fWaitAll ? MWMO_WAITALL : 0);
}
