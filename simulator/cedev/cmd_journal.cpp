// cmd_journal.cpp: cedev journal: prints the device's journal, optionally from a time on and
// following new lines as they arrive.
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "cedev.h"
#include "kernel/device.h"

namespace cedev {

namespace {

// The "t" value of a journal line, or empty.
std::string lineTime(const std::string& line) {
    const std::string key = "{\"t\":\"";
    if (line.compare(0, key.size(), key) != 0) return {};
    size_t end = line.find('"', key.size());
    return end == std::string::npos ? std::string() : line.substr(key.size(), end - key.size());
}

// Prints the complete lines of buf at or after since, keeping an unfinished last line.
void printLines(std::string& buf, const std::string& since) {
    size_t pos = 0;
    for (;;) {
        size_t end = buf.find('\n', pos);
        if (end == std::string::npos) break;
        std::string line = buf.substr(pos, end - pos);
        pos = end + 1;
        if (since.empty() || lineTime(line) >= since) printf("%s\n", line.c_str());
    }
    buf.erase(0, pos);
    fflush(stdout);
}

} // namespace

int cmdJournal(const Args& args) {
    bool follow = false;
    std::string since;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--follow" || args[i] == "-f")
            follow = true;
        else if (args[i] == "--since" && i + 1 < args.size())
            since = args[++i];
        else
            return usage("usage: cedev journal [--follow] [--since ISO-TIME]");
    }
    if (!needDevice()) return 1;
    // Journal times are device local times "YYYY-MM-DDTHH:MM:SS.mmm"; --since compares as text,
    // so "2027-03-28" and "2027-03-28T02:30" both work.
    std::filesystem::path file = ce::deviceDir() / "journal.log";
    int fd = -1;
    std::string buf;
    char chunk[65536];
    for (;;) {
        if (fd < 0) fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ssize_t n;
            while ((n = read(fd, chunk, sizeof chunk)) > 0) {
                buf.append(chunk, static_cast<size_t>(n));
                printLines(buf, since);
            }
        }
        if (!follow) break;
        usleep(200 * 1000);
    }
    if (fd >= 0) close(fd);
    return 0;
}

} // namespace cedev
