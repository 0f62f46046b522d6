// testdevice.cpp: temporary devices, child processes and cedev runs for the platform's tests.
#include "testdevice.h"

#include "kernel/process.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

#include "kernel/clock.h"
#include "kernel/device.h"

namespace cetest {

namespace {
std::filesystem::path makeTempDir() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/cedev-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) {
        ADD_FAILURE() << "mkdtemp failed";
        return {};
    }
    return std::filesystem::path(buf.data());
}

int statusOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return -1;
}
} // namespace

TempDevice::TempDevice(const std::string& profile) {
    std::filesystem::path top = makeTempDir();
    dir_ = top / "device";
    std::string error;
    if (!ce::createDevice(dir_, profile, &error)) ADD_FAILURE() << "createDevice: " << error;
    if (!ce::attachDevice(dir_, &error)) ADD_FAILURE() << "attachDevice: " << error;
    setenv("CEDEVICE", dir_.c_str(), 1);
}

TempDevice::~TempDevice() {
    ce::attachDevice({});
    unsetenv("CEDEVICE");
    std::error_code ec;
    std::filesystem::remove_all(dir_.parent_path(), ec);
}

void TempDevice::freezeAt(const std::string& isoUtc) {
    std::string error;
    ASSERT_TRUE(ce::setDeviceClockRate(0, &error)) << error;
    ASSERT_TRUE(ce::setDeviceUtc(isoToFileTime(isoUtc), &error)) << error;
}

int runInChild(const std::function<int()>& fn) {
    Child child(fn);
    return child.wait();
}

Child::Child(const std::function<int()>& fn) {
    fflush(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        int rc = 99;
        try {
            rc = fn();
        } catch (...) {
            rc = 98;
        }
        // As a device program ending: posted messages reach their receivers first.
        ce::runExitHooks();
        _exit(rc);
    }
}

Child::~Child() {
    if (pid_ > 0) wait();
}

int Child::wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0) {
    }
    pid_ = -1;
    return statusOf(status);
}

int runCedev(const std::vector<std::string>& args, std::string* out, std::string* err,
             const std::filesystem::path& device) {
    std::filesystem::path top = makeTempDir();
    std::string outFile = (top / "out").string(), errFile = (top / "err").string();
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<std::string> all{CEDEV_BINARY};
        std::filesystem::path dev = device.empty() ? ce::deviceDir() : device;
        if (!dev.empty()) {
            all.push_back("--device");
            all.push_back(dev.string());
        }
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (!freopen(outFile.c_str(), "w", stdout) || !freopen(errFile.c_str(), "w", stderr))
            _exit(97);
        execv(argv[0], argv.data());
        _exit(96);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    auto slurp = [](const std::string& f) {
        std::string s;
        if (FILE* fp = fopen(f.c_str(), "rb")) {
            char buf[4096];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, fp)) > 0)
                s.append(buf, n);
            fclose(fp);
        }
        return s;
    };
    if (out) *out = slurp(outFile);
    if (err) *err = slurp(errFile);
    std::error_code ec;
    std::filesystem::remove_all(top, ec);
    return statusOf(status);
}

int64_t isoToFileTime(const std::string& iso) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) {
        ADD_FAILURE() << "bad ISO time " << iso;
        return 0;
    }
    size_t pos = 19;
    if (pos < iso.size() && iso[pos] == '.') {
        ms = atoi(iso.c_str() + pos + 1);
        pos = iso.find_first_not_of("0123456789", pos + 1);
    }
    int offsetMin = 0;
    if (pos != std::string::npos && pos < iso.size() && (iso[pos] == '+' || iso[pos] == '-')) {
        int oh = 0, om = 0;
        sscanf(iso.c_str() + pos + 1, "%d:%d", &oh, &om);
        offsetMin = (oh * 60 + om) * (iso[pos] == '-' ? -1 : 1);
    }
    // Days from civil (proleptic Gregorian), relative to 1601-01-01.
    auto daysFromCivil = [](int64_t y, unsigned m, unsigned d) {
        y -= m <= 2;
        const int64_t era = (y >= 0 ? y : y - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<int64_t>(doe) - 719468;
    };
    int64_t days = daysFromCivil(y, mo, d) - daysFromCivil(1601, 1, 1);
    int64_t secs = days * 86400 + h * 3600 + mi * 60 + s - offsetMin * 60;
    return secs * ce::kFileTimePerSecond + ms * ce::kFileTimePerMs;
}

} // namespace cetest
