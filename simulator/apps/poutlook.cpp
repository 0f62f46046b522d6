// poutlook.cpp: poutlook.exe, the one program behind calendar, tasks and contacts: its first
// word chooses ("calendar", "tasks", "contacts"; contacts when there is none), the rest is the
// item to show ("-oid N" or "-new"). Contacts open in a window titled "Contacts".
#include <string>

#include "apps.h"
#include "kernel/strings.h"
#include "pimview.h"

namespace {

int poutlookMain(HINSTANCE, LPWSTR commandLine, int) {
    std::u16string cmd = commandLine ? commandLine : u"";
    size_t start = cmd.find_first_not_of(u' ');
    std::u16string word = start == std::u16string::npos ? u"" : cmd.substr(start);
    word = word.substr(0, word.find(u' '));
    if (ce::equalNoCase(word, u"calendar"))
        return runItemWindow(u"Calendar", ce::pim::Kind::Appointment, commandLine);
    if (ce::equalNoCase(word, u"tasks"))
        return runItemWindow(u"Tasks Application", ce::pim::Kind::Task, commandLine);
    return runItemWindow(u"Contacts", ce::pim::Kind::Contact, commandLine);
}

const AppRegistration reg("poutlook", poutlookMain);

} // namespace
