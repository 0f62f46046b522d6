// shnotify.cpp: the shell's notification list (SHNotificationAdd, SHNotificationRemove,
// SHNotificationGetData of aygshell.h).
//
// A notification is named by its class and id and kept device-wide in the notification
// database (notify/notifystore.h), so any program can read back what another one added: the
// notification engine adds one of the reminder class for every reminder on the screen, and
// programs ask with SHNotificationGetData whether a reminder is showing. The bubble itself is
// not drawn; the title bar's icon is the shell's business.
#include <cstdio>

#include "aygshell.h"
#include "kernel/localmem.h"
#include "notify/notifystore.h"

namespace {

// SHNotificationGetData's answer for a NULL buffer, whether or not the notification exists.
constexpr LRESULT kNoBuffer = 0x491;
// The size of SHNOTIFICATIONDATA on the 32-bit device.
constexpr DWORD kDataSize32 = 88;
// The longest text kept, in characters.
constexpr size_t kMaxTextChars = 16384;

std::string classText(const CLSID& c) {
    char s[40];
    snprintf(s, sizeof s, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             static_cast<unsigned>(c.Data1), c.Data2, c.Data3, c.Data4[0], c.Data4[1], c.Data4[2],
             c.Data4[3], c.Data4[4], c.Data4[5], c.Data4[6], c.Data4[7]);
    return s;
}

bool readText(LPCWSTR p, ce::notify::Text* out) {
    if (!p) return true;
    size_t n = 0;
    while (p[n])
        if (++n > kMaxTextChars) return false;
    *out = std::u16string(p, n);
    return true;
}

} // namespace

// Adds a notification or replaces the one with the same class and id.
WINUSERAPI LRESULT SHNotificationAdd(SHNOTIFICATIONDATA* pndAdd) {
    if (!pndAdd ||
        (pndAdd->cbStruct != sizeof(SHNOTIFICATIONDATA) && pndAdd->cbStruct != kDataSize32))
        return ERROR_INVALID_PARAMETER;
    ce::notify::ShellNotification n;
    n.clsid = classText(pndAdd->clsid);
    n.id = pndAdd->dwID;
    n.priority = static_cast<DWORD>(pndAdd->npPriority);
    n.duration = pndAdd->csDuration;
    n.flags = pndAdd->grfFlags;
    n.sink = HandleToULong(pndAdd->hwndSink);
    n.lParam = static_cast<int64_t>(pndAdd->lParam);
    if (!readText(pndAdd->pszTitle, &n.title) || !readText(pndAdd->pszHTML, &n.html))
        return ERROR_INVALID_PARAMETER;
    return static_cast<LRESULT>(ce::notify::putShellNotification(n));
}

// Removes the notification of this class and id.
WINUSERAPI LRESULT SHNotificationRemove(const CLSID* pclsid, DWORD dwID) {
    if (!pclsid) return ERROR_INVALID_PARAMETER;
    return static_cast<LRESULT>(ce::notify::removeShellNotification(classText(*pclsid), dwID));
}

// Reads a notification back; the two texts are the caller's to free with LocalFree.
WINUSERAPI LRESULT SHNotificationGetData(const CLSID* pclsid, DWORD dwID,
                                         SHNOTIFICATIONDATA* pndBuffer) {
    if (!pclsid) return ERROR_INVALID_PARAMETER;
    if (!pndBuffer) return kNoBuffer;
    ce::notify::ShellNotification n;
    DWORD r = ce::notify::getShellNotification(classText(*pclsid), dwID, &n);
    if (r != ERROR_SUCCESS) return static_cast<LRESULT>(r);
    LPWSTR html = ce::localStrDup(n.html ? *n.html : std::u16string());
    LPWSTR title = ce::localStrDup(n.title ? *n.title : std::u16string());
    if (!html || !title) {
        if (html) LocalFree(html);
        if (title) LocalFree(title);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    SHNOTIFICATIONDATA d{};
    d.cbStruct = sizeof d;
    d.dwID = dwID;
    d.npPriority = static_cast<SHNP>(n.priority);
    d.csDuration = n.duration;
    d.grfFlags = n.flags;
    d.clsid = *pclsid;
    d.hwndSink = static_cast<HWND>(ULongToHandle(n.sink));
    d.pszHTML = html;
    d.pszTitle = title;
    d.lParam = static_cast<LPARAM>(n.lParam);
    *pndBuffer = d;
    return ERROR_SUCCESS;
}
