// process.cpp: the device's processes: CreateProcessW and the other process functions, the
// process objects behind their handles, the process records under run/proc, and the start-up
// and exit of a device program (see process.h).
//
// A started program is a child of the starting process. A small detached thread per child
// waits for it with waitpid, records its exit code and wakes every waiter of the device, so a
// WaitForSingleObject on the handle ends at once. A process opened with OpenProcess is not our
// child: its handle holds a pidfd, and waits look at it again every few milliseconds
// (pollIntervalNs). Signals go through the pidfd as well, so a pid the host has meanwhile given
// to another process is never hit.
#include "kernel/process.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "kernel/device.h"
#include "kernel/devpath.h"
#include "kernel/handles.h"
#include "kernel/journal.h"
#include "kernel/strings.h"
#include "kernel/stub.h"
#include "kernel/trace.h"
#include "winbase.h"
#include "winprocess.h"

extern char** environ;

namespace ce {

namespace fs = std::filesystem;

namespace {

// GetCurrentProcess's pseudo-handle: the value the device uses, outside the handle table's
// range (which starts at 0x100), so it never names a real object.
constexpr uint32_t kCurrentProcessPseudo = 0x42;

// Exit codes for a process that died of a signal without anyone recording a code, the status
// values the device reports for the matching faults.
constexpr DWORD kExitAccessViolation = 0xC0000005;
constexpr DWORD kExitIllegalInstruction = 0xC000001D;
constexpr DWORD kExitDivideByZero = 0xC0000094;
constexpr DWORD kExitAbort = 3;
constexpr DWORD kExitKilled = 0xC000013A;

// How often a wait looks again at a process that is not our child.
constexpr int64_t kForeignPollNs = 20'000'000;

// ---- Process records --------------------------------------------------------------------------

fs::path recordFolder() {
    fs::path run = deviceRunDir();
    return run.empty() ? run : run / "proc";
}

fs::path recordPath(int pid) {
    fs::path folder = recordFolder();
    return folder.empty() ? folder : folder / std::to_string(pid);
}

bool readSmallFile(const fs::path& path, size_t limit, std::string* out) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    out->clear();
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out->append(buf, static_cast<size_t>(n));
        if (out->size() >= limit) break;
    }
    close(fd);
    return true;
}

bool appendLine(const fs::path& path, const std::string& text, bool exclusive) {
    int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (exclusive ? O_EXCL : 0);
    int fd = open(path.c_str(), flags, 0644);
    if (fd < 0) return false;
    ssize_t n;
    do {
        n = write(fd, text.data(), text.size());
    } while (n < 0 && errno == EINTR);
    close(fd);
    return n == static_cast<ssize_t>(text.size());
}

struct Record {
    uint64_t start = 0;
    std::u16string program;
    bool exited = false;
    DWORD exitCode = 0;
};

bool parseRecord(const std::string& text, Record* out) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) break; // an unfinished last line is not read
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        size_t sp = line.find(' ');
        if (sp == std::string::npos) continue;
        std::string key = line.substr(0, sp), value = line.substr(sp + 1);
        char* tail = nullptr;
        if (key == "start") {
            unsigned long long v = strtoull(value.c_str(), &tail, 10);
            if (*tail == '\0') out->start = v;
        } else if (key == "program") {
            out->program = fromUtf8(value);
        } else if (key == "exit" && !out->exited) {
            unsigned long long v = strtoull(value.c_str(), &tail, 10);
            if (*tail == '\0' && v <= UINT32_MAX) {
                out->exited = true;
                out->exitCode = static_cast<DWORD>(v);
            }
        }
    }
    return true;
}

bool loadRecord(int pid, Record* out) {
    fs::path path = recordPath(pid);
    std::string text;
    if (path.empty() || !readSmallFile(path, 8192, &text)) return false;
    *out = Record{};
    return parseRecord(text, out);
}

