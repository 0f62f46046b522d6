// device.cpp: the device folder, device.conf and the change counter every process watches.
//
// device.conf is the single source of truth for the device's own state. It is small, so every
// change rewrites it whole: the new text goes to a temporary file that is fsync'ed and renamed
// over the old one, and the folder is fsync'ed, so a crash at any point leaves either the old
// or the new state. Changes are serialised by an exclusive flock on run/device.lock.
//
// Reading it on every GetSystemTime would be wasteful, so each process keeps the parsed state
// and a copy of the change counter it belongs to. The counter lives in a shared page
// (run/state.shm) that all processes of the device map; a writer bumps it after the rename and
// wakes futex waiters, so a clock step is seen by every process at its next clock read, and a
// thread that sleeps until a device time can wake up and re-evaluate at once.
#include "device.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/futex.h>
#include <mutex>
#include <sstream>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "modules.h"
#include "registry/regdb.h"
#include "stub.h"
#include "trace.h"

namespace ce {

namespace {

constexpr uint32_t kSharedMagic = 0x5a564445; // "ZVDE"
constexpr size_t kSharedPageSize = 4096;

// The page shared by all processes of a device.
struct SharedPage {
    uint32_t magic;
    std::atomic<uint32_t> counter;
    std::atomic<uint32_t> wake;
    std::atomic<uint64_t> apiReady;
};

void futexWakeAll(std::atomic<uint32_t>* word) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAKE, INT32_MAX, nullptr, nullptr,
            0);
}

// FILETIME units between 1601-01-01 and the Unix epoch.
constexpr int64_t kUnixEpochFileTime = 116444736000000000LL;

// The built-in profiles differ only in their screens; everything else keeps the defaults
// of DeviceProfile.
DeviceProfile makeProfile(const char* name, int width, int height, int dpi) {
    DeviceProfile p;
    p.name = name;
    p.width = width;
    p.height = height;
    p.dpi = dpi;
    return p;
}

const DeviceProfile kProfiles[] = {
    makeProfile("qvga", 240, 320, 96),
    makeProfile("vga", 480, 640, 192),
    makeProfile("qvga-landscape", 320, 240, 96),
    makeProfile("vga-landscape", 640, 480, 192),
};

// RAII holder of a file descriptor.
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) close(fd);
    }
    explicit operator bool() const { return fd >= 0; }
};

// The process's view of its device.
struct DeviceState {
    std::mutex lock;
    bool envChecked = false;
    std::filesystem::path dir;
    SharedPage* page = nullptr;
    std::shared_ptr<const DeviceConf> conf;
    uint32_t seenCounter = 0;
    std::shared_ptr<const DeviceConf> memoryConf; // used without a device
    std::atomic<uint32_t> memoryWake{1};          // likewise
    std::atomic<uint64_t> memoryApiReady{0};
};

DeviceState& state() {
    static DeviceState s;
    return s;
}

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

std::string trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

std::vector<std::string> splitList(std::string_view s) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find(';', start);
        if (end == std::string_view::npos) end = s.size();
        std::string item = trim(s.substr(start, end - start));
        if (!item.empty()) out.push_back(item);
        start = end + 1;
    }
    return out;
}

std::string joinList(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items) {
        if (!out.empty()) out += "; ";
        out += item;
    }
    return out;
}

bool parseInt(const std::string& text, int64_t* out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long v = strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    *out = v;
    return true;
}

