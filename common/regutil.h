// regutil.h: registry access as every program of the product does it.
//
// The conventions: every access opens the key, reads or writes, and closes it again, so no
// key handle outlives an operation; numbers are REG_DWORD of 4 bytes and texts REG_SZ written
// with their byte length including the terminator; a value is read with the size of the field
// it goes into, and a value larger than that is not read at all; a read that fails leaves the
// caller's field as it was; and a value that another program or the system must see at once
// is flushed before the key is closed. Failures are silent: callers keep what they had.
#pragma once

#include <windows.h>
#include <winreg.h>

// Flags of the single-value writers below.
#define REGW_CREATE 0x1 // create the key when it is missing (otherwise a missing key is skipped)
#define REGW_FLUSH  0x2 // flush the key before closing it

// Whether the key exists (it opens).
BOOL regKeyExists(HKEY root, LPCWSTR key);

// ---- On a key the caller has open -------------------------------------------------------------
// Reads a 32-bit number into *value; the type is not tested. A value larger than 4 bytes is
// not read, and *value keeps its contents whenever the read fails.
BOOL queryDword(HKEY key, LPCWSTR name, LONG* value);
// Reads a text of at most cbField bytes (terminator included) into out, which holds cbField
// bytes. The result is always terminated inside the field, even when the stored value lacks a
// terminator; when the value does not fit, or the read fails, out is left as it was.
BOOL queryString(HKEY key, LPCWSTR name, WCHAR* out, DWORD cbField);
BOOL setDword(HKEY key, LPCWSTR name, DWORD value);
// Writes a REG_SZ of the text's length plus the terminator, in bytes.
BOOL setString(HKEY key, LPCWSTR name, LPCWSTR text);

// ---- One value, open-act-close -----------------------------------------------------------------
BOOL readRegDword(HKEY root, LPCWSTR key, LPCWSTR name, LONG* value);
BOOL readRegString(HKEY root, LPCWSTR key, LPCWSTR name, WCHAR* out, DWORD cbField);
BOOL writeRegDword(HKEY root, LPCWSTR key, LPCWSTR name, DWORD value, DWORD flags);
BOOL writeRegString(HKEY root, LPCWSTR key, LPCWSTR name, LPCWSTR text, DWORD flags);
BOOL deleteRegValue(HKEY root, LPCWSTR key, LPCWSTR name, DWORD flags);

// Opens an existing key for reading and writing; null when it does not open.
HKEY openRegKey(HKEY root, LPCWSTR key);
// Creates the key when missing, or opens it; null when neither works.
HKEY createRegKey(HKEY root, LPCWSTR key);
