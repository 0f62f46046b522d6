// regutil.cpp: the common library's registry helpers (see regutil.h for the conventions they
// carry out). Everything else in the product reaches the registry through these, so that the
// size rules and the open-act-close discipline live in one place.
#include "regutil.h"

#include <cstring>
#include <vector>

BOOL regKeyExists(HKEY root, LPCWSTR key) {
    HKEY hk = openRegKey(root, key);
    if (!hk) return FALSE;
    RegCloseKey(hk);
    return TRUE;
}

HKEY openRegKey(HKEY root, LPCWSTR key) {
    HKEY hk = NULL;
    // Windows CE ignores the access mask; ask for what we use anyway.
    if (RegOpenKeyExW(root, key, 0, KEY_READ | KEY_WRITE, &hk) != ERROR_SUCCESS) return NULL;
    return hk;
}

HKEY createRegKey(HKEY root, LPCWSTR key) {
    HKEY hk = NULL;
    DWORD disposition = 0;
    if (RegCreateKeyExW(root, key, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL, &hk, &disposition) !=
        ERROR_SUCCESS)
        return NULL;
    return hk;
}

BOOL queryDword(HKEY key, LPCWSTR name, LONG* value) {
    if (!key || !value) return FALSE;
    // Read into a copy of the field: a value shorter than 4 bytes replaces only its own bytes,
    // as it would in place, and a failed read cannot leave anything half written.
    LONG data = *value;
    DWORD cb = sizeof(data);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<LPBYTE>(&data), &cb) !=
        ERROR_SUCCESS)
        return FALSE;
    *value = data;
    return TRUE;
}

BOOL queryString(HKEY key, LPCWSTR name, WCHAR* out, DWORD cbField) {
    const DWORD cch = cbField / sizeof(WCHAR);
    if (!key || !out || cch == 0) return FALSE;
    // The read goes to a scratch copy one unit longer than the field, so that a stored text
    // without a terminator is still terminated and never spills past the field.
    std::vector<WCHAR> scratch(cch + 1, 0);
    memcpy(scratch.data(), out, cch * sizeof(WCHAR));
    DWORD cb = cch * sizeof(WCHAR);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<LPBYTE>(scratch.data()), &cb) !=
        ERROR_SUCCESS)
        return FALSE;
    DWORD end = cb / sizeof(WCHAR);
    if (end >= cch) end = cch - 1;
    scratch[end] = 0;
    memcpy(out, scratch.data(), (end + 1) * sizeof(WCHAR));
    return TRUE;
}

BOOL setDword(HKEY key, LPCWSTR name, DWORD value) {
    if (!key) return FALSE;
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

BOOL setString(HKEY key, LPCWSTR name, LPCWSTR text) {
    if (!key) return FALSE;
    if (!text) text = TEXT("");
    const DWORD cb = static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), cb) ==
           ERROR_SUCCESS;
}

BOOL readRegDword(HKEY root, LPCWSTR key, LPCWSTR name, LONG* value) {
    HKEY hk = NULL;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &hk) != ERROR_SUCCESS) return FALSE;
    const BOOL ok = queryDword(hk, name, value);
    RegCloseKey(hk);
    return ok;
}

BOOL readRegString(HKEY root, LPCWSTR key, LPCWSTR name, WCHAR* out, DWORD cbField) {
    HKEY hk = NULL;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &hk) != ERROR_SUCCESS) return FALSE;
    const BOOL ok = queryString(hk, name, out, cbField);
    RegCloseKey(hk);
    return ok;
}

// Opens (or with REGW_CREATE creates) the key of a single-value write.
static HKEY openForWrite(HKEY root, LPCWSTR key, DWORD flags) {
    return (flags & REGW_CREATE) ? createRegKey(root, key) : openRegKey(root, key);
}

BOOL writeRegDword(HKEY root, LPCWSTR key, LPCWSTR name, DWORD value, DWORD flags) {
    HKEY hk = openForWrite(root, key, flags);
    if (!hk) return FALSE;
    const BOOL ok = setDword(hk, name, value);
    if (flags & REGW_FLUSH) RegFlushKey(hk);
    RegCloseKey(hk);
    return ok;
}

BOOL writeRegString(HKEY root, LPCWSTR key, LPCWSTR name, LPCWSTR text, DWORD flags) {
    HKEY hk = openForWrite(root, key, flags);
    if (!hk) return FALSE;
    const BOOL ok = setString(hk, name, text);
    if (flags & REGW_FLUSH) RegFlushKey(hk);
    RegCloseKey(hk);
    return ok;
}

BOOL deleteRegValue(HKEY root, LPCWSTR key, LPCWSTR name, DWORD flags) {
    HKEY hk = openRegKey(root, key);
    if (!hk) return FALSE;
    const BOOL ok = RegDeleteValueW(hk, name) == ERROR_SUCCESS;
    if (flags & REGW_FLUSH) RegFlushKey(hk);
    RegCloseKey(hk);
    return ok;
}