bool parseReal(const std::string& text, double* out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    double v = strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

std::shared_ptr<const DeviceConf> makeMemoryConf() {
    auto conf = std::make_shared<DeviceConf>();
    conf->clockBase = hostRealtimeNs() / 100 + kUnixEpochFileTime;
    conf->clockAnchorMono = hostMonotonicNs();
    conf->clockAnchorReal = hostRealtimeNs();
    conf->clockBootId = hostBootId();
    conf->tickBase = 0;
    return conf;
}

std::filesystem::path confPath(const std::filesystem::path& dir) {
    return dir / "device.conf";
}

bool readFile(const std::filesystem::path& path, std::string* out) {
    Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return false;
    out->clear();
    char buf[8192];
    for (;;) {
        ssize_t n = read(fd.fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        out->append(buf, static_cast<size_t>(n));
        if (out->size() > (1u << 20)) return false; // not a device.conf
    }
    return true;
}

bool writeFileAtomically(const std::filesystem::path& path, const std::string& text,
                         std::string* error) {
    std::filesystem::path tmp = path;
    tmp += ".tmp." + std::to_string(getpid());
    {
        Fd fd(open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!fd) {
            setError(error, "cannot write " + tmp.string() + ": " + strerror(errno));
            return false;
        }
        size_t done = 0;
        while (done < text.size()) {
            ssize_t n = write(fd.fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                setError(error, "cannot write " + tmp.string() + ": " + strerror(errno));
                unlink(tmp.c_str());
                return false;
            }
            done += static_cast<size_t>(n);
        }
        if (fsync(fd.fd) != 0) {
            setError(error, "cannot sync " + tmp.string() + ": " + strerror(errno));
            unlink(tmp.c_str());
            return false;
        }
    }
    if (rename(tmp.c_str(), path.c_str()) != 0) {
        setError(error, "cannot replace " + path.string() + ": " + strerror(errno));
        unlink(tmp.c_str());
        return false;
    }
    Fd dirFd(open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd) fsync(dirFd.fd);
    return true;
}

// Maps run/state.shm, creating it when it does not exist yet (first process after a host
// boot, or a new device).
SharedPage* mapSharedPage(const std::filesystem::path& dir, std::string* error) {
    std::filesystem::path run = dir / "run";
    mkdir(run.c_str(), 0755);
    std::filesystem::path file = run / "state.shm";
    Fd fd(open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd) {
        setError(error, "cannot open " + file.string() + ": " + strerror(errno));
        return nullptr;
    }
    flock(fd.fd, LOCK_EX);
    struct stat st {};
    if (fstat(fd.fd, &st) == 0 && st.st_size < static_cast<off_t>(kSharedPageSize)) {
        if (ftruncate(fd.fd, kSharedPageSize) != 0) {
            flock(fd.fd, LOCK_UN);
            setError(error, "cannot size " + file.string() + ": " + strerror(errno));
            return nullptr;
        }
    }
    void* mem = mmap(nullptr, kSharedPageSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd.fd, 0);
    if (mem == MAP_FAILED) {
        flock(fd.fd, LOCK_UN);
        setError(error, "cannot map " + file.string() + ": " + strerror(errno));
        return nullptr;
    }
    auto* page = static_cast<SharedPage*>(mem);
    if (page->magic != kSharedMagic) {
        page->counter.store(1, std::memory_order_relaxed);
        page->wake.store(1, std::memory_order_relaxed);
        page->apiReady.store(0, std::memory_order_relaxed);
        page->magic = kSharedMagic;
    }
    flock(fd.fd, LOCK_UN);
    return page;
}

void unmapSharedPage(SharedPage* page) {
    if (page) munmap(page, kSharedPageSize);
}

// Attaches under the state lock. An empty dir detaches.
bool attachLocked(DeviceState& s, const std::filesystem::path& dir, std::string* error) {
    unmapSharedPage(s.page);
    s.page = nullptr;
    s.conf.reset();
    s.dir.clear();
    s.envChecked = true;
    if (dir.empty()) return true;
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(dir, ec);
    if (ec || !std::filesystem::is_regular_file(confPath(abs), ec)) {
        setError(error, "no device at " + dir.string() + " (device.conf missing)");
        return false;
    }
    SharedPage* page = mapSharedPage(abs, error);
    if (!page) return false;
    s.dir = abs.lexically_normal();
    s.page = page;
    return true;
}

void checkEnvironment(DeviceState& s) {
    if (s.envChecked) return;
    s.envChecked = true;
    const char* env = getenv("CEDEVICE");
    if (env && *env) {
        std::string error;
        if (!attachLocked(s, env, &error))
            fprintf(stderr, "ceplatform: CEDEVICE: %s\n", error.c_str());
    }
}

std::shared_ptr<const DeviceConf> loadLocked(DeviceState& s) {
    if (!s.page) {
        if (!s.memoryConf) s.memoryConf = makeMemoryConf();
        return s.memoryConf;
    }
    uint32_t counter = s.page->counter.load(std::memory_order_acquire);
    if (s.conf && counter == s.seenCounter) return s.conf;
    std::string text;
    if (readFile(confPath(s.dir), &text)) {
        std::vector<std::string> warnings;
        auto conf = std::make_shared<DeviceConf>(parseDeviceConf(text, &warnings));
        for (const auto& w : warnings)
            CE_TRACE("device", "device.conf: %s", w.c_str());
        s.conf = std::move(conf);
        s.seenCounter = counter;
    } else if (!s.conf) {
        CE_TRACE("device", "cannot read %s", confPath(s.dir).c_str());
        s.conf = std::make_shared<DeviceConf>();
    }
    return s.conf;
}

} // namespace

int64_t hostMonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

int64_t hostRealtimeNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::string hostBootId() {
    static const std::string id = [] {
        std::string text;
        if (!readFile("/proc/sys/kernel/random/boot_id", &text)) return std::string("unknown");
        return trim(text);
    }();
    return id;
}

const DeviceProfile* findProfile(std::string_view name) {
    for (const auto& p : kProfiles)
        if (p.name == name) return &p;
    return nullptr;
}

std::vector<std::string> profileNames() {
    std::vector<std::string> names;
    for (const auto& p : kProfiles)
        names.push_back(p.name);
    return names;
}

DeviceConf parseDeviceConf(std::string_view text, std::vector<std::string>* warnings) {
    DeviceConf conf;
    DeviceProfile& p = conf.profile;
    auto warn = [&](int line, const std::string& what) {
        if (warnings) warnings->push_back("line " + std::to_string(line) + ": " + what);
    };
    int lineNo = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        std::string t = trim(line);
        if (t.empty() || t[0] == '#') continue;
        size_t eq = t.find('=');
        if (eq == std::string::npos) {
            warn(lineNo, "no '=' in \"" + t.substr(0, 40) + "\"");
            continue;
        }
        std::string key = trim(std::string_view(t).substr(0, eq));
        std::string value = trim(std::string_view(t).substr(eq + 1));
        int64_t n = 0;
        double r = 0;
        auto intField = [&](auto& field, int64_t lo, int64_t hi) {
            if (parseInt(value, &n) && n >= lo && n <= hi)
                field = static_cast<std::remove_reference_t<decltype(field)>>(n);
            else
                warn(lineNo, key + ": bad number \"" + value + "\"");
        };
        if (key == "profile")
            p.name = value;
        else if (key == "screen.width")
            intField(p.width, 1, 8192);
        else if (key == "screen.height")
            intField(p.height, 1, 8192);
        else if (key == "screen.dpi")
            intField(p.dpi, 1, 1000);
        else if (key == "os.major")
            intField(p.osMajor, 0, 1000);
        else if (key == "os.minor")
            intField(p.osMinor, 0, 1000);
        else if (key == "os.build")
            intField(p.osBuild, 0, 1000000);
        else if (key == "os.aku")
            p.akuText = value;
        else if (key == "oem")
            p.oemInfo = value;
        else if (key == "platform")
            p.platformType = value;
        else if (key == "device.name")
            p.deviceName = value;
        else if (key == "owner")
            p.ownerName = value;
        else if (key == "locale")
            p.locale = value;
        else if (key == "withdrawn")
            p.withdrawn = splitList(value);
        else if (key == "clock.base")
            intField(conf.clockBase, 0, INT64_MAX);
        else if (key == "clock.anchor.mono")
            intField(conf.clockAnchorMono, INT64_MIN, INT64_MAX);
        else if (key == "clock.anchor.real")
            intField(conf.clockAnchorReal, INT64_MIN, INT64_MAX);
        else if (key == "clock.boot")
            conf.clockBootId = value;
        else if (key == "clock.rate") {
            if (parseReal(value, &r) && r >= 0 && r <= 1e6)
                conf.clockRate = r;
            else
                warn(lineNo, "clock.rate: bad rate \"" + value + "\"");
        } else if (key == "clock.tick")
            intField(conf.tickBase, INT64_MIN, INT64_MAX);
        else if (key == "clock.steps")
            intField(conf.clockSteps, 0, UINT32_MAX);
        else if (key == "tz")
            conf.timeZone = value;
        else if (key == "tz.rule")
            conf.timeZoneRule = value;
        else if (key == "tz.changes")
            intField(conf.zoneChanges, 0, UINT32_MAX);
        else if (key == "battery")
            intField(conf.battery, 0, 100);
        else if (key == "ac")
            intField(conf.acPower, 0, 1);
        else if (key == "power") {
            if (value == "on" || value == "unattended" || value == "suspended")
                conf.power = value;
            else
                warn(lineNo, "power: unknown state \"" + value + "\"");
        } else if (key == "storage.cards")
            conf.storageCards = splitList(value);
        else
            warn(lineNo, "unknown key \"" + key + "\"");
    }
    return conf;
}

