// wingdi.h: drawing on the device: device contexts, bitmaps and DIB sections, pens, brushes,
// regions, fonts and text, blits and blending, the display's escapes. Included by windows.h.
//
// The device's screen and window DCs report 32 bits per pixel; a bitmap made compatible with
// them keeps no alpha channel. Values follow the Windows CE documentation where CE and the
// desktop differ. DrawTextW, a USER function on Windows, is declared here with the text
// functions it is built on.
#pragma once

#include "windef.h"
#include "winbase.h"

#ifdef __cplusplus
extern "C" {
#endif

#define WINGDIAPI WINBASEAPI

#define CLR_INVALID 0xFFFFFFFF
#define GDI_ERROR   0xFFFFFFFFL
#define HGDI_ERROR  ((HANDLE)(LONG_PTR)-1)

#define PALETTERGB(r, g, b) (0x02000000 | RGB(r, g, b))
#define PALETTEINDEX(i)     ((COLORREF)(0x01000000 | (DWORD)(WORD)(i)))

// ---- Objects --------------------------------------------------------------------------------
#define WHITE_BRUSH         0
#define LTGRAY_BRUSH        1
#define GRAY_BRUSH          2
#define DKGRAY_BRUSH        3
#define BLACK_BRUSH         4
#define NULL_BRUSH          5
#define HOLLOW_BRUSH        NULL_BRUSH
#define WHITE_PEN           6
#define BLACK_PEN           7
#define NULL_PEN            8
#define OEM_FIXED_FONT      10
#define ANSI_FIXED_FONT     11
#define ANSI_VAR_FONT       12
#define SYSTEM_FONT         13
#define DEVICE_DEFAULT_FONT 14
#define DEFAULT_PALETTE     15
#define SYSTEM_FIXED_FONT   16
#define DEFAULT_GUI_FONT    17

#define OBJ_PEN    1
#define OBJ_BRUSH  2
#define OBJ_DC     3
#define OBJ_PAL    5
#define OBJ_FONT   6
#define OBJ_BITMAP 7
#define OBJ_REGION 8
#define OBJ_MEMDC  10
#define OBJ_EXTPEN 11

// Stock objects are never destroyed: DeleteObject on one succeeds and does nothing.
WINGDIAPI HGDIOBJ GetStockObject(int fnObject);
// Selecting a bitmap makes it the drawing surface of a memory DC; a bitmap can be selected
// into one DC at a time. Selecting a region sets the clip region and returns its complexity.
// Returns the object replaced, or NULL (HGDI_ERROR for a region) on failure.
WINGDIAPI HGDIOBJ SelectObject(HDC hdc, HGDIOBJ hgdiobj);
// A DC keeps the objects selected into it alive: deleting a selected object removes its
// handle at once and the object itself when the DC lets go of it.
WINGDIAPI BOOL DeleteObject(HGDIOBJ hObject);
WINGDIAPI int GetObjectW(HGDIOBJ hgdiobj, int cbBuffer, LPVOID lpvObject);
WINGDIAPI DWORD GetObjectType(HGDIOBJ h);
WINGDIAPI HGDIOBJ GetCurrentObject(HDC hdc, UINT uObjectType);
#define GetObject GetObjectW

// ---- Pens and brushes -----------------------------------------------------------------------
#define PS_SOLID       0
#define PS_DASH        1
#define PS_DOT         2
#define PS_NULL        5
#define PS_INSIDEFRAME 6

#define BS_SOLID        0
#define BS_NULL         1
#define BS_HOLLOW       BS_NULL
#define BS_HATCHED      2
#define BS_PATTERN      3
#define BS_DIBPATTERN   5
#define BS_DIBPATTERNPT 6

typedef struct tagLOGPEN {
    UINT lopnStyle;
    POINT lopnWidth;
    COLORREF lopnColor;
} LOGPEN, *PLOGPEN, *LPLOGPEN;

typedef struct tagLOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    LONG lbHatch;
} LOGBRUSH, *PLOGBRUSH, *LPLOGBRUSH;

