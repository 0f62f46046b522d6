// cmd_time.cpp: cedev time and cedev tz: reading, stepping, advancing and scaling the device
// clock, and choosing its time zone.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cedev.h"
#include "kernel/clock.h"
#include "kernel/device.h"
#include "kernel/journal.h"
#include "kernel/timezone.h"
#include "winbase.h"

namespace cedev {

namespace {

bool digits(const std::string& s, size_t pos, size_t count, int* out) {
    if (pos + count > s.size()) return false;
    int v = 0;
    for (size_t i = 0; i < count; ++i) {
        char c = s[pos + i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    *out = v;
    return true;
}

bool parseRate(const std::string& text, double* rate) {
    char* end = nullptr;
    double v = strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v) || v < 0 || v > 1e6) return false;
    *rate = v;
    return true;
}

void printTime() {
    auto conf = ce::deviceConf();
    int64_t utc = ce::deviceUtcNow();
    TIME_ZONE_INFORMATION tzi = ce::zoneInfoOf(*conf);
    bool daylight = ce::isDaylightAtUtc(tzi, utc);
    printf("%s\n", formatIso(ce::utcToLocal(tzi, utc)).c_str());
    printf("utc %sZ\n", formatIso(utc).c_str());
    printf("zone %s (%s)\n", conf->timeZone.c_str(), daylight ? "daylight" : "standard");
    printf("rate %g\n", ce::deviceClockRate());
    printf("tick %u\n", ce::deviceTickCount());
}

} // namespace

bool parseDeviceTime(const std::string& text, int64_t* utc, std::string* error) {
    SYSTEMTIME st{};
    int y, mo, d, h, mi, s = 0, ms = 0;
    // YYYY-MM-DDTHH:MM[:SS[.mmm]]
    if (!digits(text, 0, 4, &y) || text.size() < 16 || text[4] != '-' || !digits(text, 5, 2, &mo) ||
        text[7] != '-' || !digits(text, 8, 2, &d) || (text[10] != 'T' && text[10] != ' ') ||
        !digits(text, 11, 2, &h) || text[13] != ':' || !digits(text, 14, 2, &mi)) {
        *error = "bad time \"" + text + "\" (expected YYYY-MM-DDTHH:MM[:SS][Z|+HH:MM])";
        return false;
    }
    size_t pos = 16;
    if (pos < text.size() && text[pos] == ':') {
        if (!digits(text, pos + 1, 2, &s)) {
            *error = "bad seconds in \"" + text + "\"";
            return false;
        }
        pos += 3;
        if (pos < text.size() && text[pos] == '.') {
            size_t n = 0;
            int frac = 0;
            while (pos + 1 + n < text.size() && text[pos + 1 + n] >= '0' &&
                   text[pos + 1 + n] <= '9' && n < 9) {
                if (n < 3) frac = frac * 10 + (text[pos + 1 + n] - '0');
                ++n;
            }
            if (n == 0) {
                *error = "bad fraction in \"" + text + "\"";
                return false;
            }
            for (size_t k = n; k < 3; ++k)
                frac *= 10;
            ms = frac;
            pos += 1 + n;
        }
    }
    bool absolute = false;
    int offsetMinutes = 0;
    if (pos < text.size()) {
        int oh = 0, om = 0;
        if (text[pos] == 'Z' && pos + 1 == text.size()) {
            absolute = true;
        } else if ((text[pos] == '+' || text[pos] == '-') && digits(text, pos + 1, 2, &oh) &&
                   ((pos + 3 == text.size()) || (text.size() == pos + 6 && text[pos + 3] == ':' &&
                                                 digits(text, pos + 4, 2, &om)))) {
            absolute = true;
            offsetMinutes = (oh * 60 + om) * (text[pos] == '-' ? -1 : 1);
        } else {
            *error = "bad zone in \"" + text + "\"";
            return false;
        }
    }
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    st.wMilliseconds = static_cast<WORD>(ms);
    FILETIME ft{};
    if (!SystemTimeToFileTime(&st, &ft)) {
        *error = "no such time: \"" + text + "\"";
        return false;
    }
    int64_t value = ce::fileTimeToInt(ft);
    if (absolute)
        *utc = value - offsetMinutes * ce::kFileTimePerMinute;
    else
        *utc = ce::localToUtc(ce::zoneInfoOf(*ce::deviceConf()), value);
    return true;
}

bool parseDuration(const std::string& text, int64_t* out) {
    if (text.empty()) return false;
    int64_t total = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t start = pos;
        int64_t n = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            n = n * 10 + (text[pos] - '0');
            if (n > 1'000'000'000) return false;
            ++pos;
        }
        if (pos == start || pos == text.size()) return false;
        int64_t unit = 0;
        if (text.compare(pos, 2, "ms") == 0) {
            unit = ce::kFileTimePerMs;
            pos += 2;
        } else {
            switch (text[pos]) {
            case 's': unit = ce::kFileTimePerSecond; break;
            case 'm': unit = ce::kFileTimePerMinute; break;
            case 'h': unit = 60 * ce::kFileTimePerMinute; break;
            case 'd': unit = ce::kFileTimePerDay; break;
            default: return false;
            }
            ++pos;
        }
        total += n * unit;
    }
    *out = total;
    return true;
}

