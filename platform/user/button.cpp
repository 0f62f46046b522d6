// button.cpp: the BUTTON system class: push buttons, default push buttons, check boxes
// (two and three states, automatic or not), radio buttons (automatic ones clear the others
// of their group), group boxes and owner-drawn buttons.
//
// A press follows the pen: the button captures it on the pen going down and shows itself
// pushed while the pen is over it; lifting the pen over the button clicks it, lifting it
// elsewhere does nothing. Space does the same from the keyboard. A click changes the check
// state of the automatic kinds, then sends WM_COMMAND BN_CLICKED to the parent.
//
// The look is that of Windows Mobile 6: push buttons with a thin grey border and a light
// face (blue while pushed), boxes and circles with marks for check boxes and radio buttons,
// all sized by the screen's dpi. The parent chooses the background through WM_CTLCOLORBTN.
// An owner-drawn button asks its parent to draw it (WM_DRAWITEM) whenever it changes: the
// whole button on WM_PAINT, ODA_SELECT when pushed or released, ODA_FOCUS on the focus.
#include <algorithm>
#include <string>

#include "kernel/trace.h"
#include "user/dialog.h"
#include "user/sysclass.h"
#include "windows.h"

namespace {

// Window extra bytes: the state, the font (WM_SETFONT), kept as 32-bit values.
constexpr int kStateOffset = 0;
constexpr int kFontOffset = 4;
constexpr int kExtraBytes = 8;

constexpr LONG kCheckMask = 0x0003; // BST_CHECKED, BST_INDETERMINATE
constexpr LONG kPushed = BST_PUSHED;
constexpr LONG kFocus = BST_FOCUS;
constexpr LONG kTracking = 0x0100;  // the pen went down on the button and is still down
constexpr LONG kSpaceDown = 0x0200; // pushed by the space key

LONG stateOf(HWND h) {
    return GetWindowLongW(h, kStateOffset);
}

void setStateBits(HWND h, LONG bits, bool on) {
    LONG s = stateOf(h);
    SetWindowLongW(h, kStateOffset, on ? (s | bits) : (s & ~bits));
}

LONG typeOf(HWND h) {
    return GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK;
}

bool isCheckBox(LONG t) {
    return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE;
}

bool isRadio(LONG t) {
    return t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON;
}

bool isPushButton(LONG t) {
    return t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON || t == BS_USERBUTTON;
}

HFONT fontOf(HWND h) {
    return static_cast<HFONT>(ULongToHandle(static_cast<ULONG>(GetWindowLongW(h, kFontOffset))));
}

void notify(HWND h, WORD code) {
    HWND parent = GetParent(h);
    if (parent)
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(h)), code),
                     reinterpret_cast<LPARAM>(h));
}

std::u16string textOf(HWND h) {
    int n = std::clamp(GetWindowTextLengthW(h), 0, 4096);
    std::u16string text(static_cast<size_t>(n) + 1, u'\0');
    int got = GetWindowTextW(h, text.data(), n + 1);
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

int scaled(HDC dc, int pixelsAt96) {
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    return pixelsAt96 * (dpi > 0 ? dpi : 96) / 96;
}

// The brush the parent chooses (WM_CTLCOLORBTN), with the DC's colours set first so that
// the parent can change them.
HBRUSH backgroundBrush(HWND h, HDC dc) {
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_STATIC));
    HWND parent = GetParent(h);
    auto brush = parent ? reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORBTN,
                                                                reinterpret_cast<WPARAM>(dc),
                                                                reinterpret_cast<LPARAM>(h)))
                        : nullptr;
    return brush ? brush : GetSysColorBrush(COLOR_STATIC);
}