WINGDIAPI HPEN CreatePen(int fnPenStyle, int nWidth, COLORREF crColor);
WINGDIAPI HPEN CreatePenIndirect(const LOGPEN* lplgpn);
WINGDIAPI HBRUSH CreateSolidBrush(COLORREF crColor);
// A brush repeating the bitmap (copied: the bitmap may be deleted afterwards).
WINGDIAPI HBRUSH CreatePatternBrush(HBITMAP hbmp);
WINGDIAPI HBRUSH CreateBrushIndirect(const LOGBRUSH* lplb);
WINGDIAPI BOOL SetBrushOrgEx(HDC hdc, int nXOrg, int nYOrg, LPPOINT lppt);
WINGDIAPI BOOL GetBrushOrgEx(HDC hdc, LPPOINT lppt);

// ---- Device contexts ------------------------------------------------------------------------
#define TRANSPARENT 1
#define OPAQUE      2

#define TA_NOUPDATECP 0
#define TA_UPDATECP   1
#define TA_LEFT       0
#define TA_RIGHT      2
#define TA_CENTER     6
#define TA_TOP        0
#define TA_BOTTOM     8
#define TA_BASELINE   24

#define R2_BLACK       1
#define R2_NOTMERGEPEN 2
#define R2_MASKNOTPEN  3
#define R2_NOTCOPYPEN  4
#define R2_MASKPENNOT  5
#define R2_NOT         6
#define R2_XORPEN      7
#define R2_NOTMASKPEN  8
#define R2_MASKPEN     9
#define R2_NOTXORPEN   10
#define R2_NOP         11
#define R2_MERGENOTPEN 12
#define R2_COPYPEN     13
#define R2_MERGEPENNOT 14
#define R2_MERGEPEN    15
#define R2_WHITE       16

#define BLACKONWHITE        1
#define WHITEONBLACK        2
#define COLORONCOLOR        3
#define HALFTONE            4
#define STRETCH_ANDSCANS    BLACKONWHITE
#define STRETCH_ORSCANS     WHITEONBLACK
#define STRETCH_DELETESCANS COLORONCOLOR
#define STRETCH_HALFTONE    HALFTONE

// A memory DC starts with a 1x1 monochrome bitmap selected, the stock objects and the
// default colours; hdc NULL makes it compatible with the screen.
WINGDIAPI HDC CreateCompatibleDC(HDC hdc);
WINGDIAPI BOOL DeleteDC(HDC hdc);
// The state stack: SaveDC returns the new depth (0 on failure); RestoreDC takes a depth or
// a negative count relative to the current one.
WINGDIAPI int SaveDC(HDC hdc);
WINGDIAPI BOOL RestoreDC(HDC hdc, int nSavedDC);
WINGDIAPI COLORREF SetTextColor(HDC hdc, COLORREF crColor);
WINGDIAPI COLORREF GetTextColor(HDC hdc);
WINGDIAPI COLORREF SetBkColor(HDC hdc, COLORREF crColor);
WINGDIAPI COLORREF GetBkColor(HDC hdc);
WINGDIAPI int SetBkMode(HDC hdc, int iBkMode);
WINGDIAPI int GetBkMode(HDC hdc);
WINGDIAPI UINT SetTextAlign(HDC hdc, UINT fMode);
WINGDIAPI UINT GetTextAlign(HDC hdc);
WINGDIAPI int SetROP2(HDC hdc, int fnDrawMode);
WINGDIAPI int GetROP2(HDC hdc);
WINGDIAPI int SetStretchBltMode(HDC hdc, int iStretchMode);
WINGDIAPI int GetStretchBltMode(HDC hdc);
WINGDIAPI BOOL SetViewportOrgEx(HDC hdc, int X, int Y, LPPOINT lpPoint);
WINGDIAPI BOOL GetViewportOrgEx(HDC hdc, LPPOINT lpPoint);
WINGDIAPI BOOL OffsetViewportOrgEx(HDC hdc, int nXOffset, int nYOffset, LPPOINT lpPoint);

