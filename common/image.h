// image.h: image loading and blending of the common library. Skins (the Today item) and zvHost
// draw with pictures from files: Windows bitmaps, PNG with or without alpha, JPEG and whatever
// else the device's decoders take, and Truevision TGA, which is read here. A picture with an
// alpha channel becomes a 32-bit DIB section with premultiplied colours and is drawn with
// AlphaBlend; every other picture is drawn with a colour key.
//
// The bitmaps made here belong to the caller. The decoding libraries are loaded on first need
// and kept until freeImageLibraries.
#pragma once

#include <cstddef>

#include <windows.h>

// What the transparent blit takes from the skin that is loaded: the key colour of pictures
// without alpha (IMAGE_KEY_TOPLEFT: each picture's top-left pixel) and whether 32-bit pictures
// are drawn at twice or half their size. The skin loader sets it; a program without a skin
// keeps the defaults (top-left key, no scaling).
#define IMAGE_KEY_TOPLEFT ((COLORREF)1)
struct ImageDrawOptions {
    COLORREF transparentColour;
    BOOL scale32Up;
    BOOL scale32Down;
};
void setImageDrawOptions(const ImageDrawOptions& options);
ImageDrawOptions getImageDrawOptions(void);

// Loads a picture file into *bitmap, trying in turn the TGA reader (".tga", final whatever it
// gives), PNG with alpha (".png"), the shell's image loader, the image-decompression library,
// the shell's loader again, and for ".bmp" SHLoadDIBitmap. window supplies the device context
// the decompression library decodes for. TRUE when a loader took the file; *bitmap may still be
// null after a TGA or BMP that did not decode, so callers test the bitmap.
BOOL loadImage(HWND window, LPCWSTR path, HBITMAP* bitmap);

// Reads a TGA file (uncompressed or run-length true colour, 24 or 32 bits) into a bottom-up
// DIB section; with premultiply set a 32-bit picture gets premultiplied colours. Null for a
// file that does not open or is not such a TGA ("LoadTGA: Invalid TGA file" is logged).
HBITMAP LoadTGA(LPCWSTR path, BOOL premultiply);

// Reads a PNG with an alpha channel through the imaging library into a top-down 32-bit DIB
// section with premultiplied colours. Null for a picture without alpha, so that the other
// loaders take it.
HBITMAP loadPngWithAlpha(LPCWSTR path);

// Draws the bitmap at (x, y): a 32-bit bitmap blended with its alpha (at twice or half its size
// as the draw options say) when coredll.dll has AlphaBlend, anything else with the key colour
// left out.
void drawTransparent(HDC dc, HBITMAP bitmap, int x, int y);

// Makes in *out a copy of the bitmap in the screen's format (alpha is lost), stretched to width
// x height. A width or height of 0 follows from the other by the aspect ratio. When the size
// is the bitmap's own, nothing is made and *out stays as it was. FALSE when nothing could be
// made; the caller deletes the old bitmap when *out changed.
BOOL stretchBitmap(HBITMAP bitmap, HBITMAP* out, int width, int height);

// Releases the decoding libraries (the item calls this when it goes for good).
void freeImageLibraries(void);

// ---- The TGA decoder (for LoadTGA and the fuzz target) ------------------------------------

// The largest TGA accepted, per side and in all: a skin picture is at most a few screens big,
// and a header's 65535 x 65535 must not turn into 16 GB of memory.
#define TGA_MAX_SIDE   4096
#define TGA_MAX_PIXELS (2048 * 2048)

struct TgaPicture {
    LONG width, height;
    WORD bitsPerPixel; // 24 or 32
    LONG stride;       // bytes per row, a multiple of 4
    BYTE* bits;        // bottom-up rows; the caller's buffer of stride x height bytes
};

// Reads the TGA header of data: TRUE when it is a true-colour TGA this reader takes, with
// width, height, bitsPerPixel and stride filled in (bits untouched).
BOOL readTgaHeader(const BYTE* data, size_t size, TgaPicture* picture);
// Decodes the pixels of data into picture->bits (prepared by readTgaHeader). Pixels the data
// does not reach (a short file) stay as they were; a run that would pass the end of the
// picture stops there.
void decodeTgaPixels(const BYTE* data, size_t size, TgaPicture* picture, BOOL premultiply);

// Premultiplies count BGRA pixels: each colour becomes colour x alpha / 255, truncated.
void premultiplyPixels(BYTE* pixels, size_t count);
