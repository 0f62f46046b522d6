// edit_draw.cpp: the EDIT control's layout (line breaks and word wrap, character positions,
// scrolling to the caret) and its drawing in the plain Windows Mobile look: the text on the
// colour the parent chooses through WM_CTLCOLOREDIT (WM_CTLCOLORSTATIC when read-only or
// disabled), the selection in COLOR_HIGHLIGHT, a one-pixel caret and a thin frame.
//
// Widths come from a memory DC with the control's font, so layout works without a display.
#include <algorithm>

#include "user/edit.h"

namespace ce::user::edit {
namespace {

// A memory DC with the control's font selected, for measuring.
class FontDC {
public:
    explicit FontDC(HFONT font) : dc_(CreateCompatibleDC(nullptr)) {
        if (dc_) old_ = SelectObject(dc_, font ? font : GetStockObject(SYSTEM_FONT));
    }
    ~FontDC() {
        if (!dc_) return;
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    FontDC(const FontDC&) = delete;
    FontDC& operator=(const FontDC&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

int textWidth(HDC dc, const char16_t* text, int n) {
    if (n <= 0 || !dc) return 0;
    SIZE size{};
    if (!GetTextExtentPoint32W(dc, text, n, &size)) return 0;
    return size.cx;
}

// Whether the multi-line control wraps words: not when it scrolls sideways.
bool wraps(const EditState& s) {
    return s.multiline() && !(s.style & (ES_AUTOHSCROLL | WS_HSCROLL));
}

void wrapParagraph(EditState& s, HDC dc, int start, int end, int width) {
    if (start == end || width <= 0 || !dc) {
        s.lines.push_back({start, end - start});
        return;
    }
    const char16_t* text = s.text.data();
    while (start < end) {
        int fit = 0;
        SIZE size{};
        if (!GetTextExtentExPointW(dc, text + start, end - start, width, &fit, nullptr, &size))
            fit = end - start;
        if (fit >= end - start) {
            s.lines.push_back({start, end - start});
            return;
        }
        // Break after the last space that fits; a word longer than the line breaks anywhere.
        int length = 0;
        for (int k = start + fit; k > start; --k)
            if (text[k] == u' ' || text[k] == u'\t') {
                length = k + 1 - start;
                break;
            }
        if (length == 0) length = std::max(1, fit);
        // Spaces after the break stay on the line they end, as the device shows them.
        while (start + length < end && text[start + length] == u' ')
            ++length;
        s.lines.push_back({start, length});
        start += length;
    }
}

// The left edge of a line's text in client coordinates, after alignment and scrolling.
int lineLeft(const EditState& s, HDC dc, const Line& line) {
    RECT r = formatRect(s);
    int left = r.left;
    if (s.style & (ES_CENTER | ES_RIGHT)) {
        int w = textWidth(dc, s.text.data() + line.start, line.length);
        int room = r.right - r.left - w;
        if (room > 0) left += (s.style & ES_RIGHT) ? room : room / 2;
    }
    return left - (s.multiline() ? 0 : s.xOffset);
}

int lineTop(const EditState& s, int line) {
    RECT r = formatRect(s);
    if (!s.multiline()) {
        int room = r.bottom - r.top - s.lineHeight;
        return r.top + std::max(0, room / 2); // a single line sits in the middle
    }
    return r.top + (line - s.firstLine) * s.lineHeight;
}

HBRUSH controlBrush(EditState& s, HDC dc, bool quiet) {
    UINT msg = quiet ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
    SetTextColor(
        dc, GetSysColor(quiet && !IsWindowEnabled(s.hwnd) ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(quiet ? COLOR_STATIC : COLOR_WINDOW));
    HWND parent = GetParent(s.hwnd);
    auto brush =
        reinterpret_cast<HBRUSH>(parent ? SendMessageW(parent, msg, reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(s.hwnd))
                                        : DefWindowProcW(s.hwnd, msg, reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(s.hwnd)));
    return brush ? brush : GetSysColorBrush(quiet ? COLOR_STATIC : COLOR_WINDOW);
}

void drawFrame(HWND hwnd) {
    RECT w;
    if (!GetWindowRect(hwnd, &w)) return;
    HDC dc = GetWindowDC(hwnd);
    if (!dc) return;
    RECT r{0, 0, w.right - w.left, w.bottom - w.top};
    FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
    ReleaseDC(hwnd, dc);
}

} // namespace

RECT formatRect(const EditState& s) {
    RECT r{};
    GetClientRect(s.hwnd, &r);
    r.left += s.leftMargin;
    r.right -= s.rightMargin;
    if (r.right < r.left) r.right = r.left;
    return r;
}

int visibleLines(const EditState& s) {
    RECT r = formatRect(s);
    return std::max(1, static_cast<int>(r.bottom - r.top) / std::max(1, s.lineHeight));
}

void layout(EditState& s) {
    FontDC dc(s.font);
    TEXTMETRICW tm{};
    if (dc.get() && GetTextMetricsW(dc.get(), &tm)) s.lineHeight = std::max<int>(1, tm.tmHeight);
    s.lines.clear();
    int n = s.length();
    if (!s.multiline()) {
        s.lines.push_back({0, n});
        return;
    }
    RECT r = formatRect(s);
    int width = wraps(s) ? static_cast<int>(r.right - r.left) : 0;
    int i = 0;
    for (;;) {
        auto q = s.text.find_first_of(u"\r\n", static_cast<size_t>(i));
        int end = q == std::u16string::npos ? n : static_cast<int>(q);
        wrapParagraph(s, dc.get(), i, end, width);
        if (end >= n) break;
        bool pair = s.text[end] == u'\r' && end + 1 < n && s.text[end + 1] == u'\n';
        i = end + (pair ? 2 : 1);
    }
    int maxFirst = std::max(0, static_cast<int>(s.lines.size()) - visibleLines(s));
    s.firstLine = std::clamp(s.firstLine, 0, maxFirst);
}

int lineOf(const EditState& s, int index) {
    int found = 0;
    for (size_t i = 0; i < s.lines.size(); ++i) {
        if (s.lines[i].start > index) break;
        found = static_cast<int>(i);
    }
    return found;
}

POINT positionOf(const EditState& s, int index) {
    if (s.lines.empty()) return {0, 0};
    int l = lineOf(s, index);
    const Line& line = s.lines[static_cast<size_t>(l)];
    FontDC dc(s.font);
    int col = std::clamp(index - line.start, 0, line.length);
    int x = lineLeft(s, dc.get(), line) + textWidth(dc.get(), s.text.data() + line.start, col);
    return {x, lineTop(s, l)};
}

int indexAt(const EditState& s, POINT p) {
    if (s.lines.empty()) return 0;
    int l = 0;
    if (s.multiline()) {
        RECT r = formatRect(s);
        int y = static_cast<int>(p.y - r.top);
        int row = y < 0 ? -1 : y / std::max(1, s.lineHeight);
        l = std::clamp(s.firstLine + row, 0, static_cast<int>(s.lines.size()) - 1);
    }
    const Line& line = s.lines[static_cast<size_t>(l)];
    FontDC dc(s.font);
    int x = static_cast<int>(p.x) - lineLeft(s, dc.get(), line);
    if (x <= 0 || line.length == 0) return line.start;
    // The extent of every prefix; the point goes to the nearer edge of the cell it is in.
    std::vector<int> extents(static_cast<size_t>(line.length));
    int fit = 0;
    SIZE size{};
    if (!GetTextExtentExPointW(dc.get(), s.text.data() + line.start, line.length, 1 << 30, &fit,
                               extents.data(), &size))
        return line.start;
    int previous = 0;
    for (int i = 0; i < line.length; ++i) {
        int right = extents[static_cast<size_t>(i)];
        if (x < right) return line.start + ((x - previous) * 2 < right - previous ? i : i + 1);
        previous = right;
    }
    return line.start + line.length;
}

bool scrollToCaret(EditState& s) {
    if (s.lines.empty()) return false;
    RECT r = formatRect(s);
    if (s.multiline()) {
        int l = lineOf(s, s.caret);
        int first = s.firstLine;
        int shown = visibleLines(s);
        if (l < first) first = l;
        if (l >= first + shown) first = l - shown + 1;
        if (first == s.firstLine) return false;
        s.firstLine = first;
        return true;
    }
    if (!(s.style & ES_AUTOHSCROLL) && !(s.style & (ES_CENTER | ES_RIGHT)) && s.xOffset == 0)
        return false;
    FontDC dc(s.font);
    int caretX = textWidth(dc.get(), s.text.data(), s.caret);
    int total = textWidth(dc.get(), s.text.data(), s.length());
    int width = static_cast<int>(r.right - r.left);
    int offset = s.xOffset;
    // Jump by a third of the width, so typing at the end does not scroll at every character.
    if (caretX < offset) offset = std::max(0, caretX - width / 3);
    if (caretX >= offset + width) offset = caretX - width + width / 3;
    offset = std::clamp(offset, 0, std::max(0, total - width + 1));
    if (total < width) offset = 0;
    if (offset == s.xOffset) return false;
    s.xOffset = offset;
    return true;
}

void paint(EditState& s) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(s.hwnd, &ps);
    if (!dc) return;
    bool enabled = IsWindowEnabled(s.hwnd) != FALSE;
    bool quiet = !enabled || (s.style & ES_READONLY);
    HBRUSH brush = controlBrush(s, dc, quiet);
    RECT client{};
    GetClientRect(s.hwnd, &client);
    FillRect(dc, &client, brush);
    COLORREF textColor = GetTextColor(dc);
    HGDIOBJ oldFont = SelectObject(dc, s.font ? s.font : GetStockObject(SYSTEM_FONT));
    SetBkMode(dc, TRANSPARENT);
    RECT fr = formatRect(s);
    int saved = SaveDC(dc);
    IntersectClipRect(dc, fr.left, client.top, fr.right, client.bottom);
    bool showSel = s.selStart() != s.selEnd() && (s.focused || (s.style & ES_NOHIDESEL));
    int first = s.multiline() ? s.firstLine : 0;
    int last = s.multiline()
                   ? std::min<int>(static_cast<int>(s.lines.size()), first + visibleLines(s) + 1)
                   : 1;
    for (int l = first; l < last && l < static_cast<int>(s.lines.size()); ++l) {
        const Line& line = s.lines[static_cast<size_t>(l)];
        const char16_t* text = s.text.data() + line.start;
        int x = lineLeft(s, dc, line);
        int y = lineTop(s, l);
        SetTextColor(dc, textColor);
        if (line.length > 0)
            ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(line.length), nullptr);
        if (!showSel) continue;
        int a = std::max(s.selStart(), line.start) - line.start;
        int b = std::min(s.selEnd(), line.start + line.length) - line.start;
        if (a >= b) continue;
        int left = x + textWidth(dc, text, a);
        int right = x + textWidth(dc, text, b);
        RECT sel{left, y, right, y + s.lineHeight};
        FillRect(dc, &sel, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        ExtTextOutW(dc, left, y, 0, nullptr, text + a, static_cast<UINT>(b - a), nullptr);
    }
    if (s.focused) {
        POINT p = positionOf(s, s.caret);
        RECT caret{p.x, p.y, p.x + 1, p.y + s.lineHeight};
        HBRUSH caretBrush = CreateSolidBrush(textColor);
        FillRect(dc, &caret, caretBrush);
        DeleteObject(caretBrush);
    }
    RestoreDC(dc, saved);
    SelectObject(dc, oldFont);
    EndPaint(s.hwnd, &ps);
    if ((s.style & WS_BORDER) && !(s.style & ES_COMBOBOX)) drawFrame(s.hwnd);
}

} // namespace ce::user::edit