// Creates the record of a process unless it exists for this very process already. A record
// left by an earlier process with the same pid is replaced.
void createRecord(int pid, uint64_t start, const std::u16string& program) {
    fs::path folder = recordFolder();
    if (folder.empty() || start == 0) return;
    mkdir(folder.c_str(), 0755);
    fs::path path = folder / std::to_string(pid);
    std::string text = "start " + std::to_string(start) + "\nprogram " + toUtf8(program) + "\n";
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (appendLine(path, text, true)) return;
        if (errno != EEXIST) return;
        Record old;
        if (loadRecord(pid, &old) && (old.start == start || old.start == 0)) return;
        unlink(path.c_str());
    }
}

// Adds an exit code to a process's record; the first one written is the one that counts.
void recordExit(int pid, uint64_t start, DWORD code) {
    fs::path folder = recordFolder();
    if (folder.empty()) return;
    Record old;
    if (loadRecord(pid, &old) && old.start != 0 && old.start != start) {
        fs::path path = folder / std::to_string(pid);
        unlink(path.c_str());
    }
    mkdir(folder.c_str(), 0755);
    appendLine(folder / std::to_string(pid), "exit " + std::to_string(code) + "\n", false);
}

// True when the process with this pid and start time belongs to the attached device: it has
// a record, or CEDEVICE in its environment names our device folder.
bool isDeviceProcess(int pid, uint64_t start) {
    if (!haveDevice()) return false;
    Record rec;
    if (loadRecord(pid, &rec) && rec.start == start) return true;
    std::string env;
    fs::path proc = "/proc/" + std::to_string(pid);
    if (!readSmallFile(proc / "environ", 1 << 20, &env)) return false;
    size_t pos = 0;
    while (pos < env.size()) {
        size_t end = env.find('\0', pos);
        if (end == std::string::npos) end = env.size();
        std::string_view var(env.data() + pos, end - pos);
        pos = end + 1;
        if (var.substr(0, 9) != "CEDEVICE=") continue;
        fs::path dir(std::string(var.substr(9)));
        std::error_code ec;
        if (dir.is_relative()) dir = fs::read_symlink(proc / "cwd", ec) / dir;
        return !ec && fs::equivalent(dir, deviceDir(), ec) && !ec;
    }
    return false;
}

// ---- Process objects --------------------------------------------------------------------------

int pidfdOpen(int pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

bool pidfdSignal(int pidfd, int sig) {
    return syscall(SYS_pidfd_send_signal, pidfd, sig, nullptr, 0) == 0;
}

DWORD exitCodeOfSignal(int sig) {
    switch (sig) {
    case SIGSEGV:
    case SIGBUS: return kExitAccessViolation;
    case SIGILL: return kExitIllegalInstruction;
    case SIGFPE: return kExitDivideByZero;
    case SIGABRT: return kExitAbort;
    default: return kExitKilled;
    }
}

struct ProcessState {
    int pid = 0;
    uint64_t startTime = 0;
    bool started = false; // started by CreateProcessW in the process `owner`
    int owner = 0;
    bool self = false; // this very process
    int pidfd = -1;
    std::atomic<bool> ended{false};
    std::atomic<DWORD> exitCode{STILL_ACTIVE};
    std::atomic<bool> terminated{false}; // TerminateProcess was called
    std::atomic<DWORD> terminateCode{0};
    std::mutex lock;
    std::condition_variable endedCv;

    ~ProcessState() {
        if (pidfd >= 0) close(pidfd);
    }

    // Whether a reaper thread of this process reports the end: only in the process that
    // started it, not in a copy of that process made by fork.
    bool reaped() const { return started && owner == getpid(); }

    void markEnded(DWORD code) {
        if (ended.load(std::memory_order_acquire)) return;
        exitCode.store(code, std::memory_order_release);
        {
            std::lock_guard<std::mutex> guard(lock);
            ended.store(true, std::memory_order_release);
        }
        endedCv.notify_all();
        wakeDeviceWaiters();
    }

    // Whether the process has ended; for a process that is not our child, finds out now.
    bool checkEnded() {
        if (ended.load(std::memory_order_acquire)) return true;
        if (reaped() || self) return false;
        bool gone;
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            gone = poll(&p, 1, 0) > 0;
        } else {
            gone = processStartTime(pid) != startTime;
        }
        if (!gone) return false;
        Record rec;
        DWORD code = kExitKilled;
        if (loadRecord(pid, &rec) && rec.start == startTime && rec.exited)
            code = rec.exitCode;
        else if (terminated.load())
            code = terminateCode.load();
        markEnded(code);
        return true;
    }
};

