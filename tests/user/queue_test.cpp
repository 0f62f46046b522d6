// queue_test.cpp: the message queue: the order in which sent, posted, input, paint and timer
// messages come out, SendMessage between threads (with the receiver sending back), the
// device-clock time-out of SendMessageTimeout, PostThreadMessage and WM_QUIT.
#include <atomic>

#include <gtest/gtest.h>

#include "kernel/clock.h"
#include "msgrecorder.h"
#include "testdevice.h"
#include "testthreads.h"
#include "windows.h"

using namespace usertest;

namespace {

class Queue : public cetest::DeviceTest {
protected:
    void SetUp() override {
        registerRecorderClass();
        device.freezeAt("2027-03-01T12:00:00Z");
        pumpMessages();
        Recorder::get().clear();
    }
    void TearDown() override {
        for (HWND h : made)
            if (IsWindow(h)) DestroyWindow(h);
        pumpMessages();
        Recorder::get().clear();
    }
    HWND make(DWORD style) {
        HWND h = CreateWindowExW(0, kRecorderClass, u"q", style, 0, 30, 50, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(nullptr, h);
        made.push_back(h);
        return h;
    }
    std::vector<HWND> made;
};

// Queued in the "wrong" order (timer, paint, input, posted, then a message sent by another
// thread), the messages come out as Windows orders them: sent, posted, input, WM_PAINT,
// WM_TIMER.
TEST_F(Queue, RetrievalOrder) {
    HWND hwnd = make(WS_POPUP | WS_VISIBLE);
    pumpMessages(); // the first WM_PAINT
    Recorder::get().clear();
    ASSERT_NE(0u, SetTimer(hwnd, 5, 0, nullptr)); // a period of 0 is due at once
    InvalidateRect(hwnd, nullptr, FALSE);
    keybd_event('A', 0, 0, 0); // to the foreground window: this one
    ASSERT_TRUE(PostMessageW(hwnd, WM_USER + 1, 11, 0));
    cetest::Body body{
        [&]() -> DWORD { return SendNotifyMessageW(hwnd, WM_USER + 2, 22, 0) ? 0 : 1; }};
    HANDLE t = cetest::startThread(body);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);

    MSG msg;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
        DispatchMessageW(&msg);
        if (msg.message == WM_TIMER) break;
    }
    KillTimer(hwnd, 5);
    auto seen = Recorder::get().take();
    // The sent message is answered inside GetMessage, before anything queued is returned.
    expectSequence({{WM_USER + 2, sent | wparam, 22},
                    {WM_USER + 1, wparam, 11},
                    {WM_KEYDOWN, wparam, 'A'},
                    {WM_PAINT, 0},
                    {WM_TIMER, wparam, 5}},
                   seen, "retrieval order");
    keybd_event('A', 0, KEYEVENTF_KEYUP, 0);
}

// Messages sent by other threads are answered even by a PeekMessage whose filter excludes
// them; posted messages outside the filter stay.
TEST_F(Queue, SentMessagesIgnoreTheFilter) {
    HWND hwnd = make(WS_POPUP);
    Recorder::get().clear();
    PostMessageW(hwnd, WM_USER + 1, 0, 0);
    cetest::Body body{
        [&]() -> DWORD { return SendNotifyMessageW(hwnd, WM_USER + 2, 0, 0) ? 0 : 1; }};
    HANDLE t = cetest::startThread(body);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    expectSequence({{WM_USER + 2, sent}}, Recorder::get().take(), "filtered peek");
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 1, WM_USER + 1, PM_NOREMOVE));
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE));
}

