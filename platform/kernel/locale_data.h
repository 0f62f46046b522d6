// locale_data.h: the locales the device carries, as constant tables (inside the platform).
//
// Each locale is one LocaleData record holding the texts GetLocaleInfoW reports and the
// pictures GetDateFormatW / GetTimeFormatW use. The values are those of the Windows CE /
// Windows Mobile 6 era national-language data for the four locales (short dates with a
// four-digit year, "dd" in the US long date, "Mrz" as the German short March), written out
// from the public documentation of each item rather than taken from any system file.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "windef.h"

namespace ce {

struct LocaleData {
    LANGID langId;   // the locale's language identifier (its LCID with SORT_DEFAULT)
    const char* tag; // the name the device profile uses: "en-US"

    std::u16string_view nativeLanguage; // LOCALE_SLANGUAGE when this is the system locale
    std::u16string_view englishLanguage;
    std::u16string_view abbrevLanguage;
    std::u16string_view nativeLanguageName; // the language alone, in itself
    std::u16string_view countryCode;        // LOCALE_ICOUNTRY: the dialling code
    std::u16string_view nativeCountry;
    std::u16string_view englishCountry;
    std::u16string_view abbrevCountry;
    std::u16string_view listSeparator;
    std::u16string_view measure; // "0" metric, "1" US
    std::u16string_view decimal;
    std::u16string_view thousand;

    std::u16string_view dateSeparator;
    std::u16string_view timeSeparator;
    std::u16string_view shortDate;
    std::u16string_view longDate;
    std::u16string_view yearMonth;
    std::u16string_view timeFormat;
    std::u16string_view dateOrder;     // LOCALE_IDATE: "0" M/D/Y, "1" D/M/Y, "2" Y/M/D
    std::u16string_view longDateOrder; // LOCALE_ILDATE, same coding
    std::u16string_view timeClock;     // LOCALE_ITIME: "0" 12-hour, "1" 24-hour
    std::u16string_view hourLeadingZero;
    std::u16string_view dayLeadingZero;
    std::u16string_view monthLeadingZero;
    std::u16string_view am;              // LOCALE_S1159
    std::u16string_view pm;              // LOCALE_S2359
    std::u16string_view firstDayOfWeek;  // "0" Monday .. "6" Sunday
    std::u16string_view firstWeekOfYear; // "0" the week holding 1 January
    std::u16string_view era;             // the Gregorian era name, for "g" / "gg"

    std::array<std::u16string_view, 7> dayNames; // Monday first, as LOCALE_SDAYNAME1..7
    std::array<std::u16string_view, 7> abbrevDayNames;
    std::array<std::u16string_view, 12> monthNames;
    std::array<std::u16string_view, 12> abbrevMonthNames;
};

// Every locale the device carries; the first one is the fallback for an unknown profile name.
std::span<const LocaleData> allLocales();

// The locale with this language identifier, or null.
const LocaleData* localeByLangId(LANGID id);

// The locale with this profile name (compared without regard to case), or null.
const LocaleData* localeByTag(std::string_view tag);

// The locale the device profile selects, read afresh at each call; an unknown name in the
// profile falls back to English (United States).
const LocaleData& deviceLocale();

} // namespace ce