// The object behind a process handle, and behind the primary-thread handle CreateProcessW
// returns with it (which is signalled when the process ends, like the process).
struct ProcessObject final : KernelObject {
    std::shared_ptr<ProcessState> state;
    bool primaryThread = false;

    ProcessObject(std::shared_ptr<ProcessState> s, bool thread)
        : state(std::move(s)), primaryThread(thread) {}
    ObjectType type() const override {
        return primaryThread ? ObjectType::Other : ObjectType::Process;
    }
    bool isWaitable() const override { return true; }
    bool trySatisfy(bool) override { return state->checkEnded(); }
    int64_t pollIntervalNs() const override {
        return state->reaped() || state->self ? 0 : kForeignPollNs;
    }
};

// The children this process started, so OpenProcess on one of them shares its state. The
// table is never destroyed: a reaper thread may still take its child out of it while the
// process runs its static destructors on the way out.
struct ChildTable {
    std::mutex lock;
    std::map<int, std::weak_ptr<ProcessState>> map;
};
ChildTable& childTable() {
    static ChildTable& table = *std::make_unique<ChildTable>().release();
    return table;
}
std::map<int, std::weak_ptr<ProcessState>>& children() {
    return childTable().map;
}

void startReaper(const std::shared_ptr<ProcessState>& state) {
    std::thread([state] {
        int status = 0;
        pid_t r;
        do {
            r = waitpid(state->pid, &status, 0);
        } while (r < 0 && errno == EINTR);
        Record rec;
        bool haveRecord =
            loadRecord(state->pid, &rec) && rec.start == state->startTime && rec.exited;
        DWORD code;
        if (r < 0) {
            // Someone else reaped it (SIGCHLD ignored): only the record can tell.
            code = haveRecord ? rec.exitCode : 0;
        } else if (WIFEXITED(status)) {
            int low = WEXITSTATUS(status);
            code = haveRecord && (rec.exitCode & 0xFF) == static_cast<DWORD>(low)
                       ? rec.exitCode
                       : static_cast<DWORD>(low);
        } else {
            int sig = WIFSIGNALED(status) ? WTERMSIG(status) : SIGKILL;
            if (haveRecord)
                code = rec.exitCode;
            else if (state->terminated.load())
                code = state->terminateCode.load();
            else
                code = exitCodeOfSignal(sig);
        }
        {
            std::lock_guard<std::mutex> guard(childTable().lock);
            children().erase(state->pid);
        }
        CE_TRACE("process", "process %d ended with %u", state->pid, code);
        state->markEnded(code);
    }).detach();
}

// The state of this process; made again in a process made by fork.
std::shared_ptr<ProcessState> selfState() {
    static std::mutex lock;
    static std::shared_ptr<ProcessState> s;
    std::lock_guard<std::mutex> guard(lock);
    if (!s || s->pid != getpid()) {
        s = std::make_shared<ProcessState>();
        s->pid = getpid();
        s->startTime = processStartTime(s->pid);
        s->self = true;
    }
    return s;
}

std::shared_ptr<ProcessState> stateOf(HANDLE h, bool* pseudo) {
    *pseudo = reinterpret_cast<uintptr_t>(h) == kCurrentProcessPseudo;
    if (*pseudo) return selfState();
    auto object = lookupHandleAs<ProcessObject>(h, ObjectType::Process);
    return object ? object->state : nullptr;
}

