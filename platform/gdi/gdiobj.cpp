// gdiobj.cpp: the GDI object table, stock objects, pens and brushes, and the calls common to
// every object (SelectObject, DeleteObject, GetObjectW, GetObjectType, GetCurrentObject).
//
// GDI handles are 32-bit values of a table of this process, apart from the kernel's handle
// table: CloseHandle never meets a brush. Stock objects sit at fixed values and live for the
// whole process. A DC holds shared pointers to what is selected into it, so deleting a
// selected pen, brush or font takes its handle away without pulling memory from under the DC.
#include <cstring>
#include <unordered_map>

#include "gdi/gdi.h"
#include "kernel/trace.h"

namespace ce::gdi {
namespace {

constexpr uint32_t kStockBase = 0x00F00000;
constexpr uint32_t kFirstHandle = 0x01000000;
constexpr uint32_t kLastHandle = 0x7FFFFFF0;

struct Table {
    std::unordered_map<uint32_t, std::shared_ptr<Object>> objects;
    uint32_t next = kFirstHandle;
};

Table& table() {
    static Table t;
    return t;
}

std::shared_ptr<Object> makeStock(int index) {
    auto brush = [](UINT style, COLORREF c) {
        auto b = std::make_shared<Brush>();
        b->log = LOGBRUSH{style, c, 0};
        return b;
    };
    auto pen = [](UINT style, COLORREF c) {
        auto p = std::make_shared<Pen>();
        p->log = LOGPEN{style, POINT{style == PS_NULL ? 0 : 1, 0}, c};
        return p;
    };
    auto font = [](const char16_t* face, BYTE pitch) {
        auto f = std::make_shared<Font>();
        // The device's system font: 9 points of Tahoma at the screen's dpi, as a Windows
        // Mobile handheld describes it.
        f->log.lfHeight = -(9 * screenDpi() / 72);
        f->log.lfWeight = FW_NORMAL;
        f->log.lfCharSet = DEFAULT_CHARSET;
        f->log.lfQuality = DEFAULT_QUALITY;
        f->log.lfPitchAndFamily = pitch;
        for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i)
            f->log.lfFaceName[i] = face[i];
        return f;
    };
    switch (index) {
    case WHITE_BRUSH: return brush(BS_SOLID, RGB(255, 255, 255));
    case LTGRAY_BRUSH: return brush(BS_SOLID, RGB(192, 192, 192));
    case GRAY_BRUSH: return brush(BS_SOLID, RGB(128, 128, 128));
    case DKGRAY_BRUSH: return brush(BS_SOLID, RGB(64, 64, 64));
    case BLACK_BRUSH: return brush(BS_SOLID, RGB(0, 0, 0));
    case NULL_BRUSH: return brush(BS_NULL, 0);
    case WHITE_PEN: return pen(PS_SOLID, RGB(255, 255, 255));
    case BLACK_PEN: return pen(PS_SOLID, RGB(0, 0, 0));
    case NULL_PEN: return pen(PS_NULL, 0);
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
    case ANSI_VAR_FONT:
    case DEFAULT_GUI_FONT: return font(u"Tahoma", VARIABLE_PITCH | FF_SWISS);
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT: return font(u"Courier New", FIXED_PITCH | FF_MODERN);
    default: return nullptr;
    }
}

} // namespace

std::recursive_mutex& gdiLock() {
    static std::recursive_mutex m;
    return m;
}

uint32_t insertObject(const std::shared_ptr<Object>& object) {
    Table& t = table();
    // Values are never 0 and are reused only after the counter wrapped, skipping live ones.
    for (;;) {
        uint32_t h = t.next;
        t.next = t.next >= kLastHandle ? kFirstHandle : t.next + 4;
        if (!t.objects.count(h)) {
            object->handle = h;
            t.objects.emplace(h, object);
            return h;
        }
    }
}

std::shared_ptr<Object> lookupObject(const void* handle) {
    uint32_t h = HandleToULong(handle);
    if (h >= kStockBase && h < kStockBase + 4 * 32 && (h - kStockBase) % 4 == 0)
        return stockObject(static_cast<int>((h - kStockBase) / 4));
    Table& t = table();
    auto it = t.objects.find(h);
    return it == t.objects.end() ? nullptr : it->second;
}

bool removeObject(const void* handle) {
    Table& t = table();
    auto it = t.objects.find(HandleToULong(handle));
    if (it == t.objects.end()) return false;
    t.objects.erase(it);
    return true;
}

std::shared_ptr<Object> stockObject(int index) {
    static std::shared_ptr<Object> objects[32];
    if (index < 0 || index >= 32) return nullptr;
    Guard g(gdiLock());
    if (!objects[index]) {
        objects[index] = makeStock(index);
        if (objects[index]) {
            objects[index]->stock = true;
            objects[index]->handle = kStockBase + 4 * static_cast<uint32_t>(index);
        }
    }
    return objects[index];
}

