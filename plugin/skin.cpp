// skin.cpp: loading and releasing skins (see skin.h): which file to read, the system colours,
// the order of the parse, the font, the automatic height of the text window, the values
// written back to the settings and the refresh that follows. The text is taken apart in
// skinparse.cpp, the pictures are loaded in skinimages.cpp, the host keys in hostkeys.cpp.
//
// The loaded skin is one static record: a load frees what the previous one held and fills the
// record anew; currentSkin points at it once a load has run.
#include "skin.h"

#include <cstring>
#include <vector>

#include <strsafe.h>
#include <winreg.h>

#include "image.h"
#include "log.h"
#include "plugin.h"
#include "regnames.h"
#include "regutil.h"
#include "settings.h"
#include "skinimages.h"
#include "skinparse.h"

SkinDef* currentSkin = nullptr;

#define SKIN_EXTENSION      TEXT(".skn")
#define SKIN_LANDSCAPE      TEXT("_L")
#define SKIN_DEFAULT        TEXT("default")
#define SKIN_DEFAULT_VGA    TEXT("defaultVGA")
#define SKIN_DEFAULT_VGA_FN TEXT("DefaultVGA.skn")

#define SKIN_NO_FILE_HEIGHT 18
#define SKIN_REFRESH_MS     100
// A skin is a page of text; a bigger file is read only this far.
#define SKIN_FILE_MAX_BYTES (1024 * 1024)

// Without text_size the list is written at 9 points, the settings' own default size.
#define SKIN_TEXT_SIZE_DEFAULT 9.0
#define SKIN_TEXT_SIZE_MAX     72.0
#define FONTSIZE_MIN           5
#define FONTSIZE_RESET         9
#define SKIN_FACE_DEFAULT      TEXT("Tahoma")

#define HILITE_WIDTH_DEFAULT 3
#define HILITE_WIDTH_MAX     64

#define ZV_VAL_SKINHEIGHT    TEXT("skinHeight")
#define ZV_VAL_SKINTEXTCOLOR TEXT("skinTextColor")
#define ZV_VAL_SKINTEXTSIZE  TEXT("skinTextSize")
#define ZV_VAL_SKINTEXTSTYLE TEXT("skinTextStyle")

// The system's colour scheme: SHColor holds the scheme's colours as bytes; the DWORD values
// "34" (selection) and "4" (text) override them.
#define COLOR_KEY           TEXT("Software\\Microsoft\\Color")
#define COLOR_VAL_SCHEME    TEXT("SHColor")
#define COLOR_VAL_HIGHLIGHT TEXT("34")
#define COLOR_VAL_TEXT      TEXT("4")
#define SHCOLOR_BUFFER      200
#define SHCOLOR_MIN_BYTES   151
#define SHCOLOR_TEXT_AT     36
#define SHCOLOR_HILITE_AT   156

// A screen is high-resolution when its shorter side is longer than this.
#define HIRES_MIN_SIDE 400

static SkinDef loadedSkin;
// The list font: it survives the release before a reload (freeSkin without full) and is
// replaced when the reload has made the new one.
static HFONT keptFont;