std::string formatDeviceConf(const DeviceConf& conf) {
    const DeviceProfile& p = conf.profile;
    std::ostringstream o;
    o << "# The state of a simulated device. Rewritten whole on every change.\n";
    o << "profile = " << p.name << "\n";
    o << "screen.width = " << p.width << "\n";
    o << "screen.height = " << p.height << "\n";
    o << "screen.dpi = " << p.dpi << "\n";
    o << "os.major = " << p.osMajor << "\n";
    o << "os.minor = " << p.osMinor << "\n";
    o << "os.build = " << p.osBuild << "\n";
    o << "os.aku = " << p.akuText << "\n";
    o << "oem = " << p.oemInfo << "\n";
    o << "platform = " << p.platformType << "\n";
    o << "device.name = " << p.deviceName << "\n";
    o << "owner = " << p.ownerName << "\n";
    o << "locale = " << p.locale << "\n";
    o << "withdrawn = " << joinList(p.withdrawn) << "\n";
    o << "clock.base = " << conf.clockBase << "\n";
    o << "clock.anchor.mono = " << conf.clockAnchorMono << "\n";
    o << "clock.anchor.real = " << conf.clockAnchorReal << "\n";
    o << "clock.boot = " << conf.clockBootId << "\n";
    char rate[64];
    snprintf(rate, sizeof rate, "%.17g", conf.clockRate);
    o << "clock.rate = " << rate << "\n";
    o << "clock.tick = " << conf.tickBase << "\n";
    o << "clock.steps = " << conf.clockSteps << "\n";
    o << "tz = " << conf.timeZone << "\n";
    o << "tz.rule = " << conf.timeZoneRule << "\n";
    o << "tz.changes = " << conf.zoneChanges << "\n";
    o << "battery = " << conf.battery << "\n";
    o << "ac = " << (conf.acPower ? 1 : 0) << "\n";
    o << "power = " << conf.power << "\n";
    o << "storage.cards = " << joinList(conf.storageCards) << "\n";
    return o.str();
}

