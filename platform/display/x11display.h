// x11display.h: the device's display: which X server it uses, the desktop window that is its
// screen, and the processes that keep them running.
//
// A device's display is recorded in run/display of its folder, "key = value" lines written
// whole and atomically:
//
//   display = :7              the X display name every program of the device connects to
//   xvfb.pid = 4242           the device's own X server (0: a person's display is used)
//   desktop.window = 0x200001 the desktop window, the device's screen
//   desktop.pid = 4243        the program that owns the desktop window
//
// `cedev display start` (and later the shell) brings the display up: an Xvfb of the device's
// own, started with -displayfd so that it picks a free display number itself, unless a
// person's display is to be used; then the desktop program (cedesktop), which creates the
// desktop window and keeps it. Every process of the device reads the record when its window
// system starts (makeX11Driver) and connects to that display; without a record, or when the
// display is gone, the process runs on the null driver. Two devices never share a record, and
// with an X server each they share nothing at all.
//
// Inside the platform only (the window system, cedev, cedesktop, tests).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ce::display {

struct DisplayRecord {
    std::string display;        // X display name, ":7"
    int xvfbPid = 0;            // the device's own X server, 0 for a person's display
    uint32_t desktopWindow = 0; // X window id of the desktop window
    int desktopPid = 0;         // the process that owns the desktop window
};

// run/display of the attached device (empty path without a device).
std::filesystem::path displayRecordPath();

// Parsing and printing of the record, exposed for tests and the fuzzer. Parsing fails on a
// record without a display name or desktop window; unknown keys are ignored.
std::optional<DisplayRecord> parseDisplayRecord(std::string_view text);
std::string formatDisplayRecord(const DisplayRecord& record);

// Reads run/display of the attached device; nothing when there is none or it is malformed.
std::optional<DisplayRecord> readDisplayRecord();
// Replaces run/display atomically (temporary file, rename).
bool writeDisplayRecord(const DisplayRecord& record, std::string* error = nullptr);
void removeDisplayRecord();

// True when pid is a live (not zombie) process whose program name contains `program`
// ("Xvfb", "cedesktop"): a recorded pid is only ever signalled after this check, so a pid
// the host has reused for something else is left alone.
bool processIsRunning(int pid, std::string_view program);

// Starts an Xvfb for the attached device, with a screen of at least width x height (both
// ways round, so the device can later rotate), 24-bit colour, no TCP listener, and waits for
// it to report its display number. Its output goes to run/xvfb.log. The server is put in a
// session of its own, so it outlives the starting process.
bool startXvfb(int width, int height, std::string* display, int* pid, std::string* error);

// Starts the desktop program (cedesktop, found beside the platform library) on `display` and
// waits until it reports the desktop window it made. Its output goes to run/desktop.log.
bool startDesktopProgram(const std::string& display, uint32_t* window, int* pid,
                         std::string* error);
// The same for another program that makes the desktop window (the shell, "ceshell"), with
// extra arguments after "--display NAME --ready-fd N". Its output goes to run/<program>.log;
// it has timeoutMs of real time to report the window.
bool startDesktopProgram(const std::string& program, const std::vector<std::string>& extraArgs,
                         const std::string& display, int timeoutMs, uint32_t* window, int* pid,
                         std::string* error);

// Ends a recorded process: SIGTERM, then SIGKILL after graceMs; only when processIsRunning.
void endRecordedProcess(int pid, std::string_view program, int graceMs = 2000);

// True when the display of the record can be opened and its desktop window exists.
bool displayIsAlive(const DisplayRecord& record);

} // namespace ce::display
