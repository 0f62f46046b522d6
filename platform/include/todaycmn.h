// todaycmn.h: the Today screen's item protocol. The Today screen loads every enabled item of
// HKEY_LOCAL_MACHINE\Software\Microsoft\Today\Items whose Type is tlitCustom from the library
// named by its DLL value, calls the library's ordinal 240 with the item's record and the Today
// window, and talks to the item window with the WM_TODAYCUSTOM_* messages below. Ordinal 241,
// when present, is the item's options dialog procedure.
//
// Values from the public Windows Mobile documentation of the Today screen.
#pragma once

#include "windows.h"

// Item types, the Type value of an item's registry key.
typedef enum _TODAYLISTITEMTYPE {
    tlitOwnerInfo = 0,
    tlitAppointments,
    tlitMail,
    tlitTasks,
    tlitCustom,
    tlitNil
} TODAYLISTITEMTYPE;

#define MAX_ITEMNAME 32

// The Today screen's record of one item. The item reads fEnabled and reads and writes cyp (its
// height in pixels) when asked WM_TODAYCUSTOM_QUERYREFRESHCACHE.
typedef struct _TODAYLISTITEM {
    TCHAR szName[MAX_ITEMNAME]; // the item's key name, without the quotes
    TODAYLISTITEMTYPE tlit;     // its Type
    DWORD dwOrder;              // its Order
    DWORD cyp;                  // its height in pixels
    BOOL fEnabled;              // its Enabled
    BOOL fOptions;              // the library has an options dialog (ordinal 241)
    DWORD grfFlags;             // its Flags value, for the item's own use
    TCHAR szDLLPath[MAX_PATH];  // its DLL
    HINSTANCE hinstDLL;         // the loaded library
    HWND hwndCustom;            // the item window ordinal 240 returned
    BOOL fSizeOnDraw;           // unused here
    BYTE* prgbCachedData;       // the item's own cache, unused by the Today screen
    DWORD cbCachedData;
} TODAYLISTITEM;

// Messages the Today screen sends to an item window.
#define WM_TODAYCUSTOM_CLEARCACHE (WM_USER + 242) // 0x4F2: the item is being unloaded
#define WM_TODAYCUSTOM_QUERYREFRESHCACHE                                                           \
    (WM_USER + 243) // 0x4F3: lParam TODAYLISTITEM*; TRUE = cyp changed
#define WM_TODAYCUSTOM_RECEIVEDSELECTION (WM_USER + 244) // 0x4F4: wParam the key that brought it
#define WM_TODAYCUSTOM_LOSTSELECTION     (WM_USER + 245) // 0x4F5
#define WM_TODAYCUSTOM_USERNAVIGATION    (WM_USER + 246) // 0x4F6: wParam key; TRUE = used inside
#define WM_TODAYCUSTOM_ACTION            (WM_USER + 247) // 0x4F7: the action key on the item

// Messages an item sends to the Today window (its parent).
#define TODAYM_DRAWWATERMARK (WM_USER + 101) // 0x465 = 1125: lParam TODAYDRAWWATERMARKINFO*
#define TODAYM_TOOKSELECTION (WM_USER + 102) // the item took the selection by a tap

// What the Today screen is to draw its background into, for an item that paints off screen.
typedef struct {
    HDC hdc;   // the target
    RECT rc;   // the item's client rectangle, in the target's coordinates
    HWND hwnd; // the item window
} TODAYDRAWWATERMARKINFO;

// The ordinals of an item library and their shapes.
#define ORDINAL_INITIALIZEITEM    240
#define ORDINAL_OPTIONSDIALOGPROC 241

typedef HWND (*PFNCUSTOMINITIALIZEITEM)(TODAYLISTITEM*, HWND);
typedef LRESULT (*PFNCUSTOMOPTIONSDLGPROC)(HWND, UINT, WPARAM, LPARAM);
