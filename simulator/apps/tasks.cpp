// tasks.cpp: tasks.exe, the device's task list: shows the task it was opened on ("-oid N") in a
// window titled "Tasks Application".
#include "apps.h"
#include "pimview.h"

namespace {

int tasksMain(HINSTANCE, LPWSTR commandLine, int) {
    return runItemWindow(u"Tasks Application", ce::pim::Kind::Task, commandLine);
}

const AppRegistration reg("tasks", tasksMain);

} // namespace
