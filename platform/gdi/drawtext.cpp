// drawtext.cpp: DrawTextW, text formatted in a rectangle: prefix characters, line breaks,
// word wrapping, tabs, alignment, the end ellipsis, measuring with DT_CALCRECT.
//
// Lines are measured with the same whole-pixel advances ExtTextOutW draws with, so the
// rectangle DT_CALCRECT answers is exactly the one drawing the same text covers. A word
// longer than the line stays whole and overflows (cut by the rectangle unless DT_NOCLIP), as
// on Windows; DT_EDITCONTROL breaks it instead.
#include <algorithm>
#include <string>

#include "gdi/font.h"
#include "kernel/trace.h"

using namespace ce::gdi;

namespace {

struct Line {
    std::u16string text;
    std::vector<int> dx;
    int width = 0;
};

struct Layout {
    FontFace& face;
    UINT format;
    int maxWidth;
    int tabWidth;
};

// Advances of text[from, to) as drawn at the line start, tabs reaching the next stop.
Line makeLine(const Layout& lay, const std::u16string& text, const std::vector<int>& adv,
              size_t from, size_t to) {
    Line line;
    line.text = text.substr(from, to - from);
    for (size_t i = from; i < to; ++i) {
        int a = adv[i];
        if (text[i] == u'\t' && (lay.format & DT_EXPANDTABS) && lay.tabWidth > 0)
            a = (line.width / lay.tabWidth + 1) * lay.tabWidth - line.width;
        line.dx.push_back(a);
        line.width += a;
    }
    return line;
}

// Cuts the line and ends it with "..." so that it fits maxWidth.
void addEllipsis(const Layout& lay, Line& line) {
    if (line.width <= lay.maxWidth) return;
    const std::u16string dots = u"...";
    std::vector<int> dotAdv = advancesOf(lay.face, dots.data(), 3);
    int dotsWidth = dotAdv[0] + dotAdv[1] + dotAdv[2];
    while (!line.text.empty() && line.width + dotsWidth > lay.maxWidth) {
        // Never leave half of a surrogate pair behind.
        size_t cut = 1;
        if (line.text.size() >= 2 && line.text.back() >= 0xDC00 && line.text.back() < 0xE000)
            cut = 2;
        for (size_t k = 0; k < cut; ++k) {
            line.width -= line.dx.back();
            line.dx.pop_back();
            line.text.pop_back();
        }
    }
    line.text += dots;
    line.dx.insert(line.dx.end(), dotAdv.begin(), dotAdv.end());
    line.width += dotsWidth;
}

std::vector<Line> layOut(const Layout& lay, const std::u16string& text) {
    std::vector<int> adv = advancesOf(lay.face, text.data(), static_cast<int>(text.size()));
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == u'\t' && !(lay.format & DT_EXPANDTABS)) adv[i] = 0;
    std::vector<Line> lines;
    const bool single = lay.format & DT_SINGLELINE;
    const bool wrap = (lay.format & DT_WORDBREAK) && !single;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = start;
        if (!single)
            while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
                ++end;
        else
            end = text.size();
        // One paragraph [start, end): wrapped into lines.
        size_t pos = start;
        do {
            size_t lineEnd = end, next = end;
            if (wrap) {
                int width = 0;
                size_t lastBreak = std::string::npos;
                for (size_t i = pos; i < end; ++i) {
                    if (text[i] == u' ') lastBreak = i;
                    width += adv[i];
                    if (width <= lay.maxWidth || text[i] == u' ') continue;
                    if (lastBreak != std::string::npos && lastBreak > pos) {
                        lineEnd = lastBreak;
                    } else if (lay.format & DT_EDITCONTROL) {
                        lineEnd = std::max(i, pos + 1);
                    } else {
                        // The word overflows; the line ends at the next space.
                        size_t sp = i;
                        while (sp < end && text[sp] != u' ')
                            ++sp;
                        lineEnd = sp;
                    }
                    next = lineEnd;
                    while (next < end && text[next] == u' ')
                        ++next;
                    break;
                }
            }
            size_t trimmed = lineEnd;
            if (wrap)
                while (trimmed > pos && text[trimmed - 1] == u' ' && lineEnd != end)
                    --trimmed;
            Line line = makeLine(lay, text, adv, pos, trimmed);
            if (lay.format & DT_END_ELLIPSIS) addEllipsis(lay, line);
            lines.push_back(std::move(line));
            pos = next;
        } while (pos < end);
        if (end >= text.size()) break;
        // A line break: "\r\n" counts once.
        start = end + 1;
        if (text[end] == u'\r' && start < text.size() && text[start] == u'\n') ++start;
        if (start == text.size()) break;
    }
    return lines;
}

