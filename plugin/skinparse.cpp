// skinparse.cpp: the text side of the skin loader (see skinparse.h). Every scan stops at the
// text's terminator and every copy at its buffer's size, whatever the file holds: a file
// without line ends, a value without its '=', numbers of any length.
#include "skinparse.h"

#include <cstdint>
#include <cstring>

const char* const skinItemKeys[SKIN_ITEM_COUNT] = {
    "image_setting",    "image_custom",   "image_calendar",   "image_tasks",  "image_alnote",
    "image_contact",    "image_inbox",    "image_note",       "image_filter", "image_background",
    "image_textwindow", "image_loadskin", "image_loadskin2",  "image_vol",    "image_jotwell",
    "image_mute",       "image_scrollup", "image_scrolldown",
};

const char* const smallIconKeys[SKIN_SMALLICONS] = {
    "small_system", "small_event",   "small_clock",     "small_app",         "small_pi",
    "small_af",     "small_cal",     "small_cal_recur", "small_cal_snooze",  "small_cal_silent",
    "small_task",   "small_zolvane", "small_note",      "small_task_silent", "small_birthday",
    "small_anniv",  "small_volume",
};

void lowerSkinText(char* text) {
    for (char* p = text; p && *p; ++p)
        if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
}

// After a key: blanks or tabs, then '='. The value starts after it; null when the line goes
// on with anything else (the key was only the start of a longer name).
static const char* valueAfterKey(const char* p) {
    while (*p == ' ' || *p == '\t')
        ++p;
    return *p == '=' ? p + 1 : nullptr;
}

const char* findSkinValue(const char* text, const char* key) {
    if (!text || !key || !*key) return nullptr;
    const size_t length = strlen(key);
    for (const char* line = strstr(text, "\r\n"); line; line = strstr(line + 2, "\r\n")) {
        if (strncmp(line + 2, key, length) != 0) continue;
        if (const char* value = valueAfterKey(line + 2 + length)) return value;
    }
    return nullptr;
}

const char* findSkinValueAnywhere(const char* text, const char* key) {
    if (!text || !key || !*key) return nullptr;
    const size_t length = strlen(key);
    for (const char* at = strstr(text, key); at; at = strstr(at + 1, key))
        if (const char* value = valueAfterKey(at + length)) return value;
    return nullptr;
}

// The end of the value's line: its line feed or the text's terminator.
static const char* lineEnd(const char* p) {
    while (*p && *p != '\n')
        ++p;
    return p;
}

size_t copySkinValue(const char* value, char* out, size_t cchOut) {
    if (!out || cchOut == 0) return 0;
    out[0] = 0;
    if (!value) return 0;
    const char* end = lineEnd(value);
    size_t length = static_cast<size_t>(end - value);
    if (length > 0 && *end == '\n' && value[length - 1] == '\r') --length;
    if (length > cchOut - 1) length = cchOut - 1;
    memcpy(out, value, length);
    out[length] = 0;
    return length;
}

static BOOL isAtoiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

LONG skinNumber(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (isAtoiSpace(*p))
        ++p;
    BOOL negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value <= INT32_MAX) value = value * 10 + (*p - '0'); // further digits only saturate
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<LONG>(value);
}

BOOL startsSkinNumber(const char* p) {
    if (!p) return FALSE;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p == '-' || *p == '+') ++p;
    return *p >= '0' && *p <= '9';
}

double skinDecimal(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    BOOL negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    double value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value < 1e9) value = value * 10 + (*p - '0');
    if (*p == '.' || *p == ',') {
        double scale = 0.1;
        for (++p; *p >= '0' && *p <= '9'; ++p, scale /= 10)
            value += (*p - '0') * scale;
    }
    return negative ? -value : value;
}

// The field after the next comma of the value's line, or null when the line has no more.
static const char* nextField(const char* p) {
    for (; *p && *p != '\n'; ++p)
        if (*p == ',') return p + 1;
    return nullptr;
}

static LONG colourPart(const char* p) {
    LONG v = skinNumber(p);
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

BOOL parseSkinColour(const char* value, COLORREF* colour) {
    if (!value || !colour) return FALSE;
    const char* green = nextField(value);
    const char* blue = green ? nextField(green) : nullptr;
    if (!blue || !startsSkinNumber(green) || !startsSkinNumber(blue)) return FALSE;
    *colour = RGB(colourPart(value), colourPart(green), colourPart(blue));
    return TRUE;
}

LONG parseNavOrder(const char* value, LONG* out, LONG max) {
    if (!value || !out) return 0;
    LONG count = 0;
    for (const char* field = value; field && count < max; field = nextField(field)) {
        if (!startsSkinNumber(field)) continue;
        LONG item = skinNumber(field);
        if (item >= 0 && item < SKIN_ITEM_COUNT) out[count++] = item;
    }
    return count;
}

// Copies the field at p up to the next comma (or the end of the value) into out, cut to fit.
static void copyField(const char* p, char* out, size_t cchOut) {
    size_t length = 0;
    while (p[length] && p[length] != ',')
        ++length;
    if (length > cchOut - 1) length = cchOut - 1;
    memcpy(out, p, length);
    out[length] = 0;
}

BOOL parseSkinItemValue(const char* value, SkinItemValue* item) {
    if (!item) return FALSE;
    memset(item, 0, sizeof(*item));
    char line[SKIN_VALUE_CCH];
    if (!value || copySkinValue(value, line, sizeof(line)) == 0) return FALSE;
    // The fields are taken from the line's copy, which ends where the value does.
    const char* x = nextField(line);
    const char* y = x ? nextField(x) : nullptr;
    const char* image = y ? nextField(y) : nullptr;
    if (!image) return FALSE;
    item->enabled = skinNumber(line);
    item->x = skinNumber(x);
    item->y = skinNumber(y);
    copyField(image, item->image, sizeof(item->image));
    if (const char* argument = nextField(image)) {
        copyField(argument, item->argument, sizeof(item->argument));
        if (const char* extra1 = nextField(argument)) {
            item->extra1 = skinNumber(extra1);
            if (const char* extra2 = nextField(extra1)) item->extra2 = skinNumber(extra2);
        }
    }
    return TRUE;
}

BOOL isSafeSkinFileName(const char* name) {
    if (!name || !*name || *name == '\\' || *name == '/' || strchr(name, ':')) return FALSE;
    // No step of the path may be made of dots alone ("..", "..."): each would climb out.
    const char* step = name;
    for (const char* p = name;; ++p) {
        if (*p == '\\' || *p == '/' || *p == 0) {
            size_t length = static_cast<size_t>(p - step);
            size_t dots = 0;
            while (dots < length && step[dots] == '.')
                ++dots;
            if (length >= 2 && dots == length) return FALSE;
            if (*p == 0) break;
            step = p + 1;
        }
    }
    return TRUE;
}
