// regmsg.cpp: RegisterWindowMessageW: message numbers from names, the same in every program
// of the device.
//
// The device's table is run/messages (one UTF-8 name per line; line N is message 0xC000 + N),
// read and extended under an exclusive flock, so two programs registering at once agree. It
// lives as long as the running device, as registered messages do on Windows. Without a device
// the table is the process's own.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "kernel/device.h"
#include "kernel/strings.h"
#include "user/userstate.h"

namespace {

constexpr UINT kFirst = 0xC000;
constexpr size_t kCapacity = 0x4000; // 0xC000 .. 0xFFFF

std::vector<std::u16string>& localTable() {
    static auto* t = new std::vector<std::u16string>;
    return *t;
}

UINT findOrAdd(std::vector<std::u16string>& names, std::u16string_view name, bool* added) {
    *added = false;
    for (size_t i = 0; i < names.size(); ++i)
        if (ce::equalNoCase(names[i], name)) return kFirst + static_cast<UINT>(i);
    if (names.size() >= kCapacity) return 0;
    names.emplace_back(name);
    *added = true;
    return kFirst + static_cast<UINT>(names.size() - 1);
}

UINT registerInDevice(std::u16string_view name) {
    std::string path = (ce::deviceRunDir() / "messages").string();
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return 0;
    UINT result = 0;
    if (flock(fd, LOCK_EX) == 0) {
        std::string text;
        char buf[4096];
        ssize_t n;
        while ((n = read(fd, buf, sizeof buf)) > 0)
            text.append(buf, static_cast<size_t>(n));
        std::vector<std::u16string> names;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) break; // a line without its end was never finished
            names.push_back(ce::fromUtf8(std::string_view(text).substr(start, end - start)));
            start = end + 1;
        }
        bool added;
        result = findOrAdd(names, name, &added);
        if (added) {
            std::string line = ce::toUtf8(name) + "\n";
            if (lseek(fd, static_cast<off_t>(start), SEEK_SET) < 0 ||
                write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
                result = 0;
        }
        flock(fd, LOCK_UN);
    }
    close(fd);
    return result;
}

} // namespace

// The message number for a name: 0xC000..0xFFFF, the same for the same name (compared without
// regard to case) in every program of the device. 0 for an empty name or a full table.
WINUSERAPI UINT RegisterWindowMessageW(LPCWSTR lpString) {
    if (!lpString || !lpString[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string_view name(lpString);
    if (name.size() > 255 || name.find(u'\n') != std::u16string_view::npos) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    static std::mutex m;
    std::lock_guard<std::mutex> lock(m);
    if (ce::haveDevice()) {
        if (UINT v = registerInDevice(name)) return v;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    bool added;
    return findOrAdd(localTable(), name, &added);
}
