// process_test.cpp: starting device programs with CreateProcessW and watching them end: the
// command line as WinMain receives it, how a program is found, the errors of a failed start,
// exit codes, TerminateProcess, OpenProcess from another process, and the journal line of a
// start. The started program is test_echo (tests/programs), which reports what it received.
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "kernel/device.h"
#include "kernel/process.h"
#include "kernel/strings.h"
#include "kernel/stub.h"
#include "testdevice.h"
#include "windows.h"

namespace {

using cetest::DeviceTest;

constexpr DWORD kPoison = 0xdeadbeef;
constexpr DWORD kWaitMs = 20000;

class ProcessTest : public DeviceTest {
protected:
    void SetUp() override {
        ASSERT_EQ(ce::writeProgramStub(u"\\Windows\\TestEcho.exe", "test_echo"), ERROR_SUCCESS);
    }

    // Starts a program; fails the test when it does not start.
    PROCESS_INFORMATION start(const char16_t* image, const char16_t* cmdline) {
        PROCESS_INFORMATION pi;
        memset(&pi, 0xde, sizeof pi);
        SetLastError(kPoison);
        BOOL ok = CreateProcessW(image, cmdline, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 nullptr, &pi);
        EXPECT_TRUE(ok) << "CreateProcessW failed with " << GetLastError();
        if (!ok) memset(&pi, 0, sizeof pi);
        return pi;
    }

    // Waits for the process to end and returns its exit code; closes both handles.
    DWORD finish(PROCESS_INFORMATION& pi) {
        EXPECT_EQ(WaitForSingleObject(pi.hProcess, kWaitMs), WAIT_OBJECT_0);
        DWORD code = kPoison;
        EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
        EXPECT_TRUE(CloseHandle(pi.hThread));
        EXPECT_TRUE(CloseHandle(pi.hProcess));
        return code;
    }

