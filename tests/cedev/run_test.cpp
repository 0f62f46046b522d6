// run_test.cpp: cedev stub and cedev run, driven as a script drives them: a program is made
// known to the device with a stub, started with words or an exact command line, waited for,
// and seen in the journal.
#include <fstream>

#include "testdevice.h"

namespace {

using cetest::runCedev;

class CedevRunTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        std::string out, err;
        ASSERT_EQ(runCedev({"stub", "\\Windows\\Echo.exe", "test_echo"}, &out, &err), 0) << err;
    }

    std::u16string echoed() {
        std::ifstream in(device.fs() / "Temp" / "echo.out", std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::u16string text(bytes.size() / 2, u'\0');
        memcpy(text.data(), bytes.data(), text.size() * 2);
        return text;
    }

    std::string journal() {
        std::ifstream in(device.dir() / "journal.log");
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }
};

// The words after the program become one command line joined by single blanks, as the shell
// passes them; --wait returns the program's exit code and prints the process id first.
TEST_F(CedevRunTest, RunJoinsWordsAndWaits) {
    std::string out, err;
    EXPECT_EQ(runCedev({"run", "--wait", "ECHO", "first", "two words", "\xC2\xA7"}, &out, &err), 0)
        << err;
    EXPECT_EQ(echoed(), u"first two words \u00a7");
    size_t newline = out.find('\n');
    ASSERT_NE(newline, std::string::npos) << out;
    std::string pid = out.substr(0, newline);
    EXPECT_FALSE(pid.empty());
    EXPECT_EQ(pid.find_first_not_of("0123456789"), std::string::npos) << out;
    EXPECT_EQ(out.substr(newline + 1), "exit 0\n");
    std::string log = journal();
    EXPECT_NE(log.find("\"pid\":" + pid +
                       ",\"program\":\"\\\\Windows\\\\Echo.exe\","
                       "\"event\":\"process.start\""),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\"cmdline\":\"first two words \xC2\xA7\""), std::string::npos) << log;

    EXPECT_EQ(runCedev({"run", "--wait", "echo", "exit:300"}, &out, &err), 300 & 0xFF);
    EXPECT_NE(out.find("exit 300\n"), std::string::npos) << out;
}

// --cmdline passes one string exactly, blanks and quotes included.
TEST_F(CedevRunTest, RunWithAnExactCommandLine) {
    std::string out, err;
    ASSERT_EQ(runCedev({"run", "--wait", "--cmdline", "  \"a  b\" \\c\\ ", "\\Windows\\echo.exe"},
                       &out, &err),
              0)
        << err;
    EXPECT_EQ(echoed(), u"  \"a  b\" \\c\\ ");
    ASSERT_EQ(runCedev({"run", "--wait", "--cmdline", "", "echo"}, &out, &err), 0) << err;
    EXPECT_EQ(echoed(), u"");
}

// Without --wait, cedev returns at once while the program goes on.
TEST_F(CedevRunTest, RunWithoutWaitReturnsAtOnce) {
    std::string out, err;
    ASSERT_EQ(runCedev({"run", "echo", "exit:5"}, &out, &err), 0) << err;
    EXPECT_EQ(out.find("exit"), std::string::npos) << out;
    // The program still journals its start, whoever waits for it.
    for (int i = 0; i < 200 && journal().find("\"cmdline\":\"exit:5\"") == std::string::npos; ++i)
        usleep(50 * 1000);
    EXPECT_NE(journal().find("\"cmdline\":\"exit:5\""), std::string::npos);
}

// Failures are reported with a status and a message, never a started program.
TEST_F(CedevRunTest, RunAndStubRefuseBadInput) {
    std::string out, err;
    EXPECT_EQ(runCedev({"run", "nosuch"}, &out, &err), 1);
    EXPECT_NE(err.find("no such program"), std::string::npos) << err;
    EXPECT_EQ(runCedev({"run", "\\Windows\\coredll.dll"}, &out, &err), 1);
    EXPECT_NE(err.find("not a program"), std::string::npos) << err;
    EXPECT_EQ(runCedev({"run"}, &out, &err), 2);
    EXPECT_EQ(runCedev({"run", "--cmdline", "x", "echo", "extra"}, &out, &err), 2);
    EXPECT_EQ(runCedev({"stub", "\\Windows\\Evil.exe", "../../../bin/sh"}, &out, &err), 2);
    EXPECT_EQ(runCedev({"stub", "\\Windows\\Evil.exe", "/bin/sh"}, &out, &err), 2);
    EXPECT_EQ(runCedev({"stub", "\\Windows\\Lib.dll", "libx.so", "entry"}, &out, &err), 2);
    EXPECT_EQ(runCedev({"stub", "\\..\\Evil.exe", "test_echo"}, &out, &err), 1);
    EXPECT_FALSE(std::filesystem::exists(device.fs() / "Windows" / "Evil.exe"));
    EXPECT_FALSE(std::filesystem::exists(device.dir() / "Evil.exe"));
}

} // namespace
