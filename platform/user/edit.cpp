// edit.cpp: the EDIT system class: its window procedure, editing (typing, deleting, the
// selection, undo, the clipboard) and the notifications it sends its parent. Layout and
// drawing are in edit_draw.cpp.
//
// Notifications follow the documented order: EN_UPDATE when the changed text is about to be
// shown, EN_CHANGE after it is; EN_MAXTEXT when input is cut at the limit. WM_SETTEXT sends
// EN_UPDATE and EN_CHANGE for a single-line control only: "EN_CHANGE is not sent when the
// ES_MULTILINE style is used and the text is sent through WM_SETTEXT". WM_SETTEXT ignores the
// limit, clears the modification flag and the undo buffer, and puts the caret at the start.
//
// The clipboard of WM_CUT, WM_COPY and WM_PASTE is this process's own: the device's programs
// do not exchange text through it.
#include <algorithm>
#include <map>
#include <mutex>

#include "user/controlstate.h"
#include "user/edit.h"
#include "user/sysclass.h"

using namespace ce::user::edit;

namespace {

using StatePtr = std::shared_ptr<EditState>;

ce::user::ControlStates<EditState>& states() {
    static ce::user::ControlStates<EditState> map;
    return map;
}
StatePtr stateOf(HWND hwnd) {
    return states().find(hwnd);
}

std::u16string& clipboardText() {
    static std::u16string text;
    return text;
}
std::mutex& clipboardLock() {
    static std::mutex m;
    return m;
}

void notify(const EditState& s, UINT code) {
    HWND parent = GetParent(s.hwnd);
    if (!parent) return;
    WPARAM id = static_cast<WORD>(GetWindowLongW(s.hwnd, GWL_ID));
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(s.hwnd));
}

void redraw(EditState& s) {
    InvalidateRect(s.hwnd, nullptr, TRUE);
}

int scale(HWND hwnd, int pixels) {
    HDC dc = GetDC(hwnd);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(hwnd, dc);
    return pixels * std::max(96, dpi) / 96;
}

// Character steps skip a "\r\n" pair as one.
int stepLeft(const EditState& s, int i) {
    if (i <= 0) return 0;
    if (i >= 2 && s.text[i - 1] == u'\n' && s.text[i - 2] == u'\r') return i - 2;
    return i - 1;
}
int stepRight(const EditState& s, int i) {
    int n = s.length();
    if (i >= n) return n;
    if (s.text[i] == u'\r' && i + 1 < n && s.text[i + 1] == u'\n') return i + 2;
    return i + 1;
}

std::u16string convertCase(const EditState& s, std::u16string text) {
    for (auto& c : text) {
        if ((s.style & ES_UPPERCASE) && c >= u'a' && c <= u'z') c = c - u'a' + u'A';
        if ((s.style & ES_LOWERCASE) && c >= u'A' && c <= u'Z') c = c - u'A' + u'a';
    }
    return text;
}

void setSelection(EditState& s, int anchor, int caret) {
    int n = s.length();
    s.anchor = std::clamp(anchor, 0, n);
    s.caret = std::clamp(caret, 0, n);
    s.typingRun = false;
    scrollToCaret(s);
    redraw(s);
}

// Replaces the selection. `typed` merges consecutive typing into one undo step. Sends
// EN_MAXTEXT when the limit cut the text, then EN_UPDATE and EN_CHANGE when anything changed.
void replaceSelection(EditState& s, std::u16string insert, bool canUndo, bool typed) {
    insert = convertCase(s, std::move(insert));
    if (!s.multiline()) {
        auto cut = insert.find_first_of(u"\r\n");
        if (cut != std::u16string::npos) insert.resize(cut);
    }
    int start = s.selStart(), end = s.selEnd();
    size_t kept = s.text.size() - static_cast<size_t>(end - start);
    size_t room = s.limit > kept ? s.limit - kept : 0;
    bool cutAtLimit = insert.size() > room;
    if (cutAtLimit) {
        insert.resize(room);
        // Never leave half of a line break behind.
        if (!insert.empty() && insert.back() == u'\r') insert.pop_back();
    }
    if (insert.empty() && start == end) {
        if (cutAtLimit) notify(s, EN_MAXTEXT);
        return;
    }
    bool continuing = typed && s.typingRun && s.canUndo && start == end;
    if (canUndo && !continuing) {
        s.undoText = s.text;
        s.undoAnchor = s.anchor;
        s.undoCaret = s.caret;
        s.canUndo = true;
    }
    s.text.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), insert);
    s.anchor = s.caret = start + static_cast<int>(insert.size());
    s.typingRun = typed;
    s.modified = true;
    layout(s);
    scrollToCaret(s);
    if (cutAtLimit) notify(s, EN_MAXTEXT);
    notify(s, EN_UPDATE);
    redraw(s);
    UpdateWindow(s.hwnd);
    notify(s, EN_CHANGE);
}

