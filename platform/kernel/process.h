// process.h: the processes of the device, seen from inside the platform: the start-up and
// exit of a device program, process records under run/proc, and waiting for a process.
//
// CreateProcessW hands a new program what it needs in its environment: CEDEVICE (the device
// folder), CE_PROGRAM (the program's device path, UTF-8), CE_CMDLINE (the command line as
// hexadecimal UTF-16 code units, four digits each, so any text arrives unchanged) and CE_ENTRY
// (the entry of a multi-call binary, when the stub names one). The program's start-up code
// (cewinmain) calls beginDeviceProgram, which takes them over.
//
// Every device process has a record, run/proc/<pid>, of "key value" lines:
//   start <host start time of the process, clock ticks since boot, from /proc/<pid>/stat>
//   program <device path>
//   exit <exit code>          (the first exit line counts)
// The starting process and the started one both create it (whoever comes first); the program
// adds its exit code when it ends, and TerminateProcess adds the code it was given before it
// kills. So another process of the device can tell a process of the device from a reused pid
// and read a full 32-bit exit code, which the host's wait status cannot carry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "windef.h"

namespace ce {

struct ProgramStart {
    std::u16string program;     // device path, "\Windows\zvWakeup.exe"
    std::u16string commandLine; // exactly as passed to CreateProcessW
    std::string entry;          // entry of a multi-call binary, or empty
};

// Sets up a device program: attaches the device from CEDEVICE, names the journal's program,
// decodes the command line, writes the process record and the "process.start" journal line.
// Started without CE_PROGRAM (by hand from a host shell), the program is "\Windows\<name>.exe"
// and the command line is argv[1..] joined by blanks.
const ProgramStart& beginDeviceProgram(int argc, char** argv);
// The start of this program as beginDeviceProgram recorded it (empty before).
const ProgramStart& programStart();
// The entry of a multi-call binary (CE_ENTRY), or empty.
const std::string& programEntry();
// The program's device path: the one it was started as, or "\Windows\<host name>" for a
// process not started as a device program.
std::u16string currentProgramPath();
// Records the exit code, flushes the C library's streams and ends the process at once (the
// other threads end with it, as on the device).
[[noreturn]] void endDeviceProgram(DWORD exitCode);
// Work that must finish before the process ends, whichever way it ends normally
// (endDeviceProgram, ExitProcess, a return from main): a display driver waits there until the
// other programs have taken the data of the messages it posted them. Hooks run once, in the
// order they were added; a hook must be quick and must not end the process itself.
void addExitHook(void (*hook)());
void runExitHooks();

// The command line as the environment carries it, and back. decode fails on anything but
// groups of four hexadecimal digits.
std::string encodeCommandLine(std::u16string_view commandLine);
bool decodeCommandLine(std::string_view hex, std::u16string* out);

// The longest command line CreateProcessW passes on (the host limits one environment string).
constexpr size_t kMaxCommandLine = 32000;

// Waits until the process behind a handle from CreateProcessW or OpenProcess ends, for at most
// timeoutMs host milliseconds (UINT32_MAX: no limit). True when it ended.
bool waitForProcessExit(HANDLE process, uint32_t timeoutMs);

// Process records (see above), exposed for tests.
uint64_t processStartTime(int pid); // 0 when there is no such process
bool readProcessRecord(int pid, uint64_t* startTime, std::u16string* program, bool* exited,
                       DWORD* exitCode);

} // namespace ce
