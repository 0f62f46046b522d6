// clock.cpp: the device clock: device UTC and the tick count computed from the anchor in
// device.conf, and the changes (step, advance, rate) that move the anchor.
//
// The device keeps no running clock of its own. device.conf holds an anchor: the device UTC
// (clockBase) and tick count (tickBase) at one host instant (clockAnchorMono, on the host's
// monotonic clock, and the same instant on the real-time clock), and the rate at which device
// time has run since. Every process computes the same time from the same anchor, so they agree
// without talking to each other; a change rewrites the anchor and device.cpp publishes it.
//
//     device UTC = clockBase + host ns elapsed since the anchor x rate / 100
//     tick (ms)  = tickBase  + host ns elapsed since the anchor x rate / 1 000 000
//
// The monotonic clock restarts with the host, so an anchor taken in an earlier boot (its boot
// id differs) measures the elapsed time on the real-time clock instead: a device left alone
// over a host reboot keeps running as it would have. Elapsed time never counts negative, so
// device time never runs backwards between changes.
#include "kernel/clock.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "kernel/device.h"
#include "kernel/timezone.h"
#include "kernel/trace.h"

namespace ce {

namespace {

constexpr int64_t kMaxFileTime = std::numeric_limits<int64_t>::max();
// FILETIME of 1970-01-01, the host real-time clock's epoch.
constexpr int64_t kUnixEpochFileTime = 116'444'736'000'000'000;
// The fastest rate, at which a device day passes in under a tenth of a second; device.conf
// refuses faster ones too.
constexpr double kMaxRate = 1e6;

struct HostNow {
    int64_t mono;
    int64_t real;
};

HostNow hostNow() {
    return {hostMonotonicNs(), hostRealtimeNs()};
}

// The boot id cannot change while a process runs, so it is read once. It is compared without
// surrounding white space: the kernel's text ends in a newline, device.conf's value does not.
std::string_view withoutSpace(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

const std::string& thisBoot() {
    static const std::string id(withoutSpace(hostBootId()));
    return id;
}

int64_t saturatingAdd(int64_t a, int64_t b) {
    int64_t r;
    if (__builtin_add_overflow(a, b, &r)) return b > 0 ? kMaxFileTime : 0;
    return r;
}

// An anchor that was never set (all zero) is read as host real time and host uptime, so that
// a state nobody anchored still tells the right time rather than 1601.
bool unanchored(const DeviceConf& c) {
    return c.clockBase == 0 && c.clockAnchorMono == 0 && c.clockAnchorReal == 0;
}

// Anchors come from a file a person may edit, so the difference is taken with overflow in mind.
int64_t elapsedHostNs(const DeviceConf& c, const HostNow& now) {
    bool sameBoot = c.clockBootId.empty() || withoutSpace(c.clockBootId) == thisBoot();
    int64_t e;
    if (sameBoot ? __builtin_sub_overflow(now.mono, c.clockAnchorMono, &e)
                 : __builtin_sub_overflow(now.real, c.clockAnchorReal, &e))
        return (sameBoot ? c.clockAnchorMono : c.clockAnchorReal) < 0 ? kMaxFileTime : 0;
    return e < 0 ? 0 : e;
}

// elapsed x rate / divisor, rounded down, in long double: its 64-bit mantissa holds any
// elapsed nanosecond count exactly, and a fractional rate such as 0.5 loses nothing that
// matters. A rate that is not a finite non-negative number counts as 0 (frozen).
int64_t scaled(int64_t elapsedNs, double rate, int64_t divisor) {
    if (!(rate > 0) || !std::isfinite(rate)) return 0;
    long double v = static_cast<long double>(elapsedNs) * rate / divisor;
    if (v >= static_cast<long double>(kMaxFileTime)) return kMaxFileTime;
    return static_cast<int64_t>(std::floor(v));
}

int64_t utcAt(const DeviceConf& c, const HostNow& now) {
    if (unanchored(c)) return kUnixEpochFileTime + now.real / 100;
    return saturatingAdd(c.clockBase, scaled(elapsedHostNs(c, now), c.clockRate, 100));
}

int64_t tickAt(const DeviceConf& c, const HostNow& now) {
    if (unanchored(c)) return now.mono / 1'000'000;
    return saturatingAdd(c.tickBase, scaled(elapsedHostNs(c, now), c.clockRate, 1'000'000));
}

// Moves the anchor to now, keeping the device time and tick count they have reached.
void reanchor(DeviceConf& c, const HostNow& now) {
    c.clockBase = utcAt(c, now);
    c.tickBase = tickAt(c, now);
    c.clockAnchorMono = now.mono;
    c.clockAnchorReal = now.real;
    c.clockBootId = thisBoot();
    if (!(c.clockRate >= 0) || !std::isfinite(c.clockRate)) c.clockRate = 0;
}

// Host nanoseconds for `ahead` units of device time (unitNs host ns each at rate 1), rounded
// up so that a wait of that long never wakes before its time.
int64_t hostNsFor(int64_t ahead, int64_t unitNs, double rate) {
    if (ahead <= 0) return 0;
    if (!(rate > 0) || !std::isfinite(rate)) return -1;
    long double ns = std::ceil(static_cast<long double>(ahead) * unitNs / rate);
    if (ns >= static_cast<long double>(std::numeric_limits<int64_t>::max()))
        return std::numeric_limits<int64_t>::max();
    return std::max<int64_t>(1, static_cast<int64_t>(ns));
}

bool fail(std::string* error, const char* text) {
    if (error) *error = text;
    return false;
}

} // namespace

int64_t deviceUtcNow() {
    return utcAt(*deviceConf(), hostNow());
}

// Local time under the zone of the same device state the UTC came from, so that a zone change
// in between cannot mix an old time with a new zone.
int64_t deviceLocalNow() {
    auto conf = deviceConf();
    return utcToLocal(zoneInfoOf(*conf), utcAt(*conf, hostNow()));
}

// The full tick count, which deviceTickCount() is the low 32 bits of and hostNsUntilTick()
// measures against.
uint64_t deviceTickCount64() {
    return static_cast<uint64_t>(tickAt(*deviceConf(), hostNow()));
}

// Wraps after 49.7 days of device time, as on the device.
uint32_t deviceTickCount() {
    return static_cast<uint32_t>(deviceTickCount64());
}

double deviceClockRate() {
    auto conf = deviceConf();
    return unanchored(*conf) ? 1.0 : conf->clockRate;
}

int64_t hostNsUntilDeviceUtc(int64_t deviceUtc) {
    if (deviceUtc < 0) return 0;
    auto conf = deviceConf();
    int64_t ahead = deviceUtc - utcAt(*conf, hostNow()); // both >= 0: cannot overflow
    return hostNsFor(ahead, 100, unanchored(*conf) ? 1.0 : conf->clockRate);
}

// tick is on the scale of the full 64-bit count (deviceTickCount64), so that a deadline
// computed as "now + timeout" stays right across the 32-bit wrap.
int64_t hostNsUntilTick(uint64_t tick) {
    auto conf = deviceConf();
    uint64_t now = static_cast<uint64_t>(tickAt(*conf, hostNow()));
    if (tick <= now) return 0;
    uint64_t ahead = std::min<uint64_t>(tick - now, std::numeric_limits<int64_t>::max());
    return hostNsFor(static_cast<int64_t>(ahead), 1'000'000,
                     unanchored(*conf) ? 1.0 : conf->clockRate);
}

// A step: device time jumps to deviceUtc, the tick count goes on from where it was (it counts
// time that passed, and a step is not time passing).
bool setDeviceUtc(int64_t deviceUtc, std::string* error) {
    if (deviceUtc < 0) return fail(error, "device time out of range");
    CE_TRACE("time", "step to %lld", static_cast<long long>(deviceUtc));
    return updateDeviceConf(
        [deviceUtc](DeviceConf& c) {
            reanchor(c, hostNow());
            c.clockBase = deviceUtc;
            ++c.clockSteps;
        },
        error);
}

// As if delta of device time passed at once: both device time and the tick count move.
bool advanceDeviceClock(int64_t delta, std::string* error) {
    if (delta < 0) return fail(error, "the clock only advances forwards");
    CE_TRACE("time", "advance by %lld", static_cast<long long>(delta));
    return updateDeviceConf(
        [delta](DeviceConf& c) {
            reanchor(c, hostNow());
            c.clockBase = saturatingAdd(c.clockBase, delta);
            c.tickBase = saturatingAdd(c.tickBase, delta / kFileTimePerMs);
            ++c.clockSteps;
        },
        error);
}

// A rate change is not a step: time goes on from where it is, only faster or slower, so the
// step counter stays (device.cpp's change counter still tells every process to look again).
bool setDeviceClockRate(double rate, std::string* error) {
    if (!(rate >= 0) || !std::isfinite(rate) || rate > kMaxRate)
        return fail(error, "clock rate must be between 0 and 1000000");
    CE_TRACE("time", "rate %g", rate);
    return updateDeviceConf(
        [rate](DeviceConf& c) {
            reanchor(c, hostNow());
            c.clockRate = rate;
        },
        error);
}

int64_t fileTimeToInt(const FILETIME& ft) {
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) |
                                ft.dwLowDateTime);
}

FILETIME intToFileTime(int64_t v) {
    uint64_t u = static_cast<uint64_t>(v);
    return FILETIME{static_cast<DWORD>(u & 0xFFFFFFFFu), static_cast<DWORD>(u >> 32)};
}

} // namespace ce
