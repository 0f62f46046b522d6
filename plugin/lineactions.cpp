// lineactions.cpp: the two actions on one line of the alarm list: the line action (loadItem),
// which opens what the line shows, and the line menu (showItemMenu) of a tap-and-hold.
//
// Both run on the window thread while the scan thread may replace the list, so they copy what
// they need of the line under the list lock and act on the copy.
#include <cstdio>
#include <cstring>

#include <notify.h>
#include <strsafe.h>

#include "alarmlist.h"
#include "alarmnote.h"
#include "customalarm.h"
#include "language.h"
#include "lineactions.h"
#include "links.h"
#include "log.h"
#include "outlookitems.h"
#include "plugin.h"
#include "recurring.h"
#include "settings.h"
#include "skin.h"
#include "startup.h"
#include "zvwindows.h"

namespace {

#define CLOCK_SETTINGS_PROGRAM TEXT("ctlpnl.exe")
#define CLOCK_SETTINGS_FORMAT  TEXT("cplmain.cpl,%d,%d")
#define CLOCK_SETTINGS_PAGE    16
#define LINE_TEXT_CCH          512
#define SECTION_SIGN           0xA7

enum LineMenuCommand {
    CMD_OPEN = 1,
    CMD_DELETE_ALARM = 2,
    CMD_MARK_COMPLETE = 3,
    CMD_CHANGE_TIME = 4,
    CMD_CLOSE = 5,
    CMD_DELETE_ITEM = 6
};

// A copy of one line of the list.
struct LineCopy {
    DWORD handle;
    DWORD kind;
    DWORD repeating;
    WCHAR text[LINE_TEXT_CCH];
};

BOOL copyLine(LONG line, LineCopy* out) {
    memset(out, 0, sizeof(*out));
    lockAlarmList();
    BOOL ok = alarmList && line >= 0 && line < alarmCount;
    if (ok) {
        const AlarmItem& item = alarmList->items[line];
        out->handle = item.handle;
        out->kind = item.kind;
        out->repeating = item.repeating;
        if (item.text) StringCchCopyW(out->text, LINE_TEXT_CCH, item.text);
    }
    unlockAlarmList();
    return ok;
}

void startProgram(LPCWSTR program, LPCWSTR commandLine) {
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                       &info)) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
}

// The arguments of a line's notification, or an empty text.
void notificationArguments(DWORD handle, WCHAR* out, size_t cch) {
    out[0] = 0;
    if (!handle) return;
    HANDLE h = ULongToHandle(handle);
    DWORD needed = 0;
    CeGetUserNotification(h, 0, &needed, nullptr);
    if (needed == 0) return;
    BYTE* buffer = static_cast<BYTE*>(LocalAlloc(LPTR, needed + 1));
    if (!buffer) return;
    if (CeGetUserNotification(h, needed, &needed, buffer)) {
        const CE_NOTIFICATION_INFO_HEADER* header =
            reinterpret_cast<CE_NOTIFICATION_INFO_HEADER*>(buffer);
        if (header->pcent && header->pcent->lpszArguments)
            StringCchCopyW(out, cch, header->pcent->lpszArguments);
    }
    LocalFree(buffer);
}

// The series key of a repeating alarm: its arguments from the first "^" through the section
// sign after it, in 8-bit text.
void recurSeriesKey(const WCHAR* args, char* out, size_t cb) {
    out[0] = 0;
    const WCHAR* start = wcschr(args, u'^');
    if (!start) return;
    const WCHAR* end = wcschr(start, static_cast<WCHAR>(SECTION_SIGN));
    size_t len = end ? static_cast<size_t>(end - start) + 1 : lstrlenW(start);
    WCHAR key[LINE_TEXT_CCH];
    if (len >= LINE_TEXT_CCH) len = LINE_TEXT_CCH - 1;
    memcpy(key, start, len * sizeof(WCHAR));
    key[len] = 0;
    WideCharToMultiByte(CP_ACP, 0, key, -1, out, static_cast<int>(cb), nullptr, nullptr);
    out[cb - 1] = 0;
}

