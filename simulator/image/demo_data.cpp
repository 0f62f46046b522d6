// demo_data.cpp: the demo device's calendar, tasks, contacts, clock alarms and one notification
// of another program. The calendar is plain iCalendar with floating local times, the contacts
// a vCard text, both read by the PIM store's own import, so the demo exercises the same paths
// as a user's files.
#include "image/demo_data.h"

#include "notify.h"
#include "notify/clockalarms.h"
#include "pim/ical.h"

namespace ceimage {

namespace {

constexpr const char* kDemoCalendar = R"(BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//Zolvane demo//EN
BEGIN:VEVENT
UID:demo-team-meeting
SUMMARY:Team meeting
LOCATION:Room 2.14
DTSTART:20270301T100000
DTEND:20270301T110000
RRULE:FREQ=WEEKLY;BYDAY=MO,TH
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER:-PT15M
END:VALARM
END:VEVENT
BEGIN:VEVENT
UID:demo-lunch
SUMMARY:Lunch with Anna
LOCATION:Bistro am Markt
DTSTART:20270301T123000
DTEND:20270301T133000
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER:-PT30M
END:VALARM
END:VEVENT
BEGIN:VEVENT
UID:demo-review
SUMMARY:Project review
DTSTART:20270301T150000
DTEND:20270301T160000
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER:-PT10M
END:VALARM
END:VEVENT
BEGIN:VEVENT
UID:demo-dentist
SUMMARY:Dentist
LOCATION:Dr. Weber
DTSTART:20270302T164500
DTEND:20270302T173000
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER:-PT1H
END:VALARM
END:VEVENT
BEGIN:VEVENT
UID:demo-yoga
SUMMARY:Yoga
DTSTART:20270302T183000
DTEND:20270302T193000
RRULE:FREQ=WEEKLY;BYDAY=TU,TH;COUNT=8
END:VEVENT
BEGIN:VEVENT
UID:demo-fair
SUMMARY:Trade fair
LOCATION:Hannover
DTSTART:20270303T090000
DTEND:20270304T170000
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER:-PT2H
END:VALARM
END:VEVENT
BEGIN:VEVENT
UID:demo-holiday
SUMMARY:Company holiday
DTSTART;VALUE=DATE:20270305
DTEND;VALUE=DATE:20270306
END:VEVENT
BEGIN:VEVENT
UID:demo-concert
SUMMARY:Concert
LOCATION:Philharmonie
DTSTART:20270306T200000
DTEND:20270306T220000
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER:-PT1H
END:VALARM
END:VEVENT
BEGIN:VTODO
UID:demo-report
SUMMARY:Send the report
DUE;VALUE=DATE:20270301
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER;VALUE=DATE-TIME:20270301T113000
END:VALARM
END:VTODO
BEGIN:VTODO
UID:demo-flights
SUMMARY:Book flights
DUE;VALUE=DATE:20270303
BEGIN:VALARM
ACTION:DISPLAY
TRIGGER;VALUE=DATE-TIME:20270302T090000
END:VALARM
END:VTODO
BEGIN:VTODO
UID:demo-present
SUMMARY:Buy a present for Anna
DUE;VALUE=DATE:20270303
END:VTODO
BEGIN:VTODO
UID:demo-passport
SUMMARY:Renew passport
DUE;VALUE=DATE:20270310
END:VTODO
END:VCALENDAR
)";

constexpr const char* kDemoContacts = R"(BEGIN:VCARD
VERSION:3.0
N:Berger;Anna;;;
FN:Anna Berger
TEL;TYPE=CELL:+49 171 5550123
BDAY:1990-03-04
END:VCARD
BEGIN:VCARD
VERSION:3.0
N:Meyer;Lisa;;;
FN:Lisa Meyer
EMAIL:lisa.meyer@example.com
X-ANNIVERSARY:2015-03-06
END:VCARD
BEGIN:VCARD
VERSION:3.0
N:Novak;Tom;;;
FN:Tom Novak
BDAY:1985-07-21
END:VCARD
)";

bool addOtherProgramsNotification() {
    CE_NOTIFICATION_TRIGGER trigger = {};
    trigger.dwSize = sizeof trigger;
    trigger.dwType = CNT_TIME;
    WCHAR application[] = u"\\Program Files\\Backup\\backup.exe";
    WCHAR arguments[] = u"-nightly";
    trigger.lpszApplication = application;
    trigger.lpszArguments = arguments;
    trigger.stStartTime = {2027, 3, 1, 1, 23, 0, 0, 0};
    return CeSetUserNotificationEx(nullptr, &trigger, nullptr) != nullptr;
}

} // namespace

bool fillDemoDevice(std::string* error) {
    ce::pim::ImportCounts counts;
    if (!ce::pim::importIcs(kDemoCalendar, &counts, error)) return false;
    if (!ce::pim::importVcf(kDemoContacts, &counts, error)) return false;
    ce::notify::ClockAlarm wake;
    wake.index = 0;
    wake.hour = 6;
    wake.minute = 45;
    wake.days = 0x1F; // Monday to Friday
    wake.label = u"Wake up";
    ce::notify::ClockAlarm gym;
    gym.index = 1;
    gym.hour = 17;
    gym.minute = 30;
    gym.days = 0x15; // Monday, Wednesday, Friday
    gym.label = u"Gym";
    if (!ce::notify::writeClockAlarm(wake) || !ce::notify::writeClockAlarm(gym) ||
        ce::notify::registerClockAlarms() != ERROR_SUCCESS) {
        *error = "cannot set the demo's clock alarms";
        return false;
    }
    if (!addOtherProgramsNotification()) {
        *error = "cannot add the demo's notification";
        return false;
    }
    return true;
}

} // namespace ceimage