// ---- Finding a program ------------------------------------------------------------------------

bool isSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// Finds the program CreateProcessW names: a path as given, a bare name in \Windows and then the
// root (with ".exe" when it has no extension; a trailing period means "no extension").
DWORD findProgram(std::u16string_view name, DevicePath* found) {
    bool hasPath = false;
    for (char16_t c : name)
        if (isSeparator(c)) hasPath = true;
    if (hasPath) return resolveDevicePath(name, PathLookup::Existing, found);
    std::u16string leaf(name);
    if (!leaf.empty() && leaf.back() == u'.')
        leaf.pop_back();
    else if (leaf.find(u'.') == std::u16string::npos)
        leaf += u".exe";
    if (leaf.empty()) return ERROR_FILE_NOT_FOUND;
    for (const char16_t* folder : {u"\\Windows\\", u"\\"}) {
        DWORD err = resolveDevicePath(folder + leaf, PathLookup::Existing, found);
        if (err == ERROR_SUCCESS) return err;
        if (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND) return err;
    }
    return ERROR_FILE_NOT_FOUND;
}

// Reads at most limit units of a NUL-terminated string; false when it is longer.
bool boundedString(const char16_t* s, size_t limit, std::u16string* out) {
    size_t n = 0;
    while (n <= limit && s[n])
        ++n;
    if (n > limit) return false;
    out->assign(s, n);
    return true;
}

bool startsWith(const char* s, std::string_view prefix) {
    return std::string_view(s).substr(0, prefix.size()) == prefix;
}

// The environment of a new program: ours without the variables of our own start, plus its own.
std::vector<std::string> childEnvironment(const std::u16string& program,
                                          const std::u16string& commandLine,
                                          const std::string& entry) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        if (startsWith(*e, "CEDEVICE=") || startsWith(*e, "CE_PROGRAM=") ||
            startsWith(*e, "CE_CMDLINE=") || startsWith(*e, "CE_ENTRY="))
            continue;
        env.emplace_back(*e);
    }
    env.push_back("CEDEVICE=" + deviceDir().string());
    env.push_back("CE_PROGRAM=" + toUtf8(program));
    env.push_back("CE_CMDLINE=" + encodeCommandLine(commandLine));
    if (!entry.empty()) env.push_back("CE_ENTRY=" + entry);
    return env;
}

DWORD spawnError(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR: return ERROR_FILE_NOT_FOUND;
    case ENOEXEC:
    case EACCES:
    case EPERM:
    case ELIBBAD: return ERROR_BAD_EXE_FORMAT;
    default: return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// ---- This program ----------------------------------------------------------------------------

struct ProgramIdentity {
    std::mutex lock;
    bool started = false;
    ProgramStart start;
};

ProgramIdentity& identity() {
    static ProgramIdentity id;
    return id;
}

std::u16string hostProgramPath() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string leaf = "program";
    if (n > 0) {
        buf[n] = '\0';
        leaf = fs::path(buf).filename().string();
    }
    std::u16string path = u"\\Windows\\" + fromUtf8(leaf);
    if (leaf.find('.') == std::string::npos) path += u".exe";
    return path;
}

} // namespace

// ---- Records, exposed ---------------------------------------------------------------------------

// The start time of a host process in clock ticks since boot (field 22 of /proc/<pid>/stat),
// which with the pid names one process for good.
uint64_t processStartTime(int pid) {
    if (pid <= 0) return 0;
    std::string text;
    if (!readSmallFile("/proc/" + std::to_string(pid) + "/stat", 4096, &text)) return 0;
    size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    // Fields after the command name start with field 3 (state); the start time is field 22.
    size_t pos = close + 1;
    for (int field = 3; field < 22; ++field) {
        pos = text.find(' ', pos + 1);
        if (pos == std::string::npos) return 0;
    }
    return strtoull(text.c_str() + pos + 1, nullptr, 10);
}