#define DRIVERVERSION  0
#define TECHNOLOGY     2
#define HORZSIZE       4
#define VERTSIZE       6
#define HORZRES        8
#define VERTRES        10
#define BITSPIXEL      12
#define PLANES         14
#define NUMBRUSHES     16
#define NUMPENS        18
#define NUMFONTS       22
#define NUMCOLORS      24
#define CURVECAPS      28
#define LINECAPS       30
#define POLYGONALCAPS  32
#define TEXTCAPS       34
#define CLIPCAPS       36
#define RASTERCAPS     38
#define ASPECTX        40
#define ASPECTY        42
#define ASPECTXY       44
#define LOGPIXELSX     88
#define LOGPIXELSY     90
#define SIZEPALETTE    104
#define NUMRESERVED    106
#define COLORRES       108
#define SHADEBLENDCAPS 120

#define DT_RASDISPLAY 1
#define CP_RECTANGLE  1

#define RC_BITBLT     0x0001
#define RC_SCALING    0x0004
#define RC_BITMAP64   0x0008
#define RC_DI_BITMAP  0x0080
#define RC_DIBTODEV   0x0200
#define RC_STRETCHBLT 0x0800
#define RC_STRETCHDIB 0x2000

#define SB_NONE          0x00000000
#define SB_CONST_ALPHA   0x00000001
#define SB_PIXEL_ALPHA   0x00000002
#define SB_PREMULT_ALPHA 0x00000004

WINGDIAPI int GetDeviceCaps(HDC hdc, int nIndex);

// ---- Display escapes ------------------------------------------------------------------------
#define QUERYESCSUPPORT    8
#define SETPOWERMANAGEMENT 6147
#define GETPOWERMANAGEMENT 6148

typedef enum _VIDEO_POWER_STATE {
    VideoPowerOn = 1,
    VideoPowerStandBy,
    VideoPowerSuspend,
    VideoPowerOff
} VIDEO_POWER_STATE,
    *PVIDEO_POWER_STATE;

typedef struct _VIDEO_POWER_MANAGEMENT {
    ULONG Length;
    ULONG DPMSVersion;
    ULONG PowerState;
} VIDEO_POWER_MANAGEMENT, *PVIDEO_POWER_MANAGEMENT;

// The display driver's escapes: QUERYESCSUPPORT (input: the escape's DWORD number; returns
// 1 when it is supported), GETPOWERMANAGEMENT and SETPOWERMANAGEMENT with a
// VIDEO_POWER_MANAGEMENT record. Returns 0 for an escape the display does not know, and a
// negative value on bad input.
WINGDIAPI int ExtEscape(HDC hdc, int nEscape, int cbInput, LPCSTR lpszInData, int cbOutput,
                        LPSTR lpszOutData);

// ---- Bitmaps --------------------------------------------------------------------------------
#define BI_RGB            0L
#define BI_RLE8           1L
#define BI_RLE4           2L
#define BI_BITFIELDS      3L
#define BI_JPEG           4L
#define BI_PNG            5L
#define BI_ALPHABITFIELDS 6L

#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *PBITMAP, *LPBITMAP;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD, *LPRGBQUAD;

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // negative: rows top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *PBITMAPINFOHEADER, *LPBITMAPINFOHEADER;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1]; // colour table, or three DWORD masks for BI_BITFIELDS
} BITMAPINFO, *PBITMAPINFO, *LPBITMAPINFO;

#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
} BITMAPFILEHEADER, *PBITMAPFILEHEADER, *LPBITMAPFILEHEADER;
#pragma pack(pop)

typedef struct tagDIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];
    HANDLE dshSection;
    DWORD dsOffset;
} DIBSECTION, *PDIBSECTION, *LPDIBSECTION;

// 1 and 32 bits per pixel (planes 1); lpvBits, when given, holds rows of words (2-byte
// aligned) top-down.
WINGDIAPI HBITMAP CreateBitmap(int nWidth, int nHeight, UINT cPlanes, UINT cBitsPerPel,
                               const void* lpvBits);
// A bitmap in the format of the DC's surface: for window and screen DCs 32-bit without
// alpha; for a memory DC the format of its selected bitmap (monochrome for a fresh one).
WINGDIAPI HBITMAP CreateCompatibleBitmap(HDC hdc, int nWidth, int nHeight);
// A bitmap whose pixels live at *ppvBits: 1, 24 or 32 bits per pixel, BI_RGB or
// BI_BITFIELDS (32-bit with the byte-aligned masks 0xFF0000, 0xFF00, 0xFF), rows padded to
// four bytes, bottom-up for a positive height. Drawing and the bits pointer see the same
// memory. hSection must be NULL.
WINGDIAPI HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT iUsage, void** ppvBits,
                                   HANDLE hSection, DWORD dwOffset);
