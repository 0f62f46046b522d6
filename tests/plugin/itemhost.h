// itemhost.h: hosts the Today item in the test's own process the way the Today screen does: a
// Today window as parent, a TODAYLISTITEM record, ordinal 240 called with both, and the
// messages the Today screen sends. The item's code is linked into the test, so its records can
// be read and its skin and list set up directly.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testdevice.h"
#include "windows.h"

#include "alarmlist.h"
#include "plugin.h"
#include "regnames.h"
#include "regutil.h"
#include "settings.h"
#include "skin.h"

namespace itemtest {

// What the host window and the stand-in zvHost window received.
struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received>& received();

class ItemHost : public ::testing::Test {
protected:
    explicit ItemHost(const char* profile = "qvga") : device(profile) {}
    void SetUp() override;
    void TearDown() override;

    // Calls ordinal 240 as the Today screen does.
    HWND initialize();
    // Dispatches what is queued and due.
    void pump();
    // Moves the frozen device clock on and dispatches what became due.
    void advanceMs(int64_t ms);
    // The item's log so far.
    std::string log();
    // How many lines of the log contain text.
    int logCount(const std::string& text);
    // A product setting straight from the registry; false when the value is missing.
    bool regDword(LPCWSTR name, DWORD* value);
    void setRegDword(LPCWSTR name, DWORD value);
    void deleteReg(LPCWSTR name);
    // Makes a skin with a text window from y 20 to 100 (extra1 30), todayHeight 120 and
    // lineHeight 12 the loaded one.
    void useTestSkin();

    cetest::TempDevice device;
    HWND today = nullptr;
    TODAYLISTITEM item = {};
    SkinDef skin = {};
};

} // namespace itemtest
