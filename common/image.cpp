// image.cpp: loading picture files and drawing them (see image.h): the order in which the
// device's decoders are asked, the transparent blit and the stretcher. The TGA reader is in
// tga.cpp, the PNG-with-alpha path in pngalpha.cpp.
//
// The decoding libraries are optional parts of a device: each is looked for by its file in
// \Windows, loaded on first need and kept, and every loader falls through to the next when its
// library is missing or refuses the file.
#include "image.h"

#include <aygshell.h>
#include <imgdecmp.h>

#define IMAGING_LIBRARY  TEXT("\\windows\\Imaging.dll")
#define IMGDECMP_FILE    TEXT("\\windows\\Imgdecmp.dll")
#define IMGDECMP_LIBRARY TEXT("Imgdecmp.dll")
#define AYGSHELL_LIBRARY TEXT("aygshell.dll")
#define CORE_LIBRARY     TEXT("coredll.dll")

// aygshell's image-file loader, exported by ordinal only.
#define SHELL_IMAGE_LOADER_ORDINAL 75

// The decompression library reads through a buffer of the caller's and scales a picture down
// to at most 640 x 640 pixels at 96 dots per inch.
#define DECOMPRESS_BUFFER_BYTES 8192
#define DECOMPRESS_MAX_LOGICAL  640
#define DECOMPRESS_SCALE_FULL   100

typedef HBITMAP (*ShellImageLoader)(LPCWSTR path);
typedef HRESULT (*DecompressImageIndirectFn)(DecompressImageInfo* info);
typedef BOOL (*AlphaBlendFn)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

static struct {
    ImageDrawOptions draw = {IMAGE_KEY_TOPLEFT, FALSE, FALSE};
    HMODULE imaging;  // \windows\Imaging.dll, once it was found
    HMODULE aygshell; // holds the shell's image loader while the imaging library is loaded
    ShellImageLoader shellLoader;
    HMODULE imgdecmp;
    DecompressImageIndirectFn decompress;
    BOOL decompressLookedUp; // the entry is looked up once, found or not
} images;

void setImageDrawOptions(const ImageDrawOptions& options) {
    images.draw = options;
}

ImageDrawOptions getImageDrawOptions(void) {
    return images.draw;
}

