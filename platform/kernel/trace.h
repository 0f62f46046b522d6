// trace.h: trace channels and FIXME notes of the platform.
//
// CEDEBUG=+file,+time (or "+all") in the environment switches channels on; lines go to
// stderr. CE_FIXME reports an unsupported flag or function once per call site, whatever the
// channels, and the caller then returns the documented failure.
#pragma once

#include <atomic>

namespace ce {
bool traceOn(const char* channel);
void traceLine(const char* channel, const char* kind, const char* func, const char* fmt, ...)
    __attribute__((format(printf, 4, 5)));
} // namespace ce

#define CE_TRACE(channel, ...)                                                                     \
    do {                                                                                           \
        if (::ce::traceOn(channel)) ::ce::traceLine(channel, "trace", __func__, __VA_ARGS__);      \
    } while (0)

#define CE_FIXME(channel, ...)                                                                     \
    do {                                                                                           \
        static std::atomic<bool> ce_fixme_once_{false};                                            \
        if (!ce_fixme_once_.exchange(true))                                                        \
            ::ce::traceLine(channel, "fixme", __func__, __VA_ARGS__);                              \
    } while (0)
