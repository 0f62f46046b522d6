// modules.cpp: the loader: LoadLibraryW, FreeLibrary, GetProcAddress, GetModuleHandleW,
// GetModuleFileNameW, the module table behind them, and the system libraries' registry (see
// modules.h).
//
// A plug-in library is a shared object opened with dlopen (RTLD_LOCAL: its symbols never leak
// into other libraries) and named by a library stub under fs/. Its exports come from the table
// dllexports.h declares; without one, from its own C-linkage symbols by name. Every dlsym
// answer is checked to lie in the library itself, because dlsym also searches a library's
// dependencies: asking a plug-in for "printf" must not find the C library's.
//
// The loader lock is recursive and held while DllMain runs, as on the device, so DllMain may
// call GetModuleFileNameW, GetProcAddress or even LoadLibraryW.
#include "kernel/modules.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "dllexports.h"
#include "kernel/device.h"
#include "kernel/devpath.h"
#include "kernel/process.h"
#include "kernel/strings.h"
#include "kernel/stub.h"
#include "kernel/trace.h"
#include "winbase.h"
#include "winprocess.h"

namespace ce {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kFirstLibraryModule = 0x10000000;
constexpr uint32_t kLastLibraryModule = 0x7FFF0000;
constexpr uint32_t kModuleStep = 0x10000;
constexpr size_t kMaxExportName = 255;
constexpr size_t kMaxExportTable = 65536;

using DllMainFn = BOOL (*)(HANDLE, DWORD, LPVOID);

// ---- System library registry ------------------------------------------------------------------

std::mutex& registryLock() {
    static std::mutex m;
    return m;
}
std::vector<const BuiltinLibrary*>& registry() {
    static std::vector<const BuiltinLibrary*> libs;
    return libs;
}

bool asciiEqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string_view leafOf(std::string_view path) {
    size_t sep = path.find_last_of("\\/");
    return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

// True when a system library other than lib lists an export of that name.
bool claimedElsewhere(const BuiltinLibrary* lib, const char* name) {
    for (const BuiltinLibrary* other : builtinLibraries()) {
        if (other == lib) continue;
        for (size_t i = 0; i < other->exportCount; ++i)
            if (other->exports[i].name && strcmp(other->exports[i].name, name) == 0) return true;
    }
    return false;
}

// A C identifier: what a platform function's name looks like, and nothing else may reach dlsym.
bool isIdentifier(const char* name) {
    if (!name || !*name || name[0] == '_') return false;
    for (const char* p = name; *p; ++p) {
        char c = *p;
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
                  (p != name && c >= '0' && c <= '9');
        if (!ok) return false;
    }
    return true;
}

// ---- The module table ---------------------------------------------------------------------------

enum class ModuleKind { Program, Builtin, Library };

struct Module {
    uint32_t value = 0;
    ModuleKind kind = ModuleKind::Library;
    std::u16string name;
    std::u16string devicePath;
    fs::path host;
    void* dl = nullptr;
    link_map* map = nullptr; // the object's link map: which addresses belong to it
    const BuiltinLibrary* builtin = nullptr;
    const CeExport* exports = nullptr;
    size_t exportCount = 0;
    DllMainFn dllMain = nullptr;
    int refs = 0;
};

struct Loader {
    std::recursive_mutex lock;
    bool ready = false;
    std::map<uint32_t, std::unique_ptr<Module>> modules;
    uint32_t next = kFirstLibraryModule;
    void* programDl = nullptr;
    link_map* programMap = nullptr;
    void* platformDl = nullptr;
    link_map* platformMap = nullptr;
};

link_map* linkMapOf(void* dl) {
    link_map* map = nullptr;
    if (!dl || dlinfo(dl, RTLD_DI_LINKMAP, &map) != 0) return nullptr;
    return map;
}

link_map* linkMapOfAddress(const void* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (!dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP)) return nullptr;
    return map;
}

// dlsym, answered only when the symbol lies in the object itself.
void* ownSymbol(void* dl, link_map* map, const char* name) {
    if (!dl || !map) return nullptr;
    void* sym = dlsym(dl, name);
    return sym && linkMapOfAddress(sym) == map ? sym : nullptr;
}

Loader& loaderState() {
    static Loader loader;
    return loader;
}

uint32_t allocateValue(Loader& l) {
    for (;;) {
        uint32_t value = l.next;
        l.next = value >= kLastLibraryModule ? kFirstLibraryModule : value + kModuleStep;
        if (!l.modules.count(value)) return value;
    }
}

const BuiltinLibrary* coredll() {
    return findBuiltinLibrary(u"coredll.dll");
}

// Sets up the program's module and coredll.dll, which every process has loaded; under the lock.
void prepare(Loader& l) {
    if (l.ready) return;
    l.ready = true;
    l.programDl = dlopen(nullptr, RTLD_LAZY);
    l.programMap = linkMapOf(l.programDl);
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&prepare), &info) && info.dli_fname) {
        l.platformDl = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
        l.platformMap = linkMapOf(l.platformDl);
    }
    auto program = std::make_unique<Module>();
    program->value = kProgramModule;
    program->kind = ModuleKind::Program;
    program->dl = l.programDl;
    program->map = l.programMap;
    program->refs = 1;
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) program->host = std::string(buf, static_cast<size_t>(n));
    l.modules[kProgramModule] = std::move(program);
    if (const BuiltinLibrary* core = coredll()) {
        auto m = std::make_unique<Module>();
        m->value = allocateValue(l);
        m->kind = ModuleKind::Builtin;
        m->builtin = core;
        m->name = fromUtf8(core->name);
        m->devicePath = u"\\Windows\\" + m->name;
        m->dl = l.platformDl;
        m->map = l.platformMap;
        m->refs = 1; // pinned: the kernel library is never unloaded
        l.modules[m->value] = std::move(m);
    }
}

