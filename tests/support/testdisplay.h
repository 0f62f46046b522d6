// testdisplay.h: tests that need the device's display: a temporary device whose display
// (its own Xvfb and desktop window) is started with `cedev display start` and stopped at the
// end, and a recorder of what the X11 driver delivers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "testdevice.h" // GoogleTest before Xlib, whose macros clash with its names

#include "display/x11driver.h"

// Xlib's macros are not needed by the tests and collide with GoogleTest's names.
#undef None
#undef Bool
#undef Status
#undef True
#undef False

namespace cetest {

// Starts the display of a device folder with cedev and stops it again at the end, also when
// the test failed (the destructor). A test process that died before its destructors ran leaves
// its X server and desktop program behind: every display started is noted in a file of the
// machine's temporary folder (cetest-displays/) until it is stopped, and the next start ends
// what the notes of test processes that are gone name.
class DeviceDisplay {
public:
    explicit DeviceDisplay(const std::filesystem::path& device);
    ~DeviceDisplay();
    DeviceDisplay(const DeviceDisplay&) = delete;
    DeviceDisplay& operator=(const DeviceDisplay&) = delete;

    bool running() const { return record_.has_value(); }
    const ce::display::DisplayRecord& record() const { return *record_; }

private:
    std::filesystem::path device_;
    std::optional<ce::display::DisplayRecord> record_;
    std::filesystem::path note_; // this display's note (see above)
};

// Ends the displays that test processes which are gone left running (see DeviceDisplay).
void endAbandonedDisplays();

// What a driver delivered, in order, as readable lines ("input 0x200003 0x201 1 5,7").
class DeliveryRecorder {
public:
    // A sink that records into this recorder; `reply` answers sent messages (result, payload).
    ce::display::EventSink
    sink(std::function<LRESULT(const ce::user::WireMessage&)> reply = nullptr);
    // Waits up to timeoutMs real time for a line starting with prefix; returns it or "".
    std::string waitFor(const std::string& prefix, int timeoutMs = 3000);
    std::vector<std::string> lines();
    // The payloads of the foreign messages and replies, in order.
    std::vector<std::vector<uint8_t>> payloads();

private:
    void add(std::string line, std::vector<uint8_t> payload = {}, bool hasPayload = false);
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> lines_;
    std::vector<std::vector<uint8_t>> payloads_;
};

// A test with a fresh device whose display runs.
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override;
    // A driver of its own X connection, as another program of the device would have.
    std::unique_ptr<ce::display::X11Driver> openDriver(ce::display::EventSink sink = {});

    TempDevice device;
    std::unique_ptr<DeviceDisplay> display;
};

// Hex of a window handle as the recorder writes it.
std::string hexId(uint32_t id);

} // namespace cetest