void setText(EditState& s, LPCWSTR value) {
    s.text = convertCase(s, value ? std::u16string(value) : std::u16string());
    s.anchor = s.caret = 0;
    s.xOffset = 0;
    s.firstLine = 0;
    s.modified = false;
    s.canUndo = false;
    s.typingRun = false;
    s.undoText.clear();
    layout(s);
    if (!s.multiline()) notify(s, EN_UPDATE);
    redraw(s);
    if (!s.multiline()) notify(s, EN_CHANGE);
}

bool undo(EditState& s) {
    if (!s.canUndo) return false;
    // Undoing swaps the text with the saved one, so a second undo redoes.
    std::swap(s.text, s.undoText);
    int anchor = s.undoAnchor, caret = s.undoCaret;
    s.undoAnchor = s.anchor;
    s.undoCaret = s.caret;
    s.anchor = std::min(anchor, s.length());
    s.caret = std::min(caret, s.length());
    s.typingRun = false;
    s.modified = true;
    layout(s);
    scrollToCaret(s);
    notify(s, EN_UPDATE);
    redraw(s);
    notify(s, EN_CHANGE);
    return true;
}

void copySelection(const EditState& s) {
    if (s.selStart() == s.selEnd()) return;
    std::lock_guard<std::mutex> lock(clipboardLock());
    clipboardText() = s.text.substr(static_cast<size_t>(s.selStart()),
                                    static_cast<size_t>(s.selEnd() - s.selStart()));
}

void paste(EditState& s) {
    std::u16string text;
    {
        std::lock_guard<std::mutex> lock(clipboardLock());
        text = clipboardText();
    }
    if (!text.empty()) replaceSelection(s, text, true, false);
}

bool readOnly(const EditState& s) {
    return (s.style & ES_READONLY) != 0;
}

// The caret's move for a key; false for keys that do not move it.
bool caretTarget(EditState& s, UINT vk, bool ctrl, int* target) {
    int c = s.caret;
    int l = lineOf(s, c);
    const Line& line = s.lines[static_cast<size_t>(l)];
    switch (vk) {
    case VK_LEFT: *target = stepLeft(s, c); return true;
    case VK_RIGHT: *target = stepRight(s, c); return true;
    case VK_HOME: *target = ctrl ? 0 : line.start; return true;
    case VK_END: *target = ctrl ? s.length() : line.start + line.length; return true;
    case VK_UP:
    case VK_DOWN: {
        if (!s.multiline()) {
            *target = vk == VK_UP ? stepLeft(s, c) : stepRight(s, c);
            return true;
        }
        int next = l + (vk == VK_UP ? -1 : 1);
        if (next < 0 || next >= static_cast<int>(s.lines.size())) {
            *target = c;
            return true;
        }
        POINT p = positionOf(s, c);
        // Aim at the other line's position: move the view there first if it is hidden.
        int first = s.firstLine;
        if (next < first) s.firstLine = next;
        if (next >= first + visibleLines(s)) s.firstLine = next - visibleLines(s) + 1;
        p.y = formatRect(s).top + (next - s.firstLine) * s.lineHeight;
        if (s.firstLine != first) p = {positionOf(s, c).x, p.y};
        *target = indexAt(s, p);
        return true;
    }
    default: return false;
    }
}