    std::string readTemp(const char* name) {
        std::ifstream in(device.fs() / "Temp" / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::u16string echoed() {
        std::string bytes = readTemp("echo.out");
        std::u16string text(bytes.size() / 2, u'\0');
        memcpy(text.data(), bytes.data(), text.size() * 2);
        return text;
    }

    std::string info(const std::string& key) {
        std::string all = readTemp("echo.info");
        size_t at = all.find(key + "=");
        if (at == std::string::npos) return "(missing)";
        size_t end = all.find('\n', at);
        return all.substr(at + key.size() + 1, end - at - key.size() - 1);
    }

    std::vector<std::string> journal() {
        std::ifstream in(device.dir() / "journal.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
};

// The command line reaches WinMain exactly as passed: CreateProcessW hands the program one
// string, which the device never splits, unquotes or trims.
TEST_F(ProcessTest, CommandLineArrivesUnchangedInWinMain) {
    const std::u16string cmdlines[] = {
        u"  two  blanks \"quoted arg\" back\\slash\\\\ \\\"escaped\\\" \u00a7 \"unbalanced ",
        u"\tC:\\Program Files\\x.exe /q \"\" '' %PATH% $HOME `id` ;|&<> \u00e9\u4e2d\U0001F600",
        std::u16string(u"lone surrogate \xD800 and \xDFFF kept") + u"\r\nsecond line",
        std::u16string(4000, u'\u00a7'),
    };
    for (const auto& cmd : cmdlines) {
        PROCESS_INFORMATION pi = start(u"\\Windows\\TestEcho.exe", cmd.c_str());
        ASSERT_EQ(finish(pi), 0u);
        EXPECT_EQ(echoed(), cmd) << ce::toUtf8(cmd);
    }
    // No command line, or an empty one, is an empty string for WinMain.
    PROCESS_INFORMATION pi = start(u"\\Windows\\TestEcho.exe", nullptr);
    ASSERT_EQ(finish(pi), 0u);
    EXPECT_EQ(echoed(), u"");
}

// WinMain gets the program's own module handle, no previous instance and SW_SHOW; the
// program's file name is its device path, with the case the file system has.
TEST_F(ProcessTest, WinMainGetsTheInstanceAndTheProgramPath) {
    PROCESS_INFORMATION pi = start(u"\\windows\\TESTECHO.exe", u"x");
    DWORD pid = pi.dwProcessId;
    ASSERT_EQ(finish(pi), 0u);
    EXPECT_EQ(info("module"), "\\Windows\\TestEcho.exe");
    EXPECT_EQ(info("instance"), "program");
    EXPECT_EQ(info("previous"), "null");
    EXPECT_EQ(info("show"), "5");
    EXPECT_EQ(info("entry"), "");
    EXPECT_EQ(info("pid"), std::to_string(pid));
}

// A bare name is searched in \Windows, then in the root, without regard to case; ".exe" is
// added when the name has no extension, and a trailing period means "no extension".
TEST_F(ProcessTest, BareNameIsFoundInWindowsWithoutCase) {
    for (const char16_t* name : {u"testecho", u"TESTECHO.EXE", u"TestEcho.exe"}) {
        PROCESS_INFORMATION pi = start(name, u"exit:3");
        EXPECT_EQ(finish(pi), 3u) << ce::toUtf8(name);
        EXPECT_EQ(info("module"), "\\Windows\\TestEcho.exe");
    }
    ASSERT_EQ(ce::writeProgramStub(u"\\RootEcho", "test_echo"), ERROR_SUCCESS);
    PROCESS_INFORMATION pi = start(u"rootecho.", u"exit:4");
    EXPECT_EQ(finish(pi), 4u);
    EXPECT_EQ(info("module"), "\\RootEcho");
    // A path is taken as it is: no ".exe" is added to it.
    SetLastError(kPoison);
    EXPECT_FALSE(CreateProcessW(u"\\Windows\\TestEcho", u"", nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

// A failed start sets the documented error and leaves PROCESS_INFORMATION alone.
TEST_F(ProcessTest, FailedStartsReportTheirError) {
    std::ofstream(device.fs() / "Windows" / "notes.txt") << "just text\n";
    std::ofstream(device.fs() / "Windows" / "fake.exe") << "MZ\x90\n";
    ASSERT_EQ(ce::writeLibraryStub(u"\\Windows\\Lib.dll", "libtest_plugin.so"), ERROR_SUCCESS);
    ASSERT_EQ(ce::writeProgramStub(u"\\Windows\\Unbuilt.exe", "no_such_binary"), ERROR_SUCCESS);
    struct Case {
        const char16_t* image;
        DWORD error;
    } cases[] = {
        {u"nosuch", ERROR_FILE_NOT_FOUND},
        {u"nosuch.exe", ERROR_FILE_NOT_FOUND},
        {u"\\Windows\\nosuch.exe", ERROR_FILE_NOT_FOUND},
        {u"\\NoFolder\\TestEcho.exe", ERROR_PATH_NOT_FOUND},
        {u"\\Windows\\notes.txt", ERROR_BAD_EXE_FORMAT},
        {u"fake", ERROR_BAD_EXE_FORMAT},
        {u"\\Windows\\Lib.dll", ERROR_BAD_EXE_FORMAT},
        {u"unbuilt", ERROR_FILE_NOT_FOUND},
        {u"\\Windows", ERROR_ACCESS_DENIED},
        {u"", ERROR_INVALID_PARAMETER},
        {nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        PROCESS_INFORMATION pi{ULongToHandle(kPoison), ULongToHandle(kPoison), kPoison, kPoison};
        SetLastError(kPoison);
        EXPECT_FALSE(CreateProcessW(c.image, u"", nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                    nullptr, &pi))
            << (c.image ? ce::toUtf8(c.image) : "(null)");
        EXPECT_EQ(GetLastError(), c.error) << (c.image ? ce::toUtf8(c.image) : "(null)");
        EXPECT_EQ(pi.dwProcessId, kPoison);
        EXPECT_EQ(HandleToULong(pi.hProcess), kPoison);
    }
    // The longest command line passes; a longer one is refused rather than cut.
    std::u16string longest(ce::kMaxCommandLine, u'x');
    PROCESS_INFORMATION ok = start(u"testecho", longest.c_str());
    EXPECT_EQ(finish(ok), 0u);
    EXPECT_EQ(echoed().size(), ce::kMaxCommandLine);
    std::u16string tooLong(ce::kMaxCommandLine + 1, u'x');
    SetLastError(kPoison);
    EXPECT_FALSE(CreateProcessW(u"testecho", tooLong.c_str(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    // A path that would leave the device folder is a bad name, never a host file.
    SetLastError(kPoison);
    EXPECT_FALSE(CreateProcessW(u"\\..\\..\\bin\\sh", u"", nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME);
}

// Exit codes are 32-bit on the device: a code beyond the host's 8-bit wait status still
// arrives whole, whether WinMain returns it or ExitProcess ends the program.
TEST_F(ProcessTest, ExitCodesArriveWhole) {
    struct Case {
        const char16_t* cmdline;
        DWORD code;
    } cases[] = {{u"exit:0", 0},
                 {u"exit:42", 42},
                 {u"exit:305419896", 0x12345678},
                 {u"exitprocess:7", 7},
                 {u"exitprocess:4294967295", 0xFFFFFFFF}};
    for (const auto& c : cases) {
        PROCESS_INFORMATION pi = start(u"testecho", c.cmdline);
        EXPECT_EQ(finish(pi), c.code) << ce::toUtf8(c.cmdline);
    }
}

// A running process is STILL_ACTIVE and unsignalled; TerminateProcess ends it with the code
// it was given, and a second TerminateProcess fails because the process is gone. The primary
// thread's handle is signalled with the process.
TEST_F(ProcessTest, TerminateProcessEndsARunningProgram) {
    PROCESS_INFORMATION pi = start(u"testecho", u"wait");
    DWORD code = kPoison;
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(pi.hThread, 0), (DWORD)WAIT_TIMEOUT);

    EXPECT_TRUE(TerminateProcess(pi.hProcess, 99));
    EXPECT_EQ(WaitForSingleObject(pi.hThread, kWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, kWaitMs), WAIT_OBJECT_0);
    code = kPoison;
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 99u);
    SetLastError(kPoison);
    EXPECT_FALSE(TerminateProcess(pi.hProcess, 5));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 99u);
    EXPECT_TRUE(CloseHandle(pi.hThread));
    EXPECT_TRUE(CloseHandle(pi.hProcess));

    SetLastError(kPoison);
    EXPECT_FALSE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    SetLastError(kPoison);
    EXPECT_FALSE(TerminateProcess(pi.hProcess, 1));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

// Another process of the device opens a program by its id, sees it running, terminates it and
// reads the exit code it gave; the process that started it reads the same code.
TEST_F(ProcessTest, OpenProcessFromAnotherProcess) {
    PROCESS_INFORMATION pi = start(u"testecho", u"wait");
    DWORD pid = pi.dwProcessId;
    int status = cetest::runInChild([pid] {
        HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
        if (!h) return 10;
        DWORD code = kPoison;
        if (!GetExitCodeProcess(h, &code) || code != STILL_ACTIVE) return 11;
        if (WaitForSingleObject(h, 0) != WAIT_TIMEOUT) return 12;
        if (!TerminateProcess(h, 55)) return 13;
        if (WaitForSingleObject(h, kWaitMs) != WAIT_OBJECT_0) return 14;
        if (!GetExitCodeProcess(h, &code) || code != 55) return 15;
        CloseHandle(h);
        return 0;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(finish(pi), 55u);
}

// OpenProcess knows only the processes of this device.
TEST_F(ProcessTest, OpenProcessRefusesOtherNumbers) {
    for (DWORD pid : {0u, 1u, 0x7FFFFFF0u, 0xFFFFFFFFu}) {
        SetLastError(kPoison);
        EXPECT_EQ(OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid), nullptr) << pid;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER) << pid;
    }
    // A host process that is not part of the device.
    pid_t other = fork();
    if (other == 0) {
        unsetenv("CEDEVICE");
        execl("/bin/sleep", "sleep", "30", nullptr);
        _exit(1);
    }
    usleep(100 * 1000); // let it exec, so its environment is sleep's own
    SetLastError(kPoison);
    EXPECT_EQ(OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(other)), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
}

// This process: its id, the pseudo-handle that needs no closing, and a real handle to itself.
TEST_F(ProcessTest, CurrentProcess) {
    EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
    DWORD code = kPoison;
    ASSERT_TRUE(GetExitCodeProcess(GetCurrentProcess(), &code));
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    HANDLE self = OpenProcess(PROCESS_ALL_ACCESS, FALSE, GetCurrentProcessId());
    ASSERT_NE(self, nullptr);
    code = kPoison;
    ASSERT_TRUE(GetExitCodeProcess(self, &code));
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    EXPECT_TRUE(CloseHandle(self));
    // Ending oneself through the pseudo-handle records the code like ExitProcess.
    EXPECT_EQ(cetest::runInChild([] {
                  TerminateProcess(GetCurrentProcess(), 23);
                  return 1;
              }),
              23);
}

// Every start writes one "process.start" line from the started program itself, with its
// device path and its command line in UTF-8, also when a device program starts another one.
TEST_F(ProcessTest, EveryStartIsJournaled) {
    PROCESS_INFORMATION pi = start(u"testecho", u"spawn:TESTECHO exit:9 \u00a7\"q\"");
    DWORD child = pi.dwProcessId;
    EXPECT_EQ(finish(pi), 9u);
    std::vector<std::string> starts;
    for (const auto& line : journal())
        if (line.find("\"event\":\"process.start\"") != std::string::npos) starts.push_back(line);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_NE(starts[0].find("\"pid\":" + std::to_string(child) + ","), std::string::npos)
        << starts[0];
    EXPECT_NE(starts[0].find("\"program\":\"\\\\Windows\\\\TestEcho.exe\""), std::string::npos)
        << starts[0];
    EXPECT_NE(starts[0].find("\"cmdline\":\"spawn:TESTECHO exit:9 \xC2\xA7\\\"q\\\"\""),
              std::string::npos)
        << starts[0];
    EXPECT_NE(starts[0].find("\"parent\":" + std::to_string(getpid())), std::string::npos)
        << starts[0];
    EXPECT_NE(starts[1].find("\"cmdline\":\"exit:9 \xC2\xA7\\\"q\\\"\""), std::string::npos)
        << starts[1];
    EXPECT_NE(starts[1].find("\"parent\":" + std::to_string(child)), std::string::npos)
        << starts[1];
}

// A multi-call binary learns which of its programs was started from the stub's entry.
TEST_F(ProcessTest, StubEntryReachesAMultiCallBinary) {
    ASSERT_EQ(ce::writeProgramStub(u"\\Windows\\calendar.exe", "test_echo", "calendar"),
              ERROR_SUCCESS);
    PROCESS_INFORMATION pi = start(u"calendar.exe", u"-today");
    EXPECT_EQ(finish(pi), 0u);
    EXPECT_EQ(info("entry"), "calendar");
    EXPECT_EQ(info("module"), "\\Windows\\calendar.exe");
    EXPECT_EQ(echoed(), u"-today");
}

// The record of an ended process keeps its full exit code for every process of the device.
TEST_F(ProcessTest, ProcessRecordKeepsTheExitCode) {
    PROCESS_INFORMATION pi = start(u"testecho", u"exit:70000");
    int pid = static_cast<int>(pi.dwProcessId);
    EXPECT_EQ(finish(pi), 70000u);
    uint64_t startTime = 0;
    std::u16string program;
    bool exited = false;
    DWORD code = kPoison;
    ASSERT_TRUE(ce::readProcessRecord(pid, &startTime, &program, &exited, &code));
    EXPECT_NE(startTime, 0u);
    EXPECT_EQ(program, u"\\Windows\\TestEcho.exe");
    EXPECT_TRUE(exited);
    EXPECT_EQ(code, 70000u);
}

TEST(ProcessCommandLine, EncodingIsLosslessAndStrict) {
    std::u16string all;
    for (char32_t c = 0; c < 0x10000; c += 7)
        all.push_back(static_cast<char16_t>(c));
    std::u16string back = u"poison";
    ASSERT_TRUE(ce::decodeCommandLine(ce::encodeCommandLine(all), &back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(ce::encodeCommandLine(u"A\u00a7"), "004100a7");
    ASSERT_TRUE(ce::decodeCommandLine("", &back));
    EXPECT_EQ(back, u"");
    for (const char* bad : {"004", "00g1", "0041 ", "-041", "0x41"}) {
        back = u"kept";
        EXPECT_FALSE(ce::decodeCommandLine(bad, &back)) << bad;
        EXPECT_EQ(back, u"kept") << bad;
    }
}

} // namespace
