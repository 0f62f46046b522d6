// ui_msgbox_test.cpp: cedev answer, cedev msgbox and cedev ui end to end: a queued answer
// answers `cedev msgbox` without anyone touching the device (which brings up its own
// display); while a box waits, `cedev ui` shows it with its text, and `cedev tap` on its Yes
// button answers it; the answer command's parsing, listing and clearing; ui without a display.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "testdisplay.h"

namespace {

using cetest::runCedev;

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Stops the display a command brought up, also when the test fails.
struct DisplayStopper {
    std::filesystem::path device;
    ~DisplayStopper() { runCedev({"display", "stop"}, nullptr, nullptr, device); }
};

class CedevAnswer : public cetest::DeviceTest {};

// Answers are queued in order, listed as "kind argument" lines and cleared; a malformed
// command is a usage error that queues nothing.
TEST_F(CedevAnswer, QueuesListsAndClears) {
    std::string out, err;
    ASSERT_EQ(0, runCedev({"answer", "menu", "Delete all", "yes", "menu", "12"}, &out, &err,
                          device.dir()))
        << err;
    ASSERT_EQ(0, runCedev({"answer", "dialog", "1001=Wake", "ok"}, &out, &err, device.dir()));
    ASSERT_EQ(0, runCedev({"answer", "--list"}, &out, &err, device.dir()));
    EXPECT_EQ("menu Delete all\nyes\nmenu 12\ndialog 1001=Wake ok\n", out);

    EXPECT_EQ(2, runCedev({"answer", "no", "maybe"}, &out, &err, device.dir()));
    EXPECT_NE(std::string::npos, err.find("maybe")) << err;
    EXPECT_EQ(2, runCedev({"answer", "menu"}, &out, &err, device.dir()));
    EXPECT_EQ(2, runCedev({"answer"}, &out, &err, device.dir()));
    ASSERT_EQ(0, runCedev({"answer", "--list"}, &out, &err, device.dir()));
    EXPECT_EQ(4, std::count(out.begin(), out.end(), '\n')) << out;

    ASSERT_EQ(0, runCedev({"answer", "--clear"}, &out, &err, device.dir()));
    ASSERT_EQ(0, runCedev({"answer", "--list"}, &out, &err, device.dir()));
    EXPECT_EQ("", out);
}

// Without a display, cedev ui says so and fails.
TEST_F(CedevAnswer, UiWithoutDisplayFails) {
    std::string out, err;
    EXPECT_EQ(1, runCedev({"ui"}, &out, &err, device.dir()));
    EXPECT_NE(std::string::npos, err.find("no display")) << err;
    EXPECT_EQ("", out);
}

// `cedev answer no` then `cedev msgbox --yesno T X` prints "no": the box takes the queued
// answer. The device had no display; msgbox brought one up.
TEST_F(CedevAnswer, QueuedNoAnswersMsgbox) {
    DisplayStopper stopper{device.dir()};
    std::string out, err;
    ASSERT_EQ(0, runCedev({"answer", "no"}, &out, &err, device.dir())) << err;
    ASSERT_EQ(0, runCedev({"msgbox", "--yesno", "T", "X"}, &out, &err, device.dir())) << err;
    EXPECT_EQ("no\n", out);
    std::string journal = readFile(device.dir() / "journal.log");
    EXPECT_NE(std::string::npos, journal.find("\"event\":\"msgbox.answered\",\"title\":\"T\","
                                              "\"answer\":\"no\",\"by\":\"automation\""))
        << journal;
    ASSERT_EQ(0, runCedev({"display", "status"}, &out, &err, device.dir()));
    EXPECT_NE(std::string::npos, out.find("running = yes")) << out;
}

class CedevUi : public cetest::DisplayTest {};

struct UiLine {
    long x = 0, y = 0, w = 0, h = 0;
    bool found = false;
};

std::string lineWith(const std::string& ui, const std::string& needle) {
    std::istringstream in(ui);
    std::string line;
    while (std::getline(in, line))
        if (line.find(needle) != std::string::npos) return line;
    return "";
}

// The geometry of the first line of `cedev ui` that holds `needle`.
UiLine findLine(const std::string& ui, const std::string& needle) {
    std::istringstream in(ui);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find(needle) == std::string::npos) continue;
        size_t at = line.find(needle) + needle.size();
        UiLine u;
        if (sscanf(line.c_str() + at, " %ld,%ld %ldx%ld", &u.x, &u.y, &u.w, &u.h) == 4)
            u.found = true;
        return u;
    }
    return {};
}

// While `cedev msgbox` waits, `cedev ui` shows the box (class "Dialog", its caption, in the
// foreground) with its text and buttons; `cedev tap` on Yes makes msgbox print "yes".
TEST_F(CedevUi, UiShowsTheWaitingBoxAndTapAnswersIt) {
    std::filesystem::path result = device.dir() / "msgbox.out";
    std::filesystem::path dir = device.dir();
    cetest::Child box([&] {
        std::string out, err;
        int rc = runCedev({"msgbox", "--yesno", "Question", "Delete it?"}, &out, &err, dir);
        std::ofstream(result) << out << err;
        return rc;
    });
    std::string ui, err;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        ui.clear();
        runCedev({"ui"}, &ui, &err, device.dir());
        // The children are made before the box is shown: wait for the box to be visible.
        if (ui.find("\"Question\" ") != std::string::npos &&
            lineWith(ui, "\"Dialog\" \"Question\"").find(" visible") != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_NE(std::string::npos, ui.find("\"Dialog\" \"Question\"")) << ui;
    EXPECT_NE(std::string::npos, ui.find("\"Delete it?\"")) << ui;
    EXPECT_NE(std::string::npos, ui.find("\"No\"")) << ui;
    EXPECT_NE(std::string::npos,
              lineWith(ui, "\"Dialog\" \"Question\"").find(" visible foreground"))
        << ui;
    UiLine yes = findLine(ui, "\"MsgBoxButton\" \"Yes\"");
    UiLine dialog = findLine(ui, "\"Dialog\" \"Question\"");
    EXPECT_TRUE(yes.found) << ui;
    EXPECT_TRUE(dialog.found) << ui;
    if (!yes.found) {
        // Let the box go (Enter presses its default button) so that the child ends.
        runCedev({"key", "enter"}, nullptr, nullptr, device.dir());
        box.wait();
        return;
    }
    // The button lies inside the box, which lies on the screen.
    EXPECT_GE(yes.x, dialog.x);
    EXPECT_LE(yes.y + yes.h, dialog.y + dialog.h);
    EXPECT_LE(dialog.x + dialog.w, 240);

    EXPECT_EQ(
        0, runCedev({"tap", std::to_string(yes.x + yes.w / 2), std::to_string(yes.y + yes.h / 2)},
                    nullptr, &err, device.dir()))
        << err;
    EXPECT_EQ(0, box.wait());
    EXPECT_EQ("yes\n", readFile(result));
    std::string journal = readFile(device.dir() / "journal.log");
    EXPECT_NE(std::string::npos, journal.find("\"answer\":\"yes\",\"by\":\"user\"")) << journal;
}

} // namespace