void keyDown(EditState& s, UINT vk) {
    bool shift = GetKeyState(VK_SHIFT) < 0;
    bool ctrl = GetKeyState(VK_CONTROL) < 0;
    if ((s.style & ES_COMBOBOX) && (vk == VK_UP || vk == VK_DOWN || vk == VK_F4 || vk == VK_PRIOR ||
                                    vk == VK_NEXT || vk == VK_RETURN || vk == VK_ESCAPE)) {
        // The combo box's edit field: the list keys belong to the combo box.
        if (HWND parent = GetParent(s.hwnd)) SendMessageW(parent, WM_KEYDOWN, vk, 0);
        return;
    }
    int target = 0;
    if (caretTarget(s, vk, ctrl, &target)) {
        if (!shift && s.anchor != s.caret && (vk == VK_LEFT || vk == VK_RIGHT)) {
            // An arrow without shift collapses the selection to the side it points to.
            int edge = vk == VK_LEFT ? s.selStart() : s.selEnd();
            setSelection(s, edge, edge);
            return;
        }
        setSelection(s, shift ? s.anchor : target, target);
        return;
    }
    if (vk == VK_DELETE) {
        if (readOnly(s)) return;
        if (shift) {
            copySelection(s);
        } else if (s.anchor == s.caret) {
            s.caret = stepRight(s, s.caret);
        }
        replaceSelection(s, u"", true, false);
    } else if (vk == VK_INSERT) {
        if (ctrl) copySelection(s);
        if (shift && !readOnly(s)) paste(s);
    }
}

void character(EditState& s, char16_t c) {
    switch (c) {
    case 0x03: copySelection(s); return;               // Ctrl+C
    case 0x01: setSelection(s, 0, s.length()); return; // Ctrl+A
    case 0x16:
        if (!readOnly(s)) paste(s);
        return; // Ctrl+V
    case 0x1A:
        if (!readOnly(s)) undo(s);
        return; // Ctrl+Z
    case 0x18:  // Ctrl+X
        if (readOnly(s)) return;
        copySelection(s);
        replaceSelection(s, u"", true, false);
        return;
    default: break;
    }
    if (readOnly(s)) return;
    if (c == 0x08) {
        if (s.anchor == s.caret) s.caret = stepLeft(s, s.caret);
        if (s.anchor != s.caret) replaceSelection(s, u"", true, false);
        return;
    }
    if (c == u'\r' || c == u'\n') {
        if (s.multiline() && !(s.style & ES_COMBOBOX)) replaceSelection(s, u"\r\n", true, true);
        return;
    }
    if (c < 0x20) return; // Tab and the other control characters type nothing
    // ES_NUMBER: anything but a digit is refused (the device would beep).
    if ((s.style & ES_NUMBER) && (c < u'0' || c > u'9')) return;
    replaceSelection(s, std::u16string(1, c), true, true);
}

void pointerDown(EditState& s, POINT p) {
    if (GetFocus() != s.hwnd) SetFocus(s.hwnd);
    int i = indexAt(s, p);
    bool shift = GetKeyState(VK_SHIFT) < 0;
    s.dragging = true;
    SetCapture(s.hwnd);
    setSelection(s, shift ? s.anchor : i, i);
}

LRESULT getSel(const EditState& s, WPARAM wParam, LPARAM lParam) {
    if (auto p = reinterpret_cast<DWORD*>(wParam)) *p = static_cast<DWORD>(s.selStart());
    if (auto p = reinterpret_cast<DWORD*>(lParam)) *p = static_cast<DWORD>(s.selEnd());
    return MAKELONG(std::min(s.selStart(), 0xFFFF), std::min(s.selEnd(), 0xFFFF));
}

int lineIndex(const EditState& s, WPARAM wParam) {
    int line = static_cast<int>(static_cast<INT_PTR>(wParam));
    if (line == -1) line = lineOf(s, s.caret);
    if (line < 0 || line >= static_cast<int>(s.lines.size())) return -1;
    return s.lines[static_cast<size_t>(line)].start;
}

