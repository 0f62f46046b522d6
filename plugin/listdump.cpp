// listdump.cpp: the list diagnostic. Each line holds kind, alarm time, event time, handle, oid,
// the repeating flag and the text, separated by tabs; times as "YYYY-MM-DDTHH:MM:SS.mmm" (so
// that the markers in the seconds and milliseconds show), "-" for an unset time. Tabs, line
// breaks and backslashes inside the text are written as \t, \r, \n and \\. UTF-8.
#include "listdump.h"

#include <string>

#include <strsafe.h>

#include "alarmlist.h"

UINT listDumpMessage = 0;

namespace {

#define LIST_DUMP_MESSAGE TEXT("ZolvaneListDump")
#define LIST_DUMP_FILE    TEXT("\\Temp\\ZolvaneList.txt")

void appendTime(std::string& out, const SYSTEMTIME& t) {
    if (t.wYear == 0) {
        out += "-";
        return;
    }
    char buf[32];
    StringCchPrintfA(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u.%03u", t.wYear, t.wMonth,
                     t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    out += buf;
}

void appendText(std::string& out, const WCHAR* text) {
    if (!text) return;
    std::u16string escaped;
    for (const WCHAR* p = text; *p; ++p) {
        switch (*p) {
        case u'\t': escaped += u"\\t"; break;
        case u'\r': escaped += u"\\r"; break;
        case u'\n': escaped += u"\\n"; break;
        case u'\\': escaped += u"\\\\"; break;
        default: escaped += *p;
        }
    }
    int bytes = WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return;
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(bytes) - 1);
    out += utf8;
}

} // namespace

void registerListDumpMessage(void) {
    listDumpMessage = RegisterWindowMessageW(LIST_DUMP_MESSAGE);
}

BOOL writeListDump(void) {
    std::string out;
    lockAlarmList();
    for (LONG i = 0; alarmList && i < alarmCount; ++i) {
        const AlarmItem& item = alarmList->items[i];
        char numbers[64];
        StringCchPrintfA(numbers, sizeof numbers, "%u\t", static_cast<UINT>(item.kind));
        out += numbers;
        appendTime(out, item.alarmTime);
        out += "\t";
        appendTime(out, item.eventTime);
        StringCchPrintfA(numbers, sizeof numbers, "\t%u\t%u\t%u\t", static_cast<UINT>(item.handle),
                         static_cast<UINT>(item.oid), static_cast<UINT>(item.repeating));
        out += numbers;
        appendText(out, item.text);
        out += "\n";
    }
    unlockAlarmList();
    HANDLE file = CreateFileW(LIST_DUMP_FILE, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    DWORD written = 0;
    BOOL ok = WriteFile(file, out.data(), static_cast<DWORD>(out.size()), &written, nullptr) &&
              written == out.size();
    CloseHandle(file);
    return ok;
}
