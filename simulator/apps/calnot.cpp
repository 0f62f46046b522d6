// calnot.cpp: calnot.exe, which re-registers the reminders of the calendar and the task list
// from the PIM store. The shell runs it at every start, and programs start it after the clock
// or the time zone changed: a reminder lost between the store and the notification database
// (two files, so a crash can fall between their writes) is made again, a stale one removed.
#include "apps.h"
#include "kernel/journal.h"
#include "pim/reminders.h"

namespace {

int calnotMain(HINSTANCE, LPWSTR, int) {
    int count = ce::pim::rebuildReminders();
    ce::JournalLine("pim.reminders").num("set", count).write();
    return 0;
}

const AppRegistration reg("calnot", calnotMain);

} // namespace
