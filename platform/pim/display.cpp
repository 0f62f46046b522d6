// display.cpp: Display of an item: the device's own calendar, tasks or contacts program opens
// on it.
//
// The programs are those of simulator/apps: "\Windows\calendar.exe -oid N" (or "-new" for an
// item that was never saved), "\Windows\tasks.exe ...", and "\Windows\poutlook.exe contacts
// ...". When the calendar or tasks program is missing, poutlook.exe with "calendar" or "tasks"
// stands in, as on devices whose calendar lives in one program. The journal records each
// request ("pim.display"), so scenarios can assert what was shown.
#include <string>

#include "kernel/journal.h"
#include "kernel/strings.h"
#include "pim/poom.h"

namespace ce::pim {
namespace {

bool launch(const std::u16string& program, const std::u16string& args) {
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), args.c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        nullptr, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

} // namespace

HRESULT displayItem(Kind kind, uint32_t oid) {
    std::u16string target = oid ? u"-oid " + fromUtf8(std::to_string(oid)) : u"-new";
    std::u16string program, fallbackArgs;
    switch (kind) {
    case Kind::Appointment:
        program = u"\\Windows\\calendar.exe";
        fallbackArgs = u"calendar " + target;
        break;
    case Kind::Task:
        program = u"\\Windows\\tasks.exe";
        fallbackArgs = u"tasks " + target;
        break;
    case Kind::Contact: fallbackArgs = u"contacts " + target; break;
    }
    bool started = !program.empty() && launch(program, target);
    if (!started) started = launch(u"\\Windows\\poutlook.exe", fallbackArgs);
    JournalLine("pim.display")
        .str("kind", kindName(kind))
        .num("oid", oid)
        .flag("shown", started)
        .write();
    return started ? S_OK : E_FAIL;
}

} // namespace ce::pim
