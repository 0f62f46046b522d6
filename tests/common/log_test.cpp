// log_test.cpp: writeLog and the per-program log rules: the 50000-byte cap, the gates of zvHost
// and zvWakeup, the time stamp, which file each program writes, and that the text goes into the
// file byte for byte.
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "commontest.h"
#include "log.h"
#include "regnames.h"

using namespace commontest;

namespace {

const char* const kFolder = "\\Program Files\\Zolvane";

class LogTest : public CommonTest {
protected:
    void SetUp() override {
        CommonTest::SetUp();
        makeFolder(kFolder);
        // 7 December, 05:40:06 device time (the device's zone is UTC).
        device.freezeAt("2027-12-07T05:40:06Z");
    }
    std::string logFile(const std::string& name) {
        return readFile(hostPath(std::string(kFolder) + "\\" + name));
    }
};

const std::string kStamp = "07.12,05:40:06 - ";

} // namespace

// A line is the stamp "DD.MM,hh:mm:ss - " of local time, the text, then CR LF.
TEST_F(LogTest, LineHasDayMonthTimeStampAndCrLf) {
    setLogFolder(u"\\Program Files\\Zolvane");
    EXPECT_EQ(1, writeLog("first"));
    EXPECT_EQ(kStamp + "first\r\n", logFile("Zolvane.log"));

    device.freezeAt("2028-03-01T09:05:03Z");
    EXPECT_EQ(1, writeLog("second"));
    EXPECT_EQ(kStamp + "first\r\n01.03,09:05:03 - second\r\n", logFile("Zolvane.log"));
}

// The text is data, not a format: '%' and 8-bit bytes go into the file unchanged.
TEST_F(LogTest, TextIsWrittenByteForByte) {
    setLogFolder(u"\\Program Files\\Zolvane");
    const std::string text = "100% %s %d %S caf\xE9 \x80\xFF";
    EXPECT_EQ(1, writeLog(text.c_str()));
    EXPECT_EQ(kStamp + text + "\r\n", logFile("Zolvane.log"));
    EXPECT_EQ(0, writeLog(nullptr));
}

// A log of exactly 50000 bytes is appended to; one of 50001 bytes is replaced by a file that
// holds only the new line.
TEST_F(LogTest, CapReplacesFileOnlyAbove50000Bytes) {
    setLogFolder(u"\\Program Files\\Zolvane");
    const auto path = hostPath(std::string(kFolder) + "\\Zolvane.log");

    const std::string exact(50000, 'a');
    writeFile(path, exact);
    EXPECT_EQ(1, writeLog("kept"));
    EXPECT_EQ(exact + kStamp + "kept\r\n", readFile(path));

    const std::string over(50001, 'b');
    writeFile(path, over);
    EXPECT_EQ(1, writeLog("fresh"));
    EXPECT_EQ(kStamp + "fresh\r\n", readFile(path));
}

// The plug-in and the settings program log nothing without an install folder.
TEST_F(LogTest, PluginWithoutFolderWritesNothing) {
    setLogProgram(LOG_PLUGIN);
    EXPECT_EQ(0, writeLog("** lost **"));
    setLogProgram(LOG_SETTINGS);
    EXPECT_EQ(0, writeLog("** lost **"));
    EXPECT_FALSE(std::filesystem::exists(hostPath(std::string(kFolder) + "\\Zolvane.log")));
}

// The settings program shares the plug-in's file; zvNotes has its own.
TEST_F(LogTest, ProgramsWriteTheirOwnFiles) {
    setLogFolder(u"\\Program Files\\Zolvane");
    setLogProgram(LOG_SETTINGS);
    EXPECT_EQ(1, writeLog("from settings"));
    setLogProgram(LOG_NOTES);
    EXPECT_EQ(1, writeLog("from notes"));
    setLogProgram(LOG_CLEANUP);
    EXPECT_EQ(1, writeLog("from cleanup"));
    EXPECT_EQ(kStamp + "from settings\r\n", logFile("Zolvane.log"));
    EXPECT_EQ(kStamp + "from notes\r\n", logFile("Zolvane_AN.log"));
    EXPECT_EQ(kStamp + "from cleanup\r\n", logFile("zvWakeup.log"));
}

// zvWakeup writes only when loggingOption is not 0, except texts that begin with '*'; zvCleanup
// shares its file and writes every line.
TEST_F(LogTest, WakeupGateLetsStarLinesThrough) {
    setLogProgram(LOG_WAKEUP);
    setLogOption(0);
    EXPECT_EQ(0, writeLog("plain"));
    EXPECT_EQ(1, writeLog("** failed **"));
    setLogProgram(LOG_CLEANUP);
    EXPECT_EQ(1, writeLog("cleanup plain"));
    setLogProgram(LOG_WAKEUP);
    setLogOption(LOG_SIGNAL);
    EXPECT_EQ(1, writeLog("plain again"));
    EXPECT_EQ(kStamp + "** failed **\r\n" + kStamp + "cleanup plain\r\n" + kStamp +
                  "plain again\r\n",
              logFile("zvWakeup.log"));
}

