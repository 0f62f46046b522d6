// imgdecmp.h: the image-decompression library of the device (Imgdecmp.dll): one call,
// DecompressImageIndirect, that turns a BMP, PNG, JPEG or GIF file into a GDI bitmap of the
// caller's colour depth. The caller feeds the encoded bytes through a callback, so the file
// may come from anywhere.
//
// Programs load the library at run time (LoadLibrary "Imgdecmp.dll", GetProcAddress
// "DecompressImageIndirect"); a device profile may withdraw it. Layout and values follow the
// library's public documentation: on the 32-bit device the information record is 60 bytes.
#pragma once

#include "windows.h"

#ifdef __cplusplus
struct IImageRender; // progressive rendering objects are not provided: ppImageRender stays NULL
extern "C" {
#else
typedef struct IImageRender IImageRender;
#endif

// Called as decoding proceeds (bComplete FALSE) and once at the end (TRUE). pRender is always
// NULL here.
typedef void(CALLBACK* PROGRESSFUNC)(IImageRender* pRender, BOOL bComplete, LPARAM lParam);
// Fills szBuffer with up to dwBufferMax further bytes of the encoded image; returns how many
// it wrote, 0 at the end of the data or on an error.
typedef DWORD(CALLBACK* GETDATAFUNC)(LPSTR szBuffer, DWORD dwBufferMax, LPARAM lParam);

typedef struct tagDecompressImageInfo {
    DWORD dwSize;                   // sizeof(DecompressImageInfo); 60 as the 32-bit device has it
    LPBYTE pbBuffer;                // the caller's read buffer (NULL: the library uses its own)
    DWORD dwBufferMax;              // its size in bytes
    DWORD dwBufferCurrent;          // bytes of the image already in pbBuffer before the call
    HBITMAP* phBM;                  // out: the decoded bitmap, owned by the caller (DeleteObject)
    IImageRender** ppImageRender;   // out: set to NULL
    int iBitDepth;                  // bits per pixel of the bitmap made: 1, 24 or 32 (2 to 16: 32)
    LPARAM lParam;                  // handed to both callbacks; without pfnGetData a file HANDLE
    HDC hdc;                        // a DC of the screen the bitmap is for (may be NULL)
    int iScale;                     // percent of the image's size, 1 to 100 (0 counts as 100)
    int iMaxWidth;                  // the bitmap is scaled down, keeping the aspect ratio, to fit
    int iMaxHeight;                 //   inside these (0 or less: no limit)
    GETDATAFUNC pfnGetData;         // supplies the encoded bytes (NULL: ReadFile on lParam)
    PROGRESSFUNC pfnImageProgress;  // may be NULL
    COLORREF crTransparentOverride; // accepted, not used (CLR_INVALID: none)
} DecompressImageInfo;

// Decodes the image the callback supplies into *pParams->phBM: a DIB section of iBitDepth
// bits (1: black and white by brightness; 24; 32 opaque; the depths between are made as 32,
// the device's GDI having no others), of the image's size times iScale / 100, shrunk to
// fit iMaxWidth x iMaxHeight when larger, keeping the aspect ratio. Transparent
// pixels of PNG and GIF images are blended onto white, as the device's library shows them.
// S_OK; E_INVALIDARG for a bad record (NULL, wrong dwSize, no phBM, no data source, a bit
// depth the library cannot make); E_FAIL for data that is not a complete image of a known
// format (*phBM stays NULL); E_OUTOFMEMORY for an image too large for the device.
WINBASEAPI HRESULT DecompressImageIndirect(DecompressImageInfo* pParams);

#ifdef __cplusplus
}
#endif
