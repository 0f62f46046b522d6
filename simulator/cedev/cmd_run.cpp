// cmd_run.cpp: cedev run, which starts a device program as the shell would, and cedev stub,
// which writes the stub file that makes a built binary a program or library of the device.
#include <cstdio>

#include "cedev.h"
#include "kernel/process.h"
#include "kernel/strings.h"
#include "kernel/stub.h"
#include "windows.h"

namespace cedev {

namespace {

// The name of a Win32 error the start of a program can end with, for people reading stderr.
const char* errorName(DWORD err) {
    switch (err) {
    case ERROR_FILE_NOT_FOUND: return "no such program";
    case ERROR_PATH_NOT_FOUND: return "no such folder";
    case ERROR_BAD_EXE_FORMAT: return "not a program";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_INVALID_NAME: return "bad name";
    case ERROR_INVALID_PARAMETER: return "bad parameter";
    case ERROR_FILENAME_EXCED_RANGE: return "name too long";
    default: return "error";
    }
}

bool endsWithNoCase(const std::string& s, const std::string& suffix) {
    if (s.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char c = s[s.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

} // namespace

int cmdRun(const Args& args) {
    const char* usageText = "usage: cedev run [--wait] [--cmdline STRING] PROGRAM [ARGS...]";
    bool wait = false, exact = false;
    std::string commandLine;
    size_t i = 0;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        if (args[i] == "--wait") {
            wait = true;
        } else if (args[i] == "--cmdline" && i + 1 < args.size()) {
            exact = true;
            commandLine = args[++i];
        } else if (args[i] == "--") {
            ++i;
            break;
        } else {
            return usage(usageText);
        }
    }
    if (i >= args.size()) return usage(usageText);
    std::string program = args[i++];
    if (exact && i < args.size()) return usage("run: give ARGS or --cmdline, not both");
    // As the shell does: the words after the program, joined by single blanks.
    for (size_t first = i; i < args.size(); ++i) {
        if (i > first) commandLine += ' ';
        commandLine += args[i];
    }
    if (!needDevice()) return 1;
    std::u16string image = ce::fromUtf8(program), line = ce::fromUtf8(commandLine);
    PROCESS_INFORMATION pi{};
    SetLastError(0);
    if (!CreateProcessW(image.c_str(), line.c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        nullptr, &pi)) {
        DWORD err = GetLastError();
        return fail("run: cannot start " + program + ": " + errorName(err) + " (" +
                    std::to_string(err) + ")");
    }
    printf("%u\n", static_cast<unsigned>(pi.dwProcessId));
    fflush(stdout);
    CloseHandle(pi.hThread);
    if (!wait) {
        CloseHandle(pi.hProcess);
        return 0;
    }
    ce::waitForProcessExit(pi.hProcess, UINT32_MAX);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    printf("exit %u\n", static_cast<unsigned>(code));
    return static_cast<int>(code & 0xFF);
}

int cmdStub(const Args& args) {
    if (args.size() < 2 || args.size() > 3)
        return usage("usage: cedev stub PROGRAM BINARY [ENTRY]   (PROGRAM.dll: a library)");
    if (!needDevice()) return 1;
    std::u16string path = ce::fromUtf8(args[0]);
    DWORD err;
    if (endsWithNoCase(args[0], ".dll")) {
        if (args.size() == 3) return usage("stub: a library has no entry");
        err = ce::writeLibraryStub(path, args[1]);
    } else {
        err = ce::writeProgramStub(path, args[1], args.size() == 3 ? args[2] : std::string());
    }
    if (err == ERROR_INVALID_PARAMETER)
        return usage("stub: a binary is a plain file name, an entry a short word");
    if (err != ERROR_SUCCESS)
        return fail("stub: cannot write " + args[0] + " (" + std::to_string(err) + ")");
    std::filesystem::path binary;
    if (!ce::locateBinary(args[1],
                          endsWithNoCase(args[0], ".dll") ? ce::StubKind::Library
                                                          : ce::StubKind::Program,
                          &binary))
        fprintf(stderr, "cedev: stub: note: %s is not built yet\n", args[1].c_str());
    return 0;
}

} // namespace cedev
