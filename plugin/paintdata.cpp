// paintdata.cpp: the alarm list in the skin's text window (paintData, see paint.h): one line
// per item with its icon, its date and time (dates once per day when grouped, times lined up),
// the alarm time in the form the settings ask for, and the text cut to what fits; then the
// scroll bar when the list is longer than the window.
//
// The list is read under the list lock: the reload thread swaps it and frees the old one.
#include <string>

#include <strsafe.h>

#include "alarmlist.h"
#include "image.h"
#include "langids.h"
#include "language.h"
#include "listicons.h"
#include "log.h"
#include "paint.h"
#include "plugin.h"
#include "settings.h"
#include "skin.h"

namespace {

// Kind 17, the companion product's alarms, borrow the alarmNote icon.
#define COMPANION_ICON    static_cast<DWORD>(KIND_NOTE)
#define ICON_X            3
#define ICON_OFFSET_HIRES 3
// Text starts here when the skin has no icon column (20 at 96 dots per inch).
#define TEXT_X_LOGICAL 20
// Gap after the time column (3 at 96 dots per inch).
#define TIME_GAP_LOGICAL 3
#define SKIN_REFRESH_MS  100
#define HIRES_MIN_SIDE   400
#define YEAR_FIRST       2001
#define YEAR_LAST        3999
#define WHITE            RGB(255, 255, 255)
#define NO_COLOUR        RGB(1, 1, 1)

struct ListLayout {
    LONG width, height; // the text window
    LONG textX;         // where text starts, after the icon column
    LONG iconOffset;    // the icon's offset below the line's top
    LONG widestDate;    // the widest date part of all lines
    LONG timeColumn;    // the width of the time column with alignText
    BOOL grouped;       // dateIndent
    LONG blanks;        // blanks that end the date part: 2 with the weekday, else 1
};

BOOL isHighResolution(void) {
    LONG width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    return (width < height ? width : height) > HIRES_MIN_SIDE;
}

BOOL hasTime(const AlarmItem& item) {
    return item.alarmTime.wYear != 0;
}

BOOL hasEventYear(const AlarmItem& item) {
    return item.eventTime.wYear >= YEAR_FIRST && item.eventTime.wYear <= YEAR_LAST;
}

BOOL sameMinute(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute;
}

// The time the line shows (alarmFormat 0 and 1 the alarm time, 2 and 3 the event's) and the
// one appended in parentheses (0 appends the event's, 2 the alarm time). Only items with a real
// event year have the choice.
const SYSTEMTIME& shownTime(const AlarmItem& item, const SYSTEMTIME** appended) {
    *appended = nullptr;
    if (!hasEventYear(item)) return item.alarmTime;
    switch (getSettings().alarmFormat) {
    case 0: *appended = &item.eventTime; return item.alarmTime;
    case 2: *appended = &item.alarmTime; return item.eventTime;
    case 3: return item.eventTime;
    default: return item.alarmTime;
    }
}

// The date/time text of the line's shown time.
void timeText(const SYSTEMTIME& time, BOOL group, WCHAR* out) {
    getDateTime(time, out, isAllDayMark(&time), DT_DATE_TIME, 0, group);
}

// Where the date part of a date/time text ends: after its first blank (its second with the
// weekday), or 0 when it has none, which makes the whole text the time. A grouped line whose
// date getDateTime left out starts with that blank: its date part is the blank alone.
size_t dateLength(const WCHAR* text, LONG blanks) {
    LONG seen = 0;
    for (size_t i = 0; text[i]; ++i)
        if (text[i] == ' ' && ++seen == blanks) return i + 1;
    return 0;
}

LONG textWidth(HDC dc, const WCHAR* text, size_t length) {
    SIZE size = {0, 0};
    if (length > 0) GetTextExtentPoint32W(dc, text, static_cast<int>(length), &size);
    return size.cx;
}

// The " (...)" that follows the text: the appended time's hour and minute ("..." after it for
// an appointment over several days), or "All-Day" with the day and month of the event. Left
// out when it would only repeat the time the line already shows.
std::u16string appendedPart(const AlarmItem& item, const SYSTEMTIME& shown,
                            const SYSTEMTIME* appended) {
    if (!appended || sameMinute(shown, *appended)) return std::u16string();
    WCHAR part[DATETIME_CCH] = {};
    if (isMultiDayMark(&item.alarmTime))
        StringCchPrintfW(part, DATETIME_CCH, TEXT(" (%02d:%02d...)"),
                         static_cast<int>(appended->wHour), static_cast<int>(appended->wMinute));
    else if (isAllDayMark(appended))
        StringCchPrintfW(part, DATETIME_CCH, TEXT(" (%s %02d/%02d)"), getText(TXT_ALL_DAY).c_str(),
                         static_cast<int>(item.eventTime.wDay),
                         static_cast<int>(item.eventTime.wMonth));
    else
        StringCchPrintfW(part, DATETIME_CCH, TEXT(" (%02d:%02d)"),
                         static_cast<int>(appended->wHour), static_cast<int>(appended->wMinute));
    return std::u16string(part);
}

// Measuring pass: the widest date part and the width of the time column, over all lines with a
// text and a time, without grouping.
void measureList(HDC dc, ListLayout* layout) {
    LONG widestPrefix = 0, widestDate = 0;
    WCHAR text[DATETIME_CCH];
    for (LONG i = 0; i < alarmCount && i < ALARM_LIST_SIZE; ++i) {
        const AlarmItem& item = alarmList->items[i];
        if (!item.text || !item.text[0] || !hasTime(item)) continue;
        const SYSTEMTIME* appended = nullptr;
        timeText(shownTime(item, &appended), FALSE, text);
        const size_t length = static_cast<size_t>(lstrlenW(text));
        const LONG whole = textWidth(dc, text, length);
        if (whole > widestPrefix) widestPrefix = whole;
        // The part up to and with the blank, so that the times keep their distance.
        const LONG date = textWidth(dc, text, dateLength(text, layout->blanks));
        if (date > widestDate) widestDate = date;
    }
    layout->widestDate = widestDate;
    layout->timeColumn = 0;
    if (widestPrefix > 0)
        layout->timeColumn = widestPrefix - widestDate +
                             (GetDeviceCaps(dc, LOGPIXELSX) + 16) * TIME_GAP_LOGICAL / 96;
}

// How many characters of text fit into width: characters come off the end until the rest
// fits; no ellipsis.
int fittingLength(HDC dc, const WCHAR* text, int length, LONG width) {
    if (length <= 0) return 0;
    if (width <= 0) return 0;
    int fit = 0;
    SIZE size = {0, 0};
    if (GetTextExtentExPointW(dc, text, length, width, &fit, NULL, &size)) return fit;
    while (length > 0 && textWidth(dc, text, static_cast<size_t>(length)) > width)
        --length;
    return length;
}

// Draws one single-line text at (x, y), cut to what fits before the window's right edge;
// returns the drawn height.
LONG drawCut(HDC dc, const WCHAR* text, size_t length, LONG x, LONG y, const ListLayout& layout) {
    const int fit = fittingLength(dc, text, static_cast<int>(length), layout.width - x);
    RECT box = {x, y, layout.width, layout.height};
    return DrawTextW(dc, text, fit, &box, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
}

void drawIcon(HDC dc, const SkinDef* skin, DWORD kind, LONG y, const ListLayout& layout) {
    if (kind > KIND_COMPANION) return;
    const DWORD icon = kind == KIND_COMPANION ? COMPANION_ICON : kind;
    if (skin->smallIcons[icon].bitmap) {
        drawTransparent(dc, skin->smallIcons[icon].bitmap, ICON_X, y + layout.iconOffset);
        return;
    }
    if (listIcons[icon])
        DrawIconEx(dc, ICON_X, y + layout.iconOffset, listIcons[icon], 0, 0, 0, NULL, DI_NORMAL);
}

// One line with a time: the date, the time lined up after the widest date, then the text with
// its appended time. Returns the drawn height.
LONG drawTimedLine(HDC dc, const AlarmItem& item, LONG y, const ListLayout& layout) {
    const PluginSettings& settings = getSettings();
    const SYSTEMTIME* appended = nullptr;
    const SYSTEMTIME& shown = shownTime(item, &appended);
    WCHAR text[DATETIME_CCH];
    timeText(shown, layout.grouped, text);
    LONG x = layout.textX;
    LONG height = 0;
    const WCHAR* time = text;
    if (layout.widestDate > 0) {
        size_t dateEnd = dateLength(text, layout.blanks);
        if (dateEnd > 0) {
            if (dateEnd > 1) height = drawCut(dc, text, dateEnd, x, y, layout);
            time = text + dateEnd;
            if (*time == ' ') ++time; // a second blank straight after the first goes too
        }
        x += layout.widestDate;
    }
    std::u16string body(item.text);
    body += appendedPart(item, shown, appended);
    LONG drawn = 0;
    if (!settings.alignText) {
        std::u16string line(time);
        line += u' ';
        line += body;
        drawn = drawCut(dc, line.c_str(), line.size(), x, y, layout);
    } else {
        drawn = drawCut(dc, time, static_cast<size_t>(lstrlenW(time)), x, y, layout);
        x += layout.timeColumn;
        LONG rest = drawCut(dc, body.c_str(), body.size(), x, y, layout);
        if (rest > drawn) drawn = rest;
    }
    return drawn > height ? drawn : height;
}

// The scroll bar in text-window coordinates: the buttons and the thumb in the scroll column,
// or, without buttons, the thumb alone at the window's right edge.
void drawScrollBar(HDC dc, const SkinDef* skin, const RECT& window) {
    const SkinItem& up = skin->items[SKIN_SCROLLUP];
    const SkinItem& down = skin->items[SKIN_SCROLLDOWN];
    if (!up.enabled) {
        drawTransparent(dc, skin->scroller, (window.right - window.left) - skin->scrollerWidth,
                        pluginState.thumbTop);
        return;
    }
    drawTransparent(dc, up.bitmap, up.left - window.left, up.top - window.top);
    if (down.enabled)
        drawTransparent(dc, down.bitmap, down.left - window.left, down.top - window.top);
    drawTransparent(dc, skin->scroller, up.left - window.left, pluginState.thumbTop - window.top);
}

// The thumb's step per line: the track between the buttons (or the whole window without them)
// less the thumb, shared among the lines that do not fit.
void updateThumbStep(const SkinDef* skin, LONG count, LONG windowHeight) {
    if (count <= visibleLines) {
        thumbStep = 0.0f;
        return;
    }
    const SkinItem& up = skin->items[SKIN_SCROLLUP];
    const SkinItem& down = skin->items[SKIN_SCROLLDOWN];
    LONG track = up.enabled ? down.top - skin->scrollerHeight - up.bottom
                            : windowHeight - skin->scrollerHeight;
    thumbStep = static_cast<float>(track) / static_cast<float>(count - visibleLines);
}

// A list that shrank since the last scroll leaves no empty window below its end.
void clampFirstLine(LONG count) {
    if (pluginState.firstLine < 0) {
        writeLog("paintData: nFirstTextItem < 0");
        pluginState.firstLine = 0;
    }
    LONG last = count - visibleLines;
    if (visibleLines > 0 && last >= 0 && pluginState.firstLine > last) {
        pluginState.firstLine = last;
        pluginState.thumbTop =
            scrollThumbOrigin() + static_cast<LONG>(pluginState.firstLine * thumbStep);
    }
}

void paintList(HDC target, SkinDef* skin) {
    const SkinItem& textWindow = skin->items[SKIN_TEXTWINDOW];
    ListLayout layout = {};
    layout.width = textWindow.right - textWindow.left;
    layout.height = textWindow.bottom - textWindow.top;
    if (!textWindow.enabled || layout.width <= 0 || layout.height <= 0) return;
    const PluginSettings& settings = getSettings();
    const LONG startHeight = skin->lineHeight;
    const LONG dpiX =
        GetDeviceCaps(target, LOGPIXELSX) > 0 ? GetDeviceCaps(target, LOGPIXELSX) : 96;
    if (isHighResolution())
        layout.iconOffset = ICON_OFFSET_HIRES;
    else
        layout.iconOffset = startHeight <= 10 ? 0 : 1 + static_cast<LONG>(0.7 * (startHeight - 10));
    layout.grouped = settings.dateIndent != 0;
    layout.blanks = settings.includeDay ? 2 : 1;
    lastDateDay = 0;

    HDC mem = CreateCompatibleDC(target);
    HBITMAP picture = mem ? CreateCompatibleBitmap(target, layout.width, layout.height) : NULL;
    if (!picture) {
        if (mem) DeleteDC(mem);
        return;
    }
    HGDIOBJ oldPicture = SelectObject(mem, picture);
    HGDIOBJ oldFont = skin->font ? SelectObject(mem, skin->font) : NULL;

    lockAlarmList();
    const LONG count =
        alarmList ? (alarmCount < ALARM_LIST_SIZE ? alarmCount : ALARM_LIST_SIZE) : 0;
    // The window's lines and the thumb's step for this list, before a shrunken list's
    // scroll position is corrected with them.
    visibleLines = startHeight > 0 ? layout.height / startHeight : 0;
    updateThumbStep(skin, count, layout.height);
    clampFirstLine(count);
    if (count > 0) measureList(mem, &layout);

    // The window's own picture: the captured background (or the skin's picture).
    if (HDC source = textWindow.bitmap ? CreateCompatibleDC(target) : NULL) {
        HGDIOBJ old = SelectObject(source, textWindow.bitmap);
        BitBlt(mem, 0, 0, layout.width, layout.height, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
    }

    const COLORREF colour =
        settings.customColor ? static_cast<COLORREF>(settings.fontColor) : skin->textColour;
    const BOOL opaque = skin->textBackColour != NO_COLOUR;
    SetTextColor(mem, colour);
    SetBkColor(mem, skin->textBackColour);
    SetBkMode(mem, opaque ? OPAQUE : TRANSPARENT);
    layout.textX =
        skin->iconColumnWidth > 0 ? skin->iconColumnWidth : (dpiX * TEXT_X_LOGICAL + 48) / 96;

    LONG lineHeight = startHeight;
    LONG y = 0;
    for (LONG i = pluginState.firstLine; i < count && y < layout.height; ++i) {
        const AlarmItem& item = alarmList->items[i];
        if (!item.text || !item.text[0]) continue;
        const BOOL selected = selectionShown() && i == pluginState.selectedLine;
        if (selected) {
            RECT band = {0, y, layout.width, y + lineHeight};
            FillRect(mem, &band, skin->selectionBrush);
            SetTextColor(mem, WHITE);
            SetBkMode(mem, TRANSPARENT);
        }
        drawIcon(mem, skin, item.kind, y, layout);
        LONG drawn = 0;
        if (!hasTime(item)) {
            drawn = drawCut(mem, item.text, static_cast<size_t>(lstrlenW(item.text)), layout.textX,
                            y, layout);
        } else {
            drawn = drawTimedLine(mem, item, y, layout);
        }
        // The height the font really draws is the line height; a line that drew nothing
        // keeps the old one, so the list never stalls on a height of 0.
        if (drawn > 0) lineHeight = drawn;
        y += lineHeight > 0 ? lineHeight : 1;
        if (selected) {
            SetTextColor(mem, colour);
            SetBkMode(mem, opaque ? OPAQUE : TRANSPARENT);
        }
    }

    if (lineHeight != startHeight) {
        skin->lineHeight = lineHeight;
        pluginState.heightChanged = TRUE;
        if (pluginState.pluginWindow)
            startWindowTimer(pluginState.pluginWindow, TIMER_SKINREFRESH, SKIN_REFRESH_MS);
    }
    if (skin->scroller && count * skin->lineHeight > layout.height)
        drawScrollBar(mem, skin,
                      RECT{textWindow.left, textWindow.top, textWindow.right, textWindow.bottom});
    visibleLines = skin->lineHeight > 0 ? layout.height / skin->lineHeight : 0;
    updateThumbStep(skin, count, layout.height);
    unlockAlarmList();

    BitBlt(target, textWindow.left, textWindow.top, layout.width, layout.height, mem, 0, 0,
           SRCCOPY);
    if (oldFont) SelectObject(mem, oldFont);
    SelectObject(mem, oldPicture);
    DeleteObject(picture);
    DeleteDC(mem);
}

} // namespace

void paintData(HDC dc) {
    SkinDef* skin = currentSkin;
    if (pluginState.firstLine < 0) {
        writeLog("paintData: nFirstTextItem < 0");
        pluginState.firstLine = 0;
    }
    if (!skin || skin->noSkinFile) return;
    HDC target = dc;
    if (!target) {
        if (!pluginState.pluginWindow) return;
        target = GetDC(pluginState.pluginWindow);
        if (!target) return;
    }
    paintList(target, skin);
    if (!dc) ReleaseDC(pluginState.pluginWindow, target);
}
