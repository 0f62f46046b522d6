// testthreads.h: what the tests of threads, events and waits share: thread bodies as lambdas,
// and polling in real time for another thread's progress.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "windows.h"

namespace cetest {

constexpr DWORD kPoison = 0xdeadbeef;

// A thread body for CreateThread: the test keeps it alive while the thread may run.
struct Body {
    std::function<DWORD()> run;
};

inline DWORD runBody(LPVOID parameter) {
    return static_cast<Body*>(parameter)->run();
}

inline HANDLE startThread(Body& body, DWORD flags = 0, DWORD* id = nullptr) {
    return CreateThread(nullptr, 0, runBody, &body, flags, id);
}

// Polls pred in real time: for watching another thread make progress.
inline bool eventually(const std::function<bool()>& pred, int ms = 20000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline void realSleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace cetest
