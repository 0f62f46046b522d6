// test_echo.cpp: a device program the process tests start. It writes the command line its
// WinMain received, as raw UTF-16, to \Temp\echo.out, and what it learnt about its own start to
// \Temp\echo.info (UTF-8 "key=value" lines); then it does what its command line asks:
//   exit:N          return N from WinMain
//   exitprocess:N   end with ExitProcess(N)
//   wait            wait until it is killed
//   spawn:NAME ARGS start the device program NAME with command line ARGS, wait for it and
//                   return its exit code
// Anything else returns 0. The files go straight to the device folder with POSIX calls, so the
// test does not depend on the device's file API.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "kernel/process.h"
#include "kernel/strings.h"

namespace {

std::string tempFile(const char* name) {
    const char* device = getenv("CEDEVICE");
    return std::string(device ? device : ".") + "/fs/Temp/" + name;
}

void writeFile(const std::string& path, const void* data, size_t size) {
    if (FILE* f = fopen(path.c_str(), "wb")) {
        fwrite(data, 1, size, f);
        fclose(f);
    }
}

bool startsWith(const std::u16string& s, const char16_t* prefix) {
    return s.rfind(prefix, 0) == 0;
}

int numberAfter(const std::u16string& s, size_t pos) {
    return static_cast<int>(strtoul(ce::toUtf8(s.substr(pos)).c_str(), nullptr, 10));
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
    std::u16string cmd(lpCmdLine);
    writeFile(tempFile("echo.out"), cmd.data(), cmd.size() * sizeof(char16_t));

    WCHAR path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::string info = "module=" + ce::toUtf8(path) + "\n";
    info += std::string("instance=") +
            (hInstance == GetModuleHandleW(nullptr) ? "program" : "other") + "\n";
    info += std::string("previous=") + (hPrevInstance ? "set" : "null") + "\n";
    info += "show=" + std::to_string(nCmdShow) + "\n";
    info += "entry=" + ce::programEntry() + "\n";
    info += "pid=" + std::to_string(GetCurrentProcessId()) + "\n";
    writeFile(tempFile("echo.info"), info.data(), info.size());

    if (startsWith(cmd, u"exit:")) return numberAfter(cmd, 5);
    if (startsWith(cmd, u"exitprocess:")) ExitProcess(static_cast<UINT>(numberAfter(cmd, 12)));
    if (cmd == u"wait") {
        for (;;)
            pause();
    }
    if (startsWith(cmd, u"spawn:")) {
        size_t blank = cmd.find(u' ');
        std::u16string name = cmd.substr(6, blank == std::u16string::npos ? blank : blank - 6);
        std::u16string args = blank == std::u16string::npos ? u"" : cmd.substr(blank + 1);
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(name.c_str(), args.c_str(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, nullptr, &pi))
            return 1000 + static_cast<int>(GetLastError());
        ce::waitForProcessExit(pi.hProcess, 30000);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        return static_cast<int>(code);
    }
    return 0;
}