// A window procedure of another thread that sends back to the caller's window while the
// caller waits: the caller answers it inside its own SendMessage, and both results arrive.
LRESULT CALLBACK echoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER) {
        HWND back = reinterpret_cast<HWND>(lParam);
        return SendMessageW(back, WM_USER + 1, wParam, 0) + 1;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK answerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER + 1) return static_cast<LRESULT>(wParam) * 2;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST_F(Queue, SendToAnotherThreadThatSendsBack) {
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpfnWndProc = echoProc;
    wc.lpszClassName = u"EchoClass";
    RegisterClassW(&wc);
    wc.lpfnWndProc = answerProc;
    wc.lpszClassName = u"AnswerClass";
    RegisterClassW(&wc);
    HWND mine = CreateWindowExW(0, u"AnswerClass", nullptr, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, mine);
    std::atomic<HWND> theirs{nullptr};
    cetest::Body body{[&]() -> DWORD {
        HWND h = CreateWindowExW(0, u"EchoClass", nullptr, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        theirs = h;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
        DestroyWindow(h);
        return 0;
    }};
    DWORD tid = 0;
    HANDLE t = cetest::startThread(body, 0, &tid);
    ASSERT_TRUE(cetest::eventually([&] { return theirs.load() != nullptr; }));
    // 21 * 2 from this thread's window, + 1 from the other thread's.
    EXPECT_EQ(43, SendMessageW(theirs, WM_USER, 21, reinterpret_cast<LPARAM>(mine)));
    DWORD_PTR result = 0xdeadbeef;
    EXPECT_TRUE(SendMessageTimeoutW(theirs, WM_USER, 5, reinterpret_cast<LPARAM>(mine), SMTO_NORMAL,
                                    1000, &result));
    EXPECT_EQ(11u, result);
    ASSERT_TRUE(PostThreadMessageW(tid, WM_QUIT, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(t, 20000));
    CloseHandle(t);
    DestroyWindow(mine);
    UnregisterClassW(u"EchoClass", GetModuleHandleW(nullptr));
    UnregisterClassW(u"AnswerClass", GetModuleHandleW(nullptr));
}

// SendMessageTimeout to a thread that does not pump gives up after its time-out on the
// device clock (here a frozen clock advanced by another thread), with ERROR_TIMEOUT and the
// result untouched; the message is not delivered later.
TEST_F(Queue, SendMessageTimeoutOnDeviceClock) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> theirs{nullptr};
    std::atomic<bool> pumped{false};
    cetest::Body receiver{[&]() -> DWORD {
        HWND h = CreateWindowExW(0, kRecorderClass, nullptr, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        theirs = h;
        WaitForSingleObject(release, INFINITE); // not pumping
        pumpMessages();
        pumped = true;
        DestroyWindow(h);
        return 0;
    }};
    HANDLE t = cetest::startThread(receiver);
    ASSERT_TRUE(cetest::eventually([&] { return theirs.load() != nullptr; }));
    Recorder::get().clear();
    std::atomic<bool> done{false};
    cetest::Body clock{[&]() -> DWORD {
        cetest::realSleepMs(100);
        ce::advanceDeviceClock(500 * ce::kFileTimePerMs); // not yet
        cetest::realSleepMs(100);
        if (done) return 1;
        ce::advanceDeviceClock(600 * ce::kFileTimePerMs);
        return 0;
    }};
    HANDLE c = cetest::startThread(clock);
    DWORD_PTR result = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    LRESULT r = SendMessageTimeoutW(theirs, WM_USER + 3, 0, 0, SMTO_NORMAL, 1000, &result);
    done = true;
    DWORD error = GetLastError();
    WaitForSingleObject(c, INFINITE);
    DWORD clockExit = 0xdeadbeef;
    GetExitCodeThread(c, &clockExit);
    CloseHandle(c);
    EXPECT_EQ(0, r);
    EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), error);
    EXPECT_EQ(0xdeadbeefu, result);
    EXPECT_EQ(0u, clockExit) << "returned before the time-out had passed";
    SetEvent(release);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    CloseHandle(release);
    EXPECT_TRUE(pumped);
    for (auto& s : Recorder::get().take())
        EXPECT_NE(static_cast<UINT>(WM_USER + 3), s.message);
}

// PostThreadMessage queues a message without a window; WM_QUIT comes after the messages
// posted before it, with the exit code, and GetMessage answers FALSE for it.
TEST_F(Queue, ThreadMessagesAndQuit) {
    MSG msg;
    pumpMessages();
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 9, 1, 2));
    PostQuitMessage(7);
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 10, 3, 4));
    ASSERT_EQ(TRUE, GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(nullptr, msg.hwnd);
    EXPECT_EQ(static_cast<UINT>(WM_USER + 9), msg.message);
    EXPECT_EQ(2, msg.lParam);
    ASSERT_EQ(TRUE, GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(static_cast<UINT>(WM_USER + 10), msg.message);
    EXPECT_EQ(FALSE, GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), msg.message);
    EXPECT_EQ(7u, msg.wParam);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)); // taken once
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(PostThreadMessageW(0x7fffffff, WM_USER, 0, 0));
    EXPECT_EQ(1444u, GetLastError()); // ERROR_INVALID_THREAD_ID
}

// MsgWaitForMultipleObjects ends for a posted message (WAIT_OBJECT_0 + count) and for a
// handle, and times out on the device clock.
TEST_F(Queue, MsgWaitForMultipleObjects) {
    pumpMessages();
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT),
              MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT));
    PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0 + 1),
              MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT));
    pumpMessages();
    SetEvent(event);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0),
              MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT));
    CloseHandle(event);
}

} // namespace
