// wait_bench.cpp: what waits and locks cost: an event round trip between two threads (SetEvent,
// then WaitForSingleObject wakes the other thread, which answers the same way), a wait on an
// event that is already signalled, and an uncontended critical section.
//
// Runs without a device (the process's own object table and wake word), like any program
// started outside one; with CEDEVICE set it measures the device's shared table instead.
#include <atomic>
#include <thread>

#include <benchmark/benchmark.h>

#include "windows.h"

namespace {

void BM_EventRoundTrip(benchmark::State& state) {
    HANDLE ping = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE pong = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        for (;;) {
            WaitForSingleObject(ping, INFINITE);
            if (stop.load()) break;
            SetEvent(pong);
        }
    });
    for (auto _ : state) {
        SetEvent(ping);
        WaitForSingleObject(pong, INFINITE);
    }
    stop = true;
    SetEvent(ping);
    echo.join();
    CloseHandle(ping);
    CloseHandle(pong);
}
BENCHMARK(BM_EventRoundTrip)->UseRealTime();

void BM_WaitOnSignalledEvent(benchmark::State& state) {
    HANDLE e = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(WaitForSingleObject(e, 0));
    CloseHandle(e);
}
BENCHMARK(BM_WaitOnSignalledEvent);

void BM_CriticalSectionUncontended(benchmark::State& state) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    for (auto _ : state) {
        EnterCriticalSection(&cs);
        LeaveCriticalSection(&cs);
    }
    DeleteCriticalSection(&cs);
}
BENCHMARK(BM_CriticalSectionUncontended);

} // namespace
