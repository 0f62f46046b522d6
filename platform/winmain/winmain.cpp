// winmain.cpp: the start-up code of a device program (the static library cewinmain).
//
// A device program defines WinMain, as on the device, and links this library, which supplies
// main(): it sets the process up as a program of the device (device from CEDEVICE, journal
// program, process record, the "process.start" journal line), calls WinMain with the program's
// module handle and the command line exactly as the starting program passed it, and ends the
// process with WinMain's result as its exit code.
#include "kernel/process.h"
#include "windows.h"

namespace {
// WinMain's nCmdShow: programs of the device are started to be shown (SW_SHOW).
constexpr int kShowWindow = 5;
} // namespace

int main(int argc, char** argv) {
    const ce::ProgramStart& start = ce::beginDeviceProgram(argc, argv);
    // WinMain may write into its command line (wcstok and the like), so it gets its own copy.
    std::u16string commandLine = start.commandLine;
    int result = WinMain(GetModuleHandleW(nullptr), nullptr, commandLine.data(), kShowWindow);
    ce::endDeviceProgram(static_cast<DWORD>(result));
}