Module* findModule(Loader& l, HMODULE h) {
    uintptr_t raw = reinterpret_cast<uintptr_t>(h);
    if (raw > UINT32_MAX) return nullptr;
    auto it = l.modules.find(static_cast<uint32_t>(raw));
    return it == l.modules.end() ? nullptr : it->second.get();
}

Module* findBuiltinModule(Loader& l, const BuiltinLibrary* lib) {
    for (auto& [value, m] : l.modules)
        if (m->builtin == lib) return m.get();
    return nullptr;
}

HMODULE handleOf(const Module* m) {
    return static_cast<HMODULE>(ULongToHandle(m->value));
}

// Reads a NUL-terminated UTF-16 string of at most limit units; false when longer.
bool boundedWide(const char16_t* s, size_t limit, std::u16string* out) {
    size_t n = 0;
    while (n <= limit && s[n])
        ++n;
    if (n > limit) return false;
    out->assign(s, n);
    return true;
}

bool isSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// A library name split into its folder (empty for a bare name) and its file name, which gets
// ".dll" when it has no extension; a trailing period means "no extension".
struct LibraryName {
    std::u16string folder;
    std::u16string leaf;
    bool hasPath = false;
};

LibraryName splitLibraryName(std::u16string_view name) {
    LibraryName out;
    size_t sep = std::u16string_view::npos;
    for (size_t i = 0; i < name.size(); ++i)
        if (isSeparator(name[i])) sep = i;
    if (sep != std::u16string_view::npos) {
        out.hasPath = true;
        out.folder = name.substr(0, sep);
        out.leaf = name.substr(sep + 1);
    } else {
        out.leaf = name;
    }
    if (!out.leaf.empty() && out.leaf.back() == u'.')
        out.leaf.pop_back();
    else if (!out.leaf.empty() && out.leaf.find(u'.') == std::u16string::npos)
        out.leaf += u".dll";
    return out;
}

// True for "\Windows", "Windows" and "/windows": the folder the system libraries live in.
bool isWindowsFolder(std::u16string_view folder) {
    while (!folder.empty() && isSeparator(folder.front()))
        folder.remove_prefix(1);
    return equalNoCase(folder, u"Windows");
}

std::u16string parentFolder(const std::u16string& devicePath) {
    size_t sep = devicePath.find_last_of(u"\\/");
    return sep == std::u16string::npos ? std::u16string() : devicePath.substr(0, sep);
}