bool readProcessRecord(int pid, uint64_t* startTime, std::u16string* program, bool* exited,
                       DWORD* exitCode) {
    Record rec;
    if (!loadRecord(pid, &rec)) return false;
    if (startTime) *startTime = rec.start;
    if (program) *program = rec.program;
    if (exited) *exited = rec.exited;
    if (exitCode) *exitCode = rec.exitCode;
    return true;
}

// ---- Command lines ----------------------------------------------------------------------------

std::string encodeCommandLine(std::u16string_view commandLine) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    out.reserve(commandLine.size() * 4);
    for (char16_t c : commandLine)
        for (int shift = 12; shift >= 0; shift -= 4)
            out += hex[(c >> shift) & 15];
    return out;
}

bool decodeCommandLine(std::string_view hex, std::u16string* out) {
    if (hex.size() % 4 != 0) return false;
    std::u16string text;
    text.reserve(hex.size() / 4);
    for (size_t i = 0; i < hex.size(); i += 4) {
        unsigned v = 0;
        for (size_t k = 0; k < 4; ++k) {
            char c = hex[i + k];
            unsigned d;
            if (c >= '0' && c <= '9')
                d = static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                d = static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                d = static_cast<unsigned>(c - 'A' + 10);
            else
                return false;
            v = v * 16 + d;
        }
        text.push_back(static_cast<char16_t>(v));
    }
    *out = std::move(text);
    return true;
}

// ---- Program start and exit -------------------------------------------------------------------

const ProgramStart& beginDeviceProgram(int argc, char** argv) {
    ProgramIdentity& id = identity();
    std::lock_guard<std::mutex> guard(id.lock);
    if (id.started) return id.start;
    ProgramStart start;
    const char* program = getenv("CE_PROGRAM");
    start.program = program && *program ? fromUtf8(program) : hostProgramPath();
    if (const char* hex = getenv("CE_CMDLINE")) {
        if (!decodeCommandLine(hex, &start.commandLine))
            fprintf(stderr, "ceplatform: CE_CMDLINE is not a command line; using none\n");
    } else {
        // Started by hand from a host shell: the words as the shell split them.
        std::string joined;
        for (int i = 1; i < argc; ++i) {
            if (i > 1) joined += ' ';
            joined += argv[i];
        }
        start.commandLine = fromUtf8(joined);
    }
    if (const char* entry = getenv("CE_ENTRY")) start.entry = entry;
    // Programs this one starts get their own values; host tools it runs must not see ours.
    unsetenv("CE_PROGRAM");
    unsetenv("CE_CMDLINE");
    unsetenv("CE_ENTRY");

    setJournalProgram(toUtf8(start.program));
    if (haveDevice()) createRecord(getpid(), processStartTime(getpid()), start.program);
    JournalLine line("process.start");
    line.str("path", toUtf8(start.program)).str("cmdline", toUtf8(start.commandLine));
    if (!start.entry.empty()) line.str("entry", start.entry);
    line.num("parent", getppid()).write();

    id.start = std::move(start);
    id.started = true;
    return id.start;
}

const ProgramStart& programStart() {
    ProgramIdentity& id = identity();
    std::lock_guard<std::mutex> guard(id.lock);
    return id.start;
}

const std::string& programEntry() {
    return programStart().entry;
}

std::u16string currentProgramPath() {
    ProgramIdentity& id = identity();
    std::lock_guard<std::mutex> guard(id.lock);
    return id.started ? id.start.program : hostProgramPath();
}

namespace {

std::mutex exitHooksMutex;
std::vector<void (*)()> exitHooks;
std::atomic<bool> exitHooksRan{false};

} // namespace

void addExitHook(void (*hook)()) {
    std::lock_guard lock(exitHooksMutex);
    if (exitHooks.empty()) atexit(runExitHooks);
    exitHooks.push_back(hook);
}

void runExitHooks() {
    if (exitHooksRan.exchange(true)) return;
    std::vector<void (*)()> hooks;
    {
        std::lock_guard lock(exitHooksMutex);
        hooks = exitHooks;
    }
    for (auto hook : hooks)
        hook();
}

