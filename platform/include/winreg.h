// winreg.h: the device registry: predefined root keys, value types, key access rights and the
// Reg* functions of coredll, with the values Windows CE documents.
//
// The registry is one store shared by every process of the device. Key and value names compare
// without regard to case but keep the case they were created with; values enumerate in the order
// in which they were first created. Every write is atomic and at once visible to every process.
#pragma once

#include "windef.h"
#include "winerror.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef DWORD REGSAM;
typedef HKEY* PHKEY;
typedef LONG LSTATUS;

// Predefined roots. They are 32-bit values like every handle of the device; the registry also
// accepts their sign-extended 64-bit form.
#define HKEY_CLASSES_ROOT  ((HKEY)(ULONG_PTR)0x80000000UL)
#define HKEY_CURRENT_USER  ((HKEY)(ULONG_PTR)0x80000001UL)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002UL)
#define HKEY_USERS         ((HKEY)(ULONG_PTR)0x80000003UL)

// Value types.
#define REG_NONE                       0
#define REG_SZ                         1
#define REG_EXPAND_SZ                  2
#define REG_BINARY                     3
#define REG_DWORD                      4
#define REG_DWORD_LITTLE_ENDIAN        4
#define REG_DWORD_BIG_ENDIAN           5
#define REG_LINK                       6
#define REG_MULTI_SZ                   7
#define REG_RESOURCE_LIST              8
#define REG_FULL_RESOURCE_DESCRIPTOR   9
#define REG_RESOURCE_REQUIREMENTS_LIST 10
#define REG_QWORD                      11
#define REG_QWORD_LITTLE_ENDIAN        11

// Access rights. Windows CE keeps no security on keys: the rights are accepted and not checked.
#define KEY_QUERY_VALUE        0x0001
#define KEY_SET_VALUE          0x0002
#define KEY_CREATE_SUB_KEY     0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY             0x0010
#define KEY_CREATE_LINK        0x0020
#define KEY_READ               0x00020019
#define KEY_WRITE              0x00020006
#define KEY_EXECUTE            0x00020019
#define KEY_ALL_ACCESS         0x000F003F

// RegCreateKeyEx options and dispositions.
#define REG_OPTION_RESERVED       0x00000000
#define REG_OPTION_NON_VOLATILE   0x00000000
#define REG_OPTION_VOLATILE       0x00000001
#define REG_OPTION_CREATE_LINK    0x00000002
#define REG_OPTION_BACKUP_RESTORE 0x00000004
#define REG_OPTION_OPEN_LINK      0x00000008
#define REG_CREATED_NEW_KEY       0x00000001
#define REG_OPENED_EXISTING_KEY   0x00000002

// Creates the subkey (and any missing key on its path) or opens it when it exists.
// *lpdwDisposition tells which happened.
WINBASEAPI LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass,
                                DWORD dwOptions, REGSAM samDesired,
                                LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                LPDWORD lpdwDisposition);
// Opens an existing subkey; ERROR_FILE_NOT_FOUND when it does not exist.
WINBASEAPI LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                              PHKEY phkResult);
WINBASEAPI LONG RegCloseKey(HKEY hKey);
// Reads a value. A value larger than *lpcbData is not copied: the call returns ERROR_MORE_DATA
// and the needed size. A null lpData asks for the size only.
WINBASEAPI LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                 LPBYTE lpData, LPDWORD lpcbData);
WINBASEAPI LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                               const BYTE* lpData, DWORD cbData);
WINBASEAPI LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
// Deletes the subkey with all its values and subkeys, as Windows CE does.
WINBASEAPI LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
WINBASEAPI LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName,
                              LPDWORD lpReserved, LPWSTR lpClass, LPDWORD lpcchClass,
                              PFILETIME lpftLastWriteTime);
WINBASEAPI LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                              LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
WINBASEAPI LONG RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                 LPDWORD lpcSubKeys, LPDWORD lpcchMaxSubKeyLen,
                                 LPDWORD lpcchMaxClassLen, LPDWORD lpcValues,
                                 LPDWORD lpcchMaxValueNameLen, LPDWORD lpcbMaxValueData,
                                 LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime);
// Writes are visible to every process at once; a flush makes them survive a power loss.
WINBASEAPI LONG RegFlushKey(HKEY hKey);

#define RegCreateKeyEx  RegCreateKeyExW
#define RegOpenKeyEx    RegOpenKeyExW
#define RegQueryValueEx RegQueryValueExW
#define RegSetValueEx   RegSetValueExW
#define RegDeleteValue  RegDeleteValueW
#define RegDeleteKey    RegDeleteKeyW
#define RegEnumKeyEx    RegEnumKeyExW
#define RegEnumValue    RegEnumValueW
#define RegQueryInfoKey RegQueryInfoKeyW

#ifdef __cplusplus
}
#endif
