// ceresource.h: how a program or library of the device declares its resources (strings,
// bitmaps, icons, raw data, and later dialog templates and menus) as C++ tables, the way a
// resource script declares them for the device's resource compiler.
//
// A module holds any number of resource tables. Each table registers itself when the module
// is loaded (a static object made by CE_REGISTER_RESOURCES) and unregisters when it is
// unloaded. The platform finds the tables of a module from their addresses: a table that lies
// in the program's own image belongs to the program (hInstance 0x00010000), one that lies in
// a plug-in library belongs to that library's HMODULE. So a program and the libraries it
// loads each keep their own string 1, bitmap 101 and so on, and the tables that the image
// compiler (cerc) generates from PNG files sit beside hand-written string tables without
// anyone having to merge them.
//
//   #include <ceresource.h>
//   static const CeStringEntry kStrings[] = {
//       {IDS_TITLE, u"Zolvane"},
//       {IDS_DONE, u"Done"},
//   };
//   static const CeDataEntry kData[] = {
//       {RT_RCDATA, 200, NULL, kDefaults, sizeof kDefaults},
//   };
//   static const CeResourceTable kResources = {
//       CE_RESOURCE_TABLE_VERSION, kStrings, CE_COUNTOF(kStrings), NULL, 0, NULL, 0,
//       kData, CE_COUNTOF(kData)};
//   CE_REGISTER_RESOURCES(kResources);
//
// Images come from PNG files at build time: ce_add_resources() in cmake/Resources.cmake runs
// cerc, which writes a table of CeImage pixel arrays and registers it the same way.
//
// Dialog templates and menus are data entries of type RT_DIALOG and RT_MENU whose data is the
// template structure the dialog manager defines; FindResourceW/LoadResource/LockResource hand
// them out like any other typed resource.
#pragma once

#include "windef.h"
#include "winuser.h"

#ifdef __cplusplus
extern "C" {
#endif

#define CE_RESOURCE_TABLE_VERSION 1

// A string of a module's string table (LoadStringW). text is terminated; LoadStringW with a
// zero buffer size hands out a pointer into it, so it must live as long as the module.
typedef struct CeStringEntry {
    UINT id;
    const WCHAR* text;
} CeStringEntry;

// One picture: width x height pixels, top-down rows without padding, each 0xAARRGGBB (bytes
// B, G, R, A in memory). With hasAlpha the colours are premultiplied by alpha; without it
// alpha is ignored and the picture is opaque.
typedef struct CeImage {
    int width;
    int height;
    BOOL hasAlpha;
    const DWORD* pixels;
} CeImage;

// A bitmap (its first image) or an icon (one image per size; LoadImageW picks the closest).
// The resource is named by id (MAKEINTRESOURCE) when name is NULL, else by name (compared
// without regard to case).
typedef struct CeImageEntry {
    WORD id;
    const WCHAR* name;
    const CeImage* images;
    UINT imageCount;
} CeImageEntry;

// A typed block of data: RT_RCDATA, RT_DIALOG, RT_MENU or a type of the module's own
// (MAKEINTRESOURCE number or name). FindResourceW finds it; LockResource gives data.
typedef struct CeDataEntry {
    LPCWSTR type;
    WORD id;
    const WCHAR* name;
    const void* data;
    DWORD size;
} CeDataEntry;

// One table of resources. Any list may be NULL with a count of 0. version is
// CE_RESOURCE_TABLE_VERSION; later versions only add members at the end.
typedef struct CeResourceTable {
    DWORD version;
    const CeStringEntry* strings;
    UINT stringCount;
    const CeImageEntry* bitmaps;
    UINT bitmapCount;
    const CeImageEntry* icons;
    UINT iconCount;
    const CeDataEntry* data;
    UINT dataCount;
} CeResourceTable;

// Adds a table to the resources of the module whose image holds it; the table must stay in
// place until CeUnregisterResources. Registering the same table twice has no further effect.
// When two tables of one module define the same resource, the one registered first wins.
// Returns FALSE (ERROR_INVALID_PARAMETER) for a null table or an unknown version.
WINUSERAPI BOOL CeRegisterResources(const CeResourceTable* table);
// Removes a table; FALSE when it was not registered.
WINUSERAPI BOOL CeUnregisterResources(const CeResourceTable* table);

#ifdef __cplusplus
}

#define CE_COUNTOF(a) (sizeof(a) / sizeof((a)[0]))

// Registers the table while the module is loaded: made at static initialisation, removed by
// the static destruction that unloading the module runs.
struct CeResourceRegistration {
    explicit CeResourceRegistration(const CeResourceTable& table) : table_(&table) {
        CeRegisterResources(table_);
    }
    ~CeResourceRegistration() { CeUnregisterResources(table_); }
    CeResourceRegistration(const CeResourceRegistration&) = delete;
    CeResourceRegistration& operator=(const CeResourceRegistration&) = delete;

private:
    const CeResourceTable* table_;
};

#define CE_RESOURCE_CONCAT2(a, b) a##b
#define CE_RESOURCE_CONCAT(a, b)  CE_RESOURCE_CONCAT2(a, b)
#define CE_REGISTER_RESOURCES(table)                                                               \
    static const CeResourceRegistration CE_RESOURCE_CONCAT(ceResourceRegistration_, __LINE__)(table)
#endif
