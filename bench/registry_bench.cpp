// registry_bench.cpp: what the product's registry conventions cost on a device: a DWORD read
// as open, query, close; and a write followed by a flush.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "kernel/device.h"
#include "windows.h"

namespace {

// One device for the whole run, in a temporary folder removed at exit.
class BenchDevice {
public:
    BenchDevice() {
        const char* base = getenv("TMPDIR");
        dir_ = std::filesystem::path(base && *base ? base : "/tmp") /
               ("registry-bench-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::string error;
        if (!ce::createDevice(dir_, "qvga", &error) || !ce::attachDevice(dir_, &error))
            fprintf(stderr, "registry_bench: %s\n", error.c_str());
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Brenvox\\Zolvane", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        DWORD value = 12;
        RegSetValueExW(key, u"maxAlarms", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
        RegCloseKey(key);
    }
    ~BenchDevice() {
        ce::attachDevice({});
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

private:
    std::filesystem::path dir_;
};

BenchDevice& device() {
    static BenchDevice d;
    return d;
}

void BM_QueryDwordOpenQueryClose(benchmark::State& state) {
    device();
    for (auto _ : state) {
        HKEY key = nullptr;
        RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Brenvox\\Zolvane", 0, KEY_READ, &key);
        DWORD value = 0, size = sizeof value, type = 0;
        RegQueryValueExW(key, u"maxAlarms", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_QueryDwordOpenQueryClose);

void BM_SetDwordAndFlush(benchmark::State& state) {
    device();
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Brenvox\\Zolvane", 0, KEY_ALL_ACCESS, &key);
    DWORD value = 0;
    for (auto _ : state) {
        ++value;
        RegSetValueExW(key, u"appWindow", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
        RegFlushKey(key);
    }
    RegCloseKey(key);
}
BENCHMARK(BM_SetDwordAndFlush);

void BM_SetDwordWithoutFlush(benchmark::State& state) {
    device();
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Brenvox\\Zolvane", 0, KEY_ALL_ACCESS, &key);
    DWORD value = 0;
    for (auto _ : state) {
        ++value;
        RegSetValueExW(key, u"appWindow", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    }
    RegCloseKey(key);
}
BENCHMARK(BM_SetDwordWithoutFlush);

} // namespace
