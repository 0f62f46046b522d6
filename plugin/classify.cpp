// classify.cpp: which kind of alarm a user notification is, decided from its trigger alone:
// the program it starts (lower-cased path), its arguments and its wake-up event. The rules are
// one table, tried in order; zvWakeup notifications are then refined by their command line
// (the custom-alarm format: the second character names the command, the fourth says whether
// the alarm repeats, the number after the last "^" identifies it).
#include <cstring>

#include <strsafe.h>

#include "scan.h"

namespace {

enum RuleTest {
    APP_STARTS,   // the lower-cased application path starts with the pattern
    APP_CONTAINS, // ... contains it
    ARGS_APPRUN,  // the arguments start with "AppRun" (any case)
};

struct ClassifyRule {
    RuleTest test;
    const char16_t* pattern;
    const char16_t* unless; // APP_CONTAINS: not when the path also contains this
    LONG kind;
};

#define KIND_BY_ARGS (-2) // ARGS_APPRUN: kind 3 for "AppRunAtTime", else 1

// System programs whose notifications are internal are matched at the path's start only: a
// program of the same name in another folder is somebody else's.
const ClassifyRule classifyRules[] = {
    {APP_STARTS, u"clocknot.exe", nullptr, KIND_SYSTEM},
    {APP_STARTS, u"calnot.exe", nullptr, KIND_SYSTEM},
    {APP_STARTS, u"calupd", nullptr, KIND_SYSTEM},
    {APP_STARTS, u"connmgr", nullptr, KIND_SYSTEM},
    {APP_STARTS, u"enrollnot", nullptr, KIND_SYSTEM},
    {APP_STARTS, u"sqmevent", nullptr, KIND_SYSTEM},
    {APP_STARTS, u"timewizard", nullptr, KIND_SYSTEM},
    {APP_STARTS, u"repllog", nullptr, KIND_SYSTEM},
    {APP_STARTS, u"\\windows\\misc.exe", nullptr, KIND_SYSTEM},
    {APP_STARTS, u"\\\\.", nullptr, KIND_SYSTEM},
    {ARGS_APPRUN, nullptr, nullptr, KIND_BY_ARGS},
    {APP_STARTS, u"calendar", nullptr, KIND_CAL},
    {APP_CONTAINS, u"clock.", nullptr, KIND_CLOCK},
    {APP_CONTAINS, u"tasks.", nullptr, KIND_TASK},
    {APP_CONTAINS, u"zvnotes", u"phat", KIND_NOTE},
    {APP_CONTAINS, u"tralarm", nullptr, KIND_COMPANION},
    {APP_CONTAINS, u"zvwakeup", nullptr, KIND_ZOLVANE},
};

WCHAR lowerAscii(WCHAR c) {
    return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c + 32) : c;
}

std::u16string lowerCopy(LPCWSTR text) {
    std::u16string out = text ? text : u"";
    for (char16_t& c : out)
        c = lowerAscii(c);
    return out;
}

BOOL startsNoCase(LPCWSTR text, const char16_t* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (lowerAscii(*text) != lowerAscii(*prefix)) return FALSE; // also ends at text's end
    return TRUE;
}

BOOL equalNoCase(LPCWSTR a, const char16_t* b) {
    return startsNoCase(a, b) && a[lstrlenW(b)] == 0;
}

// The identifier of a custom alarm: the number after the last "^" of its arguments. FALSE
// when there is none.
BOOL repeatIdentifier(LPCWSTR args, long* id) {
    const WCHAR* caret = args ? wcsrchr(args, u'^') : nullptr;
    if (!caret) return FALSE;
    const WCHAR* p = caret + 1;
    BOOL negative = *p == u'-';
    if (negative) ++p;
    if (*p < u'0' || *p > u'9') return FALSE;
    long value = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p)
        if (value < 100000000L) value = value * 10 + (*p - u'0'); // longer numbers saturate
    *id = negative ? -value : value;
    return TRUE;
}

