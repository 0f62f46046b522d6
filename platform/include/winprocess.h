// winprocess.h: processes and modules of the device: starting and ending programs, their exit
// codes, loading libraries and finding their exports.
//
// Every program of the device is a process of its own. A program starts in WinMain, which
// receives its command line exactly as the starting program passed it (one string, without
// the program's name). Libraries are loaded with LoadLibraryW by device path or by name; the
// system libraries (coredll.dll and the others) are built into the platform, plug-in libraries
// are shared objects named by small stub files under the device's file system.
//
// Module handles (HMODULE, HINSTANCE) are 32-bit values of the process's module table, not
// addresses: a program's own module is always 0x00010000.
#pragma once

#include "windef.h"

#ifndef STILL_ACTIVE
#define STILL_ACTIVE 259UL
#endif

// fdwCreate flags of CreateProcessW; the device runs every process at one priority and has no
// consoles or debugger, so only the documented values are accepted, none changes anything.
#define DEBUG_PROCESS           0x00000001
#define DEBUG_ONLY_THIS_PROCESS 0x00000002
#ifndef CREATE_SUSPENDED
#define CREATE_SUSPENDED 0x00000004UL
#endif
#define CREATE_NEW_CONSOLE      0x00000010
#define INHERIT_CALLER_PRIORITY 0x00020000

// Access rights of OpenProcess. The device does not check them.
#ifndef SYNCHRONIZE
#define SYNCHRONIZE 0x00100000L
#endif
#define PROCESS_TERMINATE         0x0001
#define PROCESS_VM_READ           0x0010
#define PROCESS_QUERY_INFORMATION 0x0400
#define PROCESS_ALL_ACCESS        0x001F0FFFL

// Reasons passed to a library's DllMain.
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH  2
#define DLL_THREAD_DETACH  3

// Resource and export numbers passed where a name is expected: a value below 0x10000 in the
// pointer is a number, not a string.
#ifndef IS_INTRESOURCE
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)
#endif
#ifndef MAKEINTRESOURCEW
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE     MAKEINTRESOURCEW
#endif

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *PPROCESS_INFORMATION, *LPPROCESS_INFORMATION;

typedef struct _STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
} STARTUPINFOW, *LPSTARTUPINFOW;
typedef STARTUPINFOW STARTUPINFO;
typedef LPSTARTUPINFOW LPSTARTUPINFO;

// An export's address. The device's SDK returns an INT_PTR here; this one returns nothing,
// the function type the compiler lets a program cast to any other without a warning, which is
// what every caller of GetProcAddress does.
typedef void(WINAPI* FARPROC)(void);

#ifdef __cplusplus
extern "C" {
#endif

// ---- Program entry points ---------------------------------------------------------------------
// A device program defines WinMain; the start-up library (cewinmain) calls it with the
// program's module handle, a null previous instance, the command line exactly as the starting
// program passed it (a writable copy) and SW_SHOW. Declared with C linkage, so a definition
// with these types in a C++ file is found whatever the file.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);

// A library may define DllMain; the loader calls it with DLL_PROCESS_ATTACH when LoadLibraryW
// first loads the library (FALSE fails the load) and DLL_PROCESS_DETACH when the last
// FreeLibrary releases it. Declared as the Windows CE documentation writes it; a definition
// that takes an HINSTANCE instead of a HANDLE is found as well.
BOOL WINAPI DllMain(HANDLE hinstDLL, DWORD dwReason, LPVOID lpvReserved);

// ---- Processes ------------------------------------------------------------------------------
// Starts a device program. pszImageName is a device path ("\Windows\clock.exe") or a bare name
// searched in \Windows and then in the root; a bare name without an extension gets ".exe".
// pszCmdLine reaches the program's WinMain unchanged (NULL gives an empty command line). The
// other arguments are not supported on the device and are ignored, as there; pProcInfo may be
// NULL. Errors: ERROR_FILE_NOT_FOUND (no such program), ERROR_PATH_NOT_FOUND (no such folder),
// ERROR_BAD_EXE_FORMAT (the file is not a program), ERROR_INVALID_PARAMETER.
WINBASEAPI BOOL CreateProcessW(LPCWSTR pszImageName, LPCWSTR pszCmdLine,
                               LPSECURITY_ATTRIBUTES psaProcess, LPSECURITY_ATTRIBUTES psaThread,
                               BOOL fInheritHandles, DWORD fdwCreate, LPVOID pvEnvironment,
                               LPWSTR pszCurDir, LPSTARTUPINFOW psiStartInfo,
                               LPPROCESS_INFORMATION pProcInfo);
// Ends a process at once with the given exit code. Fails with ERROR_ACCESS_DENIED when the
// process has already ended.
WINBASEAPI BOOL TerminateProcess(HANDLE hProcess, DWORD uExitCode);
// A handle to a running process of the device; ERROR_INVALID_PARAMETER for any other number.
WINBASEAPI HANDLE OpenProcess(DWORD fdwAccess, BOOL fInherit, DWORD IDProcess);
// STILL_ACTIVE while the process runs, then its exit code.
WINBASEAPI BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
WINBASEAPI DWORD GetCurrentProcessId(void);
// A pseudo-handle meaning "this process" for the process functions; it needs no closing.
WINBASEAPI HANDLE GetCurrentProcess(void);
// Ends this process with the exit code.
WINBASEAPI void ExitProcess(UINT uExitCode) __attribute__((noreturn));

// ---- Libraries ------------------------------------------------------------------------------
// Loads a library, or adds a reference to one already loaded. A bare name is looked up among
// the system libraries first, then as a file in the program's own folder, in \Windows and in
// the root; a name without an extension gets ".dll". Names compare without regard to case.
// Errors: ERROR_MOD_NOT_FOUND (no such library, or withdrawn by the device), ERROR_BAD_EXE_FORMAT
// (the file is not a library), ERROR_DLL_INIT_FAILED (its DllMain refused).
WINBASEAPI HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
// Drops a reference; the last one detaches and unloads the library.
WINBASEAPI BOOL FreeLibrary(HMODULE hLibModule);
// An export by name, or by ordinal when the pointer's value is below 0x10000
// (MAKEINTRESOURCE). ERROR_PROC_NOT_FOUND when there is none or the device withdrew it.
WINBASEAPI FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName);
WINBASEAPI FARPROC GetProcAddressA(HMODULE hModule, LPCSTR lpProcName);
// The handle of a loaded module by name, without adding a reference; NULL names the program.
WINBASEAPI HMODULE GetModuleHandleW(LPCWSTR lpModuleName);
// The device path of a module (NULL: the program), truncated to nSize characters with the
// terminating NUL; the result is the length copied without it.
WINBASEAPI DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
// Thread attach and detach notices are never sent on this device; accepted for any module.
WINBASEAPI BOOL DisableThreadLibraryCalls(HMODULE hLibModule);

#ifdef __cplusplus
}
#endif

#define CreateProcess     CreateProcessW
#define LoadLibrary       LoadLibraryW
#define GetModuleHandle   GetModuleHandleW
#define GetModuleFileName GetModuleFileNameW

// GetProcAddress takes wide names on the device and narrow ones on the desktop; both work.
#ifdef __cplusplus
inline FARPROC GetProcAddress(HMODULE hModule, LPCWSTR lpProcName) {
    return GetProcAddressW(hModule, lpProcName);
}
inline FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    return GetProcAddressA(hModule, lpProcName);
}
#else
#define GetProcAddress GetProcAddressW
#endif
