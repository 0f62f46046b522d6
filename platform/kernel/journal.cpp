// journal.cpp: appends device events to journal.log as JSON lines.
//
// Tests and people read the journal to see what the device did ("three rounds, volumes ...,
// LED pulsed three times"), so a line must never be torn: each one is built in memory and
// written with a single write() on an O_APPEND descriptor while holding an exclusive flock,
// which keeps lines from different processes whole even on file systems where large appends
// are not atomic.
#include "journal.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

#include "clock.h"
#include "device.h"
#include "strings.h"
#include "winbase.h"

namespace ce {

namespace {

std::mutex programLock;
std::string& programName() {
    static std::string name = [] {
        char buf[4096];
        ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0) return std::string("unknown");
        buf[n] = '\0';
        std::string path(buf);
        size_t slash = path.rfind('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }();
    return name;
}

// Length of the valid UTF-8 sequence at s[i], or 0 when it is not valid.
size_t utf8SequenceLength(std::string_view s, size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return 0;
    uint32_t cp = len == 1 ? c : c & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    static const uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

std::string isoLocalTime(int64_t local) {
    FILETIME ft = intToFileTime(local);
    SYSTEMTIME st{};
    if (!FileTimeToSystemTime(&ft, &st)) return "0000-00-00T00:00:00.000";
    char buf[80];
    snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u.%03u", st.wYear, st.wMonth, st.wDay,
             st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    return buf;
}

} // namespace

std::string jsonEscape(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 8);
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            static const char* hex = "0123456789abcdef";
            switch (c) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            }
            ++i;
        } else if (size_t len = utf8SequenceLength(s, i)) {
            out.append(s.substr(i, len));
            i += len;
        } else {
            out += "\xEF\xBF\xBD"; // U+FFFD for a byte that is not UTF-8
            ++i;
        }
    }
    return out;
}

void setJournalProgram(std::string_view devicePath) {
    std::lock_guard<std::mutex> guard(programLock);
    programName() = std::string(devicePath);
}

std::string journalProgram() {
    std::lock_guard<std::mutex> guard(programLock);
    return programName();
}

JournalLine::JournalLine(std::string_view event) {
    body_ = "{\"t\":\"" + isoLocalTime(deviceLocalNow()) +
            "\",\"pid\":" + std::to_string(getpid()) + ",\"program\":\"" +
            jsonEscape(journalProgram()) + "\",\"event\":\"" + jsonEscape(event) + "\"";
}

void JournalLine::key(std::string_view k) {
    body_ += ",\"";
    body_ += jsonEscape(k);
    body_ += "\":";
}

JournalLine& JournalLine::str(std::string_view k, std::string_view value) {
    key(k);
    body_ += '"';
    body_ += jsonEscape(value);
    body_ += '"';
    return *this;
}

JournalLine& JournalLine::str(std::string_view k, const char16_t* value) {
    return str(k, value ? toUtf8(value) : std::string());
}

JournalLine& JournalLine::num(std::string_view k, int64_t value) {
    key(k);
    body_ += std::to_string(value);
    return *this;
}

JournalLine& JournalLine::real(std::string_view k, double value) {
    key(k);
    char buf[64];
    snprintf(buf, sizeof buf, "%.17g", value);
    body_ += buf;
    return *this;
}

JournalLine& JournalLine::flag(std::string_view k, bool value) {
    key(k);
    body_ += value ? "true" : "false";
    return *this;
}

void JournalLine::write() {
    if (!haveDevice()) return;
    std::string line = body_ + "}\n";
    std::filesystem::path file = deviceDir() / "journal.log";
    int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    size_t done = 0;
    while (done < line.size()) {
        ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    flock(fd, LOCK_UN);
    close(fd);
}

} // namespace ce