void setDefaultState(DcState& st) {
    st = DcState{};
    st.pen = std::static_pointer_cast<Pen>(stockObject(BLACK_PEN));
    st.brush = std::static_pointer_cast<Brush>(stockObject(WHITE_BRUSH));
    st.font = std::static_pointer_cast<Font>(stockObject(SYSTEM_FONT));
}

void releaseBitmapOf(Dc& dc, const std::shared_ptr<Bitmap>& bitmap) {
    if (!bitmap) return;
    if (dc.st.bitmap == bitmap) return;
    for (const DcState& s : dc.saved)
        if (s.bitmap == bitmap) return;
    if (bitmap->selectedInto == dc.handle) bitmap->selectedInto = 0;
}

} // namespace ce::gdi

using namespace ce::gdi;

// Stock objects: the CE set plus the fonts a desktop program may ask for (all the system
// font's description); DEFAULT_PALETTE is not kept (the device has no palettes).
WINGDIAPI HGDIOBJ GetStockObject(int fnObject) {
    return handleOf(stockObject(fnObject));
}

WINGDIAPI HPEN CreatePen(int fnPenStyle, int nWidth, COLORREF crColor) {
    LOGPEN log{static_cast<UINT>(fnPenStyle), POINT{nWidth, 0}, crColor};
    return CreatePenIndirect(&log);
}

// PS_SOLID, PS_DASH (drawn as PS_SOLID), PS_DOT (likewise) and PS_NULL.
WINGDIAPI HPEN CreatePenIndirect(const LOGPEN* lplgpn) {
    if (!lplgpn) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    UINT style = lplgpn->lopnStyle;
    if (style != PS_SOLID && style != PS_DASH && style != PS_DOT && style != PS_NULL &&
        style != PS_INSIDEFRAME) {
        CE_FIXME("gdi", "pen style %u", style);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (style == PS_DASH || style == PS_DOT) CE_FIXME("gdi", "dashed pens draw solid");
    Guard g(gdiLock());
    auto pen = std::make_shared<Pen>();
    pen->log = *lplgpn;
    if (pen->log.lopnWidth.x < 0) pen->log.lopnWidth.x = 0;
    pen->log.lopnWidth.y = 0;
    return static_cast<HPEN>(ULongToHandle(insertObject(pen)));
}

WINGDIAPI HBRUSH CreateSolidBrush(COLORREF crColor) {
    Guard g(gdiLock());
    auto brush = std::make_shared<Brush>();
    brush->log = LOGBRUSH{BS_SOLID, crColor & 0x00FFFFFF, 0};
    return static_cast<HBRUSH>(ULongToHandle(insertObject(brush)));
}

WINGDIAPI HBRUSH CreatePatternBrush(HBITMAP hbmp) {
    Guard g(gdiLock());
    auto bitmap = lookupAs<Bitmap>(hbmp, Kind::Bitmap);
    if (!bitmap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto copy = std::make_shared<Bitmap>(*bitmap);
    copy->handle = 0;
    copy->selectedInto = 0;
    auto brush = std::make_shared<Brush>();
    brush->log = LOGBRUSH{BS_PATTERN, 0, 0};
    brush->pattern = std::move(copy);
    return static_cast<HBRUSH>(ULongToHandle(insertObject(brush)));
}

WINGDIAPI HBRUSH CreateBrushIndirect(const LOGBRUSH* lplb) {
    if (!lplb) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    switch (lplb->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(lplb->lbColor);
    case BS_NULL: return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    case BS_PATTERN: return CreatePatternBrush(static_cast<HBITMAP>(ULongToHandle(lplb->lbHatch)));
    default:
        CE_FIXME("gdi", "brush style %u", lplb->lbStyle);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

WINGDIAPI BOOL SetBrushOrgEx(HDC hdc, int nXOrg, int nYOrg, LPPOINT lppt) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) return FALSE;
    if (lppt) *lppt = dc->st.brushOrg;
    dc->st.brushOrg = POINT{nXOrg, nYOrg};
    return TRUE;
}

WINGDIAPI BOOL GetBrushOrgEx(HDC hdc, LPPOINT lppt) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc || !lppt) return FALSE;
    *lppt = dc->st.brushOrg;
    return TRUE;
}

// Fails, as documented, for a bitmap that is selected into a DC and for a DC (DeleteDC).
WINGDIAPI BOOL DeleteObject(HGDIOBJ hObject) {
    Guard g(gdiLock());
    auto object = lookupObject(hObject);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (object->stock) return TRUE;
    if (object->kind() == Kind::Dc) return FALSE;
    if (object->kind() == Kind::Bitmap &&
        std::static_pointer_cast<Bitmap>(object)->selectedInto != 0)
        return FALSE;
    return removeObject(hObject) ? TRUE : FALSE;
}

namespace {

int copyOut(LPVOID out, int cb, const void* what, int size) {
    if (!out) return size;
    if (cb < size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, what, static_cast<size_t>(size));
    return size;
}

BITMAP bitmapRecord(const Bitmap& b) {
    BITMAP bm{};
    bm.bmType = 0;
    bm.bmWidth = b.width;
    bm.bmHeight = b.height;
    bm.bmWidthBytes = b.dib ? b.stride : ((b.width * b.bpp + 15) / 16) * 2;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = static_cast<WORD>(b.bpp);
    bm.bmBits = b.dib ? const_cast<uint8_t*>(b.data.data()) : nullptr;
    return bm;
}

} // namespace

