// alarmtext.cpp: the display text of one notification in the alarm list.
//
// A text is a title and a part. The title is the command line of a notification without time
// (an event notification says what it runs); the part says what the alarm is: the program's
// name, a custom alarm's or alarmNote's name, or, for clock, calendar and task reminders, the
// reminder's own dialog text in a shorter form ("Meeting (Room 4)", "Buy milk (3/2/2027)").
// Custom alarms that run when the device wakes up are shown as "AfterWakeup, ...".
#include "language.h"
#include "scan.h"

namespace {

#define SECTION_SIGN   u'\u00A7' // separates the fields of a custom alarm's command line
#define APPRUN_CCH     6         // "AppRun"
#define WAKEUP_PREFIX  u"AfterWakeup, "
#define WAKEUP_CCH     13 // characters of WAKEUP_PREFIX, written over the command's start
#define WAKEUP_SHIFT_R 10 // "-r..." commands lose this many leading characters
#define WAKEUP_SHIFT   9  // every other command but "-d"

typedef std::u16string Text;

WCHAR lowerAscii(WCHAR c) {
    return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c + 32) : c;
}

BOOL startsNoCase(const Text& text, const char16_t* prefix) {
    size_t n = 0;
    for (; prefix[n]; ++n)
        if (n >= text.size() || lowerAscii(text[n]) != lowerAscii(prefix[n])) return FALSE;
    return TRUE;
}

size_t findNoCase(const Text& text, const char16_t* needle) {
    Text lower = text;
    for (char16_t& c : lower)
        c = lowerAscii(c);
    return lower.find(needle);
}

void cut(Text* text) {
    if (text->size() > SCAN_TEXT_CCH - 1) text->resize(SCAN_TEXT_CCH - 1);
}

void cutAt(Text* text, size_t at) {
    if (at != Text::npos && at < text->size()) text->resize(at);
}

void appendPart(Text* title, const Text& part) {
    if (!title->empty() && !part.empty()) *title += u", ";
    *title += part;
}

// A path's file name up to its first dot.
Text fileStem(const Text& path) {
    size_t slash = path.rfind(u'\\');
    Text name = slash == Text::npos ? path : path.substr(slash + 1);
    cutAt(&name, name.find(u'.'));
    return name;
}

// An alarmNote is named after its file; notes saved under a date-time name ("2027...") have
// no name of their own.
Text noteText(const Text& args) {
    Text name = args.find(u'\\') == Text::npos ? Text() : fileStem(args);
    if (name.empty() || name[0] == u'2') return getText(TXT_ZOLVANE_NOTE);
    return name;
}

// A custom alarm's name lies between the first section sign and the "^" before its
// identifier.
Text customAlarmText(const Text& args) {
    size_t sign = args.find(SECTION_SIGN);
    if (sign == Text::npos) return getText(TXT_ZOLVANE_ALARM_2);
    size_t end = args.find(u'^', sign + 1);
    if (end == Text::npos) end = args.find(SECTION_SIGN, sign + 1);
    return args.substr(sign + 1, end == Text::npos ? Text::npos : end - (sign + 1));
}

// The program's name without folder and ".exe"; the two other calendar programs and the
// synchronisation log get their product names (and the calendar programs their own kinds).
Text programText(const Text& app, const Text& args, DWORD* kind) {
    size_t slash = app.rfind(u'\\');
    Text name = slash == Text::npos ? app : app.substr(slash + 1);
    if (name.size() >= 4 && startsNoCase(name.substr(name.size() - 4), u".exe"))
        name.resize(name.size() - 4);
    if (startsNoCase(name, u"repllog")) {
        name = u"ActiveSync";
    } else if (startsNoCase(name, u"pinotificat")) {
        name = u"Pocket Informant";
        if (*kind == KIND_APP) *kind = KIND_PI;
    } else if (startsNoCase(name, u"fusionn")) {
        name = u"Agenda Fusion";
        if (*kind == KIND_APP) *kind = KIND_AF;
    }
    if (*kind == KIND_APP && !args.empty()) name += u" " + args;
    return name;
}

// "Alarm: Wake up\r\n7:00" gives "Wake up"; without a colon the line after the first.
Text clockText(const Text& dialog) {
    size_t colon = dialog.find(u':');
    Text text;
    if (colon != Text::npos) {
        text = colon + 2 <= dialog.size() ? dialog.substr(colon + 2) : Text();
        cutAt(&text, text.find(u'\r'));
    } else {
        size_t lf = dialog.find(u'\n');
        text = lf == Text::npos ? dialog : dialog.substr(lf + 1);
    }
    return text;
}

