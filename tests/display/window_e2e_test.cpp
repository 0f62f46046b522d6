// window_e2e_test.cpp: the window system across programs of one device, end to end. The test
// process and test_window (tests/programs, a device program with a top-level window and a
// child that logs every message its procedure receives) talk through the device's own X
// server: messages posted and sent both ways, time-outs and hung or killed receivers, window
// lookups, ShowWindow/SetWindowPos/InvalidateRect/SetForegroundWindow on the other program's
// window, input injected with cedev and keybd_event, screenshots, and two devices that must
// not meet. Each test has a fresh device with its own display.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <fstream>
#include <thread>

#include "gdi/png.h"
#include "kernel/device.h"
#include "kernel/process.h"
#include "kernel/strings.h"
#include "testdisplay.h"
#include "user/driver.h"
#include "windows.h"

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

std::string hex(uint64_t v) {
    char buf[24];
    snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

// A started test_window: its windows, its log, and the process, ended when this goes away
// whatever the test did.
struct Program {
    PROCESS_INFORMATION pi{};
    std::filesystem::path log;
    HWND top = nullptr;
    HWND child = nullptr;

    Program() = default;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() {
        if (!pi.hProcess) return;
        TerminateProcess(pi.hProcess, 9);
        ce::waitForProcessExit(pi.hProcess, 5000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }

    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);)
            out.push_back(line);
        return out;
    }
    // How many log lines start with prefix.
    size_t count(const std::string& prefix) const {
        auto all = lines();
        return std::count_if(all.begin(), all.end(),
                             [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    // Waits (real time) until at least n lines start with prefix.
    bool waitFor(const std::string& prefix, size_t n = 1, int timeoutMs = 5000) const {
        auto t0 = Clock::now();
        while (count(prefix) < n) {
            if (msSince(t0) > timeoutMs) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    // The index of the first line at or after `from` starting with prefix; -1 if none.
    long find(const std::string& prefix, size_t from = 0) const {
        auto all = lines();
        for (size_t i = from; i < all.size(); ++i)
            if (all[i].rfind(prefix, 0) == 0) return static_cast<long>(i);
        return -1;
    }
};

// What the test's own window received (the messages test_window sends back, activation).
struct OwnWindowLog {
    std::mutex mutex;
    std::vector<std::pair<UINT, LPARAM>> seen;
} ownLog;

LRESULT CALLBACK ownProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_APP + 10 || msg == WM_ACTIVATE) {
        std::lock_guard lock(ownLog.mutex);
        ownLog.seen.emplace_back(msg, msg == WM_ACTIVATE ? static_cast<LPARAM>(wParam) : lParam);
    }
    if (msg == WM_APP + 10) return lParam * 3;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

size_t ownSeen(UINT msg, LPARAM value) {
    std::lock_guard lock(ownLog.mutex);
    return std::count(ownLog.seen.begin(), ownLog.seen.end(), std::pair<UINT, LPARAM>(msg, value));
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Pumps this thread's messages until the own window has seen msg with value, for at most
// timeoutMs of real time.
bool pumpUntilSeen(UINT msg, LPARAM value, int timeoutMs = 3000) {
    auto t0 = Clock::now();
    for (;;) {
        pump();
        if (ownSeen(msg, value) > 0) return true;
        if (msSince(t0) > timeoutMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The colour of a screenshot's pixel as COLORREF-free 0xRRGGBB.
uint32_t rgbAt(const ce::Surface& s, int x, int y) {
    return s.row(y)[x] & 0xFFFFFF;
}

class WindowE2E : public cetest::DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        if (HasFatalFailure()) return;
        useDisplayOfAttachedDevice();
        ASSERT_EQ(0, cetest::runCedev({"stub", "\\Windows\\testwin.exe", "test_window"}));
        {
            std::lock_guard lock(ownLog.mutex);
            ownLog.seen.clear();
        }
    }
    void TearDown() override {
        for (HWND h : own)
            if (IsWindow(h)) DestroyWindow(h);
        pump();
        programs.clear();
        ce::user::setDriverForTesting(nullptr);
    }

    // This process's window system talks to the display of the device attached now (each
    // test has another one; the driver is otherwise chosen once per process).
    void useDisplayOfAttachedDevice() {
        ce::user::setDriverForTesting(ce::user::makeX11Driver());
        ASSERT_STREQ("x11", ce::user::activeDriver().name());
    }

    // Starts test_window on the attached device with the arguments (a log of its own is added)
    // and waits for its windows.
    Program& start(const std::string& args, const std::filesystem::path& fs = {}) {
        auto p = std::make_unique<Program>();
        std::string log = "win" + std::to_string(++started) + ".log";
        p->log = (fs.empty() ? device.fs() : fs) / "Temp" / log;
        std::u16string cmd = ce::fromUtf8(args + " log=" + log);
        EXPECT_TRUE(CreateProcessW(u"\\Windows\\testwin.exe", cmd.c_str(), nullptr, nullptr, FALSE,
                                   0, nullptr, nullptr, nullptr, &p->pi))
            << GetLastError();
        EXPECT_TRUE(p->waitFor("ready ", 1, 15000)) << "test_window did not start";
        long at = p->find("ready ");
        if (at >= 0) {
            unsigned long top = 0, child = 0;
            sscanf(p->lines()[at].c_str(), "ready %lx %lx", &top, &child);
            p->top = static_cast<HWND>(ULongToHandle(static_cast<uint32_t>(top)));
            p->child = static_cast<HWND>(ULongToHandle(static_cast<uint32_t>(child)));
        }
        programs.push_back(std::move(p));
        return *programs.back();
    }

    HWND makeOwnWindow(DWORD style, RECT r = {0, 250, 40, 290}) {
        static bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = ownProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = u"E2EOwnCls";
            return RegisterClassW(&wc) != 0;
        }();
        EXPECT_TRUE(registered);
        HWND h =
            CreateWindowExW(0, u"E2EOwnCls", u"own", style, r.left, r.top, r.right - r.left,
                            r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(nullptr, h);
        own.push_back(h);
        return h;
    }

    std::vector<std::unique_ptr<Program>> programs;
    std::vector<HWND> own;
    int started = 0;
};

// A posted message crosses to the other program with its parameters; a posted WM_DESTROY is
// a plain message there (the window lives on, as on Windows); message numbers above 0xFFFF
// are reserved to the system and never travel.
TEST_F(WindowE2E, PostedMessagesArriveAsTheyWerePosted) {
    Program& p = start("");
    ASSERT_TRUE(p.top);
    EXPECT_TRUE(PostMessageW(p.top, WM_APP + 7, 0x1234, 0x5678));
    EXPECT_TRUE(PostMessageW(p.child, WM_APP + 8, 0xFFFFFFFFu, -1));
    EXPECT_TRUE(PostMessageW(p.top, WM_DESTROY, 0, 0));
    EXPECT_TRUE(p.waitFor("top 0x8007 WM_APP+7 0x1234 0x5678"));
    EXPECT_TRUE(p.waitFor("child 0x8008 WM_APP+8 0xffffffff 0xffffffff"));
    EXPECT_TRUE(p.waitFor("top 0x0002 WM_DESTROY 0x0 0x0"));
    // Still there and answering; never destroyed.
    EXPECT_EQ(43, SendMessageW(p.top, WM_APP + 1, 20, 3));
    EXPECT_TRUE(IsWindow(p.top));
    EXPECT_TRUE(IsWindow(p.child));
    EXPECT_EQ(0u, p.count("top 0x0082 WM_NCDESTROY"));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(PostMessageW(p.top, 0x10001, SW_HIDE, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, SendMessageW(p.top, 0x10002, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_TRUE(IsWindowVisible(p.top));
}

// A sent message is answered across programs (lParam keeps its sign), and while this thread
// waits for an answer it answers what the other program sends back to its window: no
// deadlock, and the results chain.
TEST_F(WindowE2E, SentMessagesAreAnsweredBothWays) {
    Program& p = start("");
    ASSERT_TRUE(p.top);
    HWND mine = makeOwnWindow(WS_POPUP);
    EXPECT_EQ(43, SendMessageW(p.top, WM_APP + 1, 20, 3));
    EXPECT_EQ(7, SendMessageW(p.child, WM_APP + 1, 5, -3));
    EXPECT_EQ(1000 + 3 * 11, SendMessageW(p.top, WM_APP + 3, reinterpret_cast<WPARAM>(mine), 11));
    EXPECT_EQ(1u, ownSeen(WM_APP + 10, 11));
    // SendMessageTimeout answers the same way, with the result in its out-parameter.
    DWORD_PTR result = 0xdeadbeef;
    EXPECT_TRUE(SendMessageTimeoutW(p.top, WM_APP + 1, 100, 1, SMTO_NORMAL, 2000, &result));
    EXPECT_EQ(201u, result);
}

// SendMessageTimeout(WM_GETTEXT) of another program's window returns its text, cut to the
// buffer; to a program that does not pump it fails with ERROR_TIMEOUT after the time-out (not
// when the program wakes up), and the program carries on afterwards.
TEST_F(WindowE2E, SendMessageTimeoutGetsTextAndGivesUpOnAHungProgram) {
    Program& p = start("title=\"Hello Other\"");
    ASSERT_TRUE(p.top);
    WCHAR text[64];
    std::fill(std::begin(text), std::end(text), WCHAR(0xAAAA));
    DWORD_PTR result = 0xdeadbeef;
    EXPECT_TRUE(SendMessageTimeoutW(p.top, WM_GETTEXT, 50, reinterpret_cast<LPARAM>(text),
                                    SMTO_NORMAL, 250, &result));
    EXPECT_EQ(std::u16string(u"Hello Other"), std::u16string(text));
    EXPECT_EQ(11u, result);
    EXPECT_EQ(WCHAR(0xAAAA), text[50]); // nothing written past the buffer given
    std::fill(std::begin(text), std::end(text), WCHAR(0xAAAA));
    EXPECT_TRUE(SendMessageTimeoutW(p.top, WM_GETTEXT, 6, reinterpret_cast<LPARAM>(text),
                                    SMTO_NORMAL, 250, &result));
    EXPECT_EQ(std::u16string(u"Hello"), std::u16string(text));
    EXPECT_EQ(5u, result);
    EXPECT_EQ(WCHAR(0xAAAA), text[6]);

    ASSERT_TRUE(PostMessageW(p.top, WM_APP + 2, 1500, 0));
    ASSERT_TRUE(p.waitFor("hang 1500"));
    auto t0 = Clock::now();
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SendMessageTimeoutW(p.top, WM_GETTEXT, 50, reinterpret_cast<LPARAM>(text),
                                     SMTO_NORMAL, 250, &result));
    long long took = msSince(t0);
    EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), GetLastError());
    EXPECT_GE(took, 200); // the device clock runs at real speed
    EXPECT_LT(took, 1200);

    // It wakes up, drops the answer nobody waits for any more, and answers the next one.
    EXPECT_TRUE(p.waitFor("hang end"));
    std::fill(std::begin(text), std::end(text), WCHAR(0xAAAA));
    EXPECT_TRUE(SendMessageTimeoutW(p.top, WM_GETTEXT, 50, reinterpret_cast<LPARAM>(text),
                                    SMTO_NORMAL, 2000, &result));
    EXPECT_EQ(std::u16string(u"Hello Other"), std::u16string(text));
    EXPECT_EQ(43, SendMessageW(p.top, WM_APP + 1, 20, 3));
}

// A program killed while this one waits in SendMessage for its answer: the send ends with 0
// at once instead of waiting for ever, and the windows are gone.
TEST_F(WindowE2E, SendToAProgramKilledMidSendReturns) {
    Program& p = start("");
    ASSERT_TRUE(p.top);
    ASSERT_TRUE(PostMessageW(p.top, WM_APP + 2, 20000, 0));
    ASSERT_TRUE(p.waitFor("hang 20000"));
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        TerminateProcess(p.pi.hProcess, 9);
    });
    auto t0 = Clock::now();
    LRESULT r = SendMessageW(p.top, WM_APP + 1, 20, 3);
    long long took = msSince(t0);
    killer.join();
    EXPECT_EQ(0, r);
    EXPECT_GE(took, 250);
    EXPECT_LT(took, 5000);
    EXPECT_TRUE(ce::waitForProcessExit(p.pi.hProcess, 5000));
    EXPECT_FALSE(IsWindow(p.top));
    EXPECT_FALSE(IsWindow(p.child));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(PostMessageW(p.top, WM_APP + 1, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
}

// FindWindowW over every program's top-level windows, by class, title or both, without
// regard to case; class name, text, thread and process of another program's window; and
// none of it once the program has ended.
TEST_F(WindowE2E, AnotherProgramsWindowIsFoundAndRead) {
    Program& p = start("class=FindMeCls title=\"Find Me Title\"");
    ASSERT_TRUE(p.top);
    EXPECT_EQ(p.top, FindWindowW(u"FindMeCls", nullptr));
    EXPECT_EQ(p.top, FindWindowW(u"FINDMECLS", nullptr));
    EXPECT_EQ(p.top, FindWindowW(nullptr, u"find me TITLE"));
    EXPECT_EQ(p.top, FindWindowW(u"findmecls", u"Find Me Title"));
    EXPECT_EQ(nullptr, FindWindowW(u"FindMeCls", u"Another Title"));
    EXPECT_EQ(nullptr, FindWindowW(u"TestWindowChild", nullptr)); // children are not searched

    WCHAR name[32];
    std::fill(std::begin(name), std::end(name), WCHAR(0xAAAA));
    EXPECT_EQ(9, GetClassNameW(p.top, name, 32));
    EXPECT_EQ(std::u16string(u"FindMeCls"), std::u16string(name));
    std::fill(std::begin(name), std::end(name), WCHAR(0xAAAA));
    EXPECT_EQ(4, GetClassNameW(p.top, name, 5));
    EXPECT_EQ(std::u16string(u"Find"), std::u16string(name));
    EXPECT_EQ(WCHAR(0xAAAA), name[5]);
    EXPECT_EQ(15, GetClassNameW(p.child, name, 32));
    EXPECT_EQ(std::u16string(u"TestWindowChild"), std::u16string(name));

    WCHAR text[32];
    std::fill(std::begin(text), std::end(text), WCHAR(0xAAAA));
    EXPECT_EQ(13, GetWindowTextW(p.top, text, 32));
    EXPECT_EQ(std::u16string(u"Find Me Title"), std::u16string(text));
    EXPECT_EQ(3, GetWindowTextW(p.top, text, 4));
    EXPECT_EQ(std::u16string(u"Fin"), std::u16string(text));
    EXPECT_EQ(WCHAR(0xAAAA), text[14]);
    EXPECT_EQ(5, GetWindowTextW(p.child, text, 32));
    EXPECT_EQ(std::u16string(u"child"), std::u16string(text));

    DWORD pid = 0xdeadbeef;
    DWORD tid = GetWindowThreadProcessId(p.top, &pid);
    EXPECT_EQ(p.pi.dwProcessId, pid);
    EXPECT_NE(0u, tid);
    EXPECT_NE(GetCurrentThreadId(), tid);
    EXPECT_EQ(tid, GetWindowThreadProcessId(p.child, nullptr));
    EXPECT_TRUE(IsWindow(p.top));
    EXPECT_EQ(p.top, GetParent(p.child));

    // WM_CLOSE: the program destroys its window and ends.
    ASSERT_TRUE(PostMessageW(p.top, WM_CLOSE, 0, 0));
    EXPECT_TRUE(ce::waitForProcessExit(p.pi.hProcess, 5000));
    DWORD code = 0xdeadbeef;
    EXPECT_TRUE(GetExitCodeProcess(p.pi.hProcess, &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(IsWindow(p.top));
    EXPECT_FALSE(IsWindow(p.child));
    EXPECT_EQ(nullptr, FindWindowW(u"FindMeCls", nullptr));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, GetClassNameW(p.top, name, 32));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    pid = 0xdeadbeef;
    EXPECT_EQ(0u, GetWindowThreadProcessId(p.top, &pid));
    EXPECT_EQ(0xdeadbeefu, pid);
}

// cedev tap X Y: WM_LBUTTONDOWN then WM_LBUTTONUP at the client point of the window under it,
// the child where the child is, its parent elsewhere.
TEST_F(WindowE2E, TapArrivesAtTheClientPointOfTheWindowUnderIt) {
    Program& p = start("rect=10,40,200,150 child=20,30,80,50");
    ASSERT_TRUE(p.top);
    RECT r{};
    ASSERT_TRUE(GetWindowRect(p.child, &r));
    EXPECT_EQ(30, r.left);
    EXPECT_EQ(70, r.top);
    ASSERT_EQ(0, cetest::runCedev({"tap", "37", "75"}));
    ASSERT_TRUE(p.waitFor("child 0x0202 WM_LBUTTONUP"));
    long down = p.find("child 0x0201 WM_LBUTTONDOWN 0x1 0x50007 7,5");
    long up = p.find("child 0x0202 WM_LBUTTONUP 0x0 0x50007 7,5");
    EXPECT_GE(down, 0);
    EXPECT_GT(up, down);
    EXPECT_EQ(0u, p.count("top 0x0201"));

    ASSERT_EQ(0, cetest::runCedev({"tap", "15", "45"}));
    ASSERT_TRUE(p.waitFor("top 0x0202 WM_LBUTTONUP"));
    down = p.find("top 0x0201 WM_LBUTTONDOWN 0x1 0x50005 5,5");
    up = p.find("top 0x0202 WM_LBUTTONUP 0x0 0x50005 5,5");
    EXPECT_GE(down, 0);
    EXPECT_GT(up, down);
    EXPECT_EQ(1u, p.count("child 0x0201"));
}

// SetForegroundWindow of another program's window: both programs see it as the foreground
// window at once, the owner activates it on its own thread (WM_ACTIVATE, focus to the child
// as its procedure wants), this program's window is deactivated; keys from cedev and from
// keybd_event in this process then reach the owner's focus window as WM_KEYDOWN, WM_CHAR,
// WM_KEYUP.
TEST_F(WindowE2E, ForegroundAndKeysReachTheOtherProgram) {
    Program& p = start("");
    ASSERT_TRUE(p.top);
    ASSERT_TRUE(p.waitFor("child 0x0007 WM_SETFOCUS")); // shown and activated at start
    HWND mine = makeOwnWindow(WS_POPUP | WS_VISIBLE);
    pump();
    EXPECT_EQ(mine, GetForegroundWindow());
    EXPECT_EQ(static_cast<LRESULT>(HandleToULong(mine)), SendMessageW(p.top, WM_APP + 4, 2, 0));
    EXPECT_TRUE(p.waitFor("top 0x0006 WM_ACTIVATE 0x0 "));

    size_t activations = p.count("top 0x0006 WM_ACTIVATE 0x1 ");
    size_t focused = p.count("child 0x0007 WM_SETFOCUS");
    EXPECT_TRUE(SetForegroundWindow(p.top));
    EXPECT_EQ(p.top, GetForegroundWindow());
    EXPECT_EQ(static_cast<LRESULT>(HandleToULong(p.top)), SendMessageW(p.top, WM_APP + 4, 2, 0));
    EXPECT_TRUE(p.waitFor("top 0x0006 WM_ACTIVATE 0x1 ", activations + 1));
    EXPECT_TRUE(p.waitFor("child 0x0007 WM_SETFOCUS", focused + 1));
    EXPECT_EQ(static_cast<LRESULT>(HandleToULong(p.top)), SendMessageW(p.top, WM_APP + 4, 3, 0));
    EXPECT_EQ(static_cast<LRESULT>(HandleToULong(p.child)), SendMessageW(p.top, WM_APP + 4, 4, 0));
    EXPECT_TRUE(pumpUntilSeen(WM_ACTIVATE, WA_INACTIVE));
    EXPECT_EQ(1u, ownSeen(WM_ACTIVATE, WA_INACTIVE));

    ASSERT_EQ(0, cetest::runCedev({"key", "enter"}));
    EXPECT_TRUE(p.waitFor("child 0x0101 WM_KEYUP 0xd"));
    long down = p.find("child 0x0100 WM_KEYDOWN 0xd ");
    long ch = p.find("child 0x0102 WM_CHAR 0xd ");
    long up = p.find("child 0x0101 WM_KEYUP 0xd ");
    EXPECT_GE(down, 0);
    EXPECT_GT(ch, down);
    EXPECT_GT(up, ch);

    keybd_event(VK_RETURN, 0, 0, 0);
    keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_TRUE(p.waitFor("child 0x0101 WM_KEYUP 0xd", 2));
    EXPECT_EQ(2u, p.count("child 0x0100 WM_KEYDOWN 0xd "));
    EXPECT_EQ(2u, p.count("child 0x0102 WM_CHAR 0xd "));
    EXPECT_EQ(0u, p.count("top 0x0100"));
}

// ShowWindow, SetWindowPos and MoveWindow on another program's window are carried out by that
// program before they return: its procedure sees WM_SHOWWINDOW, WM_WINDOWPOSCHANGED, WM_SIZE
// and WM_MOVE as for a change of its own, and both programs read the same visibility and
// rectangles afterwards. DestroyWindow of another program's window is refused.
TEST_F(WindowE2E, ShowAndMoveAreDoneByTheOwner) {
    Program& p = start("rect=10,40,200,150 child=20,30,80,50");
    ASSERT_TRUE(p.top);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DestroyWindow(p.top));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(IsWindow(p.top));

    size_t mark = p.lines().size();
    EXPECT_TRUE(ShowWindow(p.top, SW_HIDE)); // it was visible
    long shown = p.find("top 0x0018 WM_SHOWWINDOW 0x0 ", mark);
    EXPECT_GE(shown, 0);
    EXPECT_GT(p.find("top 0x0047 WM_WINDOWPOSCHANGED", mark), shown);
    EXPECT_FALSE(IsWindowVisible(p.top));
    EXPECT_FALSE(IsWindowVisible(p.child));
    EXPECT_EQ(0, SendMessageW(p.top, WM_APP + 4, 0, 0));
    EXPECT_FALSE(ShowWindow(p.top, SW_SHOWNA)); // it was hidden
    EXPECT_TRUE(IsWindowVisible(p.top));
    EXPECT_EQ(1, SendMessageW(p.top, WM_APP + 4, 0, 0));

    mark = p.lines().size();
    EXPECT_TRUE(SetWindowPos(p.top, nullptr, 30, 50, 150, 120, SWP_NOZORDER | SWP_NOACTIVATE));
    long changed = p.find("top 0x0047 WM_WINDOWPOSCHANGED 0x0 ", mark);
    ASSERT_GE(changed, 0);
    EXPECT_TRUE(p.lines()[changed].ends_with(" 30,50,150,120")) << p.lines()[changed];
    EXPECT_GE(p.find("top 0x0005 WM_SIZE 0x0 " + hex(MAKELPARAM(150, 120)), mark), 0);
    EXPECT_GE(p.find("top 0x0003 WM_MOVE 0x0 " + hex(MAKELPARAM(30, 50)), mark), 0);
    RECT r{};
    ASSERT_TRUE(GetWindowRect(p.top, &r));
    EXPECT_EQ(30, r.left);
    EXPECT_EQ(50, r.top);
    EXPECT_EQ(180, r.right);
    EXPECT_EQ(170, r.bottom);
    LRESULT packed = SendMessageW(p.top, WM_APP + 4, 1, 0);
    EXPECT_EQ(hex(30 | 50ull << 16 | 180ull << 32 | 170ull << 48),
              hex(static_cast<uint64_t>(packed)));
    ASSERT_TRUE(GetClientRect(p.top, &r));
    EXPECT_EQ(150, r.right);
    EXPECT_EQ(120, r.bottom);

    // Moved only: WM_MOVE without WM_SIZE; the child moves with its parent.
    mark = p.lines().size();
    EXPECT_TRUE(MoveWindow(p.top, 40, 60, 150, 120, TRUE));
    EXPECT_GE(p.find("top 0x0003 WM_MOVE 0x0 " + hex(MAKELPARAM(40, 60)), mark), 0);
    EXPECT_EQ(-1, p.find("top 0x0005 WM_SIZE", mark));
    ASSERT_TRUE(GetWindowRect(p.child, &r));
    EXPECT_EQ(60, r.left);
    EXPECT_EQ(90, r.top);

    // HWND_TOPMOST: the owner marks its window topmost, which every program reads, and it
    // stays above a window made later.
    EXPECT_TRUE(
        SetWindowPos(p.top, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
    EXPECT_EQ(static_cast<LONG>(WS_EX_TOPMOST), GetWindowLongW(p.top, GWL_EXSTYLE) & WS_EX_TOPMOST);
    HWND mine = makeOwnWindow(WS_POPUP | WS_VISIBLE);
    EXPECT_EQ(p.top, GetWindow(GetDesktopWindow(), GW_CHILD));
    EXPECT_EQ(mine, GetWindow(p.top, GW_HWNDNEXT));

    // A place no window can have reaches the owner as it is and is kept in range there (16-bit
    // positions, sizes up to 2048), without upsetting its arithmetic or its memory.
    EXPECT_TRUE(SetWindowPos(p.top, nullptr, INT_MAX, INT_MIN, INT_MAX, INT_MAX,
                             SWP_NOZORDER | SWP_NOACTIVATE));
    ASSERT_TRUE(GetWindowRect(p.top, &r));
    EXPECT_EQ(32767, r.left);
    EXPECT_EQ(-32768, r.top);
    EXPECT_EQ(2048, r.right - r.left);
    EXPECT_EQ(2048, r.bottom - r.top);
    EXPECT_EQ(43, SendMessageW(p.top, WM_APP + 1, 20, 3));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ShowWindow(p.top, 99));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// cedev screenshot after the program painted shows its colours where its windows are; an
// InvalidateRect of its window from here makes it paint again, only the rectangle asked for.
TEST_F(WindowE2E, ScreenshotShowsWhatTheProgramPainted) {
    Program& p = start("rect=10,40,200,150 child=20,30,80,50 color=3366CC childcolor=CC6633");
    ASSERT_TRUE(p.top);
    ASSERT_TRUE(p.waitFor("painted top"));
    ASSERT_TRUE(p.waitFor("painted child"));
    std::filesystem::path shot = device.dir().parent_path() / "shot.png";
    ce::Surface s;
    // The program's pixels reach the server before it logs; a screenshot taken through another
    // connection may still be a moment early, so it is taken again a few times.
    for (int attempt = 0; attempt < 20; ++attempt) {
        ASSERT_EQ(0, cetest::runCedev({"screenshot", shot.string()}));
        std::string error;
        ASSERT_TRUE(ce::readPngFile(shot, &s, &error)) << error;
        ASSERT_EQ(240, s.width);
        ASSERT_EQ(320, s.height);
        if (rgbAt(s, 15, 45) == 0x3366CC && rgbAt(s, 35, 75) == 0xCC6633) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(hex(0x3366CC), hex(rgbAt(s, 15, 45)));   // the top-level window
    EXPECT_EQ(hex(0x3366CC), hex(rgbAt(s, 209, 189))); // its last pixel
    EXPECT_EQ(hex(0xCC6633), hex(rgbAt(s, 35, 75)));   // the child
    EXPECT_EQ(hex(0xFFFFFF), hex(rgbAt(s, 5, 45)));    // the desktop beside it
    EXPECT_EQ(hex(0xFFFFFF), hex(rgbAt(s, 210, 100)));

    size_t paints = p.count("painted top");
    EXPECT_TRUE(InvalidateRect(p.top, nullptr, TRUE));
    EXPECT_TRUE(p.waitFor("painted top 0,0,200,150", 2));
    RECT part{5, 6, 15, 16};
    EXPECT_TRUE(InvalidateRect(p.top, &part, FALSE));
    EXPECT_TRUE(p.waitFor("painted top 5,6,15,16"));
    EXPECT_EQ(paints + 2, p.count("painted top"));
    // A WM_PAINT posted by another program is a plain message; it paints nothing new.
    EXPECT_TRUE(PostMessageW(p.top, WM_PAINT, 0, 0));
    EXPECT_EQ(43, SendMessageW(p.top, WM_APP + 1, 20, 3));
}

// Two devices on one machine, each with its own display: a program of one is invisible to the
// other, by class or title, and a tap on one screen reaches only that device's windows.
TEST_F(WindowE2E, TwoDevicesDoNotMeet) {
    Program& first = start("class=SharedCls title=One");
    ASSERT_TRUE(first.top);
    {
        cetest::TempDevice other; // attached from now on
        cetest::DeviceDisplay otherDisplay(other.dir());
        ASSERT_TRUE(otherDisplay.running());
        ASSERT_EQ(0, cetest::runCedev({"stub", "\\Windows\\testwin.exe", "test_window"}));
        Program& second = start("class=SharedCls title=Two", other.fs());
        ASSERT_TRUE(second.top);

        // Seen from the first device (this process's window system still uses its display).
        HWND found = FindWindowW(u"SharedCls", nullptr);
        EXPECT_EQ(first.top, found);
        EXPECT_EQ(nullptr, FindWindowW(nullptr, u"Two"));
        WCHAR text[16] = {};
        GetWindowTextW(found, text, 16);
        EXPECT_EQ(std::u16string(u"One"), std::u16string(text));

        // Seen from the second.
        useDisplayOfAttachedDevice();
        found = FindWindowW(u"SharedCls", nullptr);
        EXPECT_EQ(second.top, found);
        EXPECT_EQ(nullptr, FindWindowW(nullptr, u"One"));
        GetWindowTextW(found, text, 16);
        EXPECT_EQ(std::u16string(u"Two"), std::u16string(text));

        // Both windows are at the same place of their screens.
        ASSERT_EQ(0, cetest::runCedev({"tap", "15", "45"}, nullptr, nullptr, other.dir()));
        EXPECT_TRUE(second.waitFor("top 0x0202 WM_LBUTTONUP"));
        programs.pop_back(); // ends the second program while its display runs
    }
    ASSERT_TRUE(ce::attachDevice(device.dir()));
    setenv("CEDEVICE", device.dir().c_str(), 1);
    useDisplayOfAttachedDevice();
    EXPECT_EQ(0u, first.count("top 0x0201"));
    EXPECT_EQ(first.top, FindWindowW(u"SharedCls", u"One"));
}

} // namespace
