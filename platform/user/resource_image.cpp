// resource_image.cpp: bitmaps and icons from the modules' resource tables and the system's
// own icons: LoadBitmapW, LoadIconW and LoadImageW.
//
// An icon resource may hold several sizes. LoadImageW picks the one of exactly the size
// asked, else the smallest larger one, else the largest, and scales it to the size asked.
// Windows CE documents fuLoad as zero and behaves as if LR_DEFAULTSIZE were set, so a size of
// 0 always means the system's icon (or cursor) size; LR_LOADFROMFILE is not carried (CE loads
// picture files with SHLoadDIBitmap) and fails with ERROR_NOT_SUPPORTED.
//
// LoadIconW and LoadImageW with LR_SHARED hand out one icon per module, name and size for the
// life of the process; DestroyIcon leaves such an icon alone. The system's icons (hInstance
// NULL, IDI_*) are drawn here in a plain style at the size asked.
#include "user/resource.h"

#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

#include "wingdi.h"
#include "winuser.h"

#include "gdi/surface.h"
#include "kernel/trace.h"

namespace ce::user {

namespace {

// A table image as an icon picture: premultiplied with a mask where alpha is 0, or opaque.
IconPicture pictureOf(const CeImage& image) {
    IconPicture p;
    p.width = image.width;
    p.height = image.height;
    p.hasAlpha = image.hasAlpha != FALSE;
    const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    p.pixels.assign(image.pixels, image.pixels + count);
    p.mask.assign(count, false);
    for (size_t i = 0; i < count; ++i) {
        if (p.hasAlpha)
            p.mask[i] = (p.pixels[i] >> 24) == 0;
        else
            p.pixels[i] |= 0xFF000000u;
    }
    p.hotspot = {p.width / 2, p.height / 2};
    return p;
}

// The image of an icon resource that fits cx x cy best (see the top of the file); null when
// none of its images is usable.
const CeImage* bestImage(const CeImageEntry& entry, int cx, int cy) {
    const CeImage* exact = nullptr;
    const CeImage* larger = nullptr;
    const CeImage* largest = nullptr;
    for (UINT i = 0; i < entry.imageCount; ++i) {
        const CeImage& image = entry.images[i];
        if (!validImage(image)) continue;
        const int64_t area = int64_t{image.width} * image.height;
        if (image.width == cx && image.height == cy && !exact) exact = &image;
        if (image.width >= cx && image.height >= cy &&
            (!larger || area < int64_t{larger->width} * larger->height))
            larger = &image;
        if (!largest || area > int64_t{largest->width} * largest->height) largest = &image;
    }
    return exact ? exact : larger ? larger : largest;
}

// ---- Shared icons ----------------------------------------------------------------------------

using SharedKey = std::tuple<uint32_t, WORD, std::u16string, int, int, bool>;

struct SharedIcons {
    std::mutex lock;
    std::map<SharedKey, HICON> icons;
};

SharedIcons& sharedIcons() {
    static SharedIcons s;
    return s;
}

// The shared icon of a key, made with make() the first time.
template <class Make>
HICON sharedIcon(const SharedKey& key, Make make) {
    SharedIcons& s = sharedIcons();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.icons.find(key);
    if (it != s.icons.end()) return it->second;
    HICON icon = make();
    if (icon) s.icons[key] = icon;
    return icon;
}

// An icon of a module's table, cx x cy, shared or not.
HICON loadModuleIcon(HMODULE module, const ResourceName& name, int cx, int cy, bool shared) {
    const CeImageEntry* entry = findImageResource(module, ImageKind::Icon, name);
    if (!entry) return nullptr;
    const CeImage* image = bestImage(*entry, cx, cy);
    if (!image) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    auto make = [&] { return createIcon(scalePicture(pictureOf(*image), cx, cy), shared); };
    if (!shared) return make();
    return sharedIcon({HandleToULong(module), name.id, name.name, cx, cy, true}, make);
}

// A system icon or cursor (hInstance NULL) of the given size.
HICON loadSystemImage(const ResourceName& name, bool cursor, int size, bool shared) {
    IconPicture p;
    const bool known =
        name.valid && name.name.empty() &&
        (cursor ? systemCursorPicture(name.id, size, &p) : systemIconPicture(name.id, size, &p));
    if (!known) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (!shared) return createIcon(std::move(p), false);
    return sharedIcon({0, name.id, u"", size, size, cursor},
                      [&] { return createIcon(std::move(p), true); });
}

HBITMAP loadModuleBitmap(HMODULE module, const ResourceName& name, int cx, int cy) {
    const CeImageEntry* entry = findImageResource(module, ImageKind::Bitmap, name);
    if (!entry) return nullptr;
    const CeImage& image = entry->images[0];
    if (!validImage(image)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    IconPicture p = pictureOf(image);
    if ((cx > 0 && cx != p.width) || (cy > 0 && cy != p.height)) {
        if (cx > kMaxImageSide || cy > kMaxImageSide) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        p.pixels =
            scalePixels(p.pixels, p.width, p.height, cx > 0 ? cx : p.width, cy > 0 ? cy : p.height);
        p.width = cx > 0 ? cx : p.width;
        p.height = cy > 0 ? cy : p.height;
    }
    HBITMAP bitmap = ce::createBitmapFromPixels(p.width, p.height, p.pixels.data(), p.hasAlpha);
    if (!bitmap) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return bitmap;
}

// ---- The system's icons ------------------------------------------------------------------------

// A square picture drawn by a function of the pixel's centre in unit coordinates (0..1),
// returning a colour 0xAARRGGBB (premultiplied: only 0 or 0xFF alpha are drawn).
template <class Shade>
IconPicture drawPicture(int size, Shade shade) {
    IconPicture p;
    p.width = p.height = size;
    const size_t count = static_cast<size_t>(size) * static_cast<size_t>(size);
    p.pixels.resize(count);
    p.mask.resize(count);
    p.hasAlpha = true;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double u = (x + 0.5) / size, v = (y + 0.5) / size;
            const uint32_t c = shade(u, v);
            p.pixels[static_cast<size_t>(y) * size + x] = c;
            p.mask[static_cast<size_t>(y) * size + x] = (c >> 24) == 0;
        }
    p.hotspot = {size / 2, size / 2};
    return p;
}

constexpr uint32_t kClear = 0x00000000;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kRed = 0xFFD42020;
constexpr uint32_t kBlue = 0xFF1E5AC8;
constexpr uint32_t kYellow = 0xFFF8D030;

bool inDisc(double u, double v, double r) {
    return (u - 0.5) * (u - 0.5) + (v - 0.5) * (v - 0.5) < r * r;
}

bool inBox(double u, double v, double left, double top, double right, double bottom) {
    return u >= left && u < right && v >= top && v < bottom;
}

} // namespace

bool systemIconPicture(WORD id, int size, IconPicture* out) {
    if (size <= 0 || size > kMaxImageSide) return false;
    switch (id) {
    case 32512: // IDI_APPLICATION: a window with a blue title strip
        *out = drawPicture(size, [](double u, double v) {
            if (!inBox(u, v, 0.1, 0.15, 0.9, 0.85)) return kClear;
            if (!inBox(u, v, 0.14, 0.19, 0.86, 0.81)) return kBlack;
            return v < 0.32 ? kBlue : kWhite;
        });
        return true;
    case 32513: // IDI_HAND: a red disc with a white cross
        *out = drawPicture(size, [](double u, double v) {
            if (!inDisc(u, v, 0.45)) return kClear;
            const bool cross = std::abs(u - v) < 0.09 || std::abs(u + v - 1) < 0.09;
            return cross && inDisc(u, v, 0.28) ? kWhite : kRed;
        });
        return true;
    case 32514: // IDI_QUESTION: a blue disc with a white ring and dot
        *out = drawPicture(size, [](double u, double v) {
            if (!inDisc(u, v, 0.45)) return kClear;
            const double d = std::hypot(u - 0.5, v - 0.4);
            if (d > 0.1 && d < 0.18 && v < 0.48) return kWhite;
            return inBox(u, v, 0.45, 0.66, 0.55, 0.76) ? kWhite : kBlue;
        });
        return true;
    case 32515: // IDI_EXCLAMATION: a yellow triangle with a black bar and dot
        *out = drawPicture(size, [](double u, double v) {
            const double half = (v - 0.08) * 0.5;
            if (v < 0.08 || v > 0.92 || std::abs(u - 0.5) > half) return kClear;
            if (inBox(u, v, 0.45, 0.3, 0.55, 0.65) || inBox(u, v, 0.45, 0.72, 0.55, 0.82))
                return kBlack;
            return kYellow;
        });
        return true;
    case 32516: // IDI_ASTERISK: a blue disc with a white "i"
        *out = drawPicture(size, [](double u, double v) {
            if (!inDisc(u, v, 0.45)) return kClear;
            if (inBox(u, v, 0.44, 0.22, 0.56, 0.32) || inBox(u, v, 0.44, 0.4, 0.56, 0.78))
                return kWhite;
            return kBlue;
        });
        return true;
    default: return false;
    }
}

} // namespace ce::user