// BITMAP for every bitmap, and DIBSECTION for a DIB section when the buffer is large
// enough; LOGPEN, LOGBRUSH, LOGFONTW for the others. lpvObject NULL asks for the size.
WINGDIAPI int GetObjectW(HGDIOBJ hgdiobj, int cbBuffer, LPVOID lpvObject) {
    Guard g(gdiLock());
    auto object = lookupObject(hgdiobj);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (cbBuffer < 0) return 0;
    switch (object->kind()) {
    case Kind::Pen: {
        const LOGPEN& lp = static_cast<Pen&>(*object).log;
        return copyOut(lpvObject, cbBuffer, &lp, sizeof lp);
    }
    case Kind::Brush: {
        const LOGBRUSH& lb = static_cast<Brush&>(*object).log;
        return copyOut(lpvObject, cbBuffer, &lb, sizeof lb);
    }
    case Kind::Font: {
        const LOGFONTW& lf = static_cast<Font&>(*object).log;
        return copyOut(lpvObject, cbBuffer, &lf, sizeof lf);
    }
    case Kind::Bitmap: {
        const Bitmap& b = static_cast<Bitmap&>(*object);
        if (b.dib && (!lpvObject || cbBuffer >= static_cast<int>(sizeof(DIBSECTION)))) {
            DIBSECTION ds{};
            ds.dsBm = bitmapRecord(b);
            ds.dsBmih = b.info;
            std::memcpy(ds.dsBitfields, b.masks, sizeof ds.dsBitfields);
            if (!lpvObject) return sizeof(BITMAP);
            return copyOut(lpvObject, cbBuffer, &ds, sizeof ds);
        }
        BITMAP bm = bitmapRecord(b);
        return copyOut(lpvObject, cbBuffer, &bm, sizeof bm);
    }
    default: SetLastError(ERROR_INVALID_HANDLE); return 0;
    }
}

WINGDIAPI DWORD GetObjectType(HGDIOBJ h) {
    Guard g(gdiLock());
    auto object = lookupObject(h);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    switch (object->kind()) {
    case Kind::Pen: return OBJ_PEN;
    case Kind::Brush: return OBJ_BRUSH;
    case Kind::Font: return OBJ_FONT;
    case Kind::Bitmap: return OBJ_BITMAP;
    case Kind::Region: return OBJ_REGION;
    case Kind::Dc: return static_cast<Dc&>(*object).memory ? OBJ_MEMDC : OBJ_DC;
    }
    return 0;
}

WINGDIAPI HGDIOBJ GetCurrentObject(HDC hdc, UINT uObjectType) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    if (!dc) return nullptr;
    switch (uObjectType) {
    case OBJ_PEN: return handleOf(dc->st.pen);
    case OBJ_BRUSH: return handleOf(dc->st.brush);
    case OBJ_FONT: return handleOf(dc->st.font);
    case OBJ_BITMAP: return handleOf(dc->st.bitmap);
    default: return nullptr;
    }
}

WINGDIAPI HGDIOBJ SelectObject(HDC hdc, HGDIOBJ hgdiobj) {
    Guard g(gdiLock());
    auto dc = lookupDc(hdc);
    auto object = lookupObject(hgdiobj);
    if (!dc || !object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    DcState& st = dc->st;
    switch (object->kind()) {
    case Kind::Pen: {
        HGDIOBJ old = handleOf(st.pen);
        st.pen = std::static_pointer_cast<Pen>(object);
        return old;
    }
    case Kind::Brush: {
        HGDIOBJ old = handleOf(st.brush);
        st.brush = std::static_pointer_cast<Brush>(object);
        return old;
    }
    case Kind::Font: {
        HGDIOBJ old = handleOf(st.font);
        st.font = std::static_pointer_cast<Font>(object);
        return old;
    }
    case Kind::Bitmap: {
        auto bitmap = std::static_pointer_cast<Bitmap>(object);
        if (!dc->memory) return nullptr;
        // A DC's default bitmap goes back into its own DC only.
        if (bitmap->stock && bitmap != dc->defaultBitmap) return nullptr;
        if (bitmap->selectedInto != 0 && bitmap->selectedInto != dc->handle) return nullptr;
        auto old = st.bitmap;
        HGDIOBJ oldHandle = handleOf(old);
        st.bitmap = bitmap;
        if (!bitmap->stock) bitmap->selectedInto = dc->handle;
        releaseBitmapOf(*dc, old);
        return oldHandle;
    }
    case Kind::Region: {
        int type = SelectClipRgn(hdc, static_cast<HRGN>(hgdiobj));
        return ULongToHandle(static_cast<ULONG>(type));
    }
    case Kind::Dc: break;
    }
    return nullptr;
}
