// resource.h: the window system's view of the modules' resource tables (ceresource.h): which
// tables belong to which module, and the lookups LoadStringW, LoadBitmapW, LoadIconW,
// LoadImageW and FindResourceW share.
//
// Inside the platform only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ceresource.h"
#include "windef.h"

namespace ce::user {

// A resource or type name as the API takes it: MAKEINTRESOURCE(n), "#n" (the same number),
// or a name (kept case-folded, since names compare without regard to case).
struct ResourceName {
    WORD id = 0;
    std::u16string name; // folded; empty when the name is a number
    bool valid = false;
};
ResourceName parseResourceName(LPCWSTR name);
bool sameResourceName(const ResourceName& a, WORD id, const WCHAR* name);

// The module a resource function means: NULL is the program itself.
HMODULE resourceModule(HINSTANCE instance);

enum class ImageKind { Bitmap, Icon };

// The lookups. Each returns null and sets the last error (1812, 1813 or 1814) when the module
// has no such resource. The entries stay valid while the module is loaded.
const CeStringEntry* findStringResource(HMODULE module, UINT id);
const CeImageEntry* findImageResource(HMODULE module, ImageKind kind, const ResourceName& name);
const CeDataEntry* findDataResource(HMODULE module, const ResourceName& type,
                                    const ResourceName& name);

// Whether an image of a table is usable: sizes within limits and pixels present.
bool validImage(const CeImage& image);
constexpr int kMaxImageSide = 4096;

// ---- Icons and cursors (resource_icon.cpp) ------------------------------------------------------

// The picture of an icon or cursor. Icons with an alpha channel hold premultiplied pixels
// and draw by blending. The others draw the classic way: the AND mask (true: the screen shows
// through) is applied first, then the colour pixels are XORed onto the screen.
struct IconPicture {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
    std::vector<uint32_t> pixels; // width * height, 0xAARRGGBB
    std::vector<bool> mask;       // width * height, true = transparent
    bool isIcon = true;           // false: a cursor
    POINT hotspot{};
};

// Makes a new icon (or cursor) handle. A shared one belongs to the system or to a module's
// loaded resources: DestroyIcon on it succeeds and leaves it alone. Null when the picture is
// malformed.
HICON createIcon(IconPicture picture, bool shared);
// The picture behind an icon handle; null when h is not one.
std::shared_ptr<const IconPicture> iconPicture(HICON h);
// DestroyIcon and DestroyCursor: error is what a value that is not an icon fails with.
BOOL destroyIconHandle(HICON h, DWORD error);

// A picture of width x height from pixels: each destination pixel is the average of the
// source pixels it covers (nearest pixel when enlarging). For icons of another size.
std::vector<uint32_t> scalePixels(const std::vector<uint32_t>& pixels, int width, int height,
                                  int newWidth, int newHeight);
IconPicture scalePicture(const IconPicture& picture, int width, int height);

// The pictures of the system's own icons (IDI_*) and cursors (IDC_*), drawn at the given
// size; false for a number the system does not have.
bool systemIconPicture(WORD id, int size, IconPicture* out);
bool systemCursorPicture(WORD id, int size, IconPicture* out);

} // namespace ce::user
