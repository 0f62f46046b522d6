// x11display.cpp: the device's display record (run/display) and the processes behind it: the
// device's own Xvfb and the desktop program (see x11display.h).
//
// Both processes are started detached (fork twice, new session), so they belong to neither
// cedev nor a test and are reaped by the host's init when they end. Each reports readiness
// through a pipe: Xvfb writes its display number (-displayfd), cedesktop writes the id of the
// desktop window it made.
#include "display/x11display.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "display/x11conn.h"
#include "kernel/device.h"
#include "kernel/stub.h"

namespace ce::display {

namespace fs = std::filesystem;

namespace {

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

std::string trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t\r");
    return std::string(s.substr(b, e - b + 1));
}

bool parseNumber(const std::string& text, uint64_t limit, uint64_t* out) {
    if (text.empty() || text.size() > 20) return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = strtoull(text.c_str(), &end, 0);
    if (errno || *end || text[0] == '-' || v > limit) return false;
    *out = v;
    return true;
}

// Starts argv[0] detached: a new session, stdin from /dev/null, stdout and stderr to log, and
// the descriptor keepFd left open for the readiness report. Returns the pid of the program.
bool spawnDetached(const std::vector<std::string>& args, const fs::path& log, int keepFd, int* pid,
                   std::string* error) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    int pidPipe[2];
    if (logFd < 0 || nullFd < 0 || pipe2(pidPipe, O_CLOEXEC) != 0) {
        if (logFd >= 0) close(logFd);
        if (nullFd >= 0) close(nullFd);
        setError(error, "cannot prepare to start " + args[0] + ": " + strerror(errno));
        return false;
    }
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        setsid();
        pid_t grandchild = fork();
        if (grandchild != 0) {
            int32_t v = grandchild;
            ssize_t n = write(pidPipe[1], &v, sizeof v);
            (void)n;
            _exit(grandchild > 0 ? 0 : 1);
        }
        dup2(nullFd, 0);
        dup2(logFd, 1);
        dup2(logFd, 2);
        if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0); // survive exec
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(logFd);
    close(nullFd);
    close(pidPipe[1]);
    int32_t grandchild = -1;
    bool ok = child > 0 &&
              read(pidPipe[0], &grandchild, sizeof grandchild) ==
                  static_cast<ssize_t>(sizeof grandchild) &&
              grandchild > 0;
    close(pidPipe[0]);
    if (child > 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (!ok) {
        setError(error, "cannot start " + args[0]);
        return false;
    }
    *pid = grandchild;
    return true;
}

// Reads one line from fd within timeoutMs; false on time-out or end of file.
bool readLine(int fd, int timeoutMs, std::string* line) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    line->clear();
    while (line->size() < 256) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        int n = poll(&p, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        char c;
        ssize_t r = read(fd, &c, 1);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        if (c == '\n') return true;
        line->push_back(c);
    }
    return false;
}

std::string lastLines(const fs::path& log) {
    std::ifstream in(log);
    std::string line, all;
    std::vector<std::string> lines;
    while (std::getline(in, line))
        lines.push_back(line);
    size_t from = lines.size() > 3 ? lines.size() - 3 : 0;
    for (size_t i = from; i < lines.size(); ++i)
        all += (all.empty() ? "" : "; ") + lines[i];
    return all;
}

} // namespace

fs::path displayRecordPath() {
    if (!haveDevice()) return {};
    return deviceRunDir() / "display";
}

std::optional<DisplayRecord> parseDisplayRecord(std::string_view text) {
    DisplayRecord r;
    bool haveWindow = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string_view line = text.substr(pos, nl == std::string_view::npos ? nl : nl - pos);
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string key = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));
        uint64_t v = 0;
        if (key == "display") {
            // A display name is host:number[.screen]; nothing else belongs here.
            if (value.empty() || value.size() > 200 || value.find(':') == std::string::npos)
                return std::nullopt;
            r.display = value;
        } else if (key == "xvfb.pid") {
            if (!parseNumber(value, 0x7FFFFFFF, &v)) return std::nullopt;
            r.xvfbPid = static_cast<int>(v);
        } else if (key == "desktop.window") {
            if (!parseNumber(value, 0xFFFFFFFF, &v) || v == 0) return std::nullopt;
            r.desktopWindow = static_cast<uint32_t>(v);
            haveWindow = true;
        } else if (key == "desktop.pid") {
            if (!parseNumber(value, 0x7FFFFFFF, &v)) return std::nullopt;
            r.desktopPid = static_cast<int>(v);
        }
    }
    if (r.display.empty() || !haveWindow) return std::nullopt;
    return r;
}

std::string formatDisplayRecord(const DisplayRecord& record) {
    char window[16];
    snprintf(window, sizeof window, "0x%x", static_cast<unsigned>(record.desktopWindow));
    return "display = " + record.display + "\nxvfb.pid = " + std::to_string(record.xvfbPid) +
           "\ndesktop.window = " + window + "\ndesktop.pid = " + std::to_string(record.desktopPid) +
           "\n";
}

