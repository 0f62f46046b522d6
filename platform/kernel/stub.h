// stub.h: program and library stubs, the files under the device's fs/ that stand for programs
// and libraries built for the host. Inside the platform only.
//
// A device program such as \Windows\zvWakeup.exe is a small text file naming the executable
// that runs it; a device library such as \Windows\Zolvane.dll names a shared object, or one of
// the system libraries built into the platform:
//
//   CEPROGRAM 1                 CELIBRARY 1                 CELIBRARY 1
//   binary = zvWakeup           binary = libzolvane.so      builtin = Imgdecmp.dll
//   entry = calendar
//
// "entry" picks one of the programs a multi-call binary hosts. Lines starting with '#' and
// unknown keys are ignored, so later versions can add keys. Binaries live in one folder: the
// folder of libceplatform.so (the build puts every program and library there), else its
// ../bin or ../lib (an installed tree). A binary name is a plain file name: no '/', no "..".
//
// Only CreateProcessW and LoadLibraryW follow stubs; every other file API sees a plain file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "windef.h"

namespace ce {

enum class StubKind { Program, Library };

struct ProgramStub {
    StubKind kind = StubKind::Program;
    std::string binary;  // file name in the binary folder
    std::string entry;   // programs: the entry of a multi-call binary, or empty
    std::string builtin; // libraries: the built-in system library it stands for, or empty
};

// The largest stub file read; a bigger file is not a stub.
constexpr size_t kMaxStubSize = 4096;

// Parses stub text; false when it is not a well-formed stub.
bool parseStub(std::string_view text, ProgramStub* out);
// The text of a stub (which must be valid: see validStub).
std::string formatStub(const ProgramStub& stub);
// True when the stub's names are acceptable: a binary name is 1..255 bytes with no '/', no
// "..", no control character, and not "."; an entry is 1..64 letters, digits, '_', '-', '.';
// a library names either a binary or a built-in library, a program a binary.
bool validStub(const ProgramStub& stub);
bool validBinaryName(std::string_view name);

// Reads the stub at a host path. ERROR_SUCCESS, or ERROR_BAD_EXE_FORMAT when the file is not a
// stub (or is a folder: ERROR_ACCESS_DENIED), or the error of opening it.
DWORD readStubFile(const std::filesystem::path& host, ProgramStub* out);
// Writes a stub at a host path, atomically (temporary file and rename).
bool writeStubFile(const std::filesystem::path& host, const ProgramStub& stub,
                   std::string* error = nullptr);

// Writes a stub at a device path of the attached device, creating missing folders on the way.
// Returns ERROR_SUCCESS or a file API error code (ERROR_INVALID_PARAMETER for bad names).
DWORD writeProgramStub(std::u16string_view devicePath, std::string_view binary,
                       std::string_view entry = {});
DWORD writeLibraryStub(std::u16string_view devicePath, std::string_view binary);

// The folders binaries are looked up in, best first.
std::vector<std::filesystem::path> binaryFolders();
// The host path of a binary named by a stub. A library name that is not found as given is
// also tried as lib<name>.so. False when it does not exist.
bool locateBinary(std::string_view name, StubKind kind, std::filesystem::path* out);

} // namespace ce