static BOOL fileExists(LPCWSTR path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

static BOOL isHighResolution(void) {
    LONG width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    return (width < height ? width : height) > HIRES_MIN_SIDE;
}

// A skin name is a file name in the installation folder, never a path.
static BOOL isUsableSkinName(LPCWSTR name) {
    if (!name[0]) return FALSE;
    for (LPCWSTR p = name; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') return FALSE;
    return !(name[0] == '.' && (name[1] == 0 || name[1] == '.'));
}

// "installFolder\name.skn" (suffix ".skn") or "installFolder\name_L.skn".
static BOOL skinFilePath(LPCWSTR name, LPCWSTR suffix, WCHAR* path) {
    return SUCCEEDED(StringCchPrintfW(path, MAX_PATH, TEXT("%s\\%s%s"), getSettings().installFolder,
                                      name, suffix));
}

static BOOL skinFileExists(LPCWSTR name, LPCWSTR suffix) {
    WCHAR path[MAX_PATH];
    return isUsableSkinName(name) && skinFilePath(name, suffix, path) && fileExists(path);
}

// Where "_L" starts in the name, without regard to case (skin texts are lower-cased), or null.
static WCHAR* findLandscapeMark(WCHAR* name) {
    for (WCHAR* p = name; p[0] && p[1]; ++p)
        if (p[0] == '_' && (p[1] == 'L' || p[1] == 'l')) return p;
    return nullptr;
}

// A trailing ".skn" is dropped: "red" and "red.skn" name the same file, and the name must
// take "_L" and give the image folder.
static void dropExtension(WCHAR* name) {
    size_t length = static_cast<size_t>(lstrlenW(name));
    if (length < 4) return;
    WCHAR* end = name + length - 4;
    const char* extension = ".skn";
    for (int i = 0; i < 4; ++i) {
        WCHAR c = end[i] >= 'A' && end[i] <= 'Z' ? static_cast<WCHAR>(end[i] - 'A' + 'a') : end[i];
        if (c != static_cast<WCHAR>(extension[i])) return;
    }
    *end = 0;
}

// Steps 2 to 6 of the choice: a default for a missing skin, then the landscape variant that
// fits the screen's orientation. Sets hasLandscapeVariant.
static void chooseSkinName(WCHAR* name, SkinDef* skin) {
    dropExtension(name);
    if (!skinFileExists(name, SKIN_EXTENSION)) {
        writeLog("** Skin not found");
        WCHAR vga[MAX_PATH];
        BOOL useVga =
            isHighResolution() &&
            SUCCEEDED(StringCchPrintfW(vga, MAX_PATH, TEXT("%s\\%s"), getSettings().installFolder,
                                       SKIN_DEFAULT_VGA_FN)) &&
            fileExists(vga);
        StringCchCopyW(name, SKIN_NAME_CCH, useVga ? SKIN_DEFAULT_VGA : SKIN_DEFAULT);
    }
    const LONG width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const BOOL landscape = height <= width;
    WCHAR* mark = findLandscapeMark(name);
    if (!mark && width != height && skinFileExists(name, SKIN_LANDSCAPE SKIN_EXTENSION)) {
        skin->hasLandscapeVariant = TRUE;
        if (landscape) StringCchCatW(name, SKIN_NAME_CCH, SKIN_LANDSCAPE);
    } else if (!landscape && mark) {
        skin->hasLandscapeVariant = TRUE;
        WCHAR saved[SKIN_NAME_CCH];
        StringCchCopyW(saved, SKIN_NAME_CCH, mark);
        *mark = 0;
        if (!skinFileExists(name, SKIN_EXTENSION)) StringCchCopyW(mark, SKIN_NAME_CCH, saved);
    }
    lstrcpynW(getSettings().skinName, name, ZV_SKINNAME_CCH);
    if (logBit(LOG_DETAIL)) writeLogFormat("actual load skin: %S", name);
}

// The skin's folder: its name up to the first underscore ("default_L" uses "default").
static void skinFolderOf(LPCWSTR name, WCHAR* folder) {
    size_t length = 0;
    while (name[length] && name[length] != '_' && length < SKIN_NAME_CCH - 1)
        ++length;
    memcpy(folder, name, length * sizeof(WCHAR));
    folder[length] = 0;
}

// The whole file as lower-cased text with a terminator; FALSE when it does not open.
static BOOL readSkinText(LPCWSTR path, std::vector<char>& text) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    DWORD sizeHigh = 0;
    DWORD size = GetFileSize(file, &sizeHigh);
    if (size == INVALID_FILE_SIZE) size = 0;
    if (sizeHigh != 0 || size > SKIN_FILE_MAX_BYTES) size = SKIN_FILE_MAX_BYTES;
    text.assign(size + 1, 0);
    DWORD total = 0;
    while (total < size) {
        DWORD got = 0;
        if (!ReadFile(file, text.data() + total, size - total, &got, NULL) || got == 0) break;
        total += got;
    }
    CloseHandle(file);
    text[total] = 0;
    lowerSkinText(text.data());
    return TRUE;
}

// The selection brush and the system text colour from the colour scheme, navy and white when
// it has none.
static void readSystemColours(SkinDef* skin) {
    COLORREF selection = RGB(0, 0, 128);
    skin->systemTextColour = RGB(255, 255, 255);
    BYTE scheme[SHCOLOR_BUFFER] = {};
    DWORD size = sizeof(scheme);
    DWORD type = 0;
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, COLOR_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        if (RegQueryValueExW(key, COLOR_VAL_SCHEME, NULL, &type, scheme, &size) == ERROR_SUCCESS &&
            size >= SHCOLOR_MIN_BYTES) {
            LONG value = 0;
            if (queryDword(key, COLOR_VAL_HIGHLIGHT, &value))
                selection = static_cast<COLORREF>(value);
            else if (size >= SHCOLOR_HILITE_AT + 3) // bytes the value really has
                selection = RGB(scheme[SHCOLOR_HILITE_AT], scheme[SHCOLOR_HILITE_AT + 1],
                                scheme[SHCOLOR_HILITE_AT + 2]);
            if (queryDword(key, COLOR_VAL_TEXT, &value))
                skin->systemTextColour = static_cast<COLORREF>(value);
            else
                skin->systemTextColour = RGB(scheme[SHCOLOR_TEXT_AT], scheme[SHCOLOR_TEXT_AT + 1],
                                             scheme[SHCOLOR_TEXT_AT + 2]);
        }
        RegCloseKey(key);
    }
    skin->selectionBrush = CreateSolidBrush(selection);
}