// Copies rows of the bitmap into lpvBits in the format lpbmi asks (1, 24 or 32 bits);
// lpvBits NULL fills in the header (size, image size). Returns the rows copied.
WINGDIAPI int GetDIBits(HDC hdc, HBITMAP hbmp, UINT uStartScan, UINT cScanLines, LPVOID lpvBits,
                        LPBITMAPINFO lpbi, UINT uUsage);
WINGDIAPI int SetDIBitsToDevice(HDC hdc, int XDest, int YDest, DWORD dwWidth, DWORD dwHeight,
                                int XSrc, int YSrc, UINT uStartScan, UINT cScanLines,
                                const void* lpvBits, const BITMAPINFO* lpbmi, UINT fuColorUse);
WINGDIAPI int StretchDIBits(HDC hdc, int XDest, int YDest, int nDestWidth, int nDestHeight,
                            int XSrc, int YSrc, int nSrcWidth, int nSrcHeight, const void* lpBits,
                            const BITMAPINFO* lpBitsInfo, UINT iUsage, DWORD dwRop);

// ---- Raster operations ----------------------------------------------------------------------
#define SRCCOPY              0x00CC0020
#define SRCPAINT             0x00EE0086
#define SRCAND               0x008800C6
#define SRCINVERT            0x00660046
#define SRCERASE             0x00440328
#define NOTSRCCOPY           0x00330008
#define NOTSRCERASE          0x001100A6
#define MERGECOPY            0x00C000CA
#define MERGEPAINT           0x00BB0226
#define PATCOPY              0x00F00021
#define PATPAINT             0x00FB0A09
#define PATINVERT            0x005A0049
#define DSTINVERT            0x00550009
#define BLACKNESS            0x00000042
#define WHITENESS            0x00FF0062
#define MAKEROP4(fore, back) (DWORD)((((back) << 8) & 0xFF000000) | (fore))

// The ternary raster operation is bits 16..23 of dwRop: bit (P*4 + S*2 + D) of that byte is
// the result for pattern bit P, source bit S and destination bit D. Colour becomes
// monochrome by the source DC's background colour (equal: 1, else 0); monochrome becomes
// colour with the destination DC's text (0) and background (1) colours.
WINGDIAPI BOOL BitBlt(HDC hdcDest, int nXDest, int nYDest, int nWidth, int nHeight, HDC hdcSrc,
                      int nXSrc, int nYSrc, DWORD dwRop);
WINGDIAPI BOOL PatBlt(HDC hdc, int nXLeft, int nYLeft, int nWidth, int nHeight, DWORD dwRop);
// Nearest-pixel scaling (COLORONCOLOR whatever the stretch mode); negative sizes mirror.
WINGDIAPI BOOL StretchBlt(HDC hdcDest, int nXOriginDest, int nYOriginDest, int nWidthDest,
                          int nHeightDest, HDC hdcSrc, int nXOriginSrc, int nYOriginSrc,
                          int nWidthSrc, int nHeightSrc, DWORD dwRop);
// Where the monochrome mask has a 1 the foreground ROP (low 24 bits of dwRop) applies, where
// it has a 0 the background ROP (high byte).
WINGDIAPI BOOL MaskBlt(HDC hdcDest, int nXDest, int nYDest, int nWidth, int nHeight, HDC hdcSrc,
                       int nXSrc, int nYSrc, HBITMAP hbmMask, int xMask, int yMask, DWORD dwRop);

#define AC_SRC_OVER  0x00
#define AC_SRC_ALPHA 0x01

typedef struct _BLENDFUNCTION {
    BYTE BlendOp;
    BYTE BlendFlags;
    BYTE SourceConstantAlpha;
    BYTE AlphaFormat;
} BLENDFUNCTION, *PBLENDFUNCTION;

