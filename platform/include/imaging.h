// imaging.h: the device's imaging library (\Windows\Imaging.dll) as COM interfaces: the
// imaging factory makes image objects from files or memory (IImage: size, pixel format,
// drawing) and bitmap images whose pixels a program can lock in a format of its choice
// (IBitmapImage). BMP, PNG (with and without alpha), JPEG and GIF files are decoded.
//
//   IImagingFactory* f;  // CoInitializeEx first
//   CoCreateInstance(CLSID_ImagingFactory, NULL, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
//                    (void**)&f);
//   IImage* img;         f->CreateImageFromFile(L"\\My Documents\\a.png", &img);
//   ImageInfo info;      img->GetImageInfo(&info);   // info.PixelFormat & PixelFormatAlpha
//   IBitmapImage* bmp;   f->CreateBitmapFromImage(img, info.Width, info.Height,
//                                                 PixelFormat32bppARGB, InterpolationHintDefault,
//                                                 &bmp);
//   BitmapData d;        RECT r = {0, 0, (LONG)info.Width, (LONG)info.Height};
//   bmp->LockBits(&r, ImageLockModeRead, PixelFormat32bppARGB, &d);  // straight ARGB
//   ... d.Scan0, d.Stride ...
//   bmp->UnlockBits(&d); bmp->Release(); img->Release(); f->Release();
//
// A device profile can withdraw the library ("Imaging.dll"): then the factory's class is not
// registered and CoCreateInstance answers REGDB_E_CLASSNOTREG. Identifiers, layouts and values
// follow the imaging API's public documentation.
#pragma once

#include "objbase.h"

#ifdef __cplusplus

// ---- Pixel formats ----------------------------------------------------------------------------
// A pixel format identifier: bits 0-7 an index, bits 8-15 the bits per pixel, above them the
// flags below.
typedef INT PixelFormatID;

#define PixelFormatIndexed        0x00010000 // has a colour palette
#define PixelFormatGDI            0x00020000 // GDI can draw it
#define PixelFormatAlpha          0x00040000 // has an alpha channel
#define PixelFormatPAlpha         0x00080000 // colours premultiplied by alpha
#define PixelFormatExtendedColors 0x00100000 // 16 bits per channel
#define PixelFormatCanonical      0x00200000

#define PixelFormatUndefined     0
#define PixelFormatDontCare      0
#define PixelFormat1bppIndexed   (1 | (1 << 8) | PixelFormatIndexed | PixelFormatGDI)
#define PixelFormat4bppIndexed   (2 | (4 << 8) | PixelFormatIndexed | PixelFormatGDI)
#define PixelFormat8bppIndexed   (3 | (8 << 8) | PixelFormatIndexed | PixelFormatGDI)
#define PixelFormat16bppRGB555   (5 | (16 << 8) | PixelFormatGDI)
#define PixelFormat16bppRGB565   (6 | (16 << 8) | PixelFormatGDI)
#define PixelFormat16bppARGB1555 (7 | (16 << 8) | PixelFormatAlpha | PixelFormatGDI)
#define PixelFormat24bppRGB      (8 | (24 << 8) | PixelFormatGDI)
#define PixelFormat32bppRGB      (9 | (32 << 8) | PixelFormatGDI)
#define PixelFormat32bppARGB                                                                       \
    (10 | (32 << 8) | PixelFormatAlpha | PixelFormatGDI | PixelFormatCanonical)
#define PixelFormat32bppPARGB                                                                      \
    (11 | (32 << 8) | PixelFormatAlpha | PixelFormatPAlpha | PixelFormatGDI)
#define PixelFormatMax 15

// Bits per pixel of a format, and its flags.
inline UINT GetPixelFormatSize(PixelFormatID pixfmt) {
    return (static_cast<UINT>(pixfmt) >> 8) & 0xff;
}
inline BOOL IsIndexedPixelFormat(PixelFormatID pixfmt) {
    return (pixfmt & PixelFormatIndexed) != 0;
}
inline BOOL IsAlphaPixelFormat(PixelFormatID pixfmt) {
    return (pixfmt & PixelFormatAlpha) != 0;
}
inline BOOL IsCanonicalPixelFormat(PixelFormatID pixfmt) {
    return (pixfmt & PixelFormatCanonical) != 0;
}

// A colour as the imaging API passes it: 0xAARRGGBB.
typedef DWORD ARGB;

