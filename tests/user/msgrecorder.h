// msgrecorder.h: what the window system's tests share: a window procedure that records the
// messages it receives, sequence tables compared with what it saw (in the manner of Wine's
// message tests), and a message pump.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "windows.h"

namespace usertest {

enum MsgFlags : unsigned {
    sent = 0x1,     // arrived through SendMessage (or directly from the system)
    posted = 0x2,   // taken from the queue and dispatched by the pump
    wparam = 0x4,   // compare wParam
    lparam = 0x8,   // compare lParam
    optional = 0x10 // may be missing
};

struct Expected {
    UINT message;
    unsigned flags;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    HWND hwnd = nullptr; // compared when set
};

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool posted;
};

// Records every message of interest of the windows of class kRecorderClass.
class Recorder {
public:
    static Recorder& get();
    void add(const Seen& s);
    std::vector<Seen> take();
    void clear();

private:
    std::mutex m_;
    std::vector<Seen> seen_;
};

constexpr const char16_t* kRecorderClass = u"RecorderClass";

// Registers kRecorderClass (white background, the recorder's procedure) once.
void registerRecorderClass();
LRESULT CALLBACK recorderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Dispatches what the calling thread's queue holds now (PeekMessage with PM_REMOVE, with
// TranslateMessage); marks what it dispatches as posted. Returns how many it dispatched.
int pumpMessages();

// Compares what the recorder saw with the table and fails with both listed when they differ.
void expectSequence(const std::vector<Expected>& expected, const std::vector<Seen>& seen,
                    const char* context);

std::string messageName(UINT message);

} // namespace usertest
