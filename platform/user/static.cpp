// static.cpp: the STATIC system class: text (left, centred, right, without word wrap,
// with or without & prefixes), a bitmap (SS_BITMAP) or an icon (SS_ICON), and SS_NOTIFY's
// STN_CLICKED.
//
// The parent chooses the colours through WM_CTLCOLORSTATIC: the control sets the DC's text
// and background colours to the system's static colours, the parent may change them, and the
// brush it returns fills the control before the text is drawn with them. A bitmap or icon
// named by the control's text in a dialog template (u"#101" or a name) is loaded from the
// module that made the control; the control then owns a bitmap it loaded and deletes it when
// it goes. An image given with STM_SETIMAGE stays the caller's.
#include <algorithm>
#include <string>

#include "kernel/trace.h"
#include "user/sysclass.h"
#include "windows.h"

namespace {

// Window extra bytes (32-bit values): the font, the image, and the image's kind with the
// "owned" flag.
constexpr int kFontOffset = 0;
constexpr int kImageOffset = 4;
constexpr int kKindOffset = 8;
constexpr int kExtraBytes = 12;
constexpr LONG kOwnedImage = 0x100;

LONG styleOf(HWND h) {
    return GetWindowLongW(h, GWL_STYLE);
}

LONG typeOf(HWND h) {
    return styleOf(h) & SS_TYPEMASK;
}

HANDLE imageOf(HWND h) {
    return ULongToHandle(static_cast<ULONG>(GetWindowLongW(h, kImageOffset)));
}

LONG imageKind(HWND h) {
    return GetWindowLongW(h, kKindOffset) & 0xFF;
}

void notify(HWND h, WORD code) {
    HWND parent = GetParent(h);
    if (parent)
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(h)), code),
                     reinterpret_cast<LPARAM>(h));
}

// The size of a bitmap or an icon; 0 x 0 when unknown.
SIZE imageSize(HANDLE image, LONG kind) {
    SIZE s{0, 0};
    if (!image) return s;
    if (kind == IMAGE_BITMAP) {
        BITMAP bm{};
        if (GetObjectW(image, sizeof bm, &bm)) s = SIZE{bm.bmWidth, bm.bmHeight};
        return s;
    }
    ICONINFO info{};
    if (!GetIconInfo(static_cast<HICON>(image), &info)) return s;
    BITMAP bm{};
    HBITMAP measured = info.hbmColor ? info.hbmColor : info.hbmMask;
    if (measured && GetObjectW(measured, sizeof bm, &bm))
        s = SIZE{bm.bmWidth, info.hbmColor ? bm.bmHeight : bm.bmHeight / 2};
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return s;
}

void releaseOwnedImage(HWND h) {
    LONG kind = GetWindowLongW(h, kKindOffset);
    HANDLE image = imageOf(h);
    if ((kind & kOwnedImage) && image && (kind & 0xFF) == IMAGE_BITMAP) DeleteObject(image);
    SetWindowLongW(h, kKindOffset, kind & ~kOwnedImage);
}

