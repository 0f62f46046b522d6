// font.cpp: FreeType faces, LOGFONT resolution, text metrics and glyph rendering.
//
// Face mapping: "Courier New" (and the other fixed-pitch names, or a fixed pitch asked for
// without a name) draws with DejaVu Sans Mono, everything else ("Tahoma" above all) with
// DejaVu Sans. Weights below 550 use the regular file; from 650 the bold file; in between a
// semi-bold: the regular outlines widened by ppem/40 (half the difference between the two
// files' stems), with advances widened alike, so 600 is neither 400 nor 700. Italic is the
// regular outline slanted. Glyphs the DejaVu file lacks come from the CJK fallback fonts of
// the device's system fonts, tried in order (Droid Sans Fallback for Chinese and Japanese,
// Nanum Gothic for Korean); when none has the glyph, the face's missing-glyph box shows.
//
// Sizes follow LOGFONT: a negative height is the em in pixels, a positive one the cell
// height (ascent + descent from the OS/2 Windows metrics, as Windows measures), 0 the system
// font's size.
#include "gdi/font.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <map>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include "kernel/strings.h"
#include "kernel/trace.h"

namespace fs = std::filesystem;

namespace ce::gdi {
namespace {

constexpr int kMaxPpem = 1000;
constexpr const char* kFallbackPaths[] = {
    "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf",
    "/usr/share/fonts/truetype/nanum/NanumGothic.ttf",
};

struct Library {
    FT_Library lib = nullptr;
    std::map<std::string, FT_Face> faces; // by file; kept for the life of the process
    Library() {
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
    }
};

Library& library() {
    static Library l;
    return l;
}

FT_Face openFace(const std::string& path) {
    Library& l = library();
    if (!l.lib || path.empty()) return nullptr;
    auto it = l.faces.find(path);
    if (it != l.faces.end()) return it->second;
    FT_Face face = nullptr;
    if (FT_New_Face(l.lib, path.c_str(), 0, &face) != 0) {
        CE_TRACE("gdi", "cannot open font %s", path.c_str());
        face = nullptr;
    } else {
        FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    }
    l.faces[path] = face;
    return face;
}

std::vector<void*> fallbackFaces() {
    std::vector<void*> faces;
    for (const char* path : kFallbackPaths) {
        std::error_code ec;
        if (!fs::exists(path, ec)) continue;
        if (FT_Face face = openFace(path)) faces.push_back(face);
    }
    return faces;
}

bool isMonoName(std::u16string_view name) {
    static const char16_t* const names[] = {u"Courier New",    u"Courier",  u"DejaVu Sans Mono",
                                            u"Lucida Console", u"Consolas", u"Fixedsys"};
    for (const char16_t* n : names)
        if (equalNoCase(name, n)) return true;
    return false;
}

int ceilDiv(int64_t a, int64_t b) {
    return static_cast<int>((a + b - 1) / b);
}

void fillMetrics(FontFace& f, FT_Face face, LONG weight) {
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const int upem = face->units_per_EM > 0 ? face->units_per_EM : 2048;
    int64_t winAscent = os2 ? os2->usWinAscent : face->ascender;
    int64_t winDescent = os2 ? os2->usWinDescent : -face->descender;
    TEXTMETRICW& tm = f.tm;
    tm.tmAscent = ceilDiv(winAscent * f.ppem, upem);
    tm.tmDescent = ceilDiv(winDescent * f.ppem, upem);
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = tm.tmHeight - f.ppem;
    int64_t gap = face->height - (face->ascender - face->descender);
    tm.tmExternalLeading = gap > 0 ? static_cast<LONG>(gap * f.ppem / upem) : 0;
    int64_t avg = os2 ? os2->xAvgCharWidth : face->max_advance_width / 2;
    tm.tmAveCharWidth = static_cast<LONG>((avg * f.ppem + upem / 2) / upem);
    tm.tmMaxCharWidth = ceilDiv(static_cast<int64_t>(face->max_advance_width) * f.ppem, upem);
    tm.tmWeight = weight;
    tm.tmOverhang = 0;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFFFC;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = f.italic ? 1 : 0;
    tm.tmUnderlined = f.underline ? 1 : 0;
    tm.tmStruckOut = f.strikeOut ? 1 : 0;
    // TMPF_FIXED_PITCH set means a variable pitch, as documented.
    tm.tmPitchAndFamily = static_cast<BYTE>(
        (f.fixedPitch ? FF_MODERN : FF_SWISS | TMPF_FIXED_PITCH) | TMPF_TRUETYPE | TMPF_VECTOR);
    tm.tmCharSet = DEFAULT_CHARSET;
    f.underlinePos = std::max(1, static_cast<int>(std::lround(-face->underline_position *
                                                              static_cast<double>(f.ppem) / upem)));
    f.underlineThickness =
        std::max(1, static_cast<int>(std::lround(face->underline_thickness *
                                                 static_cast<double>(f.ppem) / upem)));
    int64_t strike = os2 && os2->yStrikeoutPosition > 0 ? os2->yStrikeoutPosition : upem / 4;
    f.strikePos = static_cast<int>(std::lround(strike * static_cast<double>(f.ppem) / upem));
}

std::shared_ptr<FontFace> resolve(const LOGFONTW& lf) {
    auto f = std::make_shared<FontFace>();
    size_t len = 0;
    while (len < LF_FACESIZE && lf.lfFaceName[len])
        ++len;
    std::u16string_view name(lf.lfFaceName, len);
    f->fixedPitch =
        isMonoName(name) || (name.empty() && ((lf.lfPitchAndFamily & 3) == FIXED_PITCH ||
                                              (lf.lfPitchAndFamily & 0xF0) == FF_MODERN));
    f->faceName = name.empty() ? std::u16string(f->fixedPitch ? u"Courier New" : u"Tahoma")
                               : std::u16string(name);
    LONG weight = lf.lfWeight == FW_DONTCARE ? FW_NORMAL : lf.lfWeight;
    bool boldFile = weight >= 650;
    const char* file = f->fixedPitch ? (boldFile ? "DejaVuSansMono-Bold.ttf" : "DejaVuSansMono.ttf")
                                     : (boldFile ? "DejaVuSans-Bold.ttf" : "DejaVuSans.ttf");
    FT_Face face = openFace(fontFile(file));
    f->face = face;
    f->fallbacks = fallbackFaces();
    f->italic = lf.lfItalic != 0;
    f->underline = lf.lfUnderline != 0;
    f->strikeOut = lf.lfStrikeOut != 0;
    f->mono = lf.lfQuality == NONANTIALIASED_QUALITY;
    if (lf.lfWidth != 0) CE_FIXME("gdi", "font widths (lfWidth %d)", lf.lfWidth);
    if (lf.lfEscapement != 0 || lf.lfOrientation != 0) CE_FIXME("gdi", "rotated text");
    if (!face) {
        CE_FIXME("gdi", "no font file %s", file);
        f->tm.tmHeight = 1;
        return f;
    }
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const int upem = face->units_per_EM > 0 ? face->units_per_EM : 2048;
    int64_t cell = os2 ? os2->usWinAscent + os2->usWinDescent : face->ascender - face->descender;
    int ppem;
    if (lf.lfHeight < 0)
        ppem = lf.lfHeight < -kMaxPpem ? kMaxPpem : -lf.lfHeight;
    else if (lf.lfHeight > 0)
        ppem =
            static_cast<int>((std::min<int64_t>(lf.lfHeight, kMaxPpem) * upem + cell / 2) / cell);
    else
        ppem = 9 * screenDpi() / 72;
    f->ppem = std::clamp(ppem, 1, kMaxPpem);
    if (!boldFile && weight >= 550) f->embolden = (static_cast<long>(f->ppem) * 64 + 20) / 40;
    fillMetrics(*f, face, weight);
    return f;
}

bool renderGlyph(FontFace& f, FT_Face face, FT_UInt index, Glyph* g) {
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(f.ppem)) != 0) return false;
    FT_Matrix shear{0x10000, f.italic ? 0x3333 : 0, 0, 0x10000}; // slant of 0.2
    FT_Set_Transform(face, &shear, nullptr);
    FT_Int32 flags = FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;
    if (FT_Load_Glyph(face, index, flags) != 0) return false;
    FT_GlyphSlot slot = face->glyph;
    if (f.embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_Outline_Embolden(&slot->outline, f.embolden);
        // Keep the glyph on its baseline and left side: widening grows it evenly.
        FT_Outline_Translate(&slot->outline, f.embolden / 2, f.embolden / 2);
    }
    g->advance = static_cast<int>((slot->advance.x + f.embolden + 32) >> 6);
    if (FT_Render_Glyph(slot, f.mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
        return false;
    const FT_Bitmap& bm = slot->bitmap;
    g->left = slot->bitmap_left;
    g->top = slot->bitmap_top;
    g->width = static_cast<int>(bm.width);
    g->height = static_cast<int>(bm.rows);
    g->coverage.assign(static_cast<size_t>(g->width) * static_cast<size_t>(g->height), 0);
    for (int y = 0; y < g->height; ++y) {
        const uint8_t* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
        for (int x = 0; x < g->width; ++x) {
            uint8_t v = bm.pixel_mode == FT_PIXEL_MODE_MONO
                            ? (((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0)
                            : row[x];
            g->coverage[static_cast<size_t>(y) * g->width + x] = v;
        }
    }
    return true;
}

} // namespace

std::string fontFile(const char* name) {
    static const std::vector<fs::path> dirs = [] {
        std::vector<fs::path> out;
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&fontFile), &info) && info.dli_fname) {
            std::error_code ec;
            fs::path lib = fs::canonical(info.dli_fname, ec);
            if (!ec) {
                out.push_back(lib.parent_path() / "fonts");
                out.push_back(lib.parent_path() / ".." / "share" / "ceplatform" / "fonts");
            }
        }
        // The source tree this file was built from, for builds that did not copy the fonts.
        out.push_back(fs::path(__FILE__).parent_path() / "fonts");
        return out;
    }();
    for (const fs::path& dir : dirs) {
        std::error_code ec;
        fs::path file = dir / name;
        if (fs::exists(file, ec)) return file.string();
    }
    return {};
}

