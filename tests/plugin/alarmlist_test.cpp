// alarmlist_test.cpp: the alarm list model: the limits of maxAlarms, inserting at a time
// position (a full list loses its last item), the event-time default, the hand-over of a new
// list, the views' masks, and the date/time texts of getDateTime in three locales.
#include <string>

#include <gtest/gtest.h>

#include "kernel/device.h"
#include "testdevice.h"
#include "windows.h"

#include "alarmlist.h"
#include "settings.h"

namespace {

SYSTEMTIME at(WORD year, WORD month, WORD day, WORD dow, WORD hour, WORD minute) {
    SYSTEMTIME t = {};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wDayOfWeek = dow;
    t.wHour = hour;
    t.wMinute = minute;
    return t;
}

class AlarmListTest : public cetest::DeviceTest {
protected:
    void SetUp() override { initAlarmListLock(); }
    void TearDown() override {
        freeAlarmList();
        deleteAlarmListLock();
        viewMask = 0;
    }
};

// maxAlarms counts items (30 days ahead), or days ahead when negative (49 items), or turns the
// notification items off.
TEST_F(AlarmListTest, LimitsOfMaxAlarms) {
    struct Case {
        LONG maxAlarms, items, days;
    } cases[] = {{10, 10, 30}, {-7, 49, 7}, {0, 0, 0}, {60, 50, 30}, {-1, 49, 1}};
    for (const Case& c : cases) {
        LONG items = -1, days = -1;
        alarmLimits(c.maxAlarms, &items, &days);
        EXPECT_EQ(c.items, items) << c.maxAlarms;
        EXPECT_EQ(c.days, days) << c.maxAlarms;
    }
}

// Inserting moves the later items up and leaves a clean slot; in a full list the last item
// falls off (its text freed, which the leak checker watches).
TEST_F(AlarmListTest, InsertAtTimePosition) {
    AlarmList* list = createAlarmList();
    ASSERT_NE(nullptr, list);
    LONG count = 0;
    for (int i = 0; i < 3; ++i) {
        list->items[i].oid = 100 + i;
        ASSERT_TRUE(setAlarmText(&list->items[i], std::u16string(1, u'a' + i).c_str()));
        ++count;
    }
    ASSERT_TRUE(insertAlarmItem(list, &count, 1));
    EXPECT_EQ(4, count);
    EXPECT_EQ(100u, list->items[0].oid);
    EXPECT_EQ(0u, list->items[1].oid);
    EXPECT_EQ(nullptr, list->items[1].text);
    EXPECT_EQ(101u, list->items[2].oid);
    EXPECT_EQ(std::u16string(u"b"), std::u16string(list->items[2].text));
    EXPECT_EQ(102u, list->items[3].oid);
    EXPECT_FALSE(insertAlarmItem(list, &count, 6)) << "beyond the end";
    EXPECT_FALSE(insertAlarmItem(list, &count, -1));

    count = ALARM_LIST_SIZE;
    for (int i = 0; i < ALARM_LIST_SIZE; ++i)
        list->items[i].oid = 1000 + i;
    setAlarmText(&list->items[ALARM_LIST_SIZE - 1], u"last");
    ASSERT_TRUE(insertAlarmItem(list, &count, 0));
    EXPECT_EQ(ALARM_LIST_SIZE, count);
    EXPECT_EQ(0u, list->items[0].oid);
    EXPECT_EQ(1000u + ALARM_LIST_SIZE - 2, list->items[ALARM_LIST_SIZE - 1].oid);
    EXPECT_FALSE(insertAlarmItem(list, &count, ALARM_LIST_SIZE));
    deleteAlarmList(list);
}

// The event time follows the alarm time when unset or earlier by date; an earlier hour on the
// same day is kept (the date decides).
TEST_F(AlarmListTest, EventTimeDefault) {
    AlarmItem item = {};
    item.alarmTime = at(2027, 3, 1, 1, 8, 45);
    defaultEventTime(&item);
    EXPECT_EQ(2027, item.eventTime.wYear);
    EXPECT_EQ(1, item.eventTime.wDay);
    EXPECT_EQ(8, item.eventTime.wHour);
    EXPECT_EQ(45, item.eventTime.wMinute);

    item.eventTime = at(2027, 2, 28, 0, 23, 0);
    defaultEventTime(&item);
    EXPECT_EQ(3, item.eventTime.wMonth) << "an earlier date takes the alarm's";

    item.eventTime = at(2027, 3, 1, 1, 7, 0);
    defaultEventTime(&item);
    EXPECT_EQ(7, item.eventTime.wHour) << "same day, earlier hour: kept";

    item.eventTime = at(2027, 3, 2, 2, 9, 0);
    defaultEventTime(&item);
    EXPECT_EQ(2, item.eventTime.wDay);

    SYSTEMTIME t = at(2027, 3, 1, 1, 10, 0);
    setMultiDayMark(&t);
    EXPECT_TRUE(isMultiDayMark(&t));
    EXPECT_FALSE(isAllDayMark(&t));
    setAllDayMark(&t);
    EXPECT_TRUE(isAllDayMark(&t));
}

// A new list replaces the shown one as a whole; the old one goes (the leak checker sees it).
TEST_F(AlarmListTest, ReplaceHandsOverTheList) {
    AlarmList* first = createAlarmList();
    setAlarmText(&first->items[0], u"first");
    replaceAlarmList(first, 1);
    EXPECT_EQ(first, alarmList);
    EXPECT_EQ(1, alarmCount);
    AlarmList* second = createAlarmList();
    replaceAlarmList(second, 0);
    EXPECT_EQ(second, alarmList);
    EXPECT_EQ(0, alarmCount);
    freeAlarmList();
    EXPECT_EQ(nullptr, alarmList);
    EXPECT_EQ(0, alarmCount);
}

// The views of the filter menu and the mask a scan uses.
TEST_F(AlarmListTest, ViewMasks) {
    EXPECT_EQ(0x13FFF, maskOfView(VIEW_ALL));
    EXPECT_EQ(960, maskOfView(VIEW_APPOINTMENTS));
    EXPECT_EQ(9216, maskOfView(VIEW_DUE_TASKS));
    EXPECT_EQ(9216, maskOfView(VIEW_OVERDUE));
    EXPECT_EQ(137216, maskOfView(VIEW_ZOLVANE));
    EXPECT_EQ(3, maskOfView(VIEW_SYSTEM));
    EXPECT_EQ(0, maskOfView(VIEW_RESTORE));
    EXPECT_EQ(-1, maskOfView(VIEW_CLOSE));
    EXPECT_EQ(9216, maskOfView(12));

    getSettings().flagShowAlarms = 0x3FFFC;
    viewMask = 0;
    EXPECT_EQ(0x3FFFC, currentShowMask());
    viewMask = MASK_APPOINTMENTS;
    EXPECT_EQ(MASK_APPOINTMENTS, currentShowMask());
    EXPECT_TRUE(kindShown(MASK_APPOINTMENTS, KIND_CAL_SNOOZE));
    EXPECT_FALSE(kindShown(MASK_APPOINTMENTS, KIND_TASK));
    EXPECT_TRUE(kindShown(MASK_ZOLVANE, KIND_COMPANION));
    EXPECT_FALSE(kindShown(-1, 40));
}

class DateTimeTest : public AlarmListTest {
protected:
    void SetUp() override {
        AlarmListTest::SetUp();
        PluginSettings& s = getSettings();
        s.dateFormat = 0;
        s.includeDay = 1;
        s.dayLen = 3;
        s.compressDate = 0;
        lastDateDay = 0;
    }
    void useLocale(const char* tag) {
        std::string error;
        ASSERT_TRUE(
            ce::updateDeviceConf([&](ce::DeviceConf& c) { c.profile.locale = tag; }, &error))
            << error;
    }
    std::u16string text(SYSTEMTIME t, LONG allDay, LONG mode, LONG noDay = 0, LONG group = 0) {
        WCHAR out[DATETIME_CCH];
        out[0] = u'?';
        getDateTime(t, out, allDay, mode, noDay, group);
        return out;
    }
    SYSTEMTIME monday = at(2027, 3, 1, 1, 8, 30);
};

std::string narrow(const std::u16string& s) {
    return std::string(s.begin(), s.end());
}

// US English: month/day/year, 12-hour clock.
TEST_F(DateTimeTest, UsEnglish) {
    useLocale("en-US");
    EXPECT_EQ("Mon 3/1/2027 8:30 AM", narrow(text(monday, 0, DT_DATE_TIME)));
    EXPECT_EQ("3/1/2027 8:30 AM", narrow(text(monday, 0, DT_DATE_TIME, 1)));
    EXPECT_EQ("Mon 3/1/2027", narrow(text(monday, 0, DT_DATE_ONLY)));
    EXPECT_EQ("8:30 AM", narrow(text(monday, 0, DT_TIME_ONLY)));
    EXPECT_EQ("", narrow(text(monday, 0, 4)));
    EXPECT_EQ("Mon 3/1/2027 All-Day", narrow(text(monday, 1, DT_DATE_TIME)));

    getSettings().dateFormat = 1; // without the year: cut at the last separator
    EXPECT_EQ("Mon 3/1 8:30 AM", narrow(text(monday, 0, DT_DATE_TIME)));
    getSettings().dateFormat = 2; // the day of month alone
    EXPECT_EQ("Mon 01 8:30 AM", narrow(text(monday, 0, DT_DATE_TIME)));
    getSettings().dayLen = 2;
    getSettings().dateFormat = 1;
    EXPECT_EQ("Mo 3/1 8:30 AM", narrow(text(monday, 0, DT_DATE_TIME)));
    getSettings().dayLen = 0;
    EXPECT_EQ(" 3/1 8:30 AM", narrow(text(monday, 0, DT_DATE_TIME)));
    getSettings().dayLen = 3;

    // Compressed marker: one lower-case letter after the digits, except in mode 3.
    getSettings().compressDate = 1;
    SYSTEMTIME evening = at(2027, 3, 1, 1, 19, 5);
    EXPECT_EQ("Mon 3/1 7:05p", narrow(text(evening, 0, DT_DATE_TIME)));
    EXPECT_EQ("8:30a", narrow(text(monday, 0, DT_TIME_ONLY)));
    EXPECT_EQ("8:30 AM", narrow(text(monday, 0, DT_TIME_PLAIN)));
}

// A grouped list prints each date once; the lines below are indented so the times line up.
TEST_F(DateTimeTest, GroupedDates) {
    useLocale("en-US");
    getSettings().dateFormat = 1;
    EXPECT_EQ("Mon 3/1 8:30 AM", narrow(text(monday, 0, DT_DATE_TIME, 0, 1)));
    SYSTEMTIME later = at(2027, 3, 1, 1, 10, 0);
    EXPECT_EQ("  10:00 AM", narrow(text(later, 0, DT_DATE_TIME, 0, 1)));
    EXPECT_EQ("  All-Day", narrow(text(later, 1, DT_DATE_TIME, 0, 1)));
    getSettings().compressDate = 1;
    EXPECT_EQ("10:00a", narrow(text(later, 0, DT_DATE_TIME, 0, 1)));
    EXPECT_EQ("  All-Day", narrow(text(later, 1, DT_DATE_TIME, 0, 1)));
    SYSTEMTIME tuesday = at(2027, 3, 2, 2, 9, 0);
    EXPECT_EQ("Tue 3/2 9:00a", narrow(text(tuesday, 0, DT_DATE_TIME, 0, 1)));
    EXPECT_EQ(2, lastDateDay);
}

// German: day.month.year and a 24-hour clock; no blanks before a dateless time.
TEST_F(DateTimeTest, German) {
    useLocale("de-DE");
    getSettings().dateFormat = 1;
    EXPECT_EQ("Mon 01.03 08:30", narrow(text(monday, 0, DT_DATE_TIME, 0, 1)));
    SYSTEMTIME later = at(2027, 3, 1, 1, 17, 45);
    EXPECT_EQ("17:45", narrow(text(later, 0, DT_DATE_TIME, 0, 1)));
    EXPECT_EQ("  All-Day", narrow(text(later, 1, DT_DATE_TIME, 0, 1)));
    getSettings().includeDay = 0;
    EXPECT_EQ(" All-Day", narrow(text(later, 1, DT_DATE_TIME, 0, 1)));
}

// Year first: dateFormat 1 drops the leading year and its separator.
TEST_F(DateTimeTest, YearFirstLocaleDropsTheYear) {
    useLocale("ja-JP");
    getSettings().dateFormat = 1;
    std::u16string t = text(monday, 0, DT_DATE_ONLY, 1);
    EXPECT_EQ("03/01", narrow(t));
}

} // namespace
