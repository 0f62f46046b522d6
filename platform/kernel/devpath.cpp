// devpath.cpp: the translation of device paths to host paths below fs/ (see devpath.h).
//
// Resolution walks the path one component at a time from the canonical fs/ folder. Each step
// looks for the exact name first (one lstat) and only then scans the folder for a name that is
// equal without regard to case, so the common case costs no directory read. A symbolic link
// met on the way is resolved at once and its target checked against the fs/ root; the walk then
// continues from the canonical target, so the host path handed back contains no link at all and
// cannot be bent outside fs/ by a later component.
#include "kernel/devpath.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <mutex>
#include <unistd.h>

#include "kernel/device.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "winbase.h"

namespace ce {

namespace fs = std::filesystem;

namespace {

// Longest host file name, in bytes (NAME_MAX on Linux file systems).
constexpr size_t kHostNameMax = 255;
// Symbolic links followed in a chain before giving up, as the kernel does.
constexpr int kMaxLinkHops = 40;

bool isSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool isWildcard(char16_t c) {
    return c == u'*' || c == u'?';
}

// Characters Windows never allows in a name; wildcards are handled by the caller.
bool isForbidden(char16_t c) {
    return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|';
}

struct ParsedPath {
    std::vector<std::u16string> components;
    bool trailingSeparator = false;
};

// Splits and checks a device path. Wildcards are allowed in the last component only when
// wildcardLeaf is set (FindFirstFileW patterns).
DWORD parsePath(std::u16string_view in, bool wildcardLeaf, ParsedPath* out) {
    if (in.empty()) return ERROR_PATH_NOT_FOUND;
    if (in.size() > MAX_PATH - 1) return ERROR_FILENAME_EXCED_RANGE;
    if (in.size() >= 2 && isSeparator(in[0]) && isSeparator(in[1])) return ERROR_BAD_PATHNAME;
    out->trailingSeparator = isSeparator(in.back());

    std::vector<std::u16string_view> raw;
    size_t start = 0;
    for (size_t i = 0; i <= in.size(); ++i) {
        if (i == in.size() || isSeparator(in[i])) {
            if (i > start) raw.push_back(in.substr(start, i - start));
            start = i + 1;
        }
    }
    for (size_t k = 0; k < raw.size(); ++k) {
        std::u16string_view comp = raw[k];
        const bool mayWild = wildcardLeaf && k + 1 == raw.size() && !out->trailingSeparator;
        for (size_t i = 0; i < comp.size(); ++i) {
            char16_t c = comp[i];
            if (isForbidden(c)) return ERROR_INVALID_NAME;
            if (isWildcard(c) && !mayWild) return ERROR_INVALID_NAME;
            // A surrogate without its partner has no host spelling; refusing it keeps two
            // different device names from meeting in one host name.
            if (c >= 0xD800 && c <= 0xDBFF) {
                if (i + 1 >= comp.size() || comp[i + 1] < 0xDC00 || comp[i + 1] > 0xDFFF)
                    return ERROR_INVALID_NAME;
                ++i;
            } else if (c >= 0xDC00 && c <= 0xDFFF) {
                return ERROR_INVALID_NAME;
            }
        }
        if (comp == u".") continue;
        if (comp.find_first_not_of(u'.') == std::u16string_view::npos) return ERROR_INVALID_NAME;
        if (toUtf8(comp).size() > kHostNameMax) return ERROR_FILENAME_EXCED_RANGE;
        out->components.emplace_back(comp);
    }
    return ERROR_SUCCESS;
}

// Reads a NUL-terminated device path without ever looking past MAX_PATH units.
DWORD boundedView(const char16_t* path, std::u16string_view* out) {
    if (!path) return ERROR_PATH_NOT_FOUND;
    size_t n = 0;
    while (n < MAX_PATH && path[n])
        ++n;
    if (n == MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    *out = std::u16string_view(path, n);
    return ERROR_SUCCESS;
}

bool isInside(const fs::path& p, const fs::path& root) {
    const std::string& s = p.native();
    const std::string& r = root.native();
    if (s.size() < r.size() || s.compare(0, r.size(), r) != 0) return false;
    return s.size() == r.size() || s[r.size()] == '/';
}

DWORD errorFromLstat(int err, bool last, PathLookup lookup) {
    switch (err) {
    case ENOENT:
        return last && lookup == PathLookup::Existing ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    default: return ERROR_PATH_NOT_FOUND;
    }
}

enum class LinkOutcome { Inside, Dangling, Outside };

// Resolves the symbolic link at link (whose folder is canonical) to a canonical target. A
// target that does not exist is Dangling when it would lie inside root. Every unresolvable
// case (loops, unreadable links) counts as Outside: refusing is always safe.
LinkOutcome resolveLink(fs::path link, const fs::path& root, fs::path* target) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code ec;
        fs::path t = fs::read_symlink(link, ec);
        if (ec) return LinkOutcome::Outside;
        if (t.is_relative()) t = link.parent_path() / t;
        fs::path canon = fs::canonical(t, ec);
        if (!ec) {
            *target = canon;
            return isInside(canon, root) ? LinkOutcome::Inside : LinkOutcome::Outside;
        }
        fs::path weak = fs::weakly_canonical(t, ec);
        if (ec || !isInside(weak, root)) return LinkOutcome::Outside;
        struct stat st;
        if (lstat(weak.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            link = weak; // a chain through a link that itself dangles or loops
            continue;
        }
        *target = weak;
        return LinkOutcome::Dangling;
    }
    return LinkOutcome::Outside;
}

// Finds the host name of comp in folder: the exact name, else the first name equal without
// regard to case. Returns 0 and fills *host/*name/*st, or an errno value.
int findEntry(const fs::path& folder, const std::u16string& comp, std::string* host,
              std::u16string* name, struct stat* st) {
    std::string exact = toUtf8(comp);
    if (lstat((folder / exact).c_str(), st) == 0) {
        *host = exact;
        *name = comp;
        return 0;
    }
    if (errno != ENOENT) return errno;
    for (const DeviceName& entry : listDeviceFolder(folder)) {
        if (!equalNoCase(entry.name, comp)) continue;
        if (lstat((folder / entry.host).c_str(), st) != 0) continue;
        *host = entry.host;
        *name = entry.name;
        return 0;
    }
    return ENOENT;
}

// Walks count components of parsed from the root.
DWORD walk(const ParsedPath& parsed, size_t count, PathLookup lookup, bool followLeafLink,
           DevicePath* out) {
    const fs::path root = canonicalFsRoot();
    if (root.empty()) return ERROR_PATH_NOT_FOUND;
    fs::path cur = root;
    std::u16string device;
    struct stat st;
    if (stat(cur.c_str(), &st) != 0) return ERROR_PATH_NOT_FOUND;
    if (count == 0) {
        out->host = root;
        out->device = u"\\";
        out->exists = true;
        out->isRoot = true;
        out->st = st;
        return ERROR_SUCCESS;
    }
    for (size_t i = 0; i < count; ++i) {
        const bool last = i + 1 == count;
        const std::u16string& comp = parsed.components[i];
        if (last) out->givenLeaf = comp;
        std::string host;
        std::u16string name;
        int err = findEntry(cur, comp, &host, &name, &st);
        if (err == ENOENT && last && lookup == PathLookup::Creatable) {
            out->host = cur / toUtf8(comp);
            out->device = device + u"\\" + comp;
            out->exists = false;
            return ERROR_SUCCESS;
        }
        if (err != 0) return errorFromLstat(err, last, lookup);
        fs::path next = cur / host;
        if (S_ISLNK(st.st_mode) && (!last || followLeafLink)) {
            fs::path target;
            switch (resolveLink(next, root, &target)) {
            case LinkOutcome::Outside:
                CE_TRACE("file", "link %s leads outside the device", next.c_str());
                return ERROR_ACCESS_DENIED;
            case LinkOutcome::Dangling:
                if (last && lookup == PathLookup::Existing) return ERROR_FILE_NOT_FOUND;
                return last ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
            case LinkOutcome::Inside: break;
            }
            if (stat(target.c_str(), &st) != 0) return errorFromLstat(errno, last, lookup);
            next = target;
        }
        if (!last && !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
        device += u"\\";
        device += name;
        cur = next;
    }
    out->host = cur;
    out->device = device;
    out->exists = true;
    out->st = st;
    return ERROR_SUCCESS;
}

// Folded form of a name, for ordering and comparison without case.
std::u16string folded(std::u16string_view s) {
    std::u16string f(s);
    for (char16_t& c : f)
        c = foldCase(c);
    return f;
}

// Plain '*'/'?' matching of folded strings, with the usual single backtracking point.
bool matchFolded(std::u16string_view p, std::u16string_view n) {
    size_t pi = 0, ni = 0, starP = std::u16string_view::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == u'?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == u'*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::u16string_view::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*')
        ++pi;
    return pi == p.size();
}

} // namespace

fs::path canonicalFsRoot() {
    if (!haveDevice()) return {};
    static std::mutex lock;
    static fs::path lastRaw, lastCanonical;
    fs::path raw = deviceFsRoot();
    std::lock_guard<std::mutex> guard(lock);
    if (raw != lastRaw || lastCanonical.empty()) {
        std::error_code ec;
        fs::path canon = fs::canonical(raw, ec);
        if (ec) return {};
        lastRaw = raw;
        lastCanonical = canon;
    }
    return lastCanonical;
}

DWORD resolveDevicePath(std::u16string_view path, PathLookup lookup, DevicePath* out,
                        bool followLeafLink) {
    *out = DevicePath{};
    if (!haveDevice()) return ERROR_PATH_NOT_FOUND;
    ParsedPath parsed;
    DWORD err = parsePath(path, false, &parsed);
    if (err != ERROR_SUCCESS) return err;
    out->trailingSeparator = parsed.trailingSeparator;
    err = walk(parsed, parsed.components.size(), lookup, followLeafLink, out);
    out->trailingSeparator = parsed.trailingSeparator;
    if (err != ERROR_SUCCESS) return err;
    // "\name\" names a folder; a file cannot be reached that way.
    if (out->exists && parsed.trailingSeparator && !S_ISDIR(out->st.st_mode))
        return ERROR_INVALID_NAME;
    return ERROR_SUCCESS;
}

DWORD resolveDevicePath(const char16_t* path, PathLookup lookup, DevicePath* out,
                        bool followLeafLink) {
    std::u16string_view view;
    DWORD err = boundedView(path, &view);
    if (err != ERROR_SUCCESS) {
        *out = DevicePath{};
        return err;
    }
    return resolveDevicePath(view, lookup, out, followLeafLink);
}

DWORD resolveFindTarget(const char16_t* path, FindTarget* out) {
    *out = FindTarget{};
    std::u16string_view view;
    DWORD err = boundedView(path, &view);
    if (err != ERROR_SUCCESS) return err;
    if (!haveDevice()) return ERROR_PATH_NOT_FOUND;
    ParsedPath parsed;
    err = parsePath(view, true, &parsed);
    if (err != ERROR_SUCCESS) return err;
    size_t folderCount = parsed.components.size();
    if (!parsed.trailingSeparator && folderCount > 0) {
        out->pattern = parsed.components.back();
        --folderCount;
    }
    DevicePath folder;
    err = walk(parsed, folderCount, PathLookup::Existing, true, &folder);
    if (err == ERROR_FILE_NOT_FOUND) err = ERROR_PATH_NOT_FOUND;
    if (err != ERROR_SUCCESS) return err;
    if (!S_ISDIR(folder.st.st_mode)) return ERROR_PATH_NOT_FOUND;
    out->folder = folder.host;
    out->folderDevice = folder.device;
    return ERROR_SUCCESS;
}

bool matchWildcard(std::u16string_view pattern, std::u16string_view name) {
    const std::u16string p = folded(pattern);
    const std::u16string n = folded(name);
    if (p == u"*.*") return true;
    if (matchFolded(p, n)) return true;
    // DOS forms Windows keeps: "name.*" also finds "name", and "*." finds names without an
    // extension.
    if (p.size() >= 2 && p.compare(p.size() - 2, 2, u".*") == 0)
        return matchFolded(std::u16string_view(p).substr(0, p.size() - 2), n);
    if (!p.empty() && p.back() == u'.' && n.find(u'.') == std::u16string::npos)
        return matchFolded(std::u16string_view(p).substr(0, p.size() - 1), n);
    return false;
}

std::vector<DeviceName> listDeviceFolder(const fs::path& folder) {
    std::vector<DeviceName> out;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return out;
    while (struct dirent* e = readdir(dir.get())) {
        std::string host = e->d_name;
        if (host == "." || host == "..") continue;
        std::u16string name = fromUtf8(host);
        if (toUtf8(name) != host) continue; // not valid UTF-8: no device spelling
        out.push_back({std::move(host), std::move(name)});
    }
    std::vector<std::pair<std::u16string, size_t>> keys;
    keys.reserve(out.size());
    for (size_t i = 0; i < out.size(); ++i)
        keys.emplace_back(folded(out[i].name), i);
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first < b.first;
        return out[a.second].host < out[b.second].host;
    });
    std::vector<DeviceName> sorted;
    sorted.reserve(out.size());
    for (const auto& k : keys)
        sorted.push_back(std::move(out[k.second]));
    return sorted;
}