LRESULT getLine(const EditState& s, WPARAM wParam, LPARAM lParam) {
    auto buffer = reinterpret_cast<LPWSTR>(lParam);
    if (!buffer) return 0;
    int line = s.multiline() ? static_cast<int>(wParam) : 0;
    if (line < 0 || line >= static_cast<int>(s.lines.size())) return 0;
    // The first WORD of the buffer holds its size in characters; no terminating zero.
    WORD size = static_cast<WORD>(buffer[0]);
    const Line& l = s.lines[static_cast<size_t>(line)];
    int n = std::min<int>(size, l.length);
    std::copy_n(s.text.data() + l.start, n, buffer);
    return n;
}

void setLimit(EditState& s, WPARAM wParam) {
    if (wParam == 0)
        s.limit = s.multiline() ? 0xFFFFFFFFu : 0x7FFFFFFEu;
    else
        s.limit = static_cast<size_t>(static_cast<DWORD>(wParam));
}

LRESULT create(HWND hwnd, const CREATESTRUCTW* cs) {
    auto s = std::make_shared<EditState>();
    s->hwnd = hwnd;
    s->style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    s->leftMargin = s->rightMargin = scale(hwnd, 1);
    if (cs && cs->lpszName) s->text = convertCase(*s, cs->lpszName);
    { states().put(hwnd, s); }
    layout(*s);
    return 0;
}