// Removes prefix marks: "&x" shows x, "&&" shows one "&".
std::u16string stripPrefixes(std::u16string_view s) {
    std::u16string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'&') {
            if (i + 1 < s.size()) out.push_back(s[++i]);
            continue;
        }
        out.push_back(s[i]);
    }
    return out;
}

} // namespace

WINGDIAPI int DrawTextW(HDC hdc, LPCWSTR lpString, int nCount, LPRECT lpRect, UINT uFormat) {
    if (!lpString || !lpRect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (nCount < 0) {
        nCount = 0;
        while (lpString[nCount] && nCount < 0x100000)
            ++nCount;
    }
    if (uFormat & (DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS | DT_MODIFYSTRING))
        CE_FIXME("gdi", "DrawText format %#x", uFormat);
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!dc->st.font) dc->st.font = std::static_pointer_cast<Font>(stockObject(SYSTEM_FONT));
    FontFace& face = faceOf(*dc->st.font);
    const int lineHeight =
        face.tm.tmHeight + ((uFormat & DT_EXTERNALLEADING) ? face.tm.tmExternalLeading : 0);
    std::u16string_view raw(lpString, static_cast<size_t>(nCount));
    std::u16string text = (uFormat & DT_NOPREFIX) ? std::u16string(raw) : stripPrefixes(raw);
    RECT& r = *lpRect;
    const int tabStops = (uFormat & DT_TABSTOP) ? ((uFormat >> 8) & 0xFF) : 8;
    Layout lay{face, uFormat, r.right - r.left, tabStops * face.tm.tmAveCharWidth};

    if (text.empty()) {
        if (uFormat & DT_CALCRECT) {
            r.right = r.left;
            r.bottom = r.top + ((uFormat & DT_SINGLELINE) ? lineHeight : 0);
        }
        return lineHeight;
    }
    std::vector<Line> lines = layOut(lay, text);
    const int height = lineHeight * static_cast<int>(lines.size());
    int widest = 0;
    for (const Line& l : lines)
        widest = std::max(widest, l.width);

    int y = r.top;
    if (uFormat & DT_SINGLELINE) {
        if (uFormat & DT_VCENTER)
            y = r.top + (r.bottom - r.top - lineHeight) / 2;
        else if (uFormat & DT_BOTTOM)
            y = r.bottom - lineHeight;
    }
    const int result = (uFormat & DT_SINGLELINE) && (uFormat & (DT_VCENTER | DT_BOTTOM))
                           ? y - r.top + lineHeight
                           : height;
    if (uFormat & DT_CALCRECT) {
        r.right = r.left + widest;
        r.bottom = r.top + height;
        return height;
    }

    const UINT oldAlign = dc->st.textAlign;
    dc->st.textAlign = TA_LEFT | TA_TOP;
    const UINT options = (uFormat & DT_NOCLIP) ? 0 : ETO_CLIPPED;
    for (const Line& line : lines) {
        int x = r.left;
        if (uFormat & DT_CENTER)
            x = r.left + (r.right - r.left - line.width) / 2;
        else if (uFormat & DT_RIGHT)
            x = r.right - line.width;
        ExtTextOutW(hdc, x, y, options, &r, line.text.data(), static_cast<UINT>(line.text.size()),
                    line.dx.data());
        y += lineHeight;
    }
    dc->st.textAlign = oldAlign;
    return result;
}
