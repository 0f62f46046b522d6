// dllexports.h: the export table of a device library, written in the library's own source the
// way a module-definition (.def) file lists exports on the device.
//
//   #include <dllexports.h>
//   CE_EXPORTS_BEGIN
//       CE_EXPORT(240, InitializeCustomItem)
//       CE_EXPORT_NAMED(241, "CustomItemOptionsDlgProc", optionsDialogProc)
//       CE_EXPORT_BYNAME(PluginVersion)
//   CE_EXPORTS_END
//
// The table becomes one symbol with C linkage that the loader finds when LoadLibraryW opens
// the library. GetProcAddress then answers from the table alone, by ordinal or by name, as for
// a library built with a .def file. A library without a table is searched by name among its
// own C-linkage functions, and has no ordinals.
#pragma once

#include "windef.h"

typedef struct CeExport {
    DWORD ordinal;    // 1..65535, or 0 for an export by name only
    const char* name; // NULL for an export by ordinal only (NONAME)
    void* address;    // NULL ends the table
} CeExport;

#define CE_EXPORTS_SYMBOL "ce_dll_exports"

#define CE_EXPORTS_BEGIN                                                                           \
    ZV_EXTERN_C __attribute__((visibility("default"))) const CeExport ce_dll_exports[] = {
// An export by ordinal and by the function's own name.
#define CE_EXPORT(ordinal, function) {(ordinal), #function, (void*)&(function)},
// An export by ordinal under another name.
#define CE_EXPORT_NAMED(ordinal, name, function) {(ordinal), (name), (void*)&(function)},
// An export by ordinal only.
#define CE_EXPORT_NONAME(ordinal, function) {(ordinal), NULL, (void*)&(function)},
// An export by name only.
#define CE_EXPORT_BYNAME(function) {0, #function, (void*)&(function)},
#define CE_EXPORTS_END                                                                             \
    { 0, NULL, NULL }                                                                              \
    }                                                                                              \
    ;