// Source-over of premultiplied pixels (AC_SRC_ALPHA) and/or a constant alpha, stretching
// to the destination size. The source rectangle must lie inside the source bitmap.
WINGDIAPI BOOL AlphaBlend(HDC hdcDest, int xoriginDest, int yoriginDest, int wDest, int hDest,
                          HDC hdcSrc, int xoriginSrc, int yoriginSrc, int wSrc, int hSrc,
                          BLENDFUNCTION ftn);
// Copies every source pixel except those of colour crTransparent, stretching as needed.
WINGDIAPI BOOL TransparentBlt(HDC hdcDest, int xoriginDest, int yoriginDest, int wDest, int hDest,
                              HDC hdcSrc, int xoriginSrc, int yoriginSrc, int wSrc, int hSrc,
                              UINT crTransparent);
// Windows CE's form of TransparentBlt: hSrc is a DC or a bitmap.
WINGDIAPI BOOL TransparentImage(HDC hdcDest, LONG DstX, LONG DstY, LONG DstCx, LONG DstCy,
                                HANDLE hSrc, LONG SrcX, LONG SrcY, LONG SrcCx, LONG SrcCy,
                                COLORREF TransparentColor);

typedef USHORT COLOR16;
typedef struct _TRIVERTEX {
    LONG x;
    LONG y;
    COLOR16 Red;
    COLOR16 Green;
    COLOR16 Blue;
    COLOR16 Alpha;
} TRIVERTEX, *PTRIVERTEX, *LPTRIVERTEX;
typedef struct _GRADIENT_RECT {
    ULONG UpperLeft;
    ULONG LowerRight;
} GRADIENT_RECT, *PGRADIENT_RECT, *LPGRADIENT_RECT;
typedef struct _GRADIENT_TRIANGLE {
    ULONG Vertex1;
    ULONG Vertex2;
    ULONG Vertex3;
} GRADIENT_TRIANGLE, *PGRADIENT_TRIANGLE;

#define GRADIENT_FILL_RECT_H   0x00000000
#define GRADIENT_FILL_RECT_V   0x00000001
#define GRADIENT_FILL_TRIANGLE 0x00000002
#define GRADIENT_FILL_OP_FLAG  0x000000ff

// Rectangles shaded from one vertex colour to the other, horizontally or vertically.
// Triangles are not supported on the device (FALSE).
WINGDIAPI BOOL GradientFill(HDC hdc, PTRIVERTEX pVertex, ULONG dwNumVertex, PVOID pMesh,
                            ULONG dwNumMesh, ULONG dwMode);

// ---- Pixels, lines and shapes ----------------------------------------------------------------
WINGDIAPI COLORREF GetPixel(HDC hdc, int nXPos, int nYPos);
WINGDIAPI COLORREF SetPixel(HDC hdc, int X, int Y, COLORREF crColor);
WINGDIAPI BOOL MoveToEx(HDC hdc, int X, int Y, LPPOINT lpPoint);
// Draws from the current position up to, not including, (nXEnd, nYEnd).
WINGDIAPI BOOL LineTo(HDC hdc, int nXEnd, int nYEnd);
WINGDIAPI BOOL Polyline(HDC hdc, const POINT* lppt, int cPoints);
WINGDIAPI BOOL Polygon(HDC hdc, const POINT* lpPoints, int nCount);
WINGDIAPI BOOL Rectangle(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);
WINGDIAPI BOOL RoundRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect,
                         int nWidth, int nHeight);
WINGDIAPI BOOL Ellipse(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);

// ---- Regions and clipping --------------------------------------------------------------------
#define ERROR         0
#define NULLREGION    1
#define SIMPLEREGION  2
#define COMPLEXREGION 3
#define RGN_ERROR     ERROR

#define RGN_AND  1
#define RGN_OR   2
#define RGN_XOR  3
#define RGN_DIFF 4
#define RGN_COPY 5

#define RDH_RECTANGLES 1

typedef struct _RGNDATAHEADER {
    DWORD dwSize;
    DWORD iType;
    DWORD nCount;
    DWORD nRgnSize;
    RECT rcBound;
} RGNDATAHEADER, *PRGNDATAHEADER;

typedef struct _RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];
} RGNDATA, *PRGNDATA, *LPRGNDATA;

