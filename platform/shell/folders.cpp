// folders.cpp: the shell's special folders (SHGetSpecialFolderPath), the storage card's
// autorun path (SHGetAutoRunPath) and shortcut files (SHCreateShortcut).
//
// The folders are those of an English Windows Mobile device, as device paths; the file API
// maps them below the device folder. A shortcut is the device's small text file
// "<length>#<target>" in the ANSI code page, which the shell and ShellExecuteEx read.
#include <string>

#include "aygshell.h"
#include "kernel/trace.h"
#include "shell/shell.h"

namespace ce::shell {
namespace {

struct SpecialFolder {
    int csidl;
    const WCHAR* path;
};

constexpr SpecialFolder kFolders[] = {
    {CSIDL_DESKTOP, u"\\Windows\\Desktop"},
    {CSIDL_DESKTOPDIRECTORY, u"\\Windows\\Desktop"},
    {CSIDL_PROGRAMS, u"\\Windows\\Start Menu\\Programs"},
    {CSIDL_PERSONAL, u"\\My Documents"},
    {CSIDL_FAVORITES, u"\\Windows\\Favorites"},
    {CSIDL_STARTUP, u"\\Windows\\StartUp"},
    {CSIDL_RECENT, u"\\Windows\\Recent"},
    {CSIDL_STARTMENU, u"\\Windows\\Start Menu"},
    {CSIDL_MYMUSIC, u"\\My Documents\\My Music"},
    {CSIDL_MYVIDEO, u"\\My Documents\\My Videos"},
    {CSIDL_FONTS, u"\\Windows\\Fonts"},
    {CSIDL_TEMPLATES, u"\\My Documents\\Templates"},
    {CSIDL_APPDATA, u"\\Application Data"},
    {CSIDL_WINDOWS, u"\\Windows"},
    {CSIDL_PROGRAM_FILES, u"\\Program Files"},
    {CSIDL_MYPICTURES, u"\\My Documents\\My Pictures"},
};

// The storage card's folder and the processor number the autorun folder is named after
// (an ARM processor: 2577).
constexpr const WCHAR* kStorageCard = u"\\Storage Card";
constexpr const WCHAR* kAutoRunLeaf = u"\\2577\\autorun.exe";
// The longest target a shortcut holds, as the device documents it.
constexpr size_t kMaxShortcutTarget = 256;

// Makes every missing folder along a device path.
bool createFolders(const std::u16string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != u'\\') continue;
        std::u16string part = path.substr(0, i);
        DWORD attrs = GetFileAttributesW(part.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES) {
            if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) return false;
            continue;
        }
        if (!CreateDirectoryW(part.c_str(), nullptr)) return false;
    }
    return true;
}

} // namespace
} // namespace ce::shell

using namespace ce::shell;

// The owner window is not used. With fCreate a folder that cannot be made fails with the
// file API's error.
WINUSERAPI BOOL SHGetSpecialFolderPath(HWND, LPWSTR lpszPath, int nFolder, BOOL fCreate) {
    if (!lpszPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (const SpecialFolder& f : kFolders) {
        if (f.csidl != nFolder) continue;
        std::u16string path = f.path;
        if (fCreate && !createFolders(path)) return FALSE;
        path.copy(lpszPath, path.size());
        lpszPath[path.size()] = 0;
        return TRUE;
    }
    CE_FIXME("shell", "special folder %#x is not on the device", nFolder);
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

// A storage card is the folder "\Storage Card" carrying the temporary attribute, as the
// device's file system marks mounted cards.
WINUSERAPI BOOL SHGetAutoRunPath(LPWSTR pAutoRunPath) {
    if (!pAutoRunPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD attrs = GetFileAttributesW(kStorageCard);
    const DWORD card = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & card) != card) {
        pAutoRunPath[0] = 0;
        return FALSE;
    }
    std::u16string path = std::u16string(kStorageCard) + kAutoRunLeaf;
    path.copy(pAutoRunPath, path.size());
    pAutoRunPath[path.size()] = 0;
    return TRUE;
}

// The count before '#' is the number of characters of the target. An existing file is left
// alone (FALSE, ERROR_FILE_EXISTS); a target longer than 256 characters fails with
// ERROR_INVALID_PARAMETER.
WINUSERAPI BOOL SHCreateShortcut(LPWSTR szShortcut, LPWSTR szTarget) {
    if (!szShortcut || !szTarget || !szShortcut[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string target = szTarget;
    if (target.size() > kMaxShortcutTarget) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string text;
    for (char c : std::to_string(target.size()))
        text += static_cast<char16_t>(c);
    text += u'#';
    text += target;
    int bytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), ansi.data(),
                            bytes, nullptr, nullptr);
    HANDLE file = CreateFileW(szShortcut, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    DWORD written = 0;
    BOOL ok = WriteFile(file, ansi.data(), static_cast<DWORD>(ansi.size()), &written, nullptr) &&
              written == ansi.size();
    CloseHandle(file);
    if (!ok) DeleteFileW(szShortcut);
    return ok;
}
