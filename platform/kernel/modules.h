// modules.h: the process's module table, seen from inside the platform: the program itself,
// the system libraries built into the platform, and the plug-in libraries LoadLibraryW opened.
//
// Each module has a 32-bit handle value (HMODULE / HINSTANCE) of its own, unrelated to the
// kernel handle table: the program is always 0x00010000, libraries get values from 0x10000000
// upwards in steps of 0x10000, which are not reused while the process lives.
//
// A system library is a table of exports (ordinal, name, address) registered by a file of its
// own, e.g. lib_coredll.cpp:
//
//   const BuiltinExport kAygshellExports[] = {{75, "SHLoadImageFile", (void*)&SHLoadImageFile}};
//   const BuiltinLibrary kAygshell{"aygshell.dll", kAygshellExports, 1, false};
//   const BuiltinLibraryRegistration registerAygshell(kAygshell);
//
// The device's profile can withdraw a library or one export (DeviceProfile::withdrawn):
// "Imgdecmp.dll", "coredll.dll!AlphaBlend", "aygshell.dll#75". Library names compare without
// regard to case, export names with it, as on the device.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "windef.h"

namespace ce {

struct BuiltinExport {
    WORD ordinal;     // 0: by name only
    const char* name; // null: by ordinal only
    void* address;
};

struct BuiltinLibrary {
    const char* name; // as the device spells it: "Imgdecmp.dll"
    const BuiltinExport* exports;
    size_t exportCount;
    // Names missing from the table resolve to the platform's own C functions of that name
    // (coredll.dll, which holds the kernel), unless another system library lists the name.
    bool platformByName;
};

// Adds a system library to the table; lib must outlive the process (a static object).
struct BuiltinLibraryRegistration {
    explicit BuiltinLibraryRegistration(const BuiltinLibrary& lib);
};

std::vector<const BuiltinLibrary*> builtinLibraries();
// A system library by its file name ("IMGDECMP.DLL" finds "Imgdecmp.dll"); null if none.
const BuiltinLibrary* findBuiltinLibrary(std::u16string_view name);

// Writes a library stub into fsRoot/Windows for each system library that withdrawn does not
// name, so that the file API finds "\Windows\Imgdecmp.dll" as on the device; removes the stub of
// a withdrawn one. Files that are not system-library stubs are left alone. For createDevice
// and for changes of the withdrawn list.
bool writeBuiltinLibraryStubs(const std::filesystem::path& fsRoot,
                              const std::vector<std::string>& withdrawn,
                              std::string* error = nullptr);

// Whether the attached device's profile withdraws a library (by file name, a path's leaf
// counts), or an export given by name and/or ordinal (0: none).
bool isLibraryWithdrawn(std::string_view library);
bool isExportWithdrawn(std::string_view library, const char* name, unsigned ordinal);

constexpr uint32_t kProgramModule = 0x00010000;

struct ModuleInfo {
    HMODULE handle = nullptr;
    std::u16string name;        // "Zolvane.dll"; the program's leaf for the program
    std::u16string devicePath;  // "\Windows\Zolvane.dll"
    std::filesystem::path host; // the shared object or executable; empty for a system library
    void* dl = nullptr;         // dlopen handle (the platform's for a system library)
    const BuiltinLibrary* builtin = nullptr;
};

// What the module table knows of a loaded module; false when h is not one.
bool moduleInfo(HMODULE h, ModuleInfo* out);
// The module whose code or data holds address: the program, a plug-in library, or coredll.dll
// for the platform itself. Null when none does.
HMODULE moduleOfAddress(const void* address);

} // namespace ce
