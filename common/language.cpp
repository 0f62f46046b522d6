// language.cpp: getText and the language-file lookup of the common library (see language.h).
// The lookup reads the whole file for every text and keeps nothing: dialogs and menus fetch
// their texts when they are built, never while painting.
#include "language.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include <strsafe.h>

#include "settings.h"

// The language table's row of a code, or null for a code it does not have.
static const LanguageDef* findLanguage(LONG code) {
    for (size_t i = 0; i < languageTableSize; ++i)
        if (languageTable[i].code == code) return &languageTable[i];
    return nullptr;
}

// "<folder>\zv_<suffix>.txt"; FALSE when it does not fit.
static BOOL languageFilePath(LPCWSTR suffix, WCHAR* path, size_t cchPath) {
    return SUCCEEDED(StringCchPrintfW(path, cchPath, TEXT("%s\\zv_%s.txt"),
                                      getSettings().installFolder, suffix));
}

// Reads the whole file as UTF-16 units into text; FALSE when it cannot be read.
static BOOL readLanguageFile(LPCWSTR path, std::vector<WCHAR>& text, size_t* units) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file, &sizeHigh);
    if (size == INVALID_FILE_SIZE || sizeHigh != 0 || size > LANG_FILE_MAX_BYTES) {
        CloseHandle(file);
        return FALSE;
    }
    // The file and two zero bytes: the text is always terminated, even after an odd byte.
    text.assign((size + 1) / sizeof(WCHAR) + 1, 0);
    BYTE* bytes = reinterpret_cast<BYTE*>(text.data());
    DWORD total = 0;
    while (total < size) {
        DWORD got = 0;
        if (!ReadFile(file, bytes + total, size - total, &got, NULL) || got == 0) break;
        total += got;
    }
    CloseHandle(file);
    *units = total / sizeof(WCHAR);
    return TRUE;
}

void lookupLanguageText(int id, WCHAR* out, size_t cchOut) {
    if (!out || cchOut == 0) return;
    out[0] = 0;
    try {
        const LanguageDef* language = findLanguage(getSettings().lang);
        if (!language || !language->suffix) return;

        WCHAR path[MAX_PATH];
        if (!languageFilePath(language->suffix, path, MAX_PATH)) return;
        std::vector<WCHAR> text;
        size_t units = 0;
        if (!readLanguageFile(path, text, &units)) return;

        // An entry starts after a line feed, so "\n1=" never meets the line of 12, and the
        // first line of the file never holds an entry.
        WCHAR needle[24];
        StringCchPrintfW(needle, 24, TEXT("\n%d="), id);
        const std::u16string_view file(text.data(), units);
        const size_t at = file.find(needle);
        if (at == std::u16string_view::npos) return;
        const size_t start = at + wcslen(needle);
        // The text ends at its line's end: the carriage return of a CR LF file, or the line
        // feed of a file written with bare line feeds, which must not run into the next entry.
        const size_t end = file.find_first_of(u"\r\n", start);
        if (end == std::u16string_view::npos) return;
        const size_t length = std::min<size_t>({end - start, LANG_TEXT_MAX, cchOut - 1});
        StringCchCopyNW(out, cchOut, text.data() + start, length);
    } catch (...) {
        out[0] = 0;
    }
}

// Sets a control's text (the platform's set-text message). The window system of the device
// is not there yet: until it is, dialogs get no label from here.
// TODO(window system): SetWindowTextW(window, text).
static void setWindowLabel(HWND window, LPCWSTR text) {
    (void)window;
    (void)text;
}

std::u16string getText(int id, HWND window) {
    std::u16string result;
    if (id >= 0 && id < LANG_TEXT_COUNT) {
        if (getSettings().lang > 0) {
            WCHAR translated[LANG_TEXT_MAX + 1];
            lookupLanguageText(id, translated, LANG_TEXT_MAX + 1);
            result = translated;
        }
        if (result.empty()) result = defaultTexts[id];
    }
    if (window) {
        setWindowLabel(window, result.c_str());
        return std::u16string();
    }
    return result;
}

int listLanguages(LanguageChoice* out, int maxOut) {
    if (!out || maxOut <= 0) return 0;
    int count = 0;
    for (size_t i = 0; i < languageTableSize && count < maxOut; ++i) {
        const LanguageDef& language = languageTable[i];
        BOOL listed = language.code == LANG_CODE_ENGLISH || language.code == LANG_CODE_GERMAN;
        if (!listed) {
            WCHAR path[MAX_PATH];
            listed = languageFilePath(language.suffix, path, MAX_PATH) &&
                     GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
        }
        if (listed) {
            out[count].code = language.code;
            out[count].name = language.listName;
            ++count;
        }
    }
    return count;
}

LPCWSTR helpFilePrefix(void) {
    return getSettings().lang == LANG_CODE_GERMAN ? TEXT("file:Zolvane_de.htm#")
                                                  : TEXT("file:Zolvane.htm#");
}
