// dc.cpp: device contexts: memory DCs, the surface DCs the window system makes for windows
// and the screen, their state (colours, modes, origin, the state stack), GetDeviceCaps and
// the display's escapes.
//
// The device's display is 32 bits per pixel without alpha: GetDeviceCaps(BITSPIXEL) answers
// 32 for every DC, colours read back exactly (magenta stays magenta), and a bitmap made
// compatible with a window keeps no alpha channel. Handhelds of the time were 16-bit, but an
// exact round trip of colours keeps colour keys and pixel tests simple and fixed.
#include <cstring>
#include <fstream>

#include "gdi/gdi.h"
#include "kernel/device.h"
#include "kernel/journal.h"
#include "kernel/trace.h"

namespace ce::gdi {

int screenDpi() {
    int dpi = deviceConf()->profile.dpi;
    return dpi > 0 ? dpi : 96;
}

} // namespace ce::gdi

using namespace ce::gdi;

namespace ce {

HDC createSurfaceDC(std::shared_ptr<Surface> surface, POINT origin, const RectList& clip,
                    HWND window) {
    if (!surface) return nullptr;
    Guard g(gdiLock());
    auto dc = std::make_shared<Dc>();
    dc->memory = false;
    setDefaultState(dc->st);
    dc->surface = std::move(surface);
    dc->origin = origin;
    dc->visible = clip;
    dc->window = window;
    return static_cast<HDC>(ULongToHandle(insertObject(dc)));
}

bool resetSurfaceDC(HDC hdc, POINT origin, const RectList& clip) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc || dc->memory) return false;
    // A DC handed out again by GetDC starts from the defaults, as a fresh one would.
    setDefaultState(dc->st);
    dc->saved.clear();
    dc->origin = origin;
    dc->visible = clip;
    return true;
}

bool deleteSurfaceDC(HDC hdc) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc || dc->memory) return false;
    return removeObject(hdc);
}

HWND surfaceDCWindow(HDC hdc) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    return dc && !dc->memory ? dc->window : nullptr;
}

} // namespace ce

WINGDIAPI HDC CreateCompatibleDC(HDC hdc) {
    Guard g(gdiLock());
    if (hdc && !lookupDc(hdc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto dc = std::make_shared<Dc>();
    dc->memory = true;
    setDefaultState(dc->st);
    HDC h = static_cast<HDC>(ULongToHandle(insertObject(dc)));
    dc->defaultBitmap = newDefaultBitmap();
    dc->st.bitmap = dc->defaultBitmap;
    return h;
}

// Memory DCs only; window DCs go back with ReleaseDC. The selected bitmap is free again.
WINGDIAPI BOOL DeleteDC(HDC hdc) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!dc->memory) {
        // A surface DC belongs to the window system (ReleaseDC / EndPaint).
        return FALSE;
    }
    auto free = [&](const std::shared_ptr<Bitmap>& b) {
        if (b && b->selectedInto == dc->handle) b->selectedInto = 0;
    };
    free(dc->st.bitmap);
    for (const DcState& s : dc->saved)
        free(s.bitmap);
    if (dc->defaultBitmap) removeObject(ULongToHandle(dc->defaultBitmap->handle));
    return removeObject(hdc) ? TRUE : FALSE;
}

WINGDIAPI int SaveDC(HDC hdc) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) return 0;
    dc->saved.push_back(dc->st);
    return static_cast<int>(dc->saved.size());
}

WINGDIAPI BOOL RestoreDC(HDC hdc, int nSavedDC) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) return FALSE;
    int depth = static_cast<int>(dc->saved.size());
    int target = nSavedDC < 0 ? depth + nSavedDC + 1 : nSavedDC;
    if (nSavedDC == 0 || target < 1 || target > depth) return FALSE;
    auto oldBitmap = dc->st.bitmap;
    dc->st = dc->saved[static_cast<size_t>(target - 1)];
    dc->saved.resize(static_cast<size_t>(target - 1));
    if (dc->st.bitmap && !dc->st.bitmap->stock) dc->st.bitmap->selectedInto = dc->handle;
    releaseBitmapOf(*dc, oldBitmap);
    return TRUE;
}