using namespace ce::user;

// Loads a bitmap of the module's table as a 32-bit bitmap (with alpha when the picture has
// it); the caller deletes it with DeleteObject. The system's own bitmaps (hInstance NULL) are
// not provided.
WINUSERAPI HBITMAP LoadBitmapW(HINSTANCE hInstance, LPCWSTR lpBitmapName) {
    const ResourceName name = lpBitmapName ? parseResourceName(lpBitmapName) : ResourceName{};
    if (!name.valid) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (!hInstance) {
        CE_FIXME("resource", "the system's bitmaps (OBM_*) are not provided");
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return loadModuleBitmap(hInstance, name, 0, 0);
}

// Loads an icon of the module's table at the system icon size (SM_CXICON), or one of the
// system's icons (hInstance NULL, IDI_*). The icon is shared: loading it again gives the same
// handle, and it need not be destroyed.
WINUSERAPI HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
    const ResourceName name = lpIconName ? parseResourceName(lpIconName) : ResourceName{};
    if (!name.valid) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    if (!hInstance) return loadSystemImage(name, false, cx, true);
    return loadModuleIcon(hInstance, name, cx, cy, true);
}

// Loads a bitmap, icon or cursor (see the top of the file for sizes and flags). A bitmap is
// scaled when cx or cy is given. Icons are new handles for DestroyIcon unless LR_SHARED.
WINUSERAPI HANDLE LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy,
                             UINT fuLoad) {
    if (fuLoad & LR_LOADFROMFILE) {
        CE_FIXME("resource", "LR_LOADFROMFILE is not supported on the device");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (fuLoad & LR_MONOCHROME) CE_FIXME("resource", "LR_MONOCHROME is ignored");
    if (cx < 0 || cy < 0 || cx > kMaxImageSide || cy > kMaxImageSide ||
        (type != IMAGE_BITMAP && type != IMAGE_ICON && type != IMAGE_CURSOR)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const ResourceName resName = name ? parseResourceName(name) : ResourceName{};
    if (!resName.valid) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const bool shared = fuLoad & LR_SHARED;
    if (type == IMAGE_BITMAP) {
        if (!hInst) {
            CE_FIXME("resource", "the system's bitmaps (OBM_*) are not provided");
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
        return loadModuleBitmap(hInst, resName, cx, cy);
    }
    const bool cursor = type == IMAGE_CURSOR;
    if (cx == 0) cx = GetSystemMetrics(cursor ? SM_CXCURSOR : SM_CXICON);
    if (cy == 0) cy = GetSystemMetrics(cursor ? SM_CYCURSOR : SM_CYICON);
    if (!hInst) {
        if (cx != cy) {
            // The system draws its pictures square; a non-square request scales one.
            HICON square = loadSystemImage(resName, cursor, std::max(cx, cy), false);
            if (!square) return nullptr;
            auto p = iconPicture(square);
            HICON icon = createIcon(scalePicture(*p, cx, cy), false);
            destroyIconHandle(square, ERROR_INVALID_ICON_HANDLE);
            return icon;
        }
        return loadSystemImage(resName, cursor, cx, shared);
    }
    if (cursor) {
        // Module tables hold no cursors; the device's programs use the system's.
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    return loadModuleIcon(hInst, resName, cx, cy, shared);
}