LRESULT handle(EditState& s, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = s.hwnd;
    switch (msg) {
    case WM_SETTEXT:
        setText(s, reinterpret_cast<LPCWSTR>(lParam));
        DefWindowProcW(hwnd, msg, wParam, lParam); // keeps the text other programs see
        return TRUE;
    case WM_GETTEXT: {
        auto buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam == 0) return 0;
        size_t n = std::min(s.text.size(), static_cast<size_t>(wParam) - 1);
        std::copy_n(s.text.data(), n, buffer);
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return s.length();
    case WM_SETFONT:
        s.font = reinterpret_cast<HFONT>(wParam);
        layout(s);
        scrollToCaret(s);
        if (LOWORD(lParam)) redraw(s);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s.font);
    case WM_SIZE:
        layout(s);
        scrollToCaret(s);
        redraw(s);
        return 0;
    case WM_PAINT: paint(s); return 0;
    case WM_ERASEBKGND: return 1; // WM_PAINT fills the whole client area
    case WM_ENABLE:
    case WM_STYLECHANGED: redraw(s); return 0;
    case WM_SETFOCUS:
        s.focused = true;
        redraw(s);
        notify(s, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        s.focused = false;
        s.typingRun = false;
        redraw(s);
        notify(s, EN_KILLFOCUS);
        return 0;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        if (s.multiline()) code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_KEYDOWN: keyDown(s, static_cast<UINT>(wParam)); return 0;
    case WM_SYSKEYDOWN:
        if ((s.style & ES_COMBOBOX) && (wParam == VK_DOWN || wParam == VK_UP))
            if (HWND parent = GetParent(hwnd)) return SendMessageW(parent, msg, wParam, lParam);
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_CHAR: character(s, static_cast<char16_t>(wParam)); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        pointerDown(s,
                    POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_MOUSEMOVE:
        if (s.dragging) {
            POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            int i = indexAt(s, p);
            if (i != s.caret) setSelection(s, s.anchor, i);
        }
        return 0;
    case WM_LBUTTONUP:
        if (s.dragging && GetCapture() == hwnd) ReleaseCapture();
        s.dragging = false;
        return 0;
    case WM_CAPTURECHANGED: s.dragging = false; return 0;
    case EM_GETSEL: return getSel(s, wParam, lParam);
    case EM_SETSEL: {
        int start = static_cast<int>(static_cast<INT_PTR>(static_cast<int32_t>(wParam)));
        int end = static_cast<int>(static_cast<int32_t>(lParam));
        if (start == -1) {
            setSelection(s, s.caret, s.caret); // -1 removes the selection, the caret stays
            return 0;
        }
        if (end < 0) end = s.length();
        setSelection(s, std::max(0, start), end);
        return 0;
    }
    case EM_REPLACESEL:
        replaceSelection(
            s, reinterpret_cast<LPCWSTR>(lParam) ? reinterpret_cast<LPCWSTR>(lParam) : u"",
            wParam != 0, false);
        return 0;
    case EM_LIMITTEXT: setLimit(s, wParam); return 0;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(static_cast<DWORD>(s.limit));
    case EM_GETMODIFY: return s.modified ? TRUE : FALSE;
    case EM_SETMODIFY: s.modified = wParam != 0; return 0;
    case EM_CANUNDO: return s.canUndo ? TRUE : FALSE;
    case EM_UNDO:
    case WM_UNDO: return undo(s) ? TRUE : FALSE;
    case EM_EMPTYUNDOBUFFER:
        s.canUndo = false;
        s.typingRun = false;
        s.undoText.clear();
        return 0;
    case EM_SETREADONLY: {
        DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
        style = wParam ? (style | ES_READONLY) : (style & ~static_cast<DWORD>(ES_READONLY));
        SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(style));
        s.style = style;
        redraw(s);
        return TRUE;
    }
    case EM_GETLINECOUNT: return s.multiline() ? static_cast<LRESULT>(s.lines.size()) : 1;
    case EM_LINEINDEX: return lineIndex(s, wParam);
    case EM_LINELENGTH: {
        int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (!s.multiline()) return s.length();
        if (index < 0) index = s.caret;
        return s.lines[static_cast<size_t>(lineOf(s, std::min(index, s.length())))].length;
    }
    case EM_LINEFROMCHAR: {
        int index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (index < 0) index = s.caret;
        return lineOf(s, std::min(index, s.length()));
    }
    case EM_GETLINE: return getLine(s, wParam, lParam);
    case EM_GETFIRSTVISIBLELINE:
        return s.multiline() ? s.firstLine : indexAt(s, POINT{formatRect(s).left, 0});
    case EM_LINESCROLL:
        if (!s.multiline()) return FALSE;
        s.firstLine = std::clamp(s.firstLine + static_cast<int>(lParam), 0,
                                 std::max(0, static_cast<int>(s.lines.size()) - 1));
        redraw(s);
        return TRUE;
    case EM_SCROLLCARET:
        if (scrollToCaret(s)) redraw(s);
        return TRUE;
    case EM_GETRECT:
        if (auto r = reinterpret_cast<RECT*>(lParam)) *r = formatRect(s);
        return 0;
    case EM_POSFROMCHAR: {
        int index = static_cast<int>(wParam);
        if (index < 0 || index > s.length()) return -1;
        POINT p = positionOf(s, index);
        return MAKELONG(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
    }
    case EM_CHARFROMPOS: {
        POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        int index = indexAt(s, p);
        return MAKELONG(static_cast<WORD>(index), static_cast<WORD>(lineOf(s, index)));
    }
    case EM_SETMARGINS:
        if (wParam & EC_LEFTMARGIN)
            s.leftMargin = LOWORD(lParam) == EC_USEFONTINFO ? scale(hwnd, 1) : LOWORD(lParam);
        if (wParam & EC_RIGHTMARGIN)
            s.rightMargin = HIWORD(lParam) == EC_USEFONTINFO ? scale(hwnd, 1) : HIWORD(lParam);
        layout(s);
        redraw(s);
        return 0;
    case EM_GETMARGINS: return MAKELONG(s.leftMargin, s.rightMargin);
    case WM_COPY: copySelection(s); return 0;
    case WM_CUT:
    case WM_CLEAR:
        if (readOnly(s)) return 0;
        if (msg == WM_CUT) copySelection(s);
        replaceSelection(s, u"", true, false);
        return 0;
    case WM_PASTE:
        if (!readOnly(s)) paste(s);
        return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK editProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) return create(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lParam));
    if (msg == WM_NCDESTROY) {
        states().erase(hwnd);
        return 0;
    }
    StatePtr s = stateOf(hwnd); // kept alive while a notification destroys the window
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    s->style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    return handle(*s, msg, wParam, lParam);
}

void registerEditClass() {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
    wc.lpfnWndProc = editProc;
    wc.hInstance = ce::user::systemClassInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
    wc.lpszClassName = u"EDIT";
    RegisterClassW(&wc);
}

const ce::user::SystemClassRegistration editRegistration(registerEditClass);

} // namespace