static BOOL fileExists(LPCWSTR path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// Loads the imaging library when it is there and not loaded yet; TRUE when it is loaded.
static BOOL loadImagingLibrary(void) {
    if (!images.imaging && fileExists(IMAGING_LIBRARY)) {
        images.imaging = LoadLibraryW(IMAGING_LIBRARY);
        if (images.imaging && !images.aygshell) {
            images.aygshell = LoadLibraryW(AYGSHELL_LIBRARY);
            if (images.aygshell)
                images.shellLoader = reinterpret_cast<ShellImageLoader>(
                    GetProcAddressW(images.aygshell, MAKEINTRESOURCEW(SHELL_IMAGE_LOADER_ORDINAL)));
        }
    }
    return images.imaging != NULL;
}

// The shell's loader, never for a path with "windows" in it: the system's own pictures there
// go to the other decoders (the shell's loader is the imaging library's front end, and the
// check keeps the order the system was built with).
static HBITMAP shellLoad(LPCWSTR path) {
    if (wcsstr(path, TEXT("windows")) || !images.shellLoader) return NULL;
    return images.shellLoader(path);
}

static DWORD CALLBACK readImageData(LPSTR buffer, DWORD max, LPARAM param) {
    HANDLE file = reinterpret_cast<HANDLE>(param);
    if (!buffer || file == INVALID_HANDLE_VALUE || file == NULL) return 0;
    DWORD got = 0;
    if (!ReadFile(file, buffer, max, &got, NULL)) return 0;
    return got;
}

static void CALLBACK imageProgress(IImageRender* render, BOOL complete, LPARAM param) {}

// What the decompression library made of a file.
enum DecompressResult { DECOMPRESS_MADE, DECOMPRESS_NONE, DECOMPRESS_NOFILE };

// Decodes the file with the image-decompression library for the window's screen:
// DECOMPRESS_NONE when the library is missing or makes no bitmap, DECOMPRESS_NOFILE when the
// file does not open (no other loader will do better).
static DecompressResult decompressImage(HWND window, LPCWSTR path, HBITMAP* bitmap) {
    if (!images.decompressLookedUp) {
        images.decompressLookedUp = TRUE;
        images.imgdecmp = LoadLibraryW(IMGDECMP_LIBRARY);
        if (images.imgdecmp)
            images.decompress = reinterpret_cast<DecompressImageIndirectFn>(
                GetProcAddressW(images.imgdecmp, TEXT("DecompressImageIndirect")));
    }
    if (!images.decompress) return DECOMPRESS_NONE;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return DECOMPRESS_NOFILE;
    HDC dc = GetDC(window);
    BYTE buffer[DECOMPRESS_BUFFER_BYTES] = {};
    HBITMAP made = NULL;
    DecompressImageInfo info = {};
    info.dwSize = sizeof(info);
    info.pbBuffer = buffer;
    info.dwBufferMax = sizeof(buffer);
    info.dwBufferCurrent = 0;
    info.phBM = &made;
    info.ppImageRender = NULL;
    info.iBitDepth = GetDeviceCaps(dc, BITSPIXEL);
    info.lParam = reinterpret_cast<LPARAM>(file);
    info.hdc = dc;
    info.iScale = DECOMPRESS_SCALE_FULL;
    info.iMaxWidth = (GetDeviceCaps(dc, LOGPIXELSX) * DECOMPRESS_MAX_LOGICAL + 48) / 96;
    info.iMaxHeight = (GetDeviceCaps(dc, LOGPIXELSY) * DECOMPRESS_MAX_LOGICAL + 48) / 96;
    info.pfnGetData = readImageData;
    info.pfnImageProgress = imageProgress;
    info.crTransparentOverride = CLR_INVALID;
    images.decompress(&info);
    CloseHandle(file);
    ReleaseDC(window, dc);
    if (!made) return DECOMPRESS_NONE;
    *bitmap = made;
    return DECOMPRESS_MADE;
}

BOOL loadImage(HWND window, LPCWSTR path, HBITMAP* bitmap) {
    if (!path || !bitmap) return FALSE;
    *bitmap = NULL;
    // TGA: no decoder of the device reads it, so the own reader's answer is final.
    if (wcsstr(path, TEXT(".tga"))) {
        *bitmap = LoadTGA(path, TRUE);
        return TRUE;
    }
    // PNG with alpha keeps its alpha only through this path; without alpha it goes on.
    if (wcsstr(path, TEXT(".png")) && (*bitmap = loadPngWithAlpha(path)) != NULL) return TRUE;
    if (loadImagingLibrary() && (*bitmap = shellLoad(path)) != NULL) return TRUE;
    if (fileExists(IMGDECMP_FILE)) {
        DecompressResult result = decompressImage(window, path, bitmap);
        if (result == DECOMPRESS_MADE) return TRUE;
        if (result == DECOMPRESS_NOFILE) return FALSE;
    }
    if (!wcsstr(path, TEXT(".bmp"))) {
        if (!loadImagingLibrary()) return FALSE;
        *bitmap = shellLoad(path);
        return *bitmap != NULL;
    }
    *bitmap = SHLoadDIBitmap(path);
    return TRUE;
}

// The size a 32-bit picture is blended at: its own, twice or half of it as the skin says.
static void blendSize(const BITMAP& bm, int* width, int* height) {
    *width = bm.bmWidth;
    *height = bm.bmHeight;
    if (images.draw.scale32Up) {
        *width *= 2;
        *height *= 2;
    } else if (images.draw.scale32Down) {
        *width /= 2;
        *height /= 2;
    }
}

// Pixels of the key colour leave the destination as it was: the mask is 1 (white) there, so
// source XOR destination, AND white, XOR source gives the destination back; elsewhere the mask
// is 0 (black) and the same three steps leave the source.
static void drawWithColourKey(HDC dc, HDC source, const BITMAP& bm, int x, int y) {
    COLORREF key = images.draw.transparentColour;
    if (key == IMAGE_KEY_TOPLEFT) key = GetPixel(source, 0, 0);
    HBITMAP mask = CreateBitmap(bm.bmWidth, bm.bmHeight, 1, 1, NULL);
    HDC maskDc = CreateCompatibleDC(dc);
    if (mask && maskDc) {
        HGDIOBJ oldMask = SelectObject(maskDc, mask);
        COLORREF oldSourceBack = SetBkColor(source, key);
        BitBlt(maskDc, 0, 0, bm.bmWidth, bm.bmHeight, source, 0, 0, SRCCOPY);
        SetBkColor(source, oldSourceBack);
        COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
        COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
        BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, source, 0, 0, SRCINVERT);
        BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, maskDc, 0, 0, SRCAND);
        BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, source, 0, 0, SRCINVERT);
        SetBkColor(dc, oldBack);
        SetTextColor(dc, oldText);
        SelectObject(maskDc, oldMask);
    }
    if (maskDc) DeleteDC(maskDc);
    if (mask) DeleteObject(mask);
}