static LONG screenDpiY(void) {
    HDC screen = GetDC(NULL);
    LONG dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(NULL, screen);
    return dpi > 0 ? dpi : 96;
}

static LONG weightOfStyle(LONG style) {
    return style == 2 ? FW_BOLD : style == 1 ? FW_SEMIBOLD : FW_NORMAL;
}

// The list font of the skin and the user's font settings, and its line height.
static void makeSkinFont(SkinDef* skin, const char* text) {
    PluginSettings& settings = getSettings();
    WCHAR face[LF_FACESIZE];
    char name[LF_FACESIZE];
    if (copySkinValue(findSkinValue(text, "text_font"), name, sizeof(name)) &&
        MultiByteToWideChar(CP_ACP, 0, name, -1, face, LF_FACESIZE) > 0)
        face[LF_FACESIZE - 1] = 0;
    else
        StringCchCopyW(face, LF_FACESIZE, SKIN_FACE_DEFAULT);
    lstrcpynW(settings.skinFontName, face, ZV_FONTNAME_CCH);

    double size = SKIN_TEXT_SIZE_DEFAULT;
    if (const char* v = findSkinValue(text, "text_size")) size = skinDecimal(v);
    if (size <= 0) size = SKIN_TEXT_SIZE_DEFAULT;
    if (size > SKIN_TEXT_SIZE_MAX) size = SKIN_TEXT_SIZE_MAX;
    LONG style = 0;
    char letters[2];
    if (copySkinValue(findSkinValue(text, "text_style"), letters, sizeof(letters)))
        style = letters[0] == 'b' ? 2 : letters[0] == 's' ? 1 : 0;
    if (settings.customFontSize) {
        if (settings.FontSize < FONTSIZE_MIN) {
            settings.customFontSize = 0;
            settings.FontSize = FONTSIZE_RESET;
        } else {
            size = settings.FontSize > SKIN_TEXT_SIZE_MAX ? SKIN_TEXT_SIZE_MAX : settings.FontSize;
        }
    }
    if (settings.customFontStyle)
        style = settings.FontStyle == 2 ? 2 : settings.FontStyle == 1 ? 1 : 0;
    skin->textSize = static_cast<LONG>(size);
    skin->textStyle = style;

    LOGFONTW font = {};
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(font), &font);
    font.lfHeight = -static_cast<LONG>(size * screenDpiY() / 72);
    font.lfWeight = weightOfStyle(style);
    font.lfQuality = CLEARTYPE_QUALITY;
    StringCchCopyW(font.lfFaceName, LF_FACESIZE, face);
    HFONT made = CreateFontIndirectW(&font);
    if (keptFont) DeleteObject(keptFont);
    keptFont = made;
    skin->font = made;

    HDC dc = GetDC(NULL);
    if (dc) {
        HGDIOBJ old = SelectObject(dc, made);
        RECT box = {0, 0, 0, 0};
        skin->lineHeight = DrawTextW(dc, TEXT("TEST TEXT"), -1, &box, DT_CALCRECT | DT_SINGLELINE);
        SelectObject(dc, old);
        ReleaseDC(NULL, dc);
    }
}

// A colour key of the skin, with its default when absent or written as 1,1,1 where that means
// "not set".
static COLORREF skinColour(const char* text, const char* key, COLORREF fallback, BOOL unsetIs111) {
    COLORREF colour = fallback;
    if (!parseSkinColour(findSkinValue(text, key), &colour)) return fallback;
    if (unsetIs111 && colour == RGB(1, 1, 1)) return fallback;
    return colour;
}