FontFace& faceOf(Font& font) {
    if (!font.face) font.face = resolve(font.log);
    return *font.face;
}

const Glyph& glyphOf(FontFace& f, char32_t c) {
    auto it = f.glyphs.find(c);
    if (it != f.glyphs.end()) return it->second;
    Glyph g;
    FT_Face face = static_cast<FT_Face>(f.face);
    if (face) {
        FT_UInt index = FT_Get_Char_Index(face, c);
        FT_Face use = face;
        for (size_t i = 0; index == 0 && i < f.fallbacks.size(); ++i) {
            FT_Face fb = static_cast<FT_Face>(f.fallbacks[i]);
            FT_UInt other = FT_Get_Char_Index(fb, c);
            if (other != 0) {
                use = fb;
                index = other;
            }
        }
        if (!renderGlyph(f, use, index, &g)) g = Glyph{};
    }
    return f.glyphs.emplace(c, std::move(g)).first->second;
}

std::vector<TextChar> decodeText(const WCHAR* s, int n) {
    std::vector<TextChar> out;
    out.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        char32_t c = s[i];
        int start = i;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(TextChar{c, start});
    }
    return out;
}

std::vector<int> advancesOf(FontFace& face, const WCHAR* s, int n) {
    std::vector<int> adv(static_cast<size_t>(n > 0 ? n : 0), 0);
    for (const TextChar& tc : decodeText(s, n))
        adv[static_cast<size_t>(tc.index)] = glyphOf(face, tc.c).advance;
    return adv;
}