WINGDIAPI HRGN CreateRectRgn(int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);
WINGDIAPI HRGN CreateRectRgnIndirect(const RECT* lprc);
// A region from a list of rectangles (lpXform must be NULL).
WINGDIAPI HRGN ExtCreateRegion(const void* lpXform, DWORD nCount, const RGNDATA* lpRgnData);
WINGDIAPI DWORD GetRegionData(HRGN hRgn, DWORD dwCount, LPRGNDATA lpRgnData);
WINGDIAPI int CombineRgn(HRGN hrgnDest, HRGN hrgnSrc1, HRGN hrgnSrc2, int fnCombineMode);
WINGDIAPI BOOL SetRectRgn(HRGN hrgn, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect);
WINGDIAPI int OffsetRgn(HRGN hrgn, int nXOffset, int nYOffset);
WINGDIAPI int GetRgnBox(HRGN hrgn, LPRECT lprc);
WINGDIAPI BOOL PtInRegion(HRGN hrgn, int X, int Y);
WINGDIAPI BOOL RectInRegion(HRGN hrgn, const RECT* lprc);
WINGDIAPI BOOL EqualRgn(HRGN hSrcRgn1, HRGN hSrcRgn2);
WINGDIAPI BOOL FillRgn(HDC hdc, HRGN hrgn, HBRUSH hbr);
// The clip region is in device coordinates (a window DC's client coordinates); NULL removes
// it. The DC keeps a copy.
WINGDIAPI int SelectClipRgn(HDC hdc, HRGN hrgn);
WINGDIAPI int ExtSelectClipRgn(HDC hdc, HRGN hrgn, int fnMode);
WINGDIAPI int IntersectClipRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect,
                                int nBottomRect);
WINGDIAPI int ExcludeClipRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect,
                              int nBottomRect);
WINGDIAPI int GetClipBox(HDC hdc, LPRECT lprc);
// 1 and a copy in hrgn when the DC has a clip region, 0 when it has none, -1 on error.
WINGDIAPI int GetClipRgn(HDC hdc, HRGN hrgn);

// ---- Fonts and text --------------------------------------------------------------------------
#define LF_FACESIZE 32

#define FW_DONTCARE   0
#define FW_THIN       100
#define FW_EXTRALIGHT 200
#define FW_LIGHT      300
#define FW_NORMAL     400
#define FW_REGULAR    400
#define FW_MEDIUM     500
#define FW_SEMIBOLD   600
#define FW_DEMIBOLD   600
#define FW_BOLD       700
#define FW_EXTRABOLD  800
#define FW_HEAVY      900

#define ANSI_CHARSET        0
#define DEFAULT_CHARSET     1
#define SYMBOL_CHARSET      2
#define SHIFTJIS_CHARSET    128
#define HANGEUL_CHARSET     129
#define GB2312_CHARSET      134
#define CHINESEBIG5_CHARSET 136
#define OEM_CHARSET         255

#define OUT_DEFAULT_PRECIS   0
#define OUT_STRING_PRECIS    1
#define OUT_CHARACTER_PRECIS 2
#define OUT_STROKE_PRECIS    3
#define OUT_TT_PRECIS        4
#define OUT_DEVICE_PRECIS    5
#define OUT_RASTER_PRECIS    6
#define OUT_TT_ONLY_PRECIS   7

#define CLIP_DEFAULT_PRECIS   0
#define CLIP_CHARACTER_PRECIS 1
#define CLIP_STROKE_PRECIS    2

#define DEFAULT_QUALITY          0
#define DRAFT_QUALITY            1
#define PROOF_QUALITY            2
#define NONANTIALIASED_QUALITY   3
#define ANTIALIASED_QUALITY      4
#define CLEARTYPE_QUALITY        5
#define CLEARTYPE_COMPAT_QUALITY 6

#define DEFAULT_PITCH  0
#define FIXED_PITCH    1
#define VARIABLE_PITCH 2
#define FF_DONTCARE    0x00
#define FF_ROMAN       0x10
#define FF_SWISS       0x20
#define FF_MODERN      0x30
#define FF_SCRIPT      0x40
#define FF_DECORATIVE  0x50