// ---- Records ----------------------------------------------------------------------------------
// Flags of ImageInfo::Flags (and IImage::SetImageFlags).
enum ImageFlags {
    ImageFlagsNone = 0,
    ImageFlagsScalable = 0x0001,
    ImageFlagsHasAlpha = 0x0002,
    ImageFlagsHasTranslucent = 0x0004,
    ImageFlagsPartiallyScalable = 0x0008,
    ImageFlagsColorSpaceRGB = 0x0010,
    ImageFlagsColorSpaceCMYK = 0x0020,
    ImageFlagsColorSpaceGRAY = 0x0040,
    ImageFlagsColorSpaceYCBCR = 0x0080,
    ImageFlagsColorSpaceYCCK = 0x0100,
    ImageFlagsHasRealDPI = 0x1000,
    ImageFlagsHasRealPixelSize = 0x2000,
    ImageFlagsReadOnly = 0x00010000,
    ImageFlagsCaching = 0x00020000,
};

// What IImage::GetImageInfo tells of an image.
typedef struct tagImageInfo {
    GUID RawDataFormat;        // the file's format: ImageFormatPNG, ImageFormatJPEG, ...
    PixelFormatID PixelFormat; // its natural pixel format; PixelFormatAlpha set when it has alpha
    UINT Width;
    UINT Height;
    UINT TileWidth; // the whole image: no tiles
    UINT TileHeight;
    double Xdpi; // from the file, else 96
    double Ydpi;
    UINT Flags; // ImageFlags
} ImageInfo;

// Pixels locked by IBitmapImage::LockBits: Scan0 is the top row of the locked rectangle, rows
// are Stride bytes apart.
typedef struct tagBitmapData {
    UINT Width;
    UINT Height;
    INT Stride;
    PixelFormatID PixelFormat;
    void* Scan0;
    UINT_PTR Reserved; // the library's own; leave it as LockBits set it
} BitmapData;

typedef struct tagColorPalette {
    UINT Flags; // PALFLAG_*
    UINT Count;
    ARGB Entries[1];
} ColorPalette;

#define PALFLAG_HASALPHA  0x0001
#define PALFLAG_GRAYSCALE 0x0002
#define PALFLAG_HALFTONE  0x0004

enum ImageLockMode {
    ImageLockModeRead = 0x0001,
    ImageLockModeWrite = 0x0002,
    ImageLockModeUserInputBuf = 0x0004, // Scan0 and Stride are the caller's buffer
};

enum InterpolationHint {
    InterpolationHintDefault = 0,
    InterpolationHintNearestNeighbor,
    InterpolationHintBilinear,
    InterpolationHintAveraging,
    InterpolationHintBicubic,
};

// What CreateImageFromBuffer does with the caller's buffer when the image is released.
enum BufferDisposalFlag {
    BufferDisposalFlagNone = 0,
    BufferDisposalFlagGlobalFree,
    BufferDisposalFlagCoTaskMemFree,
    BufferDisposalFlagUnmapView,
};

// ---- Errors -----------------------------------------------------------------------------------
#define IMGERR_OBJECTBUSY    ((HRESULT)0x80040001L) // a lock is held
#define IMGERR_NOPALETTE     ((HRESULT)0x80040002L)
#define IMGERR_BADLOCK       ((HRESULT)0x80040003L)
#define IMGERR_BADUNLOCK     ((HRESULT)0x80040004L) // UnlockBits without its LockBits
#define IMGERR_NOCONVERSION  ((HRESULT)0x80040005L) // a pixel format the object cannot give
#define IMGERR_CODECNOTFOUND ((HRESULT)0x80040006L) // data of no known image format
#define IMGERR_NOFRAME       ((HRESULT)0x80040007L)
#define IMGERR_ABORT         ((HRESULT)0x80040008L)

// ---- Interfaces -------------------------------------------------------------------------------
// Types of the interfaces the device does not implement: their methods answer E_NOTIMPL.
interface IStream;
interface IImageSink;
interface IImageDecoder;
interface IImageEncoder;
struct ImageCodecInfo;