// Sets the image; the control takes the picture's size unless SS_CENTERIMAGE. Returns the
// previous image.
HANDLE setImage(HWND h, HANDLE image, LONG kind, bool owned) {
    HANDLE old = imageOf(h);
    LONG oldKind = GetWindowLongW(h, kKindOffset);
    if (oldKind & kOwnedImage) {
        // A picture the control loaded itself goes with the control's ownership; the caller
        // who replaces it gets it back and owns it now, as with any STM_SETIMAGE.
        SetWindowLongW(h, kKindOffset, oldKind & ~kOwnedImage);
    }
    SetWindowLongW(h, kImageOffset, static_cast<LONG>(HandleToULong(image)));
    SetWindowLongW(h, kKindOffset, kind | (owned ? kOwnedImage : 0));
    if (image && !(styleOf(h) & SS_CENTERIMAGE)) {
        SIZE s = imageSize(image, kind);
        if (s.cx > 0 && s.cy > 0)
            SetWindowPos(h, nullptr, 0, 0, s.cx, s.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(h, nullptr, TRUE);
    return old;
}

UINT textFormat(LONG style) {
    UINT flags;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER: flags = DT_CENTER | DT_WORDBREAK | DT_EXPANDTABS; break;
    case SS_RIGHT: flags = DT_RIGHT | DT_WORDBREAK | DT_EXPANDTABS; break;
    case SS_LEFTNOWORDWRAP: flags = DT_LEFT | DT_EXPANDTABS; break;
    default: flags = DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS; break;
    }
    if (style & SS_NOPREFIX) flags |= DT_NOPREFIX;
    if (style & SS_CENTERIMAGE) flags = (flags & ~DT_WORDBREAK) | DT_VCENTER | DT_SINGLELINE;
    return flags;
}

void paint(HWND h, HDC dc) {
    RECT rc;
    GetClientRect(h, &rc);
    LONG style = styleOf(h);
    SetTextColor(dc, GetSysColor(COLOR_STATICTEXT));
    SetBkColor(dc, GetSysColor(COLOR_STATIC));
    HWND parent = GetParent(h);
    auto brush = parent ? reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORSTATIC,
                                                                reinterpret_cast<WPARAM>(dc),
                                                                reinterpret_cast<LPARAM>(h)))
                        : nullptr;
    FillRect(dc, &rc, brush ? brush : GetSysColorBrush(COLOR_STATIC));

    LONG type = style & SS_TYPEMASK;
    if (type == SS_BITMAP || type == SS_ICON) {
        HANDLE image = imageOf(h);
        LONG kind = imageKind(h);
        if (!image) return;
        SIZE s = imageSize(image, kind);
        int x = 0, y = 0;
        if (style & SS_CENTERIMAGE) {
            x = (rc.right - s.cx) / 2;
            y = (rc.bottom - s.cy) / 2;
        }
        if (kind == IMAGE_BITMAP) {
            HDC mem = CreateCompatibleDC(dc);
            if (!mem) return;
            HGDIOBJ old = SelectObject(mem, image);
            BitBlt(dc, x, y, s.cx, s.cy, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        } else {
            DrawIconEx(dc, x, y, static_cast<HICON>(image), 0, 0, 0, nullptr, DI_NORMAL);
        }
        return;
    }
    int n = std::clamp(GetWindowTextLengthW(h), 0, 32768);
    std::u16string text(static_cast<size_t>(n) + 1, u'\0');
    int got = GetWindowTextW(h, text.data(), n + 1);
    if (got <= 0) return;
    auto font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    if (!IsWindowEnabled(h)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextW(dc, text.c_str(), got, &rc, textFormat(style));
    if (oldFont) SelectObject(dc, oldFont);
}

// An SS_BITMAP or SS_ICON static made with a resource name as its text loads that picture
// from the module that made it.
void loadNamedImage(HWND h, const CREATESTRUCTW* cs) {
    LONG type = cs->style & SS_TYPEMASK;
    if ((type != SS_BITMAP && type != SS_ICON) || !cs->lpszName || !cs->lpszName[0]) return;
    if (type == SS_BITMAP) {
        HBITMAP bmp = LoadBitmapW(cs->hInstance, cs->lpszName);
        if (bmp) setImage(h, bmp, IMAGE_BITMAP, true);
    } else {
        HICON icon = LoadIconW(cs->hInstance, cs->lpszName); // shared: never destroyed
        if (icon) setImage(h, icon, IMAGE_ICON, false);
    }
}

LRESULT CALLBACK staticProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: {
        LONG type = typeOf(h);
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_ICON &&
            type != SS_LEFTNOWORDWRAP && type != SS_BITMAP)
            CE_FIXME("msg", "static type %ld drawn as left-aligned text", static_cast<long>(type));
        loadNamedImage(h, reinterpret_cast<const CREATESTRUCTW*>(lParam));
        return 0;
    }
    case WM_NCDESTROY: releaseOwnedImage(h); return DefWindowProcW(h, msg, wParam, lParam);
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        if (dc) paint(h, dc);
        EndPaint(h, &ps);
        return 0;
    }
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_SETFONT:
        SetWindowLongW(h, kFontOffset,
                       static_cast<LONG>(HandleToULong(reinterpret_cast<HFONT>(wParam))));
        if (LOWORD(lParam)) InvalidateRect(h, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(
            ULongToHandle(static_cast<ULONG>(GetWindowLongW(h, kFontOffset))));
    case WM_SETTEXT: {
        LONG type = typeOf(h);
        if (type == SS_ICON || type == SS_BITMAP) return TRUE; // the text names a picture
        LRESULT r = DefWindowProcW(h, msg, wParam, lParam);
        InvalidateRect(h, nullptr, TRUE);
        return r;
    }
    case WM_ENABLE:
        InvalidateRect(h, nullptr, TRUE);
        if (styleOf(h) & SS_NOTIFY) notify(h, wParam ? STN_ENABLE : STN_DISABLE);
        return 0;
    case WM_LBUTTONDOWN:
        if (styleOf(h) & SS_NOTIFY) notify(h, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (styleOf(h) & SS_NOTIFY) notify(h, STN_DBLCLK);
        return 0;
    case STM_SETIMAGE:
        if (wParam != IMAGE_BITMAP && wParam != IMAGE_ICON) return 0;
        return reinterpret_cast<LRESULT>(
            setImage(h, reinterpret_cast<HANDLE>(lParam), static_cast<LONG>(wParam), false));
    case STM_GETIMAGE:
        return imageKind(h) == static_cast<LONG>(wParam) ? reinterpret_cast<LRESULT>(imageOf(h))
                                                         : 0;
    case STM_SETICON:
        return reinterpret_cast<LRESULT>(
            setImage(h, reinterpret_cast<HANDLE>(wParam), IMAGE_ICON, false));
    case STM_GETICON: return imageKind(h) == IMAGE_ICON ? reinterpret_cast<LRESULT>(imageOf(h)) : 0;
    default: return DefWindowProcW(h, msg, wParam, lParam);
    }
}

void registerStaticClass() {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = staticProc;
    wc.cbWndExtra = kExtraBytes;
    wc.hInstance = ce::user::systemClassInstance();
    wc.lpszClassName = u"STATIC";
    RegisterClassW(&wc);
}

const ce::user::SystemClassRegistration staticRegistration(registerStaticClass);

} // namespace
