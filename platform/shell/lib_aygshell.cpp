// lib_aygshell.cpp: aygshell.dll, the Pocket PC shell's library, as a built-in system library.
//
// Programs reach the shell's services through this table, by name or, where programs are
// known to use it, by the ordinal the device gives the export: SHInitExtraControls is #9,
// SHRecognizeGesture #40 and SHNotificationGetData #173. The registry-extension functions
// (regext.h) live in aygshell.dll on the device, so the table lists them too; that takes them
// out of coredll.dll's by-name answers, as on the device. Names the table does not list are not
// found here: the library does not fall back to the platform's own functions. A device profile
// can withdraw the whole library ("aygshell.dll") or one export ("aygshell.dll!SHFullScreen",
// "aygshell.dll#40").
//
// Ordinal 75 is the shell's image-file loader, SHLoadImageFile (imaging/shimage.cpp), which
// the device exports by ordinal only.
#include "aygshell.h"
#include "kernel/modules.h"
#include "regext.h"

namespace ce {
namespace {

#define CE_EXPORT(ordinal, fn)                                                                     \
    { ordinal, #fn, reinterpret_cast<void*>(&fn) }

const BuiltinExport kAygshellExports[] = {
    CE_EXPORT(9, SHInitExtraControls),
    CE_EXPORT(40, SHRecognizeGesture),
    CE_EXPORT(0, SHInitDialog),
    CE_EXPORT(0, SHDoneButton),
    CE_EXPORT(0, SHFullScreen),
    CE_EXPORT(0, SHCreateMenuBar),
    CE_EXPORT(0, SHFindMenuBar),
    CE_EXPORT(0, SHGetSpecialFolderPath),
    CE_EXPORT(0, SHGetAutoRunPath),
    CE_EXPORT(0, SHCreateShortcut),
    CE_EXPORT(0, RegistryGetDWORD),
    CE_EXPORT(0, RegistryGetString),
    CE_EXPORT(0, RegistrySetDWORD),
    CE_EXPORT(0, RegistrySetString),
    CE_EXPORT(0, RegistryNotifyWindow),
    CE_EXPORT(0, RegistryNotifyCallback),
    CE_EXPORT(0, RegistryCloseNotification),
    CE_EXPORT(0, SHNotificationAdd),
    CE_EXPORT(0, SHNotificationRemove),
    CE_EXPORT(173, SHNotificationGetData),
    CE_EXPORT(0, SHLoadDIBitmap),
    {75, nullptr, reinterpret_cast<void*>(&SHLoadImageFile)}, // by ordinal only, as on the device
};

#undef CE_EXPORT

const BuiltinLibrary kAygshell{"aygshell.dll", kAygshellExports,
                               sizeof kAygshellExports / sizeof kAygshellExports[0], false};
const BuiltinLibraryRegistration registerAygshell(kAygshell);

} // namespace
} // namespace ce
