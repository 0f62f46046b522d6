// msgrecorder.cpp: the recorder window procedure, the pump and the sequence comparison of the
// window system's tests (msgrecorder.h).
#include "msgrecorder.h"

#include <cstdio>
#include <sstream>

namespace usertest {
namespace {

thread_local bool dispatching = false;

// Messages the sequences do not list: they come and go with details outside these tests.
bool ignored(UINT message) {
    return message == WM_GETTEXT || message == WM_GETTEXTLENGTH || message == WM_NCHITTEST ||
           message == WM_SETCURSOR || message == WM_CTLCOLORSTATIC;
}

} // namespace

Recorder& Recorder::get() {
    static Recorder r;
    return r;
}

void Recorder::add(const Seen& s) {
    std::lock_guard<std::mutex> lock(m_);
    seen_.push_back(s);
}

std::vector<Seen> Recorder::take() {
    std::lock_guard<std::mutex> lock(m_);
    return std::exchange(seen_, {});
}

void Recorder::clear() {
    take();
}

LRESULT CALLBACK recorderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!ignored(msg)) Recorder::get().add(Seen{hwnd, msg, wParam, lParam, dispatching});
    bool was = dispatching;
    dispatching = false; // what the procedure causes is sent, not posted
    LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
    dispatching = was;
    return r;
}

void registerRecorderClass() {
    static bool done = false;
    if (done) return;
    WNDCLASSW wc{};
    wc.lpfnWndProc = recorderProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kRecorderClass;
    ASSERT_NE(0, RegisterClassW(&wc));
    done = true;
}

int pumpMessages() {
    MSG msg;
    int n = 0;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        dispatching = true;
        DispatchMessageW(&msg);
        dispatching = false;
        ++n;
    }
    return n;
}

std::string messageName(UINT message) {
    static const std::pair<UINT, const char*> names[] = {
        {WM_CREATE, "WM_CREATE"},
        {WM_DESTROY, "WM_DESTROY"},
        {WM_MOVE, "WM_MOVE"},
        {WM_SIZE, "WM_SIZE"},
        {WM_ACTIVATE, "WM_ACTIVATE"},
        {WM_SETFOCUS, "WM_SETFOCUS"},
        {WM_KILLFOCUS, "WM_KILLFOCUS"},
        {WM_SETTEXT, "WM_SETTEXT"},
        {WM_PAINT, "WM_PAINT"},
        {WM_CLOSE, "WM_CLOSE"},
        {WM_ERASEBKGND, "WM_ERASEBKGND"},
        {WM_SHOWWINDOW, "WM_SHOWWINDOW"},
        {WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING"},
        {WM_WINDOWPOSCHANGED, "WM_WINDOWPOSCHANGED"},
        {WM_NCCREATE, "WM_NCCREATE"},
        {WM_NCDESTROY, "WM_NCDESTROY"},
        {WM_NCCALCSIZE, "WM_NCCALCSIZE"},
        {WM_KEYDOWN, "WM_KEYDOWN"},
        {WM_KEYUP, "WM_KEYUP"},
        {WM_CHAR, "WM_CHAR"},
        {WM_TIMER, "WM_TIMER"},
        {WM_MOUSEMOVE, "WM_MOUSEMOVE"},
        {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
        {WM_LBUTTONUP, "WM_LBUTTONUP"},
    };
    for (auto& [v, n] : names)
        if (v == message) return n;
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04x", message);
    return buf;
}

namespace {

std::string describe(const std::vector<Seen>& seen) {
    std::ostringstream out;
    for (auto& s : seen)
        out << "  " << messageName(s.message) << (s.posted ? " posted" : " sent") << " w=0x"
            << std::hex << s.wParam << " l=0x" << s.lParam << std::dec << " hwnd=" << s.hwnd
            << "\n";
    return out.str();
}

} // namespace

void expectSequence(const std::vector<Expected>& expected, const std::vector<Seen>& seen,
                    const char* context) {
    size_t i = 0;
    std::ostringstream problems;
    for (const Expected& e : expected) {
        bool match = i < seen.size() && seen[i].message == e.message;
        if (match && (e.flags & sent) && seen[i].posted) match = false;
        if (match && (e.flags & posted) && !seen[i].posted) match = false;
        if (match && (e.flags & wparam) && seen[i].wParam != e.wParam) match = false;
        if (match && (e.flags & lparam) && seen[i].lParam != e.lParam) match = false;
        if (match && e.hwnd && seen[i].hwnd != e.hwnd) match = false;
        if (match) {
            ++i;
            continue;
        }
        if (e.flags & optional) continue;
        problems << "expected " << messageName(e.message)
                 << ((e.flags & posted) ? " posted" : " sent");
        if (e.flags & wparam) problems << " w=0x" << std::hex << e.wParam << std::dec;
        if (e.flags & lparam) problems << " l=0x" << std::hex << e.lParam << std::dec;
        if (e.hwnd) problems << " hwnd=" << e.hwnd;
        problems << " at position " << i << "\n";
        break;
    }
    if (problems.str().empty() && i != seen.size())
        problems << "unexpected messages after position " << i << "\n";
    if (!problems.str().empty())
        ADD_FAILURE() << context << ":\n" << problems.str() << "seen:\n" << describe(seen);
}

} // namespace usertest
