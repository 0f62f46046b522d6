// exports.cpp: what makes the item's code the device library Zolvane.dll: DllMain and the
// export table, which lists only the Today screen's two ordinals.
#include <windows.h>
#include <dllexports.h>

#include "plugin.h"

BOOL WINAPI DllMain(HANDLE hinstDLL, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH)
        attachLibrary(static_cast<HINSTANCE>(hinstDLL));
    else if (dwReason == DLL_PROCESS_DETACH)
        detachLibrary();
    return TRUE;
}

CE_EXPORTS_BEGIN
CE_EXPORT_NONAME(240, InitializeCustomItem)
CE_EXPORT_NONAME(241, CustomItemOptionsDlgProc)
CE_EXPORTS_END
