// today_screen_test.cpp: the shell as a person and cedev meet it: shell start, status and
// stop; the selection moved with the arrow keys (Wine-style sequence of the item messages);
// the watermark an item asks for; an item's options dialog; rotating the screen.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "gdi/png.h"
#include "kernel/device.h"
#include "kernel/strings.h"
#include "shellfixture.h"
#include "windows.h"

namespace {

using cetest::parseHex;
using cetest::wordValue;

class TodayScreen : public cetest::ShellTest {
protected:
    bool screenshot(const std::string& name, ce::Surface* out) {
        std::filesystem::path file = device.dir() / name;
        std::string err;
        EXPECT_EQ(0, cedev({"screenshot", file.string()}, nullptr, &err)) << err;
        std::string error;
        bool ok = ce::readPngFile(file, out, &error);
        EXPECT_TRUE(ok) << error;
        return ok;
    }
    // Waits until `cedev ui` shows a line holding both texts.
    bool waitForUi(const std::string& a, const std::string& b, int timeoutMs = 5000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        do {
            std::string ui;
            cedev({"ui"}, &ui);
            std::istringstream in(ui);
            std::string line;
            while (std::getline(in, line))
                if (line.find(a) != std::string::npos && line.find(b) != std::string::npos)
                    return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }
};

// shell start returns with the record (the shell owns the desktop), a second start finds it
// running, status says so, stop ends the shell and the device's own X server and unloads the
// items (CLEARCACHE, window destroyed, library freed).
TEST_F(TodayScreen, StartStatusStop) {
    addItem("Alpha", 2);
    setItemSetting("Alpha", "Height", 30);
    ASSERT_TRUE(startShell());
    EXPECT_TRUE(ce::display::processIsRunning(record->desktopPid, "ceshell"));
    EXPECT_GT(record->xvfbPid, 0);
    std::string out, err;
    ASSERT_EQ(0, cedev({"shell", "start", "--headless"}, &out, &err)) << err;
    auto again = ce::display::parseDisplayRecord(out);
    ASSERT_TRUE(again.has_value()) << out;
    EXPECT_EQ(record->desktopPid, again->desktopPid);
    EXPECT_EQ(record->desktopWindow, again->desktopWindow);
    EXPECT_EQ(0, cedev({"shell", "status"}, &out, &err));
    EXPECT_NE(std::string::npos, out.find("shell = running\nrunning = yes\n")) << out;

    int shellPid = record->desktopPid, xvfbPid = record->xvfbPid;
    ASSERT_EQ(0, cedev({"shell", "stop"}, &out, &err)) << err;
    record.reset();
    EXPECT_FALSE(ce::display::processIsRunning(shellPid, "ceshell"));
    EXPECT_FALSE(ce::display::processIsRunning(xvfbPid, "Xvfb"));
    EXPECT_EQ(1, cedev({"shell", "status"}, &out, &err));
    EXPECT_EQ("shell = stopped\nrunning = no\n", out);
    auto alpha = itemLog("Alpha ");
    ASSERT_GE(alpha.size(), 2u);
    EXPECT_EQ("Alpha clearcache", alpha[alpha.size() - 2]);
    EXPECT_EQ("Alpha destroy", alpha.back());
    EXPECT_EQ("detach", itemLog().back());
    EXPECT_NE(std::string::npos, journal().find("\"event\":\"shell.stop\""));
}

// A bare display (cedesktop) is taken over: the shell replaces its desktop program on the same
// X server.
TEST_F(TodayScreen, StartTakesOverABareDisplay) {
    std::string out, err;
    ASSERT_EQ(0, cedev({"display", "start"}, &out, &err)) << err;
    auto bare = ce::display::parseDisplayRecord(out);
    ASSERT_TRUE(bare.has_value()) << out;
    bool started = startShell();
    if (!started) {
        ce::display::endRecordedProcess(bare->desktopPid, "cedesktop", 500);
        ce::display::endRecordedProcess(bare->xvfbPid, "Xvfb", 500);
    }
    ASSERT_TRUE(started);
    EXPECT_EQ(bare->display, record->display);
    EXPECT_EQ(bare->xvfbPid, record->xvfbPid);
    EXPECT_NE(bare->desktopPid, record->desktopPid);
    EXPECT_FALSE(ce::display::processIsRunning(bare->desktopPid, "cedesktop"));
}

// The selection moves with the arrow keys: the date item first, then the items; a selected
// item sees each arrow key first (USERNAVIGATION) and keeps it by answering TRUE; FALSE moves
// the selection on, LOSTSELECTION to the old item before RECEIVEDSELECTION (with the key) to
// the new; at the last item nothing moves; Return is the selected item's ACTION. The keys
// themselves stay with the Today screen.
TEST_F(TodayScreen, SelectionAndNavigationSequence) {
    addItem("Alpha", 2);
    addItem("Beta", 3);
    setItemSetting("Alpha", "Height", 30);
    setItemSetting("Alpha", "Navigate", 1);
    setItemSetting("Beta", "Height", 40);
    ASSERT_TRUE(startShell());

    ASSERT_EQ(0, cedev({"key", "down"}));
    ASSERT_EQ(0, cedev({"key", "down"}));
    ASSERT_TRUE(waitForLine("Alpha received 0x28"));
    ASSERT_EQ(0, cedev({"key", "down"}));
    ASSERT_TRUE(waitForLine("Alpha nav 0x28 1"));
    setItemSetting("Alpha", "Navigate", 0);
    ASSERT_EQ(0, cedev({"key", "down"}));
    ASSERT_TRUE(waitForLine("Beta received 0x28"));
    ASSERT_EQ(0, cedev({"key", "down"}));
    ASSERT_TRUE(waitForLine("Beta nav 0x28 0"));
    ASSERT_EQ(0, cedev({"key", "up"}));
    ASSERT_TRUE(waitForLine("Alpha received 0x26"));
    ASSERT_EQ(0, cedev({"key", "enter"}));
    ASSERT_TRUE(waitForLine("Alpha action"));

    static const char* const kExpected[] = {
        "Alpha received 0x28", // VK_DOWN from the date item above
        "Alpha nav 0x28 1",    // kept by the item
        "Alpha nav 0x28 0",    // given back: the selection moves down
        "Alpha lost",          "Beta received 0x28",
        "Beta nav 0x28 0", // nothing below the last item: the selection stays
        "Beta nav 0x26 0",     "Beta lost",
        "Alpha received 0x26", // VK_UP from below
        "Alpha action",
    };
    std::vector<std::string> seen;
    for (const auto& line : itemLog()) {
        std::string what = line.substr(line.find(' ') + 1);
        if (what.rfind("received", 0) == 0 || what.rfind("lost", 0) == 0 ||
            what.rfind("nav", 0) == 0 || what.rfind("action", 0) == 0 || what.rfind("key", 0) == 0)
            seen.push_back(line);
    }
    EXPECT_EQ(std::vector<std::string>(std::begin(kExpected), std::end(kExpected)), seen);
}

// An item that paints only the watermark it asked for (into a memory DC, at an offset) is
// invisible: its pixels are those of the holder's background at the same place, which shows
// once the item is 0 pixels high. The background is not one flat colour, so a watermark drawn
// for the wrong place would show.
TEST_F(TodayScreen, WatermarkMatchesTheHolderBackground) {
    addItem("Alpha", 2);
    setItemSetting("Alpha", "Height", 30);
    ASSERT_TRUE(startShell());
    ASSERT_TRUE(waitForLine("Alpha paint 240 30"));
    ASSERT_TRUE(waitForUi("\"TestTodayItem\"", "0,46 240x30"));
    ce::Surface withItem, without;
    ASSERT_TRUE(screenshot("with.png", &withItem));

    setItemSetting("Alpha", "Height", 0);
    advance(2000);
    ASSERT_TRUE(waitForLine("Alpha size 240 0"));
    ASSERT_TRUE(waitForUi("\"TestTodayItem\"", "240x0"));
    ASSERT_TRUE(screenshot("without.png", &without));
    ASSERT_EQ(240, withItem.width);
    ASSERT_EQ(240, without.width);

    int differing = 0;
    for (int y = 46; y < 76; ++y)
        for (int x = 0; x < 240; ++x)
            if (withItem.row(y)[x] != without.row(y)[x]) ++differing;
    EXPECT_EQ(0, differing);
    EXPECT_NE(without.row(46)[0], without.row(46)[239]); // varies across
    EXPECT_NE(without.row(46)[0], without.row(200)[0]);  // and down
}

// cedev today options NAME opens a modeless dialog titled "Today" whose procedure is the
// item's ordinal 241, WM_INITDIALOG first; an item without 241 or an unknown name is an error.
TEST_F(TodayScreen, OptionsOpenWithInitDialogFirst) {
    addItem("Alpha", 2);
    setItemSetting("Alpha", "Height", 30);
    ASSERT_TRUE(startShell());
    std::string out, err;
    ASSERT_EQ(0, cedev({"today", "options", "alpha"}, &out, &err)) << err; // names fold case
    auto options = itemLog("options ");
    ASSERT_FALSE(options.empty());
    EXPECT_EQ("options 0x110", options.front());
    auto found = probe([](Findings& f) {
        HWND dlg = FindWindowW(u"Dialog", u"Today");
        f["dialog"] = dlg ? "yes" : "no";
        f["visible"] = std::to_string(IsWindowVisible(dlg));
    });
    EXPECT_EQ("yes", found["dialog"]);
    EXPECT_EQ("1", found["visible"]);

    EXPECT_EQ(1, cedev({"today", "options", "Date"}, &out, &err));
    EXPECT_NE(std::string::npos, err.find("has no options")) << err;
    EXPECT_EQ(1, cedev({"today", "options", "Nobody"}, &out, &err));
    EXPECT_NE(std::string::npos, err.find("no item")) << err;
    EXPECT_EQ(2, cedev({"today", "options"}, &out, &err));
}

// cedev rotate turns the profile and the screen: the desktop window takes the new size, the
// bars and the Today screen follow, the items get WM_SIZE, and another program's top-level
// window hears WM_SETTINGCHANGE. Rotating back restores the portrait profile.
TEST_F(TodayScreen, RotateResizesAndNotifies) {
    addItem("Alpha", 2);
    setItemSetting("Alpha", "Height", 30);
    ASSERT_TRUE(startShell());
    ASSERT_EQ(0, cedev({"stub", "\\Windows\\testwin.exe", "test_window"}));
    std::string out, err;
    ASSERT_EQ(0, cedev({"run", "testwin.exe", "life=20", "log=win.log"}, &out, &err)) << err;
    std::filesystem::path winLog = device.fs() / "Temp" / "win.log";
    auto winText = [&] {
        std::ifstream in(winLog);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (winText().find("ready ") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_NE(std::string::npos, winText().find("ready ")) << "test_window did not start";

    ASSERT_EQ(0, cedev({"rotate"}, &out, &err)) << err;
    EXPECT_EQ("orientation = landscape\nscreen = 320x240\n", out);
    EXPECT_EQ("qvga-landscape", ce::deviceConf()->profile.name);
    EXPECT_TRUE(waitForLine("Alpha size 320 30"));
    auto found = probe([](Findings& f) {
        RECT r{};
        GetWindowRect(GetDesktopWindow(), &r);
        f["desktop"] = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
        GetWindowRect(FindWindowW(u"TodayScreen", nullptr), &r);
        f["frame"] = std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                     std::to_string(r.right) + "," + std::to_string(r.bottom);
        GetWindowRect(FindWindowW(u"HHTaskBar", nullptr), &r);
        f["bar"] = std::to_string(r.right - r.left);
    });
    EXPECT_EQ("320x240", found["desktop"]);
    EXPECT_EQ("0,26,320,214", found["frame"]);
    EXPECT_EQ("320", found["bar"]);
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (winText().find("top 0x001a ") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_NE(std::string::npos, winText().find("top 0x001a - 0x0 0x0")) << winText();

    ASSERT_EQ(0, cedev({"rotate", "portrait"}, &out, &err)) << err;
    EXPECT_EQ("orientation = portrait\nscreen = 240x320\n", out);
    EXPECT_EQ("qvga", ce::deviceConf()->profile.name);
    EXPECT_TRUE(waitForLine("Alpha size 240 30"));
    EXPECT_EQ(2, cedev({"rotate", "sideways"}, &out, &err));
}

} // namespace