// The first line with its carriage return (only that: a line that ends without one keeps its
// last character).
Text firstLine(const Text& dialog, size_t lf) {
    Text line = dialog.substr(0, lf);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    return line;
}

// "Buy milk\r\n Due: 3/2/2027" gives "Buy milk (3/2/2027)": the subject and the due date,
// which is the last word of the reminder.
Text taskText(const Text& dialog) {
    size_t lf = dialog.find(u'\n');
    if (lf == Text::npos) {
        Text text = dialog;
        cutAt(&text, text.find(u'\r'));
        return text;
    }
    size_t blank = dialog.rfind(u' ');
    Text due = blank != Text::npos && blank > lf ? dialog.substr(blank + 1) : dialog.substr(lf + 1);
    return firstLine(dialog, lf) + u" (" + due + u")";
}

// "Meeting\r\nRoom 4" gives "Meeting (Room 4)"; the location ends at its first "-".
Text calendarText(const Text& dialog) {
    size_t lf = dialog.find(u'\n');
    if (lf == Text::npos) {
        Text text = dialog;
        cutAt(&text, text.find(u'\r'));
        return text;
    }
    Text where = dialog.substr(lf + 1);
    cutAt(&where, where.find(u'-'));
    return firstLine(dialog, lf) + u" (" + where + u")";
}

BOOL isReminderKind(DWORD kind) {
    return kind == KIND_CLOCK || kind == KIND_CAL || kind == KIND_CAL_SNOOZE || kind == KIND_TASK;
}

// A custom alarm bound to the wake-up event shows as "AfterWakeup, " and what it runs: the
// command's flags and name are skipped, the program's own arguments (after "~") and the
// program name that the text ends with are cut; a cleanup ("-d" with a mode) is named so.
void rewriteWakeupCommand(Text* title) {
    WCHAR command = title->size() > 1 ? (*title)[1] : 0;
    WCHAR mode = 0;
    if (command == u'd')
        mode = title->size() > 2 ? (*title)[2] : 0;
    else
        title->erase(0, command == u'r' ? WAKEUP_SHIFT_R : WAKEUP_SHIFT); // erase clamps
    *title =
        Text(WAKEUP_PREFIX) + (title->size() > WAKEUP_CCH ? title->substr(WAKEUP_CCH) : Text());
    cutAt(title, title->find(u'~'));
    if (command == u'd' && mode != u' ')
        *title += getText(TXT_CLEANUP);
    else
        cutAt(title, findNoCase(*title, u", zvwakeup"));
}

} // namespace

std::u16string buildAlarmText(const CE_NOTIFICATION_TRIGGER* trigger,
                              const CE_USER_NOTIFICATION* user, DWORD* kind, DWORD* repeating) {
    Text args = trigger && trigger->lpszArguments ? trigger->lpszArguments : u"";
    BOOL hasTime = trigger && trigger->stStartTime.wYear != 0;
    Text title;
    if (!hasTime && !args.empty())
        title = startsNoCase(args, u"AppRun") ? args.substr(APPRUN_CCH) : args;
    cut(&title);

    Text part;
    if (trigger && trigger->lpszApplication) {
        switch (*kind) {
        case KIND_NOTE: part = noteText(args); break;
        case KIND_COMPANION: part = fileStem(args); break;
        case KIND_ZOLVANE:
            part = customAlarmText(args);
            *repeating = args.size() >= 4 && args[3] == u'1';
            break;
        case KIND_VOLUME: part = getText(TXT_VOLUME_RE_ENABLED); break;
        case KIND_SYSTEM:
        case KIND_EVENT:
        case KIND_CLOCK:
        case KIND_APP:
        case KIND_CAL:
        case KIND_CAL_SNOOZE:
        case KIND_TASK: part = programText(trigger->lpszApplication, args, kind); break;
        default: break;
        }
    }
    // A reminder shows its own text; without one the program's name stands in.
    if (isReminderKind(*kind) && user && user->pwszDialogText && user->pwszDialogText[0]) {
        Text dialog = user->pwszDialogText;
        part = *kind == KIND_CLOCK  ? clockText(dialog)
               : *kind == KIND_TASK ? taskText(dialog)
                                    : calendarText(dialog);
    }
    cut(&part);
    appendPart(&title, part);

    if (trigger && !title.empty() && title[0] == u'-' &&
        trigger->dwEvent == NOTIFICATION_EVENT_WAKEUP)
        rewriteWakeupCommand(&title);
    cut(&title);
    return title;
}