void drawGlyphs(Dc& dc, const PixelMap& map, const RectList& clip, FontFace& face, int x,
                int baseline, const WCHAR* s, int n, const int* dx) {
    const uint32_t text = colorToPixel(dc.st.textColor & 0xFFFFFF);
    const uint32_t textWorking = workingColor(map, dc.st.textColor);
    int pen = x;
    std::vector<uint32_t> row;
    for (const TextChar& tc : decodeText(s, n)) {
        const Glyph& g = glyphOf(face, tc.c);
        int gx = pen + g.left, gy = baseline - g.top;
        RECT box{gx, gy, gx + g.width, gy + g.height};
        for (const RECT& c : clip.rects) {
            RECT part = intersectRects(c, box);
            if (rectEmpty(part)) continue;
            int w = part.right - part.left;
            row.resize(static_cast<size_t>(w));
            for (int y = part.top; y < part.bottom; ++y) {
                const uint8_t* cov =
                    g.coverage.data() + static_cast<size_t>(y - gy) * g.width + (part.left - gx);
                readWorking(map, part.left, y, w, row.data());
                for (int i = 0; i < w; ++i) {
                    uint32_t a = cov[i];
                    if (a == 0) continue;
                    uint32_t& d = row[static_cast<size_t>(i)];
                    if (map.bpp == 1 || a == 255) {
                        if (map.bpp == 1 && a < 128) continue;
                        d = map.bpp == 1 ? textWorking : ((d & 0xFF000000u) | text);
                        continue;
                    }
                    uint32_t out = d & 0xFF000000u;
                    for (int sh = 0; sh < 24; sh += 8) {
                        int dv = static_cast<int>((d >> sh) & 0xFF);
                        int tv = static_cast<int>((text >> sh) & 0xFF);
                        int v =
                            dv + ((tv - dv) * static_cast<int>(a) + (tv >= dv ? 127 : -127)) / 255;
                        out |= static_cast<uint32_t>(v & 0xFF) << sh;
                    }
                    d = out;
                }
                writeWorking(map, part.left, y, w, row.data());
            }
        }
        if (!dx) {
            pen += g.advance;
        } else {
            // A surrogate pair advances by both of its units' entries.
            pen += dx[tc.index];
            if (tc.c >= 0x10000 && tc.index + 1 < n) pen += dx[tc.index + 1];
        }
    }
}

} // namespace ce::gdi