bool haveDevice() {
    DeviceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    checkEnvironment(s);
    return s.page != nullptr;
}

const std::filesystem::path& deviceDir() {
    DeviceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    checkEnvironment(s);
    return s.dir;
}

std::filesystem::path deviceFsRoot() {
    const auto& dir = deviceDir();
    return dir.empty() ? dir : dir / "fs";
}

std::filesystem::path deviceRunDir() {
    const auto& dir = deviceDir();
    return dir.empty() ? dir : dir / "run";
}

bool attachDevice(const std::filesystem::path& dir, std::string* error) {
    DeviceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return attachLocked(s, dir, error);
}

bool createDevice(const std::filesystem::path& dir, std::string_view profileName,
                  std::string* error) {
    const DeviceProfile* profile = findProfile(profileName);
    if (!profile) {
        setError(error, "unknown profile \"" + std::string(profileName) + "\"");
        return false;
    }
    std::error_code ec;
    if (std::filesystem::exists(confPath(dir), ec)) {
        setError(error, dir.string() + " already holds a device");
        return false;
    }
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        setError(error, "cannot create " + dir.string() + ": " + ec.message());
        return false;
    }
    DeviceConf conf;
    conf.profile = *profile;
    conf.clockBase = hostRealtimeNs() / 100 + kUnixEpochFileTime;
    conf.clockAnchorMono = hostMonotonicNs();
    conf.clockAnchorReal = hostRealtimeNs();
    conf.clockBootId = hostBootId();
    conf.clockRate = 1.0;
    conf.tickBase = 0;
    for (const char* sub : {"fs/Windows", "fs/Program Files", "fs/My Documents", "fs/Temp",
                            "fs/Storage Card", "run"}) {
        std::filesystem::create_directories(dir / sub, ec);
        if (ec) {
            setError(error, "cannot create " + (dir / sub).string() + ": " + ec.message());
            return false;
        }
    }
    if (!writeBuiltinLibraryStubs(dir / "fs", conf.profile.withdrawn, error)) return false;
    // The device's own programs that the system starts by itself (ceapps entries).
    for (const char* entry : {"clock", "clocknot", "calendar", "tasks", "poutlook", "calnot"}) {
        ProgramStub stub;
        stub.binary = "ceapps";
        stub.entry = entry;
        if (!writeStubFile(dir / "fs/Windows" / (std::string(entry) + ".exe"), stub, error))
            return false;
    }
    if (!reg::writeRegistryImage(dir, error)) return false;
    return writeFileAtomically(confPath(dir), formatDeviceConf(conf), error);
}

