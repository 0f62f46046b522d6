// pim_bench.cpp: the PIM store's restricted, sorted walk, as the Today list asks for it: a
// calendar of 5,000 appointments (500 of them weekly series) and the appointments of a 30-day
// window, walked with Sort("[Start]"), IncludeRecurrences and Find/FindNext through the object
// model; next to it the same range answered by SQLite alone (single appointments only: SQL
// cannot expand a series). Each reports the time per returned item.
#include <benchmark/benchmark.h>

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/timezone.h"
#include "pim/item.h"
#include "pim/store.h"
#include "pimstore.h"

namespace {

using namespace ce::pim;

constexpr int kAppointments = 5000;
constexpr int kRecurring = 500;

// A device with the calendar, made once for all benchmarks of this file.
struct Calendar {
    std::filesystem::path dir;
    int64_t windowStart = 0; // local, 2027-06-01
    Calendar() {
        dir = std::filesystem::temp_directory_path() / ("pim_bench_" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        ce::createDevice(dir, "qvga");
        ce::attachDevice(dir);
        ce::setDeviceZone("Europe/Berlin");
        makeLocal(2027, 6, 1, 0, 0, 0, &windowStart);
        int64_t yearStart;
        makeLocal(2027, 1, 1, 8, 0, 0, &yearStart);
        for (int i = 0; i < kAppointments; ++i) {
            Item a(Kind::Appointment);
            a.text[Subject] = u"Appointment " + std::u16string(1, u'A' + i % 26);
            // Spread over the year, at working hours, in 15-minute steps.
            int64_t day = (i * 7919LL) % 365;
            int64_t minute = (i * 37LL) % (10 * 4) * 15;
            a.date[Start] = yearStart + day * ce::kFileTimePerDay + minute * ce::kFileTimePerMinute;
            a.date[End] = a.date[Start] + 30 * ce::kFileTimePerMinute;
            if (i < kRecurring) {
                static const char* const days[] = {"MO", "TU", "WE", "TH", "FR"};
                a.rrule = std::string("FREQ=WEEKLY;BYDAY=") + days[i % 5];
            }
            saveItem(a);
        }
    }
    ~Calendar() {
        closeStore();
        ce::attachDevice({});
        std::filesystem::remove_all(dir);
    }
};

Calendar& calendar() {
    static Calendar c;
    return c;
}

void BM_ObjectModelWalk30Days(benchmark::State& state) {
    calendar();
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IPOutlookApp* app = nullptr;
    CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                     reinterpret_cast<void**>(&app));
    app->Logon(0);
    ce::updateDeviceConf([](ce::DeviceConf& c) { c.profile.locale = "ja-JP"; });
    BSTR sortKey = SysAllocString(u"[Start]");
    BSTR filter = SysAllocString(u"[Start] >= \"2027/06/01\" AND [Start] < \"2027/07/01\"");
    int64_t returned = 0;
    for (auto _ : state) {
        IFolder* folder = nullptr;
        app->GetDefaultFolder(olFolderCalendar, &folder);
        IPOutlookItemCollection* items = nullptr;
        folder->get_Items(&items);
        items->Sort(sortKey, VARIANT_FALSE);
        items->put_IncludeRecurrences(VARIANT_TRUE);
        IDispatch* d = nullptr;
        items->Find(filter, &d);
        while (d) {
            IAppointment* a = nullptr;
            d->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&a));
            d->Release();
            DATE start;
            BSTR subject = nullptr;
            a->get_Start(&start);
            a->get_Subject(&subject);
            SysFreeString(subject);
            a->Release();
            ++returned;
            d = nullptr;
            items->FindNext(&d);
        }
        items->Release();
        folder->Release();
    }
    state.counters["items"] = static_cast<double>(returned) / state.iterations();
    state.counters["per_item"] = benchmark::Counter(
        static_cast<double>(returned), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    SysFreeString(sortKey);
    SysFreeString(filter);
    app->Logoff();
    app->Release();
    CoUninitialize();
}
BENCHMARK(BM_ObjectModelWalk30Days)->Unit(benchmark::kMillisecond);

void BM_SqliteAlone30Days(benchmark::State& state) {
    Calendar& c = calendar();
    sqlite3* db = nullptr;
    sqlite3_open_v2(storePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    TIME_ZONE_INFORMATION tz = ce::zoneInfoOf(*ce::deviceConf());
    int64_t from = ce::localToUtc(tz, c.windowStart);
    int64_t to = ce::localToUtc(tz, c.windowStart + 30 * ce::kFileTimePerDay);
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT oid, t_Subject, d_Start FROM items WHERE kind = 1 AND "
                       "d_Start >= ?1 AND d_Start < ?2 AND rrule = '' ORDER BY d_Start",
                       -1, &q, nullptr);
    int64_t returned = 0;
    for (auto _ : state) {
        sqlite3_bind_int64(q, 1, from);
        sqlite3_bind_int64(q, 2, to);
        while (sqlite3_step(q) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_text16(q, 1));
            ++returned;
        }
        sqlite3_reset(q);
    }
    state.counters["items"] = static_cast<double>(returned) / state.iterations();
    state.counters["per_item"] = benchmark::Counter(
        static_cast<double>(returned), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    sqlite3_finalize(q);
    sqlite3_close_v2(db);
}
BENCHMARK(BM_SqliteAlone30Days)->Unit(benchmark::kMicrosecond);

} // namespace