void deleteLine(HWND window, LONG line, const LineCopy& copy, BOOL deleteItem) {
    WCHAR question[LINE_TEXT_CCH + 128];
    StringCchPrintfW(question, LINE_TEXT_CCH + 128, TEXT("%s\"%s\""),
                     getText(TXT_ARE_YOU_SURE_YOU_WANT).c_str(), copy.text);
    if (MessageBoxW(window, question, ZV_PLUGIN_TITLE, MB_YESNO) != IDYES) return;
    DWORD kind = copy.kind;
    if (kind == KIND_TASK || kind == KIND_TASK_SILENT) {
        removeTaskReminder(window, line, deleteItem);
    } else if (kind >= KIND_CAL && kind <= KIND_CAL_SILENT) {
        removeCalReminder(window, line, deleteItem);
    } else if (kind == KIND_NOTE) {
        // The note's file goes with its alarm.
        WCHAR path[LINE_TEXT_CCH];
        notificationArguments(copy.handle, path, LINE_TEXT_CCH);
        if (path[0]) DeleteFileW(path);
    }
    if (kind == KIND_VOLUME) {
        getSettings().quietMode = 0;
        if (currentSkin) {
            const SkinItem& vol = currentSkin->items[SKIN_VOL];
            RECT rect = {vol.left, vol.top, vol.right, vol.bottom};
            InvalidateRect(window, &rect, FALSE);
        }
    }
    if (copy.repeating && MessageBoxW(window, getText(TXT_DELETE_COMPLETE_RECURRING_SERIES).c_str(),
                                      ZV_PLUGIN_TITLE, MB_YESNO) == IDYES) {
        WCHAR args[LINE_TEXT_CCH];
        notificationArguments(copy.handle, args, LINE_TEXT_CCH);
        char key[LINE_TEXT_CCH];
        recurSeriesKey(args, key, sizeof key);
        if (key[0]) deleteRecurAlarm(key);
    }
    if (copy.handle) CeClearUserNotification(ULongToHandle(copy.handle));
    reloadAlarms(TRUE);
}

void addEntry(HMENU menu, UINT command, int textId) {
    AppendMenuW(menu, MF_STRING, command, getText(textId).c_str());
}

} // namespace

void loadItem(HWND window, LONG line) {
    if (logBit(LOG_BASIC)) writeLogFormat("loadItem: %d", static_cast<int>(line));
    LineCopy copy;
    if (!copyLine(line, &copy)) return;
    switch (copy.kind) {
    case KIND_CLOCK: {
        WCHAR commandLine[32];
        StringCchPrintfW(commandLine, 32, CLOCK_SETTINGS_FORMAT, CLOCK_SETTINGS_PAGE, 1);
        startProgram(CLOCK_SETTINGS_PROGRAM, commandLine);
        break;
    }
    case KIND_PI: openOrganiserNote(window, line); break;
    case KIND_AF: openNotesItem(window, line); break;
    case KIND_CAL:
    case KIND_CAL_RECUR:
    case KIND_CAL_SNOOZE:
    case KIND_CAL_SILENT: loadOutlookAppointment(window, line); break;
    case KIND_TASK:
    case KIND_TASK_SILENT: loadOutlookTask(window, line); break;
    case KIND_ZOLVANE: customAlarmDialog(window, line); break;
    case KIND_NOTE:
        // One note at a time: a note already on screen comes to the front instead.
        if (HWND note = FindWindowW(ZV_CLASS_ALARMNOTES, nullptr))
            SetForegroundWindow(note);
        else
            alarmNoteDialog(window, line);
        break;
    case KIND_BIRTHDAY:
    case KIND_ANNIV: loadOutlookContact(window, line); break;
    case KIND_COMPANION: startCompanionAlarm(window, line); break;
    default: break;
    }
}

void showItemMenu(HWND window, LONG line, POINT at) {
    LineCopy copy;
    if (line < 0 || !copyLine(line, &copy)) return;
    DWORD kind = copy.kind;
    if (kind == KIND_SYSTEM) return;
    if (kind == KIND_EVENT && wcsstr(copy.text, TEXT("ActiveSync"))) return;

    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    if (kind != KIND_EVENT && kind != KIND_APP && kind != KIND_VOLUME)
        addEntry(menu, CMD_OPEN, TXT_OPEN);
    if (copy.handle) addEntry(menu, CMD_DELETE_ALARM, TXT_DELETE_ALARM);
    if ((kind >= KIND_CAL && kind <= KIND_TASK) || kind == KIND_TASK_SILENT)
        addEntry(menu, CMD_DELETE_ITEM, TXT_DELETE_OUTLOOK_ITEM);
    if (kind == KIND_TASK || kind == KIND_TASK_SILENT)
        addEntry(menu, CMD_MARK_COMPLETE, TXT_MARK_TASK_COMPLETE);
    if (kind == KIND_CAL || kind == KIND_TASK || kind == KIND_ZOLVANE || kind == KIND_NOTE)
        addEntry(menu, CMD_CHANGE_TIME, TXT_CHANGE_TIME);
    addEntry(menu, CMD_CLOSE, TXT_CLOSE_MENU);

    ClientToScreen(window, &at);
    UINT command = static_cast<UINT>(
        TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_RETURNCMD, at.x, at.y, window, nullptr));
    DestroyMenu(menu);
    switch (command) {
    case CMD_OPEN: loadItem(window, line); break;
    case CMD_DELETE_ALARM:
    case CMD_DELETE_ITEM: deleteLine(window, line, copy, command == CMD_DELETE_ITEM); break;
    case CMD_MARK_COMPLETE: markTaskComplete(window, line); break;
    case CMD_CHANGE_TIME: customTaskTime(window, line); break;
    default: break;
    }
}