std::shared_ptr<const DeviceConf> deviceConf() {
    DeviceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    checkEnvironment(s);
    return loadLocked(s);
}

bool updateDeviceConf(const std::function<void(DeviceConf&)>& edit, std::string* error) {
    DeviceState& s = state();
    std::unique_lock<std::mutex> guard(s.lock);
    checkEnvironment(s);
    if (!s.page) {
        if (!s.memoryConf) s.memoryConf = makeMemoryConf();
        auto conf = std::make_shared<DeviceConf>(*s.memoryConf);
        edit(*conf);
        s.memoryConf = std::move(conf);
        s.memoryWake.fetch_add(1, std::memory_order_acq_rel);
        futexWakeAll(&s.memoryWake);
        return true;
    }
    std::filesystem::path lockFile = s.dir / "run" / "device.lock";
    Fd lockFd(open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!lockFd) {
        setError(error, "cannot open " + lockFile.string() + ": " + strerror(errno));
        return false;
    }
    while (flock(lockFd.fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    // Under the device lock the file is read fresh, not from this process's cache: another
    // process may have changed it a moment ago.
    std::string text;
    if (!readFile(confPath(s.dir), &text)) {
        setError(error, "cannot read " + confPath(s.dir).string());
        return false;
    }
    auto conf = std::make_shared<DeviceConf>(parseDeviceConf(text));
    edit(*conf);
    if (!writeFileAtomically(confPath(s.dir), formatDeviceConf(*conf), error)) return false;
    uint32_t counter = s.page->counter.fetch_add(1, std::memory_order_acq_rel) + 1;
    futexWakeAll(&s.page->counter);
    // A changed clock may end any wait of the device: let every waiter re-evaluate.
    s.page->wake.fetch_add(1, std::memory_order_acq_rel);
    futexWakeAll(&s.page->wake);
    s.conf = std::move(conf);
    s.seenCounter = counter;
    return true;
}

std::atomic<uint32_t>* deviceChangeWord() {
    DeviceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    checkEnvironment(s);
    return s.page ? &s.page->counter : nullptr;
}

std::atomic<uint32_t>* deviceWakeWord() {
    DeviceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    checkEnvironment(s);
    return s.page ? &s.page->wake : &s.memoryWake;
}

void wakeDeviceWaiters() {
    std::atomic<uint32_t>* word = deviceWakeWord();
    word->fetch_add(1, std::memory_order_acq_rel);
    futexWakeAll(word);
}

bool isApiReady(unsigned apiSet) {
    if (apiSet >= 64) return false;
    DeviceState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    checkEnvironment(s);
    const auto& bits = s.page ? s.page->apiReady : s.memoryApiReady;
    return (bits.load(std::memory_order_acquire) >> apiSet) & 1;
}

void setApiReady(unsigned apiSet, bool ready) {
    if (apiSet >= 64) return;
    DeviceState& s = state();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        checkEnvironment(s);
        auto& bits = s.page ? s.page->apiReady : s.memoryApiReady;
        uint64_t mask = uint64_t{1} << apiSet;
        if (ready)
            bits.fetch_or(mask, std::memory_order_acq_rel);
        else
            bits.fetch_and(~mask, std::memory_order_acq_rel);
    }
    wakeDeviceWaiters();
}

uint32_t deviceChangeCounter() {
    std::atomic<uint32_t>* word = deviceChangeWord();
    return word ? word->load(std::memory_order_acquire) : 0;
}

} // namespace ce