void drawOwnerDrawn(HWND h, HDC dc, UINT action) {
    LONG s = stateOf(h);
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(GetDlgCtrlID(h));
    dis.itemAction = action;
    if (s & kPushed) dis.itemState |= ODS_SELECTED;
    if (s & kFocus) dis.itemState |= ODS_FOCUS;
    if (!IsWindowEnabled(h)) dis.itemState |= ODS_DISABLED;
    dis.hwndItem = h;
    dis.hDC = dc;
    GetClientRect(h, &dis.rcItem);
    HWND parent = GetParent(h);
    if (parent) SendMessageW(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
}

void drawPushButton(HWND h, HDC dc, const RECT& rc, LONG s, bool isDefault, bool down) {
    bool enabled = IsWindowEnabled(h) != FALSE;
    FillRect(dc, &rc, GetSysColorBrush(down ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
    FrameRect(dc, &rc, GetSysColorBrush(isDefault ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW));
    if (isDefault) {
        RECT inner = rc;
        InflateRect(&inner, -1, -1);
        FrameRect(dc, &inner, GetSysColorBrush(COLOR_BTNSHADOW));
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(!enabled ? COLOR_GRAYTEXT
                                 : down   ? COLOR_HIGHLIGHTTEXT
                                          : COLOR_BTNTEXT));
    std::u16string text = textOf(h);
    RECT tr = rc;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (s & kFocus) {
        RECT f = rc;
        InflateRect(&f, -scaled(dc, 3), -scaled(dc, 3));
        DrawFocusRect(dc, &f);
    }
}

// The tick of a check box: two strokes, two pixels wide at 96 dpi.
void drawTick(HDC dc, const RECT& box) {
    int w = box.right - box.left;
    HPEN pen = CreatePen(PS_SOLID, std::max(1, w / 6), GetSysColor(COLOR_BTNTEXT));
    HGDIOBJ old = SelectObject(dc, pen);
    POINT pts[3] = {{box.left + w * 3 / 13, box.top + w * 6 / 13},
                    {box.left + w * 5 / 13, box.top + w * 9 / 13},
                    {box.left + w * 10 / 13, box.top + w * 3 / 13}};
    Polyline(dc, pts, 3);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void drawCheckOrRadio(HWND h, HDC dc, const RECT& rc, LONG s, HBRUSH background, bool radio) {
    LONG style = GetWindowLongW(h, GWL_STYLE);
    bool enabled = IsWindowEnabled(h) != FALSE;
    FillRect(dc, &rc, background);
    int size = std::min<int>(scaled(dc, 13), rc.bottom - rc.top);
    int gap = scaled(dc, 4);
    bool leftText = (style & BS_LEFTTEXT) != 0;
    RECT box;
    box.left = leftText ? rc.right - size : rc.left;
    box.right = box.left + size;
    box.top = rc.top + (rc.bottom - rc.top - size) / 2;
    box.bottom = box.top + size;
    HBRUSH face = GetSysColorBrush((s & kPushed) || !enabled ? COLOR_BTNFACE : COLOR_WINDOW);
    if (radio) {
        HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, face);
        Ellipse(dc, box.left, box.top, box.right, box.bottom);
        if (s & BST_CHECKED) {
            int in = size / 4;
            SelectObject(dc, GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
            SelectObject(dc, GetStockObject(NULL_PEN));
            Ellipse(dc, box.left + in, box.top + in, box.right - in, box.bottom - in);
        }
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(pen);
    } else {
        FillRect(dc, &box, face);
        FrameRect(dc, &box, GetSysColorBrush(COLOR_BTNSHADOW));
        if ((s & kCheckMask) == BST_INDETERMINATE) {
            RECT in = box;
            InflateRect(&in, -size / 4, -size / 4);
            FillRect(dc, &in, GetSysColorBrush(COLOR_GRAYTEXT));
        } else if (s & BST_CHECKED) {
            drawTick(dc, box);
        }
    }
    RECT tr = rc;
    if (leftText)
        tr.right = box.left - gap;
    else
        tr.left = box.right + gap;
    SetBkMode(dc, TRANSPARENT);
    if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    std::u16string text = textOf(h);
    UINT flags = (style & BS_MULTILINE) ? DT_WORDBREAK : (DT_SINGLELINE | DT_VCENTER);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr, flags | DT_LEFT);
    if ((s & kFocus) && !text.empty()) {
        RECT f = tr;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &f, flags | DT_CALCRECT);
        int dy = ((tr.bottom - tr.top) - (f.bottom - f.top)) / 2;
        if (!(style & BS_MULTILINE)) OffsetRect(&f, 0, dy);
        InflateRect(&f, 1, 1);
        DrawFocusRect(dc, &f);
    }
}

int fontHeight(HDC dc) {
    TEXTMETRICW tm{};
    return GetTextMetricsW(dc, &tm) ? tm.tmHeight : 13;
}

void drawGroupBox(HWND h, HDC dc, const RECT& rc, HBRUSH background) {
    int th = fontHeight(dc);
    RECT frame = rc;
    frame.top += th / 2;
    FrameRect(dc, &frame, GetSysColorBrush(COLOR_BTNSHADOW));
    std::u16string text = textOf(h);
    if (text.empty()) return;
    RECT tr{rc.left + scaled(dc, 6), rc.top, rc.right - scaled(dc, 6), rc.top + th};
    RECT calc = tr;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &calc,
              DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
    tr.right = std::min(tr.right, calc.right + scaled(dc, 2));
    FillRect(dc, &tr, background);
    SetBkMode(dc, TRANSPARENT);
    if (!IsWindowEnabled(h)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr, DT_LEFT | DT_SINGLELINE);
}

void paint(HWND h, HDC dc, UINT action) {
    LONG type = typeOf(h);
    HFONT font = fontOf(h);
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    if (type == BS_OWNERDRAW) {
        drawOwnerDrawn(h, dc, action);
    } else {
        RECT rc;
        GetClientRect(h, &rc);
        LONG s = stateOf(h);
        HBRUSH background = backgroundBrush(h, dc);
        bool pushLike = (GetWindowLongW(h, GWL_STYLE) & BS_PUSHLIKE) != 0;
        if (isPushButton(type))
            drawPushButton(h, dc, rc, s, type == BS_DEFPUSHBUTTON, (s & kPushed) != 0);
        else if (pushLike && (isCheckBox(type) || isRadio(type)))
            drawPushButton(h, dc, rc, s, false, (s & (kPushed | kCheckMask)) != 0);
        else if (isCheckBox(type) || isRadio(type))
            drawCheckOrRadio(h, dc, rc, s, background, isRadio(type));
        else if (type == BS_GROUPBOX)
            drawGroupBox(h, dc, rc, background);
        else
            FillRect(dc, &rc, background);
    }
    if (oldFont) SelectObject(dc, oldFont);
}

// Shows a change now: an owner-drawn button has its parent draw it at once (so the pushed
// state is drawn while the pen is down), the others repaint at the next WM_PAINT.
void redraw(HWND h, UINT action) {
    if (typeOf(h) == BS_OWNERDRAW) {
        HDC dc = GetDC(h);
        if (dc) {
            paint(h, dc, action);
            ReleaseDC(h, dc);
        }
        return;
    }
    InvalidateRect(h, nullptr, FALSE);
}

void setPushed(HWND h, bool pushed) {
    if (((stateOf(h) & kPushed) != 0) == pushed) return;
    setStateBits(h, kPushed, pushed);
    redraw(h, ODA_SELECT);
}

// A group box is a frame: only its border and label belong to the window, so the controls
// inside it (made after it, and so below it) show through and take the pen.
void shapeGroupBox(HWND h) {
    RECT rc;
    GetClientRect(h, &rc);
    HDC dc = GetDC(h);
    int th = 13;
    if (dc) {
        HFONT font = fontOf(h);
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        th = fontHeight(dc);
        if (old) SelectObject(dc, old);
        ReleaseDC(h, dc);
    }
    HRGN outer = CreateRectRgn(0, 0, rc.right, rc.bottom);
    HRGN inner = CreateRectRgn(1, th, rc.right - 1, rc.bottom - 1);
    if (outer && inner && rc.right > 2 && rc.bottom > th + 1) {
        CombineRgn(outer, outer, inner, RGN_DIFF);
        SetWindowRgn(h, outer, TRUE); // the system owns the region now
        outer = nullptr;
    }
    if (outer) DeleteObject(outer);
    if (inner) DeleteObject(inner);
}

void setCheck(HWND h, WPARAM value) {
    LONG type = typeOf(h);
    if (!isCheckBox(type) && !isRadio(type)) return;
    LONG check = (type == BS_3STATE || type == BS_AUTO3STATE)
                     ? static_cast<LONG>(std::min<WPARAM>(value, BST_INDETERMINATE))
                     : (value ? BST_CHECKED : BST_UNCHECKED);
    LONG s = stateOf(h);
    if ((s & kCheckMask) == check) return;
    SetWindowLongW(h, kStateOffset, (s & ~kCheckMask) | check);
    InvalidateRect(h, nullptr, FALSE);
}

// A click: the automatic kinds change their check state first, then BN_CLICKED.
void click(HWND h) {
    LONG type = typeOf(h);
    LONG check = stateOf(h) & kCheckMask;
    switch (type) {
    case BS_AUTOCHECKBOX: setCheck(h, check ? BST_UNCHECKED : BST_CHECKED); break;
    case BS_AUTO3STATE: setCheck(h, static_cast<WPARAM>((check + 1) % 3)); break;
    case BS_AUTORADIOBUTTON:
        setCheck(h, BST_CHECKED);
        if (HWND parent = GetParent(h))
            for (HWND other : ce::user::dialogGroupOf(parent, h))
                if (other != h &&
                    (GetWindowLongW(other, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                    SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
        break;
    default: break;
    }
    notify(h, BN_CLICKED);
}

bool pointInClient(HWND h, LPARAM lParam) {
    RECT rc;
    GetClientRect(h, &rc);
    POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&rc, p) != FALSE;
}

LRESULT dialogCode(HWND h) {
    LONG type = typeOf(h);
    if (type == BS_GROUPBOX) return DLGC_STATIC;
    if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    if (type == BS_PUSHBUTTON || type == BS_USERBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    if (isRadio(type)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
    return DLGC_BUTTON;
}

LRESULT CALLBACK buttonProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    LONG type = typeOf(h);
    switch (msg) {
    case WM_CREATE:
        if (type == BS_USERBUTTON || type == 0x0A || type > BS_OWNERDRAW)
            CE_FIXME("msg", "button type %ld drawn as a push button", static_cast<long>(type));
        if (type == BS_GROUPBOX) shapeGroupBox(h);
        return 0;
    case WM_SIZE:
        if (type == BS_GROUPBOX) shapeGroupBox(h);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        if (dc) paint(h, dc, ODA_DRAWENTIRE);
        EndPaint(h, &ps);
        return 0;
    }
    case WM_GETDLGCODE: return dialogCode(h);
    case WM_SETFONT:
        SetWindowLongW(h, kFontOffset,
                       static_cast<LONG>(HandleToULong(reinterpret_cast<HFONT>(wParam))));
        if (type == BS_GROUPBOX) shapeGroupBox(h);
        if (LOWORD(lParam)) InvalidateRect(h, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(fontOf(h));
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(h, msg, wParam, lParam);
        InvalidateRect(h, nullptr, TRUE);
        return r;
    }
    case WM_ENABLE: InvalidateRect(h, nullptr, TRUE); return 0;
    case WM_SETFOCUS:
        setStateBits(h, kFocus, true);
        redraw(h, ODA_FOCUS);
        if (GetWindowLongW(h, GWL_STYLE) & BS_NOTIFY) notify(h, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        setStateBits(h, kFocus, false);
        if ((stateOf(h) & kSpaceDown)) {
            setStateBits(h, kSpaceDown, false);
            setPushed(h, false);
        }
        redraw(h, ODA_FOCUS);
        if (GetWindowLongW(h, GWL_STYLE) & BS_NOTIFY) notify(h, BN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (type == BS_GROUPBOX) return 0;
        SetCapture(h);
        setStateBits(h, kTracking, true);
        if (GetFocus() != h) SetFocus(h);
        setPushed(h, true);
        return 0;
    case WM_MOUSEMOVE:
        if (stateOf(h) & kTracking) setPushed(h, pointInClient(h, lParam));
        return 0;
    case WM_LBUTTONUP: {
        if (!(stateOf(h) & kTracking)) return 0;
        setStateBits(h, kTracking, false);
        bool inside = pointInClient(h, lParam);
        setPushed(h, false);
        if (GetCapture() == h) ReleaseCapture();
        if (inside && IsWindow(h)) click(h);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (stateOf(h) & kTracking) {
            setStateBits(h, kTracking, false);
            setPushed(h, false);
        }
        return 0;
    case WM_KEYDOWN:
        if (type == BS_GROUPBOX) return 0;
        if (wParam == VK_SPACE) {
            setStateBits(h, kSpaceDown, true);
            setPushed(h, true);
        } else if (wParam == VK_RETURN && isPushButton(type)) {
            click(h);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && (stateOf(h) & kSpaceDown)) {
            setStateBits(h, kSpaceDown, false);
            setPushed(h, false);
            click(h);
        }
        return 0;
    case WM_CHAR: return 0;
    case BM_GETCHECK: return (isCheckBox(type) || isRadio(type)) ? (stateOf(h) & kCheckMask) : 0;
    case BM_SETCHECK: setCheck(h, wParam); return 0;
    case BM_GETSTATE: return stateOf(h) & (kCheckMask | kPushed | kFocus);
    case BM_SETSTATE: setPushed(h, wParam != 0); return 0;
    case BM_SETSTYLE: {
        LONG style = GetWindowLongW(h, GWL_STYLE);
        SetWindowLongW(h, GWL_STYLE, static_cast<LONG>((style & 0xFFFF0000) | (wParam & 0xFFFF)));
        if (LOWORD(lParam)) InvalidateRect(h, nullptr, TRUE);
        return 0;
    }
    case BM_CLICK:
        if (!IsWindowEnabled(h) || type == BS_GROUPBOX) return 0;
        setPushed(h, true);
        setPushed(h, false);
        click(h);
        return 0;
    default: return DefWindowProcW(h, msg, wParam, lParam);
    }
}

void registerButtonClass() {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = buttonProc;
    wc.cbWndExtra = kExtraBytes;
    wc.hInstance = ce::user::systemClassInstance();
    wc.lpszClassName = u"BUTTON";
    RegisterClassW(&wc);
}

const ce::user::SystemClassRegistration buttonRegistration(registerButtonClass);

} // namespace