void drawTransparent(HDC dc, HBITMAP bitmap, int x, int y) {
    if (!dc || !bitmap) return;
    BITMAP bm = {};
    if (!GetObjectW(bitmap, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return;
    HDC source = CreateCompatibleDC(dc);
    if (!source) return;
    HGDIOBJ old = SelectObject(source, bitmap);
    BOOL drawn = FALSE;
    if (bm.bmBitsPixel == 32) {
        // Looked up at every call, as a device without it may gain it with an update.
        HMODULE core = GetModuleHandleW(CORE_LIBRARY);
        AlphaBlendFn blend =
            core ? reinterpret_cast<AlphaBlendFn>(GetProcAddressW(core, TEXT("AlphaBlend"))) : NULL;
        if (blend) {
            int width = 0, height = 0;
            blendSize(bm, &width, &height);
            BLENDFUNCTION how = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            blend(dc, x, y, width, height, source, 0, 0, bm.bmWidth, bm.bmHeight, how);
            drawn = TRUE;
        }
    }
    if (!drawn) drawWithColourKey(dc, source, bm, x, y);
    SelectObject(source, old);
    DeleteDC(source);
}

// A stretched picture never needs to be larger than this per side.
#define STRETCH_MAX_SIDE 8192

BOOL stretchBitmap(HBITMAP bitmap, HBITMAP* out, int width, int height) {
    if (!bitmap || !out) return FALSE;
    BITMAP bm = {};
    if (!GetObjectW(bitmap, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return FALSE;
    // The missing side keeps the aspect ratio, rounded to the nearest pixel.
    if (width == 0 && height > 0)
        width = static_cast<int>((static_cast<long long>(height) * bm.bmWidth * 2 + bm.bmHeight) /
                                 (2LL * bm.bmHeight));
    else if (height == 0 && width > 0)
        height = static_cast<int>((static_cast<long long>(width) * bm.bmHeight * 2 + bm.bmWidth) /
                                  (2LL * bm.bmWidth));
    if (width <= 0 || height <= 0 || width > STRETCH_MAX_SIDE || height > STRETCH_MAX_SIDE)
        return FALSE;
    if (width == bm.bmWidth && height == bm.bmHeight) return TRUE;
    HDC screen = GetDC(NULL);
    HBITMAP made = screen ? CreateCompatibleBitmap(screen, width, height) : NULL;
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    BOOL ok = made && from && to;
    if (ok) {
        HGDIOBJ oldFrom = SelectObject(from, bitmap);
        HGDIOBJ oldTo = SelectObject(to, made);
        ok = StretchBlt(to, 0, 0, width, height, from, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
    }
    if (from) DeleteDC(from);
    if (to) DeleteDC(to);
    if (screen) ReleaseDC(NULL, screen);
    if (!ok) {
        if (made) DeleteObject(made);
        return FALSE;
    }
    *out = made;
    return TRUE;
}

void freeImageLibraries(void) {
    if (images.aygshell) FreeLibrary(images.aygshell);
    if (images.imaging) FreeLibrary(images.imaging);
    if (images.imgdecmp) FreeLibrary(images.imgdecmp);
    images.aygshell = NULL;
    images.shellLoader = NULL;
    images.imaging = NULL;
    images.imgdecmp = NULL;
    images.decompress = NULL;
    images.decompressLookedUp = FALSE;
}