std::string formatIso(int64_t fileTime, bool millis) {
    FILETIME ft = ce::intToFileTime(fileTime);
    SYSTEMTIME st{};
    if (!FileTimeToSystemTime(&ft, &st)) return "invalid";
    char buf[80];
    snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u", st.wYear, st.wMonth, st.wDay,
             st.wHour, st.wMinute, st.wSecond);
    std::string out = buf;
    if (millis) {
        snprintf(buf, sizeof buf, ".%03u", st.wMilliseconds);
        out += buf;
    }
    return out;
}

int cmdTime(const Args& args) {
    if (!needDevice()) return 1;
    std::string error;
    if (args.empty()) {
        printTime();
        return 0;
    }
    if (args[0] == "advance") {
        int64_t delta = 0;
        if (args.size() != 2 || !parseDuration(args[1], &delta))
            return usage("usage: cedev time advance DURATION (e.g. 90s, 15m, 2h, 3d, 1h30m)");
        if (!ce::advanceDeviceClock(delta, &error)) return fail(error);
        ce::JournalLine("clock.advance").num("ms", delta / ce::kFileTimePerMs).write();
        return 0;
    }
    bool haveTime = false, haveRate = false;
    int64_t utc = 0;
    double rate = 1;
    size_t i = 0;
    if (args[0] == "set") {
        if (args.size() < 2) return usage("usage: cedev time set ISO-TIME [--rate N]");
        if (!parseDeviceTime(args[1], &utc, &error)) return usage(error);
        haveTime = true;
        i = 2;
    }
    for (; i < args.size(); ++i) {
        if (args[i] == "--rate" && i + 1 < args.size()) {
            if (!parseRate(args[++i], &rate)) return usage("bad rate " + args[i]);
            haveRate = true;
        } else {
            return usage("time: unexpected argument " + args[i]);
        }
    }
    if (!haveTime && !haveRate) return usage("usage: cedev time [set ISO-TIME] [--rate N]");
    // The rate first: a frozen clock set to a time stays exactly at that time.
    if (haveRate && !ce::setDeviceClockRate(rate, &error)) return fail(error);
    if (haveTime && !ce::setDeviceUtc(utc, &error)) return fail(error);
    ce::JournalLine line("clock.set");
    if (haveTime) line.str("utc", formatIso(utc, true) + "Z");
    if (haveRate) line.real("rate", rate);
    line.write();
    return 0;
}

int cmdTz(const Args& args) {
    if (!needDevice()) return 1;
    if (args.empty()) {
        auto conf = ce::deviceConf();
        TIME_ZONE_INFORMATION tzi = ce::zoneInfoOf(*conf);
        printf("%s\n", conf->timeZone.c_str());
        printf("bias %ld\n", static_cast<long>(tzi.Bias));
        return 0;
    }
    if (args[0] == "list" && args.size() == 1) {
        for (const auto& name : ce::zoneNames())
            printf("%s\n", name.c_str());
        return 0;
    }
    if (args[0] != "set" || args.size() != 2) return usage("usage: cedev tz [set NAME | list]");
    std::string error;
    if (!ce::setDeviceZone(args[1], &error)) return fail(error);
    ce::JournalLine("tz.set").str("zone", args[1]).write();
    return 0;
}

} // namespace cedev