// The showOffset setting's fixed line counts: 2 to 5 lines, 7 for 6, 10 above.
static LONG linesForShowOffset(LONG showOffset) {
    if (showOffset <= 5) return showOffset;
    return showOffset == 6 ? 7 : 10;
}

// Moves image_scrolldown so that its bottom is on y, keeping its height.
static void moveScrollDown(SkinDef* skin, LONG y) {
    SkinItem& down = skin->items[SKIN_SCROLLDOWN];
    LONG height = down.bottom - down.top;
    down.bottom = y;
    down.top = y - height;
}

static void autoTextHeight(SkinDef* skin) {
    const LONG showOffset = getSettings().showOffset;
    SkinItem& textWindow = skin->items[SKIN_TEXTWINDOW];
    if (showOffset < 1 || !skin->autoHeightText || !textWindow.enabled) return;
    if (showOffset == 1) {
        getAllSpaceHeight();
        return;
    }
    textWindow.bottom = textWindow.top + skin->lineHeight * linesForShowOffset(showOffset) + 2;
    skin->todayHeight = textWindow.bottom;
    moveScrollDown(skin, textWindow.bottom);
}

static void parseSkin(SkinDef* skin, const char* text, LPCWSTR fullName) {
    const BOOL hires = isHighResolution();
    if (const char* v = findSkinValue(text, "today_height")) {
        LONG height = skinNumber(v);
        skin->todayHeight = height < 0 ? 0 : height > SKIN_COORD_MAX ? SKIN_COORD_MAX : height;
    }
    if (const char* v = findSkinValue(text, "vga_skin")) skin->isVgaSkin = skinNumber(v) == 1;
    SkinScale scale = SKIN_SCALE_NONE;
    if (!skin->isVgaSkin && hires) {
        scale = SKIN_SCALE_UP;
        skin->todayHeight *= 2;
    } else if (skin->isVgaSkin && !hires) {
        scale = SKIN_SCALE_DOWN;
        skin->todayHeight = (skin->todayHeight + 1) / 2;
    }
    writeRegDword(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_SKINHEIGHT,
                  static_cast<DWORD>(skin->todayHeight), REGW_CREATE);

    COLORREF key = IMAGE_KEY_TOPLEFT;
    if (parseSkinColour(findSkinValueAnywhere(text, "transp_color"), &key) && key != RGB(1, 1, 1))
        skin->transparentColour = key;
    skin->noHitOnTransparent = strstr(text, "transp_nohit") != nullptr;
    skin->scale32Up = scale == SKIN_SCALE_UP;
    skin->scale32Down = scale == SKIN_SCALE_DOWN;
    setImageDrawOptions({skin->transparentColour, skin->scale32Up, skin->scale32Down});

    loadSkinItems(skin, text, fullName, scale);
    skin->autoHeightText = strchr(skin->items[SKIN_TEXTWINDOW].argument, 't') != nullptr;
    loadSkinScroller(skin, text, scale);
    loadSmallIcons(skin, text, scale);
}

// Steps after the parse that need the font: the text window's height, the colours, the values
// written back, the centring.
static void finishSkin(SkinDef* skin, const char* text) {
    makeSkinFont(skin, text);
    autoTextHeight(skin);
    skin->textColour = skinColour(text, "text_color", skin->systemTextColour, TRUE);
    skin->textBackColour = skinColour(text, "text_backg", RGB(1, 1, 1), FALSE);
    skin->navCount =
        parseNavOrder(findSkinValue(text, "nav_order"), skin->navOrder, SKIN_NAVORDER_MAX);
    skin->hiliteColour = skinColour(text, "nav_hilitecolor", RGB(255, 0, 0), FALSE);
    skin->hiliteWidth = HILITE_WIDTH_DEFAULT;
    if (const char* v = findSkinValue(text, "nav_hilitewidth")) {
        LONG width = skinNumber(v);
        skin->hiliteWidth = width < 0 ? 0 : width > HILITE_WIDTH_MAX ? HILITE_WIDTH_MAX : width;
    }
    writeRegDword(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_SKINTEXTCOLOR, skin->textColour,
                  REGW_CREATE);
    writeRegDword(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_SKINTEXTSIZE,
                  static_cast<DWORD>(skin->textSize), REGW_CREATE);
    writeRegDword(HKEY_CURRENT_USER, ZV_PRODUCT_KEY, ZV_VAL_SKINTEXTSTYLE,
                  static_cast<DWORD>(skin->textStyle), REGW_CREATE);
    if (getSettings().autoCenterSkin) centreSkin(skin);
}