HMODULE attachBuiltin(Loader& l, const BuiltinLibrary* lib) {
    if (isLibraryWithdrawn(lib->name)) {
        CE_TRACE("loader", "%s is withdrawn by the device", lib->name);
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    Module* m = findBuiltinModule(l, lib);
    if (!m) {
        auto fresh = std::make_unique<Module>();
        fresh->value = allocateValue(l);
        fresh->kind = ModuleKind::Builtin;
        fresh->builtin = lib;
        fresh->name = fromUtf8(lib->name);
        fresh->devicePath = u"\\Windows\\" + fresh->name;
        fresh->dl = l.platformDl;
        fresh->map = l.platformMap;
        m = fresh.get();
        l.modules[m->value] = std::move(fresh);
    }
    ++m->refs;
    return handleOf(m);
}

// Finds the stub of a library: a path as given, a bare name in the program's folder, \Windows
// and the root.
DWORD findLibraryStub(const LibraryName& name, std::u16string_view given, DevicePath* found) {
    std::vector<std::u16string> candidates;
    if (name.hasPath) {
        candidates.emplace_back(name.folder + u"\\" + name.leaf);
    } else {
        std::u16string launch = parentFolder(currentProgramPath());
        if (!launch.empty() && !isWindowsFolder(launch))
            candidates.push_back(launch + u"\\" + name.leaf);
        candidates.push_back(u"\\Windows\\" + name.leaf);
        candidates.push_back(u"\\" + name.leaf);
    }
    for (const auto& c : candidates) {
        DWORD err = resolveDevicePath(c, PathLookup::Existing, found);
        if (err == ERROR_SUCCESS) return err;
        if (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND) {
            CE_TRACE("loader", "%s: bad name (%u)", toUtf8(given).c_str(), err);
            return ERROR_MOD_NOT_FOUND;
        }
    }
    return ERROR_MOD_NOT_FOUND;
}

// Counts a dllexports.h table, refusing one that does not end within kMaxExportTable entries.
size_t exportTableSize(const CeExport* table) {
    for (size_t i = 0; i < kMaxExportTable; ++i)
        if (!table[i].address) return i;
    return 0;
}

HMODULE loadFromStub(Loader& l, const DevicePath& found) {
    if (S_ISDIR(found.st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    ProgramStub stub;
    DWORD err = readStubFile(found.host, &stub);
    if (err != ERROR_SUCCESS || stub.kind != StubKind::Library) {
        CE_TRACE("loader", "%s is not a library", toUtf8(found.device).c_str());
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    if (!stub.builtin.empty()) {
        const BuiltinLibrary* lib = findBuiltinLibrary(fromUtf8(stub.builtin));
        if (!lib) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        return attachBuiltin(l, lib);
    }
    std::u16string leaf = found.device.substr(found.device.find_last_of(u'\\') + 1);
    if (isLibraryWithdrawn(toUtf8(leaf))) {
        CE_TRACE("loader", "%s is withdrawn by the device", toUtf8(leaf).c_str());
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    fs::path binary;
    if (!locateBinary(stub.binary, StubKind::Library, &binary)) {
        CE_TRACE("loader", "%s: %s is not built", toUtf8(found.device).c_str(),
                 stub.binary.c_str());
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* dl = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!dl) {
        const char* why = dlerror();
        CE_TRACE("loader", "dlopen %s: %s", binary.c_str(), why ? why : "?");
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    for (auto& [value, m] : l.modules) {
        if (m->dl == dl && m->kind == ModuleKind::Library) {
            dlclose(dl); // the module holds its own reference
            ++m->refs;
            return handleOf(m.get());
        }
    }
    auto fresh = std::make_unique<Module>();
    Module* m = fresh.get();
    m->value = allocateValue(l);
    m->kind = ModuleKind::Library;
    m->name = leaf;
    m->devicePath = found.device;
    m->host = binary;
    m->dl = dl;
    m->map = linkMapOf(dl);
    if (auto* table = static_cast<const CeExport*>(ownSymbol(dl, m->map, CE_EXPORTS_SYMBOL))) {
        m->exports = table;
        m->exportCount = exportTableSize(table);
    }
    // DllMain has C linkage when the library includes winprocess.h; a definition that did not
    // see the declaration, or takes an HINSTANCE, has a C++ name.
    for (const char* name : {"DllMain", "_Z7DllMainPvjS_", "_Z7DllMainP11HINSTANCE__jPv"}) {
        if (void* sym = ownSymbol(dl, m->map, name)) {
            m->dllMain = reinterpret_cast<DllMainFn>(sym);
            break;
        }
    }
    m->refs = 1;
    l.modules[m->value] = std::move(fresh);
    CE_TRACE("loader", "loaded %s (%s) as %#x", toUtf8(m->devicePath).c_str(), binary.c_str(),
             m->value);
    if (m->dllMain && !m->dllMain(handleOf(m), DLL_PROCESS_ATTACH, nullptr)) {
        // A refused attach is followed at once by the detach call, and the library goes.
        m->dllMain(handleOf(m), DLL_PROCESS_DETACH, nullptr);
        uint32_t value = m->value;
        l.modules.erase(value);
        dlclose(dl);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return handleOf(m);
}

// The export of a module by name (name != null) or by ordinal.
void* findExport(Loader& l, const Module& m, const char* name, unsigned ordinal) {
    std::string libName = toUtf8(m.name);
    auto withdrawn = [&](const char* n, unsigned o) {
        if (isExportWithdrawn(libName, n, o)) {
            CE_TRACE("loader", "%s!%s (#%u) is withdrawn by the device", libName.c_str(),
                     n ? n : "", o);
            return true;
        }
        return false;
    };
    if (m.kind == ModuleKind::Builtin) {
        for (size_t i = 0; i < m.builtin->exportCount; ++i) {
            const BuiltinExport& e = m.builtin->exports[i];
            bool match = name ? (e.name && strcmp(e.name, name) == 0)
                              : (e.ordinal != 0 && e.ordinal == ordinal);
            if (match) return withdrawn(e.name, e.ordinal) ? nullptr : e.address;
        }
        if (!name || !m.builtin->platformByName || !isIdentifier(name) ||
            claimedElsewhere(m.builtin, name))
            return nullptr;
        void* sym = ownSymbol(l.platformDl, l.platformMap, name);
        return sym && !withdrawn(name, 0) ? sym : nullptr;
    }
    if (m.exports) {
        for (size_t i = 0; i < m.exportCount; ++i) {
            const CeExport& e = m.exports[i];
            bool match = name ? (e.name && strcmp(e.name, name) == 0)
                              : (e.ordinal != 0 && e.ordinal == ordinal);
            if (match) return withdrawn(e.name, e.ordinal) ? nullptr : e.address;
        }
        return nullptr;
    }
    if (!name || !isIdentifier(name)) return nullptr;
    void* sym = ownSymbol(m.dl, m.map, name);
    return sym && !withdrawn(name, 0) ? sym : nullptr;
}

FARPROC getProcAddress(HMODULE hModule, const char* name, unsigned ordinal) {
    Loader& l = loaderState();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    prepare(l);
    Module* m =
        findModule(l, hModule ? hModule : static_cast<HMODULE>(ULongToHandle(kProgramModule)));
    if (!m) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* address = findExport(l, *m, name, ordinal);
    if (!address) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(address);
}

bool withdrawnMatches(std::string_view entry, std::string_view library, char sep,
                      std::string_view item) {
    size_t at = entry.rfind(sep);
    if (at == std::string_view::npos) return false;
    return asciiEqualNoCase(leafOf(entry.substr(0, at)), leafOf(library)) &&
           entry.substr(at + 1) == item;
}

} // namespace

// ---- Registry and profile -------------------------------------------------------------------

BuiltinLibraryRegistration::BuiltinLibraryRegistration(const BuiltinLibrary& lib) {
    std::lock_guard<std::mutex> guard(registryLock());
    registry().push_back(&lib);
}

std::vector<const BuiltinLibrary*> builtinLibraries() {
    std::lock_guard<std::mutex> guard(registryLock());
    return registry();
}

const BuiltinLibrary* findBuiltinLibrary(std::u16string_view name) {
    for (const BuiltinLibrary* lib : builtinLibraries())
        if (equalNoCase(fromUtf8(lib->name), name)) return lib;
    return nullptr;
}

bool isLibraryWithdrawn(std::string_view library) {
    auto conf = deviceConf();
    for (const auto& entry : conf->profile.withdrawn) {
        if (entry.find_first_of("!#") != std::string::npos) continue;
        if (asciiEqualNoCase(leafOf(entry), leafOf(library))) return true;
    }
    return false;
}

bool isExportWithdrawn(std::string_view library, const char* name, unsigned ordinal) {
    auto conf = deviceConf();
    std::string ordinalText = ordinal ? std::to_string(ordinal) : std::string();
    for (const auto& entry : conf->profile.withdrawn) {
        if (name && withdrawnMatches(entry, library, '!', name)) return true;
        if (ordinal && withdrawnMatches(entry, library, '#', ordinalText)) return true;
    }
    return false;
}

bool writeBuiltinLibraryStubs(const fs::path& fsRoot, const std::vector<std::string>& withdrawn,
                              std::string* error) {
    fs::path folder = fsRoot / "Windows";
    for (const BuiltinLibrary* lib : builtinLibraries()) {
        bool gone = false;
        for (const auto& entry : withdrawn)
            if (entry.find_first_of("!#") == std::string::npos &&
                asciiEqualNoCase(leafOf(entry), lib->name))
                gone = true;
        fs::path host = folder / lib->name;
        ProgramStub existing;
        DWORD err = readStubFile(host, &existing);
        bool ours = err == ERROR_SUCCESS && existing.kind == StubKind::Library &&
                    asciiEqualNoCase(existing.builtin, lib->name);
        if (gone) {
            if (ours) unlink(host.c_str());
            continue;
        }
        if (ours || err != ERROR_FILE_NOT_FOUND) continue;
        ProgramStub stub;
        stub.kind = StubKind::Library;
        stub.builtin = lib->name;
        if (!writeStubFile(host, stub, error)) return false;
    }
    return true;
}

bool moduleInfo(HMODULE h, ModuleInfo* out) {
    Loader& l = loaderState();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    prepare(l);
    Module* m = findModule(l, h);
    if (!m) return false;
    out->handle = handleOf(m);
    out->name = m->kind == ModuleKind::Program
                    ? currentProgramPath().substr(currentProgramPath().find_last_of(u'\\') + 1)
                    : m->name;
    out->devicePath = m->kind == ModuleKind::Program ? currentProgramPath() : m->devicePath;
    out->host = m->host;
    out->dl = m->dl;
    out->builtin = m->builtin;
    return true;
}

HMODULE moduleOfAddress(const void* address) {
    link_map* map = linkMapOfAddress(address);
    if (!map) return nullptr;
    Loader& l = loaderState();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    prepare(l);
    if (map == l.platformMap) {
        if (Module* core = findBuiltinModule(l, coredll())) return handleOf(core);
        return nullptr;
    }
    for (auto& [value, m] : l.modules)
        if (m->kind != ModuleKind::Builtin && m->map == map) return handleOf(m.get());
    return nullptr;
}

} // namespace ce

// ---- The API ------------------------------------------------------------------------------------

using namespace ce;

// Loads a library (see winprocess.h for the search order and the errors).
WINBASEAPI HMODULE LoadLibraryW(LPCWSTR lpLibFileName) {
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::u16string given;
    if (!boundedWide(lpLibFileName, MAX_PATH - 1, &given)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    LibraryName name = splitLibraryName(given);
    if (name.leaf.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    Loader& l = loaderState();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    prepare(l);
    if (!name.hasPath || isWindowsFolder(name.folder))
        if (const BuiltinLibrary* lib = findBuiltinLibrary(name.leaf)) return attachBuiltin(l, lib);
    DevicePath found;
    DWORD err = findLibraryStub(name, given, &found);
    if (err != ERROR_SUCCESS) {
        CE_TRACE("loader", "%s: not found", toUtf8(given).c_str());
        SetLastError(err);
        return nullptr;
    }
    return loadFromStub(l, found);
}

// Drops a reference to a library; the last one calls DllMain with DLL_PROCESS_DETACH and
// unloads it. The program and the system libraries stay.
WINBASEAPI BOOL FreeLibrary(HMODULE hLibModule) {
    Loader& l = loaderState();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    prepare(l);
    Module* m = findModule(l, hLibModule);
    if (!m) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (m->kind == ModuleKind::Program) return TRUE;
    if (m->kind == ModuleKind::Builtin) {
        if (m->refs > 1) --m->refs;
        return TRUE;
    }
    if (m->refs <= 0) { // its DllMain is running the detach already
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--m->refs > 0) return TRUE;
    if (m->dllMain) m->dllMain(handleOf(m), DLL_PROCESS_DETACH, nullptr);
    void* dl = m->dl;
    CE_TRACE("loader", "unloading %s", toUtf8(m->devicePath).c_str());
    l.modules.erase(m->value);
    dlclose(dl);
    return TRUE;
}

// An export by wide name or by ordinal (MAKEINTRESOURCE value). Names are ASCII on the device;
// any other character cannot name an export.
WINBASEAPI FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName) {
    uintptr_t raw = reinterpret_cast<uintptr_t>(lpProcName);
    if (raw < 0x10000) return getProcAddress(hModule, nullptr, static_cast<unsigned>(raw));
    std::string name;
    for (size_t i = 0; lpProcName[i]; ++i) {
        if (i >= kMaxExportName || lpProcName[i] >= 0x80) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        name.push_back(static_cast<char>(lpProcName[i]));
    }
    return getProcAddress(hModule, name.c_str(), 0);
}

// The same with a narrow name.
WINBASEAPI FARPROC GetProcAddressA(HMODULE hModule, LPCSTR lpProcName) {
    uintptr_t raw = reinterpret_cast<uintptr_t>(lpProcName);
    if (raw < 0x10000) return getProcAddress(hModule, nullptr, static_cast<unsigned>(raw));
    size_t n = 0;
    while (n <= kMaxExportName && lpProcName[n])
        ++n;
    if (n > kMaxExportName) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return getProcAddress(hModule, std::string(lpProcName, n).c_str(), 0);
}

// The handle of a loaded module by name or device path; NULL gives the program's own.
WINBASEAPI HMODULE GetModuleHandleW(LPCWSTR lpModuleName) {
    Loader& l = loaderState();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    prepare(l);
    if (!lpModuleName) return static_cast<HMODULE>(ULongToHandle(kProgramModule));
    std::u16string given;
    if (!boundedWide(lpModuleName, MAX_PATH - 1, &given)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    LibraryName name = splitLibraryName(given);
    bool byLeaf = !name.hasPath || isWindowsFolder(name.folder);
    std::u16string path = name.folder + u"\\" + name.leaf;
    for (auto& [value, m] : l.modules) {
        if (m->kind == ModuleKind::Program || m->refs <= 0) continue;
        bool match = byLeaf ? equalNoCase(m->name, name.leaf) : equalNoCase(m->devicePath, path);
        if (match) return handleOf(m.get());
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

// The device path of a module into lpFilename, always NUL-terminated; a path that does not fit
// is cut, and the result is then nSize with ERROR_INSUFFICIENT_BUFFER.
WINBASEAPI DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    ModuleInfo info;
    if (!moduleInfo(hModule ? hModule : static_cast<HMODULE>(ULongToHandle(kProgramModule)),
                    &info)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!lpFilename || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::u16string& path = info.devicePath;
    if (path.size() >= nSize) {
        std::copy_n(path.data(), nSize - 1, lpFilename);
        lpFilename[nSize - 1] = u'\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::copy_n(path.data(), path.size(), lpFilename);
    lpFilename[path.size()] = u'\0';
    return static_cast<DWORD>(path.size());
}

// Thread notices are never sent, so there is nothing to switch off; the module must exist.
WINBASEAPI BOOL DisableThreadLibraryCalls(HMODULE hLibModule) {
    Loader& l = loaderState();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    prepare(l);
    if (!findModule(l, hLibModule)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