// An image: its size and format, and drawing it.
interface IImage : public IUnknown {
    // The size in 0.01 mm at the image's resolution.
    STDMETHOD(GetPhysicalDimension)(SIZE* size) PURE;
    STDMETHOD(GetImageInfo)(ImageInfo* imageInfo) PURE;
    STDMETHOD(SetImageFlags)(UINT flags) PURE;
    // Draws srcRect (in 0.01 mm of the image; NULL: all of it) into dstRect of hdc, blending
    // an image with alpha over what is there.
    STDMETHOD(Draw)(HDC hdc, const RECT* dstRect, const RECT* srcRect) PURE;
    STDMETHOD(PushIntoSink)(IImageSink* sink) PURE;
    STDMETHOD(GetThumbnail)(UINT thumbWidth, UINT thumbHeight, IImage** thumbImage) PURE;
};

// An image held as pixels in memory; LockBits gives access to them in any of the formats
// above (one lock at a time).
interface IBitmapImage : public IUnknown {
    STDMETHOD(GetSize)(SIZE* size) PURE;
    STDMETHOD(GetPixelFormatID)(PixelFormatID* pixelFormat) PURE;
    STDMETHOD(LockBits)
    (const RECT* rect, UINT flags, PixelFormatID pixelFormat, BitmapData* lockedBitmapData) PURE;
    STDMETHOD(UnlockBits)(const BitmapData* lockedBitmapData) PURE;
    STDMETHOD(GetPalette)(ColorPalette** palette) PURE;
    STDMETHOD(SetPalette)(const ColorPalette* palette) PURE;
};

// Makes images and bitmap images.
interface IImagingFactory : public IUnknown {
    STDMETHOD(CreateImageFromStream)(IStream* stream, IImage** image) PURE;
    STDMETHOD(CreateImageFromFile)(const WCHAR* filename, IImage** image) PURE;
    STDMETHOD(CreateImageFromBuffer)
    (const void* buff, UINT size, BufferDisposalFlag disposalFlag, IImage** image) PURE;
    STDMETHOD(CreateNewBitmap)
    (UINT width, UINT height, PixelFormatID pixelFormat, IBitmapImage** bitmap) PURE;
    STDMETHOD(CreateBitmapFromImage)
    (IImage* image, UINT width, UINT height, PixelFormatID pixelFormat, InterpolationHint hints,
     IBitmapImage** bitmap) PURE;
    STDMETHOD(CreateBitmapFromBuffer)(BitmapData* bitmapData, IBitmapImage** bitmap) PURE;
    STDMETHOD(CreateImageDecoder)(IStream* stream, DWORD flags, IImageDecoder** decoder) PURE;
    STDMETHOD(CreateImageEncoderToStream)
    (const CLSID* clsid, IStream* stream, IImageEncoder** encoder) PURE;
    STDMETHOD(CreateImageEncoderToFile)
    (const CLSID* clsid, const WCHAR* filename, IImageEncoder** encoder) PURE;
    STDMETHOD(GetInstalledDecoders)(UINT* count, ImageCodecInfo** decoders) PURE;
    STDMETHOD(GetInstalledEncoders)(UINT* count, ImageCodecInfo** encoders) PURE;
    STDMETHOD(InstallImageCodec)(const ImageCodecInfo* codecInfo) PURE;
    STDMETHOD(UninstallImageCodec)(const WCHAR* codecName, UINT flags) PURE;
};

// ---- Identifiers ------------------------------------------------------------------------------
extern "C" {
// {327ABDA8-072B-11D3-9D7B-0000F81EF32E}
WINBASEAPI const CLSID CLSID_ImagingFactory;
// {327ABDA7-072B-11D3-9D7B-0000F81EF32E}
WINBASEAPI const IID IID_IImagingFactory;
// {327ABDA9-072B-11D3-9D7B-0000F81EF32E}
WINBASEAPI const IID IID_IImage;
// {327ABDAA-072B-11D3-9D7B-0000F81EF32E}
WINBASEAPI const IID IID_IBitmapImage;

// Values of ImageInfo::RawDataFormat.
WINBASEAPI const GUID ImageFormatMemoryBMP; // {B96B3CAA-0728-11D3-9D7B-0000F81EF32E}
WINBASEAPI const GUID ImageFormatBMP;       // {B96B3CAB-...}
WINBASEAPI const GUID ImageFormatJPEG;      // {B96B3CAE-...}
WINBASEAPI const GUID ImageFormatPNG;       // {B96B3CAF-...}
WINBASEAPI const GUID ImageFormatGIF;       // {B96B3CB0-...}
}

#endif // __cplusplus