void endDeviceProgram(DWORD exitCode) {
    runExitHooks();
    if (haveDevice()) recordExit(getpid(), processStartTime(getpid()), exitCode);
    fflush(nullptr);
    _exit(static_cast<int>(exitCode & 0xFF));
}

bool waitForProcessExit(HANDLE process, uint32_t timeoutMs) {
    bool pseudo = false;
    auto state = stateOf(process, &pseudo);
    if (!state || state->self) return false;
    int64_t deadline = hostMonotonicNs() + static_cast<int64_t>(timeoutMs) * 1'000'000;
    for (;;) {
        if (state->checkEnded()) return true;
        int64_t left = timeoutMs == UINT32_MAX ? INT64_MAX : deadline - hostMonotonicNs();
        if (left <= 0) return false;
        int64_t slice = std::min<int64_t>(left, state->reaped() ? 200'000'000 : kForeignPollNs);
        if (state->reaped()) {
            std::unique_lock<std::mutex> guard(state->lock);
            state->endedCv.wait_for(guard, std::chrono::nanoseconds(slice),
                                    [&] { return state->ended.load(); });
        } else if (state->pidfd >= 0) {
            pollfd p{state->pidfd, POLLIN, 0};
            poll(&p, 1, static_cast<int>(slice / 1'000'000) + 1);
        } else {
            usleep(static_cast<useconds_t>(slice / 1000));
        }
    }
}

} // namespace ce

// ---- The API ------------------------------------------------------------------------------------

using namespace ce;

