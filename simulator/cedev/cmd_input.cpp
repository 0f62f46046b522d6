// cmd_input.cpp: cedev tap, hold, drag and key: input into the device as from its screen and
// keys. Gestures run in real time whatever the device clock's rate (a hand does not speed
// up). Points are device screen coordinates (the desktop window's).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "cedev.h"
#include "display/x11driver.h"
#include "windows.h"

namespace cedev {

namespace {

using ce::display::X11Driver;

// The device's display, or an error already printed.
std::unique_ptr<X11Driver> openDisplay() {
    if (!needDevice()) return nullptr;
    auto record = ce::display::readDisplayRecord();
    if (!record) {
        fail("the device's display is not running (cedev display start)");
        return nullptr;
    }
    std::string error;
    auto driver = X11Driver::open(*record, ce::display::EventSink{}, &error);
    if (!driver) fail("the device's display is not running: " + error);
    return driver;
}

bool parseCoordinate(const std::string& text, long* out) {
    if (text.empty() || text.size() > 6) return false;
    char* end = nullptr;
    long v = strtol(text.c_str(), &end, 10);
    if (*end) return false;
    *out = v;
    return true;
}

// Parses X Y pairs from args[first..] and checks they lie on the screen.
bool parsePoints(const Args& args, size_t first, size_t count, X11Driver& d,
                 std::vector<POINT>* out) {
    SIZE screen = d.screenSize();
    for (size_t i = 0; i < count; ++i) {
        long x = 0, y = 0;
        if (!parseCoordinate(args[first + 2 * i], &x) ||
            !parseCoordinate(args[first + 2 * i + 1], &y)) {
            usage("coordinates are whole numbers");
            return false;
        }
        if (x < 0 || y < 0 || x >= screen.cx || y >= screen.cy) {
            fail("point " + std::to_string(x) + "," + std::to_string(y) + " is outside the " +
                 std::to_string(screen.cx) + "x" + std::to_string(screen.cy) + " screen");
            return false;
        }
        out->push_back(POINT{static_cast<LONG>(x), static_cast<LONG>(y)});
    }
    return true;
}

void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

struct KeyWord {
    const char* name;
    uint8_t vk;
};

const KeyWord kKeyWords[] = {
    {"up", VK_UP},         {"down", VK_DOWN},     {"left", VK_LEFT},      {"right", VK_RIGHT},
    {"enter", VK_RETURN},  {"action", VK_RETURN}, {"escape", VK_ESCAPE},  {"back", VK_ESCAPE},
    {"softkey1", VK_F1},   {"softkey2", VK_F2},   {"talk", VK_F3},        {"end", VK_F4},
    {"home", VK_LWIN},     {"space", VK_SPACE},   {"backspace", VK_BACK}, {"tab", VK_TAB},
    {"delete", VK_DELETE}, {"volumeup", VK_F6},   {"volumedown", VK_F7},  {"star", VK_F8},
    {"pound", VK_F9},      {"record", VK_F10},
};

// A key by name, a single letter or digit, F1..F24, or a virtual key number (0x0D).
uint8_t keyByName(const std::string& name) {
    std::string lower;
    for (char c : name)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const auto& k : kKeyWords)
        if (lower == k.name) return k.vk;
    if (lower.size() == 1 && lower[0] >= 'a' && lower[0] <= 'z')
        return static_cast<uint8_t>(lower[0] - 'a' + 'A');
    if (lower.size() == 1 && lower[0] >= '0' && lower[0] <= '9')
        return static_cast<uint8_t>(lower[0]);
    if (lower.size() >= 2 && lower.size() <= 3 && lower[0] == 'f') {
        int n = atoi(lower.c_str() + 1);
        if (n >= 1 && n <= 24 && std::to_string(n) == lower.substr(1))
            return static_cast<uint8_t>(VK_F1 + n - 1);
    }
    if (lower.size() > 2 && lower.size() <= 4 && lower.rfind("0x", 0) == 0) {
        char* end = nullptr;
        long v = strtol(lower.c_str() + 2, &end, 16);
        if (!*end && v > 0 && v < 0xFF) return static_cast<uint8_t>(v);
    }
    return 0;
}

} // namespace

int cmdTap(const Args& args) {
    if (args.size() != 2) return usage("usage: cedev tap X Y");
    auto d = openDisplay();
    std::vector<POINT> p;
    if (!d || !parsePoints(args, 0, 1, *d, &p)) return 1;
    d->injectPointer(p[0], false, true);
    pause(30);
    d->injectPointer(p[0], false, false);
    return 0;
}

int cmdHold(const Args& args) {
    if (args.size() != 2 && args.size() != 3) return usage("usage: cedev hold X Y [MS]");
    long ms = 1000;
    if (args.size() == 3 && (!parseCoordinate(args[2], &ms) || ms < 0))
        return usage("hold: MS is a number of milliseconds");
    auto d = openDisplay();
    std::vector<POINT> p;
    if (!d || !parsePoints(args, 0, 1, *d, &p)) return 1;
    d->injectPointer(p[0], false, true);
    pause(static_cast<int>(ms));
    d->injectPointer(p[0], false, false);
    return 0;
}

int cmdDrag(const Args& args) {
    if (args.size() != 4) return usage("usage: cedev drag X1 Y1 X2 Y2");
    auto d = openDisplay();
    std::vector<POINT> p;
    if (!d || !parsePoints(args, 0, 2, *d, &p)) return 1;
    // As a finger moves: down, eight steps about 20 ms apart, up at the end point.
    constexpr int kSteps = 8;
    d->injectPointer(p[0], false, true);
    for (int i = 1; i <= kSteps; ++i) {
        pause(20);
        POINT at{p[0].x + (p[1].x - p[0].x) * i / kSteps, p[0].y + (p[1].y - p[0].y) * i / kSteps};
        d->injectPointer(at, true, false);
    }
    pause(20);
    d->injectPointer(p[1], false, false);
    return 0;
}

int cmdKey(const Args& args) {
    if (args.size() != 1)
        return usage(
            "usage: cedev key up|down|left|right|enter|escape|softkey1|softkey2|talk|NAME");
    uint8_t vk = keyByName(args[0]);
    if (!vk) return usage("key: unknown key " + args[0]);
    auto d = openDisplay();
    if (!d) return 1;
    if (!d->foregroundWindow()) return fail("key: no program is in the foreground");
    d->injectKey(vk, false);
    pause(10);
    d->injectKey(vk, true);
    return 0;
}

} // namespace cedev
