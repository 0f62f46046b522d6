// locale_data.cpp: the four locales of the device as constant tables, and the lookup of the
// locale the device profile selects. The formatting itself is in locale.cpp.
#include "kernel/locale_data.h"

#include <strings.h>

#include "kernel/device.h"
#include "kernel/trace.h"

namespace ce {
namespace {

const LocaleData kLocales[] = {
    {
        .langId = 0x0409,
        .tag = "en-US",
        .nativeLanguage = u"English (United States)",
        .englishLanguage = u"English",
        .abbrevLanguage = u"ENU",
        .nativeLanguageName = u"English",
        .countryCode = u"1",
        .nativeCountry = u"United States",
        .englishCountry = u"United States",
        .abbrevCountry = u"USA",
        .listSeparator = u",",
        .measure = u"1",
        .decimal = u".",
        .thousand = u",",
        .dateSeparator = u"/",
        .timeSeparator = u":",
        .shortDate = u"M/d/yyyy",
        .longDate = u"dddd, MMMM dd, yyyy",
        .yearMonth = u"MMMM, yyyy",
        .timeFormat = u"h:mm:ss tt",
        .dateOrder = u"0",
        .longDateOrder = u"0",
        .timeClock = u"0",
        .hourLeadingZero = u"0",
        .dayLeadingZero = u"0",
        .monthLeadingZero = u"0",
        .am = u"AM",
        .pm = u"PM",
        .firstDayOfWeek = u"6",
        .firstWeekOfYear = u"0",
        .era = u"A.D.",
        .dayNames = {u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday",
                     u"Sunday"},
        .abbrevDayNames = {u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat", u"Sun"},
        .monthNames = {u"January", u"February", u"March", u"April", u"May", u"June", u"July",
                       u"August", u"September", u"October", u"November", u"December"},
        .abbrevMonthNames = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep",
                             u"Oct", u"Nov", u"Dec"},
    },
    {
        .langId = 0x0809,
        .tag = "en-GB",
        .nativeLanguage = u"English (United Kingdom)",
        .englishLanguage = u"English",
        .abbrevLanguage = u"ENG",
        .nativeLanguageName = u"English",
        .countryCode = u"44",
        .nativeCountry = u"United Kingdom",
        .englishCountry = u"United Kingdom",
        .abbrevCountry = u"GBR",
        .listSeparator = u",",
        .measure = u"0",
        .decimal = u".",
        .thousand = u",",
        .dateSeparator = u"/",
        .timeSeparator = u":",
        .shortDate = u"dd/MM/yyyy",
        .longDate = u"dd MMMM yyyy",
        .yearMonth = u"MMMM yyyy",
        .timeFormat = u"HH:mm:ss",
        .dateOrder = u"1",
        .longDateOrder = u"1",
        .timeClock = u"1",
        .hourLeadingZero = u"1",
        .dayLeadingZero = u"1",
        .monthLeadingZero = u"1",
        .am = u"AM",
        .pm = u"PM",
        .firstDayOfWeek = u"0",
        .firstWeekOfYear = u"0",
        .era = u"A.D.",
        .dayNames = {u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday",
                     u"Sunday"},
        .abbrevDayNames = {u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat", u"Sun"},
        .monthNames = {u"January", u"February", u"March", u"April", u"May", u"June", u"July",
                       u"August", u"September", u"October", u"November", u"December"},
        .abbrevMonthNames = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep",
                             u"Oct", u"Nov", u"Dec"},
    },
    {
        .langId = 0x0407,
        .tag = "de-DE",
        .nativeLanguage = u"Deutsch (Deutschland)",
        .englishLanguage = u"German",
        .abbrevLanguage = u"DEU",
        .nativeLanguageName = u"Deutsch",
        .countryCode = u"49",
        .nativeCountry = u"Deutschland",
        .englishCountry = u"Germany",
        .abbrevCountry = u"DEU",
        .listSeparator = u";",
        .measure = u"0",
        .decimal = u",",
        .thousand = u".",
        .dateSeparator = u".",
        .timeSeparator = u":",
        .shortDate = u"dd.MM.yyyy",
        .longDate = u"dddd, d. MMMM yyyy",
        .yearMonth = u"MMMM yyyy",
        .timeFormat = u"HH:mm:ss",
        .dateOrder = u"1",
        .longDateOrder = u"1",
        .timeClock = u"1",
        .hourLeadingZero = u"1",
        .dayLeadingZero = u"1",
        .monthLeadingZero = u"1",
        // German has no morning/afternoon markers: a 12-hour picture shows none.
        .am = u"",
        .pm = u"",
        .firstDayOfWeek = u"0",
        .firstWeekOfYear = u"2",
        .era = u"n. Chr.",
        .dayNames = {u"Montag", u"Dienstag", u"Mittwoch", u"Donnerstag", u"Freitag", u"Samstag",
                     u"Sonntag"},
        .abbrevDayNames = {u"Mo", u"Di", u"Mi", u"Do", u"Fr", u"Sa", u"So"},
        .monthNames = {u"Januar", u"Februar", u"März", u"April", u"Mai", u"Juni", u"Juli",
                       u"August", u"September", u"Oktober", u"November", u"Dezember"},
        .abbrevMonthNames = {u"Jan", u"Feb", u"Mrz", u"Apr", u"Mai", u"Jun", u"Jul", u"Aug", u"Sep",
                             u"Okt", u"Nov", u"Dez"},
    },
    {
        .langId = 0x0411,
        .tag = "ja-JP",
        .nativeLanguage = u"日本語",
        .englishLanguage = u"Japanese",
        .abbrevLanguage = u"JPN",
        .nativeLanguageName = u"日本語",
        .countryCode = u"81",
        .nativeCountry = u"日本",
        .englishCountry = u"Japan",
        .abbrevCountry = u"JPN",
        .listSeparator = u",",
        .measure = u"0",
        .decimal = u".",
        .thousand = u",",
        .dateSeparator = u"/",
        .timeSeparator = u":",
        .shortDate = u"yyyy/MM/dd",
        .longDate = u"yyyy'年'M'月'd'日'",
        .yearMonth = u"yyyy'年'M'月'",
        .timeFormat = u"H:mm:ss",
        .dateOrder = u"2",
        .longDateOrder = u"2",
        .timeClock = u"1",
        .hourLeadingZero = u"0",
        .dayLeadingZero = u"1",
        .monthLeadingZero = u"1",
        .am = u"午前",
        .pm = u"午後",
        .firstDayOfWeek = u"6",
        .firstWeekOfYear = u"0",
        .era = u"西暦",
        .dayNames = {u"月曜日", u"火曜日", u"水曜日", u"木曜日", u"金曜日", u"土曜日", u"日曜日"},
        .abbrevDayNames = {u"月", u"火", u"水", u"木", u"金", u"土", u"日"},
        .monthNames = {u"1月", u"2月", u"3月", u"4月", u"5月", u"6月", u"7月", u"8月", u"9月",
                       u"10月", u"11月", u"12月"},
        .abbrevMonthNames = {u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9", u"10", u"11",
                             u"12"},
    },
};

} // namespace

std::span<const LocaleData> allLocales() {
    return kLocales;
}

const LocaleData* localeByLangId(LANGID id) {
    for (const LocaleData& l : kLocales)
        if (l.langId == id) return &l;
    return nullptr;
}

const LocaleData* localeByTag(std::string_view tag) {
    for (const LocaleData& l : kLocales) {
        std::string_view name(l.tag);
        if (name.size() == tag.size() && strncasecmp(name.data(), tag.data(), tag.size()) == 0)
            return &l;
    }
    return nullptr;
}

const LocaleData& deviceLocale() {
    // Hold the configuration only while the name is compared: the tables are static.
    const LocaleData* l = localeByTag(deviceConf()->profile.locale);
    if (l) return *l;
    CE_FIXME("locale", "unknown locale \"%s\" in the device profile, using en-US",
             deviceConf()->profile.locale.c_str());
    return kLocales[0];
}

} // namespace ce
