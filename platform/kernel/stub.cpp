// stub.cpp: reading and writing program and library stubs, and finding the binaries they name
// (see stub.h).
//
// A stub is data from the device's file system, which anyone can edit, so it is read with a
// size limit and every name in it is checked before it comes near a host path: a binary name
// is a single file name inside the binary folder, never a path.
#include "kernel/stub.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kernel/devpath.h"
#include "kernel/strings.h"
#include "winerror.h"

namespace ce {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kProgramMagic = "CEPROGRAM 1";
constexpr std::string_view kLibraryMagic = "CELIBRARY 1";

std::string_view trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool validEntryName(std::string_view name) {
    if (name.empty() || name.size() > 64) return false;
    for (char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '_' || c == '-' || c == '.';
        if (!ok) return false;
    }
    return true;
}

// A built-in library's name: the same rules as a binary name, and no backslash either.
bool validBuiltinName(std::string_view name) {
    return validBinaryName(name) && name.find('\\') == std::string_view::npos;
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

// Creates every missing folder of a device path's parent, then resolves the path itself.
DWORD resolveCreatingFolders(std::u16string_view devicePath, DevicePath* out) {
    DWORD err = resolveDevicePath(devicePath, PathLookup::Creatable, out);
    if (err != ERROR_PATH_NOT_FOUND) return err;
    // Walk the prefixes: each one that does not exist yet becomes a folder.
    for (size_t i = 1; i < devicePath.size(); ++i) {
        if (devicePath[i] != u'\\' && devicePath[i] != u'/') continue;
        DevicePath folder;
        DWORD ferr = resolveDevicePath(devicePath.substr(0, i), PathLookup::Creatable, &folder);
        if (ferr != ERROR_SUCCESS) return ferr;
        if (folder.exists) {
            if (!S_ISDIR(folder.st.st_mode)) return ERROR_PATH_NOT_FOUND;
            continue;
        }
        if (mkdir(folder.host.c_str(), 0755) != 0 && errno != EEXIST) return ERROR_ACCESS_DENIED;
    }
    return resolveDevicePath(devicePath, PathLookup::Creatable, out);
}

DWORD writeStubAt(std::u16string_view devicePath, const ProgramStub& stub) {
    if (!validStub(stub)) return ERROR_INVALID_PARAMETER;
    DevicePath where;
    DWORD err = resolveCreatingFolders(devicePath, &where);
    if (err != ERROR_SUCCESS) return err;
    if (where.isRoot || (where.exists && S_ISDIR(where.st.st_mode))) return ERROR_ACCESS_DENIED;
    return writeStubFile(where.host, stub) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

} // namespace

bool validBinaryName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name == ".") return false;
    if (name.find('/') != std::string_view::npos) return false;
    if (name.find("..") != std::string_view::npos) return false;
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return trim(name) == name;
}

bool validStub(const ProgramStub& stub) {
    if (stub.kind == StubKind::Program)
        return validBinaryName(stub.binary) && stub.builtin.empty() &&
               (stub.entry.empty() || validEntryName(stub.entry));
    if (!stub.entry.empty()) return false;
    if (stub.builtin.empty()) return validBinaryName(stub.binary);
    return stub.binary.empty() && validBuiltinName(stub.builtin);
}

bool parseStub(std::string_view text, ProgramStub* out) {
    if (text.size() > kMaxStubSize) return false;
    ProgramStub stub;
    size_t pos = 0;
    bool first = true;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (first) {
            if (line == kProgramMagic)
                stub.kind = StubKind::Program;
            else if (line == kLibraryMagic)
                stub.kind = StubKind::Library;
            else
                return false;
            first = false;
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) return false;
        std::string_view key = trim(line.substr(0, eq));
        std::string_view value = trim(line.substr(eq + 1));
        if (key == "binary")
            stub.binary = value;
        else if (key == "entry")
            stub.entry = value;
        else if (key == "builtin")
            stub.builtin = value;
    }
    if (first || !validStub(stub)) return false;
    *out = std::move(stub);
    return true;
}

std::string formatStub(const ProgramStub& stub) {
    std::string text(stub.kind == StubKind::Program ? kProgramMagic : kLibraryMagic);
    text += '\n';
    if (!stub.binary.empty()) text += "binary = " + stub.binary + "\n";
    if (!stub.entry.empty()) text += "entry = " + stub.entry + "\n";
    if (!stub.builtin.empty()) text += "builtin = " + stub.builtin + "\n";
    return text;
}

DWORD readStubFile(const fs::path& host, ProgramStub* out) {
    int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return ERROR_FILE_NOT_FOUND;
        if (errno == ENOTDIR) return ERROR_PATH_NOT_FOUND;
        return ERROR_ACCESS_DENIED;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        bool folder = S_ISDIR(st.st_mode);
        close(fd);
        return folder ? ERROR_ACCESS_DENIED : ERROR_BAD_EXE_FORMAT;
    }
    std::string text;
    char buf[1024];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
        if (text.size() > kMaxStubSize) break;
    }
    close(fd);
    return parseStub(text, out) ? ERROR_SUCCESS : ERROR_BAD_EXE_FORMAT;
}

bool writeStubFile(const fs::path& host, const ProgramStub& stub, std::string* error) {
    if (!validStub(stub)) {
        setError(error, "not a valid stub for " + host.string());
        return false;
    }
    fs::path tmp = host;
    tmp += ".stub." + std::to_string(getpid());
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        setError(error, "cannot write " + tmp.string() + ": " + strerror(errno));
        return false;
    }
    bool ok = writeAll(fd, formatStub(stub)) && fsync(fd) == 0;
    close(fd);
    if (!ok || rename(tmp.c_str(), host.c_str()) != 0) {
        setError(error, "cannot write " + host.string() + ": " + strerror(errno));
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

DWORD writeProgramStub(std::u16string_view devicePath, std::string_view binary,
                       std::string_view entry) {
    ProgramStub stub;
    stub.kind = StubKind::Program;
    stub.binary = binary;
    stub.entry = entry;
    return writeStubAt(devicePath, stub);
}

DWORD writeLibraryStub(std::u16string_view devicePath, std::string_view binary) {
    ProgramStub stub;
    stub.kind = StubKind::Library;
    stub.binary = binary;
    return writeStubAt(devicePath, stub);
}

std::vector<fs::path> binaryFolders() {
    static const std::vector<fs::path> folders = [] {
        std::vector<fs::path> out;
        Dl_info info{};
        if (!dladdr(reinterpret_cast<void*>(&binaryFolders), &info) || !info.dli_fname) return out;
        std::error_code ec;
        fs::path lib = fs::canonical(info.dli_fname, ec);
        if (ec) return out;
        fs::path dir = lib.parent_path();
        out.push_back(dir);
        for (const char* sibling : {"bin", "lib"}) {
            fs::path other = fs::weakly_canonical(dir / ".." / sibling, ec);
            if (!ec && other != dir) out.push_back(other);
        }
        return out;
    }();
    return folders;
}

bool locateBinary(std::string_view name, StubKind kind, fs::path* out) {
    if (!validBinaryName(name)) return false;
    std::vector<std::string> names{std::string(name)};
    if (kind == StubKind::Library) names.push_back("lib" + std::string(name) + ".so");
    for (const auto& folder : binaryFolders()) {
        for (const auto& n : names) {
            fs::path candidate = folder / n;
            struct stat st {};
            if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
                *out = candidate;
                return true;
            }
        }
    }
    return false;
}

} // namespace ce