// Starts a device program as a child process (see winprocess.h). The new process learns its
// device, its device path and its command line from its environment; its start-up code writes
// the "process.start" journal line, so every start is journaled whoever started it.
WINBASEAPI BOOL CreateProcessW(LPCWSTR pszImageName, LPCWSTR pszCmdLine, LPSECURITY_ATTRIBUTES,
                               LPSECURITY_ATTRIBUTES, BOOL, DWORD fdwCreate, LPVOID, LPWSTR,
                               LPSTARTUPINFOW, LPPROCESS_INFORMATION pProcInfo) {
    if (!pszImageName || !*pszImageName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (fdwCreate & CREATE_SUSPENDED) CE_FIXME("process", "CREATE_SUSPENDED is not supported");
    std::u16string name, commandLine;
    if (!boundedString(pszImageName, MAX_PATH - 1, &name)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    if (pszCmdLine && !boundedString(pszCmdLine, kMaxCommandLine, &commandLine)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DevicePath found;
    DWORD err = findProgram(name, &found);
    if (err != ERROR_SUCCESS) {
        CE_TRACE("process", "%s: not found (%u)", toUtf8(name).c_str(), err);
        SetLastError(err);
        return FALSE;
    }
    if (S_ISDIR(found.st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    ProgramStub stub;
    err = readStubFile(found.host, &stub);
    if (err == ERROR_SUCCESS && stub.kind != StubKind::Program) err = ERROR_BAD_EXE_FORMAT;
    if (err != ERROR_SUCCESS) {
        CE_TRACE("process", "%s: not a program (%u)", toUtf8(found.device).c_str(), err);
        SetLastError(err);
        return FALSE;
    }
    fs::path binary;
    if (!locateBinary(stub.binary, StubKind::Program, &binary)) {
        CE_TRACE("process", "%s: binary %s is not built", toUtf8(found.device).c_str(),
                 stub.binary.c_str());
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }

    std::vector<std::string> env = childEnvironment(found.device, commandLine, stub.entry);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    // argv[0] is the device path, so host tools such as ps show which device program runs.
    std::string argv0 = toUtf8(found.device);
    char* argv[] = {argv0.data(), nullptr};

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, binary.c_str(), nullptr, &attr, argv, envp.data());
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        CE_TRACE("process", "spawn %s: %s", binary.c_str(), strerror(rc));
        SetLastError(spawnError(rc));
        return FALSE;
    }

    auto state = std::make_shared<ProcessState>();
    state->pid = pid;
    state->started = true;
    state->owner = getpid();
    state->startTime = processStartTime(pid);
    state->pidfd = pidfdOpen(pid);
    createRecord(pid, state->startTime, found.device);
    {
        std::lock_guard<std::mutex> guard(childTable().lock);
        children()[pid] = state;
    }
    startReaper(state);
    CE_TRACE("process", "started %s as %d", argv0.c_str(), pid);

    if (pProcInfo) {
        pProcInfo->hProcess = insertHandle(std::make_shared<ProcessObject>(state, false));
        pProcInfo->hThread = insertHandle(std::make_shared<ProcessObject>(state, true));
        pProcInfo->dwProcessId = static_cast<DWORD>(pid);
        pProcInfo->dwThreadId = static_cast<DWORD>(pid); // the main thread's id is the pid
    }
    return TRUE;
}

// Kills a process at once (SIGKILL); its exit code becomes uExitCode, recorded before the kill
// so that every process of the device reads the same code afterwards.
WINBASEAPI BOOL TerminateProcess(HANDLE hProcess, DWORD uExitCode) {
    bool pseudo = false;
    auto state = stateOf(hProcess, &pseudo);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (state->self) endDeviceProgram(uExitCode);
    if (state->checkEnded()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    state->terminateCode.store(uExitCode);
    state->terminated.store(true);
    recordExit(state->pid, state->startTime, uExitCode);
    bool sent = state->pidfd >= 0 ? pidfdSignal(state->pidfd, SIGKILL)
                                  : (processStartTime(state->pid) == state->startTime &&
                                     kill(state->pid, SIGKILL) == 0);
    CE_TRACE("process", "terminate %d with %u: %s", state->pid, uExitCode,
             sent ? "killed" : "already gone");
    return TRUE;
}

// A handle to a process of the device by its id. Our own children share the state their
// reaper keeps; other processes are watched through a pidfd.
WINBASEAPI HANDLE OpenProcess(DWORD, BOOL, DWORD IDProcess) {
    int pid = static_cast<int>(IDProcess);
    if (pid <= 0 || IDProcess > INT32_MAX) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (pid == getpid()) return insertHandle(std::make_shared<ProcessObject>(selfState(), false));
    {
        std::lock_guard<std::mutex> guard(childTable().lock);
        auto it = children().find(pid);
        if (it != children().end())
            if (auto state = it->second.lock(); state && state->reaped())
                return insertHandle(std::make_shared<ProcessObject>(state, false));
    }
    uint64_t start = processStartTime(pid);
    if (start == 0 || !isDeviceProcess(pid, start)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto state = std::make_shared<ProcessState>();
    state->pid = pid;
    state->startTime = start;
    state->pidfd = pidfdOpen(pid);
    // The pidfd must belong to the process checked above, not to a successor with its pid.
    if (processStartTime(pid) != start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return insertHandle(std::make_shared<ProcessObject>(state, false));
}

// STILL_ACTIVE while the process runs, then its exit code.
WINBASEAPI BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    bool pseudo = false;
    auto state = stateOf(hProcess, &pseudo);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpExitCode = state->checkEnded() ? state->exitCode.load(std::memory_order_acquire)
                                      : static_cast<DWORD>(STILL_ACTIVE);
    return TRUE;
}

// The host pid is the device's process id.
WINBASEAPI DWORD GetCurrentProcessId(void) {
    return static_cast<DWORD>(getpid());
}

// The pseudo-handle of this process.
WINBASEAPI HANDLE GetCurrentProcess(void) {
    return ULongToHandle(kCurrentProcessPseudo);
}

// Ends the process: the exit code goes to the process record, then the process ends with all
// its threads.
WINBASEAPI void ExitProcess(UINT uExitCode) {
    endDeviceProgram(uExitCode);
}
