// testdisplay.cpp: the device display fixture and the delivery recorder (see testdisplay.h).
#include "testdisplay.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "kernel/device.h"
#include "kernel/process.h"

namespace cetest {

std::string hexId(uint32_t id) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%x", id);
    return buf;
}

namespace {

std::filesystem::path notesDir() {
    const char* base = getenv("TMPDIR");
    return std::filesystem::path(base && *base ? base : "/tmp") / "cetest-displays";
}

// A note: "owner PID START", "xvfb PID", "desktop PID" lines. START (the owner's start time)
// tells the test process from a later one that got its pid.
struct Note {
    int owner = 0;
    uint64_t ownerStart = 0;
    int xvfb = 0;
    int desktop = 0;
};

std::optional<Note> readNote(const std::filesystem::path& file) {
    std::ifstream in(file);
    Note n;
    std::string key;
    while (in >> key) {
        if (key == "owner")
            in >> n.owner >> n.ownerStart;
        else if (key == "xvfb")
            in >> n.xvfb;
        else if (key == "desktop")
            in >> n.desktop;
        else
            return std::nullopt;
    }
    if (n.owner <= 0 || n.xvfb < 0 || n.desktop < 0) return std::nullopt;
    return n;
}

} // namespace

void endAbandonedDisplays() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(notesDir(), ec)) {
        auto note = readNote(entry.path());
        if (!note) continue;
        if (ce::processStartTime(note->owner) == note->ownerStart) continue; // still running
        // processIsRunning (inside endRecordedProcess) keeps a reused pid safe.
        ce::display::endRecordedProcess(note->desktop, "cedesktop", 500);
        ce::display::endRecordedProcess(note->xvfb, "Xvfb", 500);
        std::filesystem::remove(entry.path(), ec);
    }
}

DeviceDisplay::DeviceDisplay(const std::filesystem::path& device) : device_(device) {
    endAbandonedDisplays();
    std::string out, err;
    int rc = runCedev({"display", "start"}, &out, &err, device_);
    if (rc != 0) {
        ADD_FAILURE() << "cedev display start: " << rc << " " << err;
        return;
    }
    record_ = ce::display::parseDisplayRecord(out);
    if (!record_) {
        ADD_FAILURE() << "cedev display start printed no record: " << out;
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(notesDir(), ec);
    int self = getpid();
    note_ = notesDir() / (std::to_string(self) + "-" + std::to_string(record_->xvfbPid));
    std::ofstream(note_) << "owner " << self << " " << ce::processStartTime(self) << "\n"
                         << "xvfb " << record_->xvfbPid << "\n"
                         << "desktop " << record_->desktopPid << "\n";
}

DeviceDisplay::~DeviceDisplay() {
    if (!record_) return;
    std::string out, err;
    int rc = runCedev({"display", "stop"}, &out, &err, device_);
    if (rc != 0) ADD_FAILURE() << "cedev display stop: " << rc << " " << err;
    // Whatever the stop did, the processes this display started do not outlive the test.
    ce::display::endRecordedProcess(record_->desktopPid, "cedesktop", 500);
    ce::display::endRecordedProcess(record_->xvfbPid, "Xvfb", 500);
    std::error_code ec;
    if (!note_.empty()) std::filesystem::remove(note_, ec);
}

ce::display::EventSink
DeliveryRecorder::sink(std::function<LRESULT(const ce::user::WireMessage&)> reply) {
    ce::display::EventSink s;
    s.input = [this](uint32_t w, uint32_t m, WPARAM wp, POINT p) {
        add("input " + hexId(w) + " " + hexId(m) + " " + std::to_string(wp) + " " +
            std::to_string(p.x) + "," + std::to_string(p.y));
    };
    s.key = [this](uint32_t w, uint32_t m, uint8_t vk, bool repeat) {
        add("key " + hexId(w) + " " + hexId(m) + " " + hexId(vk) + (repeat ? " repeat" : ""));
    };
    s.expose = [this](uint32_t w, const RECT& r) {
        add("expose " + hexId(w) + " " + std::to_string(r.right) + "x" + std::to_string(r.bottom));
    };
    s.foreignMessage = [this, reply](ce::user::WireMessage m, bool sent, ce::user::ReplyFn answer) {
        add(std::string(sent ? "sent " : "posted ") + hexId(m.hwnd) + " " + hexId(m.message) + " " +
                hexId(m.wParam) + " " + hexId(m.lParam),
            m.payload, true);
        if (sent && reply) answer(reply(m), m.payload);
    };
    s.foreignReply = [this](uint64_t ticket, LRESULT result, std::vector<uint8_t> payload) {
        add("reply " + std::to_string(ticket) + " " +
                hexId(static_cast<uint32_t>(static_cast<uint64_t>(result) >> 32)) + ":" +
                hexId(static_cast<uint32_t>(result)),
            std::move(payload), true);
    };
    s.screenChange = [this](SIZE size) {
        add("screen " + std::to_string(size.cx) + "x" + std::to_string(size.cy));
    };
    s.foregroundChange = [this](uint32_t before, uint32_t now) {
        add("foreground " + hexId(before) + " " + hexId(now));
    };
    return s;
}

void DeliveryRecorder::add(std::string line, std::vector<uint8_t> payload, bool hasPayload) {
    std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
    if (hasPayload) payloads_.push_back(std::move(payload));
    cv_.notify_all();
}

std::string DeliveryRecorder::waitFor(const std::string& prefix, int timeoutMs) {
    std::unique_lock lock(mutex_);
    std::string found;
    cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (const auto& l : lines_)
            if (l.rfind(prefix, 0) == 0) {
                found = l;
                return true;
            }
        return false;
    });
    return found;
}

std::vector<std::string> DeliveryRecorder::lines() {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::vector<std::vector<uint8_t>> DeliveryRecorder::payloads() {
    std::lock_guard lock(mutex_);
    return payloads_;
}

void DisplayTest::SetUp() {
    display = std::make_unique<DeviceDisplay>(device.dir());
    ASSERT_TRUE(display->running());
}

std::unique_ptr<ce::display::X11Driver> DisplayTest::openDriver(ce::display::EventSink sink) {
    std::string error;
    auto d = ce::display::X11Driver::open(display->record(), std::move(sink), &error);
    EXPECT_TRUE(d) << error;
    return d;
}

} // namespace cetest