// The links the user switched off in activeLinks hide their buttons: calendar, tasks,
// alarmNote, contacts, inbox, notes, one character each.
static void hideInactiveLinks(SkinDef* skin) {
    static const int linkItems[] = {SKIN_CALENDAR, SKIN_TASKS, SKIN_ALNOTE,
                                    SKIN_CONTACT,  SKIN_INBOX, SKIN_NOTE};
    const char* links = getSettings().activeLinks;
    for (size_t i = 0; i < sizeof(linkItems) / sizeof(linkItems[0]) && links[i]; ++i)
        if (links[i] == '0') skin->items[linkItems[i]].enabled = FALSE;
}

// Reads and builds the skin; FALSE when no file could be opened.
static BOOL buildSkin(WCHAR* skinName) {
    freeSkin(FALSE);
    SkinDef* skin = &loadedSkin;
    *skin = {};
    skin->todayHeight = SKIN_NO_FILE_HEIGHT;
    skin->transparentColour = IMAGE_KEY_TOPLEFT;
    skin->textBackColour = RGB(1, 1, 1);
    setImageDrawOptions({IMAGE_KEY_TOPLEFT, FALSE, FALSE});
    currentSkin = skin;

    if (getLogOption() != 0) writeLogFormat("load skin: %S", skinName);
    chooseSkinName(skinName, skin);
    skinFolderOf(skinName, skin->folder);
    readSystemColours(skin);

    WCHAR path[MAX_PATH] = {};
    std::vector<char> text;
    BOOL read = isUsableSkinName(skinName) && skinFilePath(skinName, SKIN_EXTENSION, path) &&
                readSkinText(path, text);
    if (!read) {
        writeLogFormat("** No skin found: %S **", path);
        skin->noSkinFile = TRUE;
        text.assign(1, 0);
    }
    HCURSOR cursor = SetCursor(LoadCursorW(NULL, IDC_WAIT));
    // Without today_height the file is no skin: only the defaults apply.
    if (read && strstr(text.data(), "today_height")) parseSkin(skin, text.data(), skinName);
    readHostKeys(text.data(), skin->folder);
    finishSkin(skin, text.data());
    SetCursor(cursor);
    return read;
}

BOOL loadSkin(WCHAR* skinName) {
    if (!skinName) return FALSE;
    skinName[SKIN_NAME_CCH - 1] = 0;
    BOOL read = FALSE;
    try {
        read = buildSkin(skinName);
    } catch (...) {
        writeLog("** Exception loadSkin **");
    }
    if (SkinDef* skin = currentSkin) {
        hideInactiveLinks(skin);
        skin->thumbOrigin =
            skin->items[SKIN_SCROLLUP].enabled ? skin->items[SKIN_SCROLLUP].bottom : 0;
        skin->firstVisibleLine = 0;
        // The Today screen asks for the height again only when told that it changed.
        if (skin->todayHeight != pluginState.itemHeight) pluginState.heightChanged = TRUE;
    }
    if (logBit(LOG_BASIC)) writeLog("loadSkin: End");
    if (HWND window = pluginState.pluginWindow) {
        stopWindowTimer(window, TIMER_SKINREFRESH);
        startWindowTimer(window, TIMER_SKINREFRESH, SKIN_REFRESH_MS);
    }
    saveSettings();
    return read;
}

BOOL loadSkinFromSettings(void) {
    WCHAR name[SKIN_NAME_CCH] = {};
    lstrcpynW(name, getSettings().skinName, SKIN_NAME_CCH);
    return loadSkin(name);
}

void freeSkin(BOOL full) {
    if (SkinDef* skin = currentSkin) {
        for (SkinItem& item : skin->items)
            if (item.bitmap) DeleteObject(item.bitmap);
        for (SmallIcon& icon : skin->smallIcons)
            if (icon.bitmap) DeleteObject(icon.bitmap);
        if (skin->scroller) DeleteObject(skin->scroller);
        if (skin->selectionBrush) DeleteObject(skin->selectionBrush);
        *skin = {}; // the font is keptFont's, released below or by the next load
    }
    if (full) {
        if (keptFont) DeleteObject(keptFont);
        keptFont = NULL;
        freeImageLibraries();
    }
    currentSkin = nullptr;
}

LONG scrollThumbOrigin(void) {
    return currentSkin ? currentSkin->thumbOrigin : 0;
}