#define TMPF_FIXED_PITCH 0x01
#define TMPF_VECTOR      0x02
#define TMPF_TRUETYPE    0x04
#define TMPF_DEVICE      0x08

typedef struct tagLOGFONTW {
    LONG lfHeight; // < 0: character height in pixels; > 0: cell height; 0: default
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
} LOGFONTW, *PLOGFONTW, *LPLOGFONTW;
typedef LOGFONTW LOGFONT;
typedef LPLOGFONTW LPLOGFONT;

typedef struct tagTEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
} TEXTMETRICW, *PTEXTMETRICW, *LPTEXTMETRICW;
typedef TEXTMETRICW TEXTMETRIC;
typedef LPTEXTMETRICW LPTEXTMETRIC;

// Faces: "Tahoma" and unknown names draw with DejaVu Sans, "Courier New" with DejaVu Sans
// Mono; weight 600 is a semi-bold between the regular and the bold face. Glyphs missing
// from the face come from the CJK fallback font when the device has it, else show as boxes.
WINGDIAPI HFONT CreateFontIndirectW(const LOGFONTW* lplf);
#define CreateFontIndirect CreateFontIndirectW

#define ETO_OPAQUE         0x0002
#define ETO_CLIPPED        0x0004
#define ETO_GLYPH_INDEX    0x0010
#define ETO_IGNORELANGUAGE 0x1000

// Draws the text at (X, Y) as the text alignment says, over the background colour when the
// background mode is OPAQUE or ETO_OPAQUE fills lprc; ETO_CLIPPED clips to lprc; lpDx gives
// the advance of each character.
WINGDIAPI BOOL ExtTextOutW(HDC hdc, int X, int Y, UINT fuOptions, const RECT* lprc,
                           LPCWSTR lpString, UINT cbCount, const int* lpDx);
WINGDIAPI BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE lpSize);
// How many characters fit in nMaxExtent (lpnFit) and the extent of each prefix (alpDx).
WINGDIAPI BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR lpszStr, int cchString, int nMaxExtent,
                                     LPINT lpnFit, LPINT alpDx, LPSIZE lpSize);
WINGDIAPI BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm);
WINGDIAPI int GetTextFaceW(HDC hdc, int nCount, LPWSTR lpFaceName);
#define ExtTextOut           ExtTextOutW
#define GetTextExtentPoint32 GetTextExtentPoint32W
#define GetTextExtentPoint   GetTextExtentPoint32W
#define GetTextExtentExPoint GetTextExtentExPointW
#define GetTextMetrics       GetTextMetricsW
#define GetTextFace          GetTextFaceW

#define DT_TOP             0x00000000
#define DT_LEFT            0x00000000
#define DT_CENTER          0x00000001
#define DT_RIGHT           0x00000002
#define DT_VCENTER         0x00000004
#define DT_BOTTOM          0x00000008
#define DT_WORDBREAK       0x00000010
#define DT_SINGLELINE      0x00000020
#define DT_EXPANDTABS      0x00000040
#define DT_TABSTOP         0x00000080
#define DT_NOCLIP          0x00000100
#define DT_EXTERNALLEADING 0x00000200
#define DT_CALCRECT        0x00000400
#define DT_NOPREFIX        0x00000800
#define DT_INTERNAL        0x00001000
#define DT_EDITCONTROL     0x00002000
#define DT_PATH_ELLIPSIS   0x00004000
#define DT_END_ELLIPSIS    0x00008000
#define DT_MODIFYSTRING    0x00010000
#define DT_RTLREADING      0x00020000
#define DT_WORD_ELLIPSIS   0x00040000

// Formats text in the rectangle. Returns the height of the text drawn (with DT_VCENTER or
// DT_BOTTOM, the offset from lpRect->top to the bottom of the text), 0 on failure. With
// DT_CALCRECT nothing is drawn: lpRect is widened or lowered to what the text needs.
// nCount -1 means a zero-terminated string.
WINGDIAPI int DrawTextW(HDC hdc, LPCWSTR lpString, int nCount, LPRECT lpRect, UINT uFormat);
#define DrawText DrawTextW

#ifdef __cplusplus
}
#endif