namespace {

template <class T, class F>
T withDc(HDC hdc, T failure, F fn) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return failure;
    }
    return fn(dc->st);
}

} // namespace

WINGDIAPI COLORREF SetTextColor(HDC hdc, COLORREF crColor) {
    return withDc(hdc, static_cast<COLORREF>(CLR_INVALID), [&](DcState& st) {
        COLORREF old = st.textColor;
        st.textColor = crColor;
        return old;
    });
}

WINGDIAPI COLORREF GetTextColor(HDC hdc) {
    return withDc(hdc, static_cast<COLORREF>(CLR_INVALID),
                  [](DcState& st) { return st.textColor; });
}

WINGDIAPI COLORREF SetBkColor(HDC hdc, COLORREF crColor) {
    return withDc(hdc, static_cast<COLORREF>(CLR_INVALID), [&](DcState& st) {
        COLORREF old = st.bkColor;
        st.bkColor = crColor;
        return old;
    });
}

WINGDIAPI COLORREF GetBkColor(HDC hdc) {
    return withDc(hdc, static_cast<COLORREF>(CLR_INVALID), [](DcState& st) { return st.bkColor; });
}

WINGDIAPI int SetBkMode(HDC hdc, int iBkMode) {
    if (iBkMode != TRANSPARENT && iBkMode != OPAQUE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return withDc(hdc, 0, [&](DcState& st) {
        int old = st.bkMode;
        st.bkMode = iBkMode;
        return old;
    });
}

WINGDIAPI int GetBkMode(HDC hdc) {
    return withDc(hdc, 0, [](DcState& st) { return st.bkMode; });
}

WINGDIAPI UINT SetTextAlign(HDC hdc, UINT fMode) {
    return withDc(hdc, static_cast<UINT>(GDI_ERROR), [&](DcState& st) {
        UINT old = st.textAlign;
        if (fMode & TA_UPDATECP) CE_FIXME("gdi", "TA_UPDATECP");
        st.textAlign = fMode & ~static_cast<UINT>(TA_UPDATECP);
        return old;
    });
}

WINGDIAPI UINT GetTextAlign(HDC hdc) {
    return withDc(hdc, static_cast<UINT>(GDI_ERROR), [](DcState& st) { return st.textAlign; });
}

WINGDIAPI int SetROP2(HDC hdc, int fnDrawMode) {
    if (fnDrawMode < R2_BLACK || fnDrawMode > R2_WHITE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return withDc(hdc, 0, [&](DcState& st) {
        int old = st.rop2;
        st.rop2 = fnDrawMode;
        return old;
    });
}

WINGDIAPI int GetROP2(HDC hdc) {
    return withDc(hdc, 0, [](DcState& st) { return st.rop2; });
}

WINGDIAPI int SetStretchBltMode(HDC hdc, int iStretchMode) {
    if (iStretchMode < BLACKONWHITE || iStretchMode > HALFTONE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return withDc(hdc, 0, [&](DcState& st) {
        int old = st.stretchMode;
        st.stretchMode = iStretchMode;
        return old;
    });
}

WINGDIAPI int GetStretchBltMode(HDC hdc) {
    return withDc(hdc, 0, [](DcState& st) { return st.stretchMode; });
}

WINGDIAPI BOOL SetViewportOrgEx(HDC hdc, int X, int Y, LPPOINT lpPoint) {
    return withDc(hdc, FALSE, [&](DcState& st) {
        if (lpPoint) *lpPoint = st.viewportOrg;
        st.viewportOrg = POINT{X, Y};
        return TRUE;
    });
}

WINGDIAPI BOOL GetViewportOrgEx(HDC hdc, LPPOINT lpPoint) {
    if (!lpPoint) return FALSE;
    return withDc(hdc, FALSE, [&](DcState& st) {
        *lpPoint = st.viewportOrg;
        return TRUE;
    });
}

WINGDIAPI BOOL OffsetViewportOrgEx(HDC hdc, int nXOffset, int nYOffset, LPPOINT lpPoint) {
    return withDc(hdc, FALSE, [&](DcState& st) {
        if (lpPoint) *lpPoint = st.viewportOrg;
        st.viewportOrg.x += nXOffset;
        st.viewportOrg.y += nYOffset;
        return TRUE;
    });
}

// The device's screen: size and dpi from the device profile, 32 bits per pixel for every DC
// (a memory DC answers for the display it is compatible with, as on Windows).
WINGDIAPI int GetDeviceCaps(HDC hdc, int nIndex) {
    Guard g(gdiLock());
    if (!lookupDc(hdc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const auto conf = ce::deviceConf();
    const int dpi = screenDpi();
    const int w = conf->profile.width, h = conf->profile.height;
    switch (nIndex) {
    case DRIVERVERSION: return 0x0500;
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZSIZE: return w * 254 / (dpi * 10);
    case VERTSIZE: return h * 254 / (dpi * 10);
    case HORZRES: return w;
    case VERTRES: return h;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMBRUSHES: return -1;
    case NUMPENS: return -1;
    case NUMFONTS: return 0;
    case NUMCOLORS: return -1;
    case CURVECAPS: return 0;
    case LINECAPS: return 0;
    case POLYGONALCAPS: return 0;
    case TEXTCAPS: return 0;
    case CLIPCAPS: return CP_RECTANGLE;
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    case ASPECTX:
    case ASPECTY: return 36;
    case ASPECTXY: return 51;
    case LOGPIXELSX:
    case LOGPIXELSY: return dpi;
    case SIZEPALETTE:
    case NUMRESERVED: return 0;
    case COLORRES: return 24;
    case SHADEBLENDCAPS: return SB_CONST_ALPHA | SB_PIXEL_ALPHA;
    default: CE_FIXME("gdi", "GetDeviceCaps index %d", nIndex); return 0;
    }
}

namespace {

// The display's power state lives in the running device (run/display.power), so every
// program sees what another one set; without a device it is this process's own.
ULONG g_localPower = VideoPowerOn;

ULONG readDisplayPower() {
    if (!ce::haveDevice()) return g_localPower;
    std::ifstream in(ce::deviceRunDir() / "display.power");
    ULONG state = 0;
    if (in >> state && state >= VideoPowerOn && state <= VideoPowerOff) return state;
    return VideoPowerOn;
}

bool writeDisplayPower(ULONG state) {
    if (!ce::haveDevice()) {
        g_localPower = state;
        return true;
    }
    auto file = ce::deviceRunDir() / "display.power";
    auto temp = file;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        if (!(out << state << "\n")) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, file, ec);
    if (ec) return false;
    ce::JournalLine("display.power").num("state", state).write();
    return true;
}

} // namespace

WINGDIAPI int ExtEscape(HDC hdc, int nEscape, int cbInput, LPCSTR lpszInData, int cbOutput,
                        LPSTR lpszOutData) {
    {
        Guard g(gdiLock());
        if (!lookupDc(hdc)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return -1;
        }
    }
    switch (nEscape) {
    case QUERYESCSUPPORT: {
        if (!lpszInData || cbInput < static_cast<int>(sizeof(DWORD))) return -1;
        DWORD which;
        std::memcpy(&which, lpszInData, sizeof which);
        return which == QUERYESCSUPPORT || which == GETPOWERMANAGEMENT ||
                       which == SETPOWERMANAGEMENT
                   ? 1
                   : 0;
    }
    case GETPOWERMANAGEMENT: {
        if (!lpszOutData || cbOutput < static_cast<int>(sizeof(VIDEO_POWER_MANAGEMENT))) return -1;
        VIDEO_POWER_MANAGEMENT vpm{sizeof(VIDEO_POWER_MANAGEMENT), 1, readDisplayPower()};
        std::memcpy(lpszOutData, &vpm, sizeof vpm);
        return 1;
    }
    case SETPOWERMANAGEMENT: {
        if (!lpszInData || cbInput < static_cast<int>(sizeof(VIDEO_POWER_MANAGEMENT))) return -1;
        VIDEO_POWER_MANAGEMENT vpm;
        std::memcpy(&vpm, lpszInData, sizeof vpm);
        if (vpm.Length < sizeof vpm || vpm.PowerState < VideoPowerOn ||
            vpm.PowerState > VideoPowerOff)
            return -1;
        return writeDisplayPower(vpm.PowerState) ? 1 : -1;
    }
    default: CE_FIXME("gdi", "escape %d", nEscape); return 0;
    }
}