bool isStorageCardRoot(const fs::path& host) {
    const fs::path root = canonicalFsRoot();
    if (root.empty() || host.parent_path() != root) return false;
    const std::u16string name = fromUtf8(host.filename().native());
    auto conf = deviceConf();
    for (const std::string& card : conf->storageCards)
        if (equalNoCase(fromUtf8(card), name)) return true;
    return false;
}

DWORD deviceAttributes(const fs::path& host, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) {
        DWORD attrs = FILE_ATTRIBUTE_DIRECTORY;
        if (isStorageCardRoot(host)) attrs |= FILE_ATTRIBUTE_TEMPORARY;
        return attrs;
    }
    DWORD attrs = FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR)) attrs |= FILE_ATTRIBUTE_READONLY;
    return attrs;
}

std::u16string hostToDevicePath(const fs::path& host) {
    for (const fs::path& root : {canonicalFsRoot(), deviceFsRoot()}) {
        if (root.empty()) continue;
        const fs::path normal = host.lexically_normal();
        const fs::path rootNormal = root.lexically_normal();
        std::string s = normal.native(), r = rootNormal.native();
        while (s.size() > 1 && s.back() == '/')
            s.pop_back();
        while (r.size() > 1 && r.back() == '/')
            r.pop_back();
        if (!isInside(fs::path(s), fs::path(r))) continue;
        std::u16string out;
        for (const auto& part : fs::path(s.substr(r.size())))
            if (part != "/" && !part.empty()) out += u"\\" + fromUtf8(part.native());
        return out.empty() ? u"\\" : out;
    }
    return {};
}

} // namespace ce
