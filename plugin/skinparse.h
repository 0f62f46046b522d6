// skinparse.h: reading the text of a skin file: finding keys, taking their values apart into
// numbers, colours, names and item fields. Only text goes in and out, so the loader
// (skin.cpp, hostkeys.cpp) does the files, images and settings, and the fuzz target can feed
// the parser anything.
//
// The skin file is 8-bit text, lower-cased whole before it is read, one "key=value" per line
// with lines ending in CR LF. A key counts only at the start of a line, so the first line of
// a file never holds one, and only as a whole name: "small_cal" is not found in
// "small_cal_recur=...", whatever the order of the lines.
#pragma once

#include <cstddef>

#include <windows.h>

#include "skin.h"

// The item keys, in item order (SkinItemNumber), and the small icons' keys in slot order.
extern const char* const skinItemKeys[SKIN_ITEM_COUNT];
extern const char* const smallIconKeys[SKIN_SMALLICONS];

// A value of a skin item, or a file name, is at most this long (terminator included); longer
// values are cut.
#define SKIN_VALUE_CCH 260

// What an item's value holds: "enabled,x,y,image[,argument[,extra1[,extra2]]]".
struct SkinItemValue {
    LONG enabled;
    LONG x, y;
    char image[SKIN_VALUE_CCH];
    char argument[SKIN_ARGUMENT_CCH];
    LONG extra1, extra2;
};

// Lower-cases the ASCII letters of the text in place, up to its terminator.
void lowerSkinText(char* text);

// The value of key: the text after the '=' of the first line that starts with the key
// followed by blanks or tabs and '='. Null when no line has it.
const char* findSkinValue(const char* text, const char* key);
// The same for a key found anywhere in the text (transp_color): the first place where the
// key is followed by blanks or tabs and '=' on its line.
const char* findSkinValueAnywhere(const char* text, const char* key);

// Copies the value up to the end of its line (a line feed, or the end of the text), without
// the carriage return before the line feed, into out, cut to fit. Returns the length copied.
size_t copySkinValue(const char* value, char* out, size_t cchOut);

// A number as atoi reads it (leading blanks, a sign, digits; anything else ends it), held to
// the range of a LONG instead of overflowing.
LONG skinNumber(const char* text);
// Whether the text at p starts a number (after blanks and a sign, a digit).
BOOL startsSkinNumber(const char* p);
// A decimal number with an optional fraction ("8.5"), for sizes in points; 0 without digits.
double skinDecimal(const char* text);

// "red,green,blue" on the value's line: each number held to 0..255. FALSE (and *colour
// untouched) when the second or third number is missing or empty.
BOOL parseSkinColour(const char* value, COLORREF* colour);

// Up to max comma-separated item numbers of the value's line; numbers that name no skin item
// are left out, as are empty fields. Returns how many were stored.
LONG parseNavOrder(const char* value, LONG* out, LONG max);

// Takes an item's value apart. FALSE for an empty value or one that lacks the enabled, x, y
// or image fields; *item is then disabled (enabled 0).
BOOL parseSkinItemValue(const char* value, SkinItemValue* item);

// Whether a file name from a skin may be used below the skin's folder: not empty, not
// starting at a root or drive, and without a ".." step, so a skin never names a file outside
// the installation folder.
BOOL isSafeSkinFileName(const char* name);
