// shellfixture.h: the fixture of the shell's tests: a fresh device with a frozen clock, the
// test item library (tests/programs/test_todayitem.cpp) installed as \Windows\testitem.dll,
// Today items registered by the test, and the shell started with `cedev shell start
// --headless` and stopped again at the end, also when the test failed.
//
// The test process itself never calls the window system (its display driver would stay tied to
// the first test's display): what other programs see of the shell's windows is asked in a
// forked child (probe), which writes its findings as "key value" lines.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "testdevice.h"

#include "display/x11display.h"

namespace cetest {

class ShellTest : public ::testing::Test {
protected:
    ShellTest();
    ~ShellTest() override;

    // Registers HKLM\Software\Microsoft\Today\Items\"name". order < 0: no Order value.
    void addItem(const std::string& name, int order,
                 const std::string& dll = "\\Windows\\testitem.dll", uint32_t enabled = 1,
                 uint32_t flags = 0);
    void setItemValue(const std::string& name, const std::string& value, uint32_t data);
    // What the test item answers: HKLM\Software\Test\TodayItem\name.
    void setItemSetting(const std::string& name, const std::string& value, uint32_t data);

    // `cedev shell start --headless`; false (with a test failure) when it did not start.
    bool startShell();
    void stopShell();

    // The lines of \Temp\todayitem.log, all or those starting with prefix.
    std::vector<std::string> itemLog(const std::string& prefix = "");
    // Waits (real time, polling) until the item log has the line; false after timeoutMs.
    bool waitForLine(const std::string& line, int timeoutMs = 10000);
    // Waits until count(prefix) >= n.
    bool waitForCount(const std::string& prefix, size_t n, int timeoutMs = 10000);
    std::string journal();
    // Moves the frozen device clock on by ms.
    void advance(int ms);
    int cedev(const std::vector<std::string>& args, std::string* out = nullptr,
              std::string* err = nullptr);

    // Runs fn in a child process with a window system on the device's display; fn fills the
    // map. Returns what it found (empty on a crash, with a test failure).
    using Findings = std::map<std::string, std::string>;
    Findings probe(const std::function<void(Findings&)>& fn);

    TempDevice device;
    std::optional<ce::display::DisplayRecord> record;
};

// "0x400014" -> the handle value; 0 when it is not a number.
uint32_t parseHex(const std::string& text);
// The value after "key=" in a line of words, "" when absent.
std::string wordValue(const std::string& line, const std::string& key);

} // namespace cetest
