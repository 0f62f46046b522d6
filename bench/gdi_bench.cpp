// gdi_bench.cpp: what the rasteriser costs on a VGA screen's worth of pixels (480x640): a
// SRCCOPY blit between two 32-bit DIB sections, a per-pixel AlphaBlend of premultiplied
// pixels, and a plain memcpy of the same bytes as the yardstick. Each reports megapixels
// per second (the "MP" counter, a rate).
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "windows.h"

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;
constexpr double kPixels = double(kWidth) * kHeight;

struct Dib {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t* bits = nullptr;
    explicit Dib(uint32_t fill) {
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = kWidth;
        bmi.bmiHeader.biHeight = -kHeight;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        void* p = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint32_t*>(p);
        old = SelectObject(dc, bitmap);
        for (int i = 0; i < kWidth * kHeight; ++i)
            bits[i] = fill ^ static_cast<uint32_t>(i & 0xFF);
    }
    ~Dib() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

void report(benchmark::State& state) {
    state.counters["MP"] = benchmark::Counter(
        kPixels / 1e6 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_BitBlt_SrcCopy_480x640(benchmark::State& state) {
    Dib src(0xFF336699), dst(0xFFFFFFFF);
    for (auto _ : state) {
        BitBlt(dst.dc, 0, 0, kWidth, kHeight, src.dc, 0, 0, SRCCOPY);
        benchmark::DoNotOptimize(dst.bits[0]);
    }
    report(state);
}
BENCHMARK(BM_BitBlt_SrcCopy_480x640);

void BM_AlphaBlend_480x640(benchmark::State& state) {
    Dib src(0x80402010), dst(0xFFFFFFFF);
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    for (auto _ : state) {
        AlphaBlend(dst.dc, 0, 0, kWidth, kHeight, src.dc, 0, 0, kWidth, kHeight, bf);
        benchmark::DoNotOptimize(dst.bits[0]);
    }
    report(state);
}
BENCHMARK(BM_AlphaBlend_480x640);

void BM_Memcpy_480x640(benchmark::State& state) {
    std::vector<uint32_t> src(kWidth * kHeight, 0xFF336699), dst(kWidth * kHeight);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), dst.size() * sizeof(uint32_t));
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    report(state);
}
BENCHMARK(BM_Memcpy_480x640);

} // namespace
