// installdir.cpp: the installation-folder lookup shared by every program (see installdir.h).
// The plug-in and the settings program do it once per settings load; zvNotes, zvWakeup and
// zvCleanup do it anew for every log line, so a moved installation is followed at once.
#include "installdir.h"

#include <strsafe.h>

#include "regnames.h"
#include "regutil.h"

BOOL findInstallFolder(WCHAR* folder, size_t cchFolder) {
    if (!folder || cchFolder == 0) return FALSE;
    folder[0] = 0;

    // InstallDir may be up to 520 bytes in the registry; read all of it, then decide.
    WCHAR value[ZV_INSTALLDIR_MAX_CB / sizeof(WCHAR) + 1] = {0};
    readRegString(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_INSTALLDIR, value, sizeof(value));

    // The folder is kept without a trailing backslash, so "%s\name" paths come out right.
    size_t len = wcslen(value);
    while (len > 0 && value[len - 1] == TEXT('\\'))
        value[--len] = 0;

    if (len > 0 && len < cchFolder) return SUCCEEDED(StringCchCopyW(folder, cchFolder, value));

    if (GetFileAttributesW(ZV_FOLDER_GERMAN) != INVALID_FILE_ATTRIBUTES)
        return SUCCEEDED(StringCchCopyW(folder, cchFolder, ZV_FOLDER_GERMAN));
    return SUCCEEDED(StringCchCopyW(folder, cchFolder, ZV_FOLDER_ENGLISH));
}
