// language.h: the translatable texts of the Today item and the settings application.
//
// Every such text has a language identifier (langids.h). The English texts are built in; a
// translation is a file "zv_<suffix>.txt" in the installation folder, UTF-16 little-endian,
// whose entries are lines "<identifier>=<text>" ended by a line break. The first line of a file
// is never an entry (a translation begins with a heading line), and a text that a file lacks,
// or gives empty, falls back to English, so partial translations work. The language is the
// `lang` setting; the file is read anew for every lookup.
#pragma once

#include <cstddef>
#include <string>

#include <windows.h>

#include "langids.h"

// A text from a language file is cut to this many characters.
#define LANG_TEXT_MAX 260
// A language file larger than this is not read: real ones are a few dozen kilobytes, and a
// lookup reads the whole file.
#define LANG_FILE_MAX_BYTES (1024 * 1024)

#define LANG_CODE_ENGLISH 0
#define LANG_CODE_GERMAN  1

struct LanguageDef {
    LONG code;
    LPCWSTR suffix;   // of the file name; null for the built-in English
    LPCWSTR listName; // as the settings application lists it
};

extern const LanguageDef languageTable[];
extern const size_t languageTableSize;
extern const LPCWSTR defaultTexts[LANG_TEXT_COUNT];

// The text of an identifier in the current language: an identifier outside 0..260 gives an
// empty text; with `lang` above 0 a non-empty text of the language file is used; otherwise the
// English text. With a window given, the text becomes that window's text instead and the
// result is empty; this is how dialogs label their controls.
std::u16string getText(int id, HWND window = NULL);

// Fills out (cchOut units; LANG_TEXT_MAX + 1 holds any text) with the language file's text for
// the identifier, or leaves it empty: no file for the language, no entry, or an entry without
// a line end after it.
void lookupLanguageText(int id, WCHAR* out, size_t cchOut);

// One entry of the settings application's language list.
struct LanguageChoice {
    LONG code;
    LPCWSTR name;
};
// Fills out with "English" and "Deutsch", then every other language whose file exists in the
// installation folder, in the order of the language table; returns the number of entries.
int listLanguages(LanguageChoice* out, int maxOut);

// The help file with its anchor separator for the current language: "file:Zolvane_de.htm#"
// for German, "file:Zolvane.htm#" for every other language.
LPCWSTR helpFilePrefix(void);