std::optional<DisplayRecord> readDisplayRecord() {
    fs::path path = displayRecordPath();
    if (path.empty()) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return parseDisplayRecord(text);
}

bool writeDisplayRecord(const DisplayRecord& record, std::string* error) {
    fs::path path = displayRecordPath();
    if (path.empty()) {
        setError(error, "no device");
        return false;
    }
    fs::path tmp = path;
    tmp += ".tmp" + std::to_string(getpid());
    std::string text = formatDisplayRecord(record);
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0) ok = fsync(fd) == 0 && ok, close(fd);
    if (!ok || rename(tmp.c_str(), path.c_str()) != 0) {
        setError(error, "cannot write " + path.string() + ": " + strerror(errno));
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

void removeDisplayRecord() {
    fs::path path = displayRecordPath();
    if (!path.empty()) unlink(path.c_str());
}

bool processIsRunning(int pid, std::string_view program) {
    if (pid <= 0) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return false;
    size_t close = text.rfind(')');
    size_t open = text.find('(');
    if (close == std::string::npos || open == std::string::npos || close + 2 >= text.size())
        return false;
    char state = text[close + 2];
    if (state == 'Z' || state == 'X' || state == 'x') return false;
    std::string comm = text.substr(open + 1, close - open - 1);
    return comm.find(program) != std::string::npos;
}

bool startXvfb(int width, int height, std::string* display, int* pid, std::string* error) {
    int side = std::max({width, height, 64});
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        setError(error, "cannot make a pipe");
        return false;
    }
    std::string screen = std::to_string(side) + "x" + std::to_string(side) + "x24";
    std::vector<std::string> args = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                     "-screen",   "0",          screen,
                                     "-nolisten", "tcp",        "-noreset"};
    fs::path log = deviceRunDir() / "xvfb.log";
    bool ok = spawnDetached(args, log, fds[1], pid, error);
    close(fds[1]);
    std::string line;
    if (ok && !readLine(fds[0], 15000, &line)) {
        setError(error, "the X server did not start (" + lastLines(log) + ")");
        endRecordedProcess(*pid, "Xvfb", 500);
        ok = false;
    }
    close(fds[0]);
    if (!ok) return false;
    uint64_t number = 0;
    if (!parseNumber(trim(line), 65535, &number)) {
        setError(error, "the X server reported no display number");
        endRecordedProcess(*pid, "Xvfb", 500);
        return false;
    }
    *display = ":" + std::to_string(number);
    return true;
}

bool startDesktopProgram(const std::string& display, uint32_t* window, int* pid,
                         std::string* error) {
    return startDesktopProgram("cedesktop", {}, display, 15000, window, pid, error);
}

bool startDesktopProgram(const std::string& program, const std::vector<std::string>& extraArgs,
                         const std::string& display, int timeoutMs, uint32_t* window, int* pid,
                         std::string* error) {
    fs::path binary;
    if (!locateBinary(program, StubKind::Program, &binary)) {
        setError(error, program + " is not built");
        return false;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        setError(error, "cannot make a pipe");
        return false;
    }
    std::vector<std::string> args = {binary.string(), "--display", display, "--ready-fd",
                                     std::to_string(fds[1])};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    // cedesktop keeps its historical log name.
    fs::path log = deviceRunDir() / (program == "cedesktop" ? "desktop.log" : program + ".log");
    bool ok = spawnDetached(args, log, fds[1], pid, error);
    close(fds[1]);
    std::string line;
    if (ok && !readLine(fds[0], timeoutMs, &line)) {
        setError(error, program + " did not start (" + lastLines(log) + ")");
        endRecordedProcess(*pid, program, 500);
        ok = false;
    }
    close(fds[0]);
    if (!ok) return false;
    uint64_t id = 0;
    if (!parseNumber(trim(line), 0xFFFFFFFF, &id) || id == 0) {
        setError(error, program + " reported no window");
        endRecordedProcess(*pid, program, 500);
        return false;
    }
    *window = static_cast<uint32_t>(id);
    return true;
}

void endRecordedProcess(int pid, std::string_view program, int graceMs) {
    if (!processIsRunning(pid, program)) return;
    kill(pid, SIGTERM);
    for (int waited = 0; waited < graceMs; waited += 10) {
        if (!processIsRunning(pid, program)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (processIsRunning(pid, program)) kill(pid, SIGKILL);
}

bool displayIsAlive(const DisplayRecord& record) {
    std::string error;
    auto conn = XConnection::open(record.display, &error);
    if (!conn) return false;
    XConnection::Lock lock(*conn);
    XConnection::ErrorTrap trap(*conn);
    XWindowAttributes attrs;
    bool ok = XGetWindowAttributes(conn->display(), record.desktopWindow, &attrs) != 0;
    return !trap.failed() && ok;
}

} // namespace ce::display