// zvHost gates like zvWakeup and falls back to "\Program Files\Zolvane\zvHost.log" when its
// folder is empty.
TEST_F(LogTest, HostGateAndDefaultFolder) {
    setLogProgram(LOG_HOST);
    setLogOption(0);
    EXPECT_EQ(0, writeLog("plain"));
    EXPECT_EQ(1, writeLog("*star"));
    EXPECT_EQ(kStamp + "*star\r\n", logFile("zvHost.log"));

    makeFolder("\\Host");
    setLogFolder(u"\\Host");
    setLogOption(LOG_BASIC);
    EXPECT_EQ(1, writeLog("moved"));
    EXPECT_EQ(kStamp + "moved\r\n", readFile(hostPath("\\Host\\zvHost.log")));
}

// zvWakeup looks its folder up for every line, so a changed InstallDir counts at once.
TEST_F(LogTest, WakeupFollowsInstallDirPerLine) {
    setLogProgram(LOG_CLEANUP);
    EXPECT_EQ(1, writeLog("default folder"));
    makeFolder("\\Storage Card\\ZV");
    regSetString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_INSTALLDIR, u"\\Storage Card\\ZV");
    EXPECT_EQ(1, writeLog("card folder"));
    EXPECT_EQ(kStamp + "default folder\r\n", logFile("zvWakeup.log"));
    EXPECT_EQ(kStamp + "card folder\r\n", readFile(hostPath("\\Storage Card\\ZV\\zvWakeup.log")));
}

// A folder that cannot hold the file: the line is dropped, nothing crashes.
TEST_F(LogTest, MissingFolderDropsTheLine) {
    setLogFolder(u"\\No Such Folder");
    EXPECT_EQ(0, writeLog("dropped"));
}

// zvWakeup's log is capped too, later than the plug-in's (the implementation's choice).
TEST_F(LogTest, LongLogsAreCappedAt200000Bytes) {
    setLogProgram(LOG_WAKEUP);
    setLogOption(LOG_BASIC);
    const auto path = hostPath(std::string(kFolder) + "\\zvWakeup.log");
    writeFile(path, std::string(LOG_SIZE_CAP_LONG, 'w'));
    EXPECT_EQ(1, writeLog("kept"));
    EXPECT_EQ(LOG_SIZE_CAP_LONG + kStamp.size() + 6, std::filesystem::file_size(path));
    EXPECT_EQ(1, writeLog("fresh"));
    EXPECT_EQ(kStamp + "fresh\r\n", readFile(path));
}

// Threads that log at once each get every line in, whole: the file is opened without sharing,
// so without taking turns a line would be lost.
TEST_F(LogTest, ConcurrentThreadsLoseNoLine) {
    setLogFolder(u"\\Program Files\\Zolvane");
    const int perThread = 150;
    auto writer = [&](char tag) {
        for (int i = 0; i < perThread; ++i) {
            std::string text = std::string(1, tag) + " line " + std::to_string(i);
            EXPECT_EQ(1, writeLog(text.c_str()));
        }
    };
    std::thread a(writer, 'A');
    std::thread b(writer, 'B');
    a.join();
    b.join();
    const std::string text = logFile("Zolvane.log");
    int lines = 0;
    size_t pos = 0;
    while ((pos = text.find("\r\n", pos)) != std::string::npos) {
        ++lines;
        pos += 2;
    }
    EXPECT_EQ(2 * perThread, lines);
    EXPECT_NE(std::string::npos, text.find(kStamp + "A line 149\r\n"));
    EXPECT_NE(std::string::npos, text.find(kStamp + "B line 149\r\n"));
}

// writeLogFormat narrows wide texts with %S through the device's Windows conversions.
TEST_F(LogTest, FormatNarrowsWideTextWithCapitalS) {
    setLogFolder(u"\\Program Files\\Zolvane");
    EXPECT_EQ(1, writeLogFormat("Skin: %S, %d", u"F\u00f6hn", 42));
    EXPECT_EQ(kStamp + "Skin: F\xF6hn, 42\r\n", logFile("Zolvane.log"));
}

// zvWakeup and zvCleanup share one file from two processes: a line that finds the file held by
// the other program waits its turn instead of being dropped.
TEST_F(LogTest, TwoProcessesSharingAFileLoseNoLine) {
    const int perProcess = 150;
    auto writeLines = [&](const char* tag) {
        int written = 0;
        for (int i = 0; i < perProcess; ++i) {
            std::string text = std::string(tag) + " " + std::to_string(i);
            written += writeLog(text.c_str());
        }
        return written;
    };
    setLogProgram(LOG_CLEANUP);
    cetest::Child child([&] { return writeLines("cleanup") == perProcess ? 0 : 1; });
    setLogProgram(LOG_WAKEUP);
    setLogOption(LOG_BASIC);
    EXPECT_EQ(perProcess, writeLines("wakeup"));
    EXPECT_EQ(0, child.wait());

    const std::string text = logFile("zvWakeup.log");
    int lines = 0;
    for (size_t pos = 0; (pos = text.find("\r\n", pos)) != std::string::npos; pos += 2)
        ++lines;
    EXPECT_EQ(2 * perProcess, lines);
}
