// notify_bench.cpp: what a scan of the notification database costs: the handles
// (CeGetUserNotificationHandles, count then list) and every notification's record
// (CeGetUserNotification, size then data), over 1,000 and 10,000 notifications, reported per
// notification ("per_notification", seconds).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "kernel/device.h"
#include "notify.h"

namespace {

// A device holding `count` notifications (one in ten an event one, the rest timed with a
// reminder), in a temporary folder removed at exit.
class NotifyDevice {
public:
    explicit NotifyDevice(int count) {
        const char* base = getenv("TMPDIR");
        dir_ = std::filesystem::path(base && *base ? base : "/tmp") /
               ("notify-bench-" + std::to_string(getpid()) + "-" + std::to_string(count));
        std::filesystem::remove_all(dir_);
        std::string error;
        if (!ce::createDevice(dir_, "qvga", &error) || !ce::attachDevice(dir_, &error)) {
            fprintf(stderr, "notify_bench: %s\n", error.c_str());
            return;
        }
        CE_USER_NOTIFICATION u{};
        u.ActionFlags = PUN_DIALOG | PUN_SOUND;
        u.pwszDialogTitle = const_cast<WCHAR*>(u"POOM: 1234");
        u.pwszDialogText = const_cast<WCHAR*>(u"Weekly meeting\r\nRoom 4");
        u.pwszSound = const_cast<WCHAR*>(u"alarm1.wav");
        for (int i = 0; i < count; ++i) {
            CE_NOTIFICATION_TRIGGER t{};
            t.dwSize = sizeof t;
            t.lpszApplication = const_cast<WCHAR*>(u"calendar.exe");
            t.lpszArguments = const_cast<WCHAR*>(u"POOM: 1234");
            if (i % 10 == 0) {
                t.dwType = CNT_EVENT;
                t.dwEvent = NOTIFICATION_EVENT_WAKEUP;
                CeSetUserNotificationEx(nullptr, &t, nullptr);
                continue;
            }
            t.dwType = CNT_TIME;
            t.stStartTime = SYSTEMTIME{2030,         WORD(1 + i % 12), 0, WORD(1 + i % 28),
                                       WORD(i % 24), WORD(i % 60),     0, 0};
            CeSetUserNotificationEx(nullptr, &t, &u);
        }
    }
    ~NotifyDevice() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    void attach() { ce::attachDevice(dir_); }

private:
    std::filesystem::path dir_;
};

NotifyDevice& device(int count) {
    static NotifyDevice small(1000);
    static NotifyDevice large(10000);
    return count == 1000 ? small : large;
}

void BM_ScanAllNotifications(benchmark::State& state) {
    int count = static_cast<int>(state.range(0));
    device(count).attach();
    std::vector<BYTE> buffer(4096);
    for (auto _ : state) {
        DWORD n = 0;
        CeGetUserNotificationHandles(nullptr, 0, &n);
        std::vector<HANDLE> handles(n);
        CeGetUserNotificationHandles(handles.data(), n, &n);
        for (HANDLE h : handles) {
            DWORD size = 0;
            CeGetUserNotification(h, 0, &size, nullptr);
            if (size > buffer.size()) buffer.resize(size);
            CeGetUserNotification(h, static_cast<DWORD>(buffer.size()), &size, buffer.data());
            benchmark::DoNotOptimize(buffer.data());
        }
        if (n != static_cast<DWORD>(count)) state.SkipWithError("notifications missing");
    }
    state.counters["per_notification"] = benchmark::Counter(
        count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    ce::attachDevice({});
}
BENCHMARK(BM_ScanAllNotifications)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
