// font.h: fonts inside GDI: a LOGFONT resolved to a FreeType face at a pixel size, its
// metrics, and rendered glyphs (cached per font).
//
// Text must look the same on every machine: the faces are the DejaVu files shipped with the
// platform (gdi/fonts), glyphs load without hinting and every advance is rounded to whole
// pixels, so layout and pixels depend only on those files and FreeType's rasteriser.
//
// Inside the platform only (gdi).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "gdi/gdi.h"

namespace ce::gdi {

struct Glyph {
    int advance = 0; // whole pixels
    int left = 0;    // bitmap offset from the pen position
    int top = 0;     // bitmap top above the baseline
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage; // width * height, 0..255 (mono: 0 or 255)
};

struct FontFace {
    void* face = nullptr;         // FT_Face of the main file
    std::vector<void*> fallbacks; // FT_Faces tried in order for characters the face lacks (CJK)
    int ppem = 12;                // pixels per em
    long embolden = 0;            // outline widening, 26.6 pixels (the semi-bold)
    bool italic = false;          // slanted outlines
    bool mono = false;            // no anti-aliasing
    bool underline = false;
    bool strikeOut = false;
    bool fixedPitch = false;
    std::u16string faceName; // the name GetTextFace answers
    TEXTMETRICW tm{};
    int underlinePos = 0; // below the baseline
    int underlineThickness = 1;
    int strikePos = 0; // above the baseline
    std::unordered_map<char32_t, Glyph> glyphs;
};

// The font's resolved face (made at first use).
FontFace& faceOf(Font& font);
// A rendered glyph of the face; never null (a missing character gives the missing-glyph box).
const Glyph& glyphOf(FontFace& face, char32_t c);

// The characters of a UTF-16 string with the string index each starts at; the low half of a
// surrogate pair gets no character of its own.
struct TextChar {
    char32_t c;
    int index;
};
std::vector<TextChar> decodeText(const WCHAR* s, int n);

// Advances of each UTF-16 unit of s (a surrogate pair's second unit advances 0).
std::vector<int> advancesOf(FontFace& face, const WCHAR* s, int n);

// Draws s with its top-left cell corner... at pen (x, baseline) in target coordinates with the
// DC's text colour, clipped to clip; dx gives the advance of each unit (may be null).
void drawGlyphs(Dc& dc, const PixelMap& map, const RectList& clip, FontFace& face, int x,
                int baseline, const WCHAR* s, int n, const int* dx);

// Where the font files are: beside the platform library (fonts/), else the source tree.
std::string fontFile(const char* name);

} // namespace ce::gdi