BOOL isRepeating(LPCWSTR args) {
    return args && lstrlenW(args) >= 4 && args[3] == u'1';
}

// The ",%d," entry of a repeating custom alarm, or FALSE when it has no identifier.
BOOL repeatEntry(LPCWSTR args, char* entry, size_t cb) {
    long id = 0;
    if (!isRepeating(args) || !repeatIdentifier(args, &id)) return FALSE;
    return SUCCEEDED(StringCchPrintfA(entry, cb, ",%d,", static_cast<int>(id)));
}

// zvWakeup: bound to the wake-up event it is an event; "-v" is the quiet-mode end, "-z" a
// wake-up of a waiting alarm loop (never listed); everything else a custom alarm.
LONG refineWakeup(const CE_NOTIFICATION_TRIGGER* trigger, BOOL hideRepeats,
                  const char* seenRepeats) {
    if (trigger->dwEvent == NOTIFICATION_EVENT_WAKEUP) return KIND_EVENT;
    LPCWSTR args = trigger->lpszArguments;
    WCHAR command = args && args[0] ? args[1] : 0;
    if (command == u'v') return KIND_VOLUME;
    if (command == u'z') return KIND_DROP;
    char entry[32];
    if (hideRepeats && seenRepeats && repeatEntry(args, entry, sizeof entry) &&
        strstr(seenRepeats, entry))
        return KIND_DROP;
    return KIND_ZOLVANE;
}

} // namespace

LONG classifyNotification(const CE_NOTIFICATION_TRIGGER* trigger, BOOL queueDiffers,
                          BOOL hideRepeats, const char* seenRepeats) {
    if (!trigger || !trigger->lpszApplication) return KIND_APP;
    std::u16string app = lowerCopy(trigger->lpszApplication);
    LPCWSTR args = trigger->lpszArguments ? trigger->lpszArguments : u"";
    for (const ClassifyRule& rule : classifyRules) {
        BOOL hit = FALSE;
        switch (rule.test) {
        case APP_STARTS: hit = app.compare(0, lstrlenW(rule.pattern), rule.pattern) == 0; break;
        case APP_CONTAINS:
            hit = app.find(rule.pattern) != std::u16string::npos &&
                  (!rule.unless || app.find(rule.unless) == std::u16string::npos);
            break;
        case ARGS_APPRUN: hit = startsNoCase(args, u"AppRun"); break;
        }
        if (!hit) continue;
        switch (rule.kind) {
        case KIND_BY_ARGS: return equalNoCase(args, u"AppRunAtTime") ? KIND_APP : KIND_EVENT;
        case KIND_CAL: return queueDiffers ? KIND_CAL_SNOOZE : KIND_CAL;
        case KIND_ZOLVANE: return refineWakeup(trigger, hideRepeats, seenRepeats);
        default: return rule.kind;
        }
    }
    return KIND_APP;
}

void rememberRepeat(LPCWSTR args, char* seenRepeats, size_t cbSeen) {
    char entry[32];
    if (!seenRepeats || !cbSeen || !repeatEntry(args, entry, sizeof entry)) return;
    if (strstr(seenRepeats, entry)) return;
    size_t used = strnlen(seenRepeats, cbSeen);
    size_t len = strlen(entry);
    if (used + len + 1 > cbSeen) return; // full: this repeat will simply be listed again
    memcpy(seenRepeats + used, entry, len + 1);
}

DWORD poomOidOf(const CE_USER_NOTIFICATION* user) {
    if (!user || !user->pwszDialogTitle) return 0;
    const WCHAR* tag = wcsstr(user->pwszDialogTitle, u"POOM:");
    if (!tag) return 0;
    const WCHAR* p = tag + 5;
    while (*p == u' ')
        ++p;
    unsigned long long value = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        value = value * 10 + static_cast<unsigned>(*p - u'0');
        if (value > 0xFFFFFFFFull) return 0; // no identifier is that large
    }
    return static_cast<DWORD>(value);
}
