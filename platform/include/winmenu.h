// winmenu.h: menus (pop-up menus and their entries, TrackPopupMenuEx) and message boxes.
// Included by winuser.h.
//
// Values are those of Windows CE. A menu handle is a 32-bit value valid in the process that
// made the menu.
#pragma once

#include "windef.h"
#include "winbase.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifndef WINUSERAPI
#define WINUSERAPI WINBASEAPI
#endif

// ---- Menu entry flags (AppendMenuW, InsertMenuW, ModifyMenuW, CheckMenuItem ...) -------------
#define MF_INSERT          0x00000000L
#define MF_CHANGE          0x00000080L
#define MF_APPEND          0x00000100L
#define MF_DELETE          0x00000200L
#define MF_REMOVE          0x00001000L
#define MF_BYCOMMAND       0x00000000L
#define MF_BYPOSITION      0x00000400L
#define MF_SEPARATOR       0x00000800L
#define MF_ENABLED         0x00000000L
#define MF_GRAYED          0x00000001L
#define MF_DISABLED        0x00000002L
#define MF_UNCHECKED       0x00000000L
#define MF_CHECKED         0x00000008L
#define MF_USECHECKBITMAPS 0x00000200L
#define MF_STRING          0x00000000L
#define MF_BITMAP          0x00000004L
#define MF_OWNERDRAW       0x00000100L
#define MF_POPUP           0x00000010L
#define MF_MENUBARBREAK    0x00000020L
#define MF_MENUBREAK       0x00000040L
#define MF_UNHILITE        0x00000000L
#define MF_HILITE          0x00000080L
#define MF_DEFAULT         0x00001000L
#define MF_RADIOCHECK      0x00000200L

#define MFT_STRING       MF_STRING
#define MFT_BITMAP       MF_BITMAP
#define MFT_MENUBARBREAK MF_MENUBARBREAK
#define MFT_MENUBREAK    MF_MENUBREAK
#define MFT_OWNERDRAW    MF_OWNERDRAW
#define MFT_RADIOCHECK   0x00000200L
#define MFT_SEPARATOR    MF_SEPARATOR
#define MFT_RIGHTORDER   0x00002000L
#define MFT_RIGHTJUSTIFY 0x00004000L

#define MFS_GRAYED    0x00000003L
#define MFS_DISABLED  MFS_GRAYED
#define MFS_CHECKED   MF_CHECKED
#define MFS_HILITE    MF_HILITE
#define MFS_ENABLED   MF_ENABLED
#define MFS_UNCHECKED MF_UNCHECKED
#define MFS_UNHILITE  MF_UNHILITE
#define MFS_DEFAULT   MF_DEFAULT

// MENUITEMINFOW.fMask
#define MIIM_STATE      0x00000001
#define MIIM_ID         0x00000002
#define MIIM_SUBMENU    0x00000004
#define MIIM_CHECKMARKS 0x00000008
#define MIIM_TYPE       0x00000010
#define MIIM_DATA       0x00000020

typedef struct tagMENUITEMINFOW {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    ULONG_PTR dwItemData;
    LPWSTR dwTypeData;
    UINT cch;
} MENUITEMINFOW, *LPMENUITEMINFOW;
typedef const MENUITEMINFOW* LPCMENUITEMINFOW;
typedef MENUITEMINFOW MENUITEMINFO;
typedef LPMENUITEMINFOW LPMENUITEMINFO;

// ---- Menus ------------------------------------------------------------------------------------
// An empty pop-up menu (for TrackPopupMenuEx or as a submenu), or an empty menu bar.
WINUSERAPI HMENU CreatePopupMenu(void);
WINUSERAPI HMENU CreateMenu(void);
// Destroys the menu and every submenu it holds. ERROR_INVALID_MENU_HANDLE for a bad handle.
WINUSERAPI BOOL DestroyMenu(HMENU hMenu);

// Adds an entry: MF_STRING (lpNewItem is its text, '&' marks the mnemonic), MF_SEPARATOR, or
// MF_POPUP (uIDNewItem is the submenu's HMENU), with MF_GRAYED / MF_DISABLED / MF_CHECKED.
// MF_BYCOMMAND positions name an entry by its command anywhere in the menu tree;
// MF_BYPOSITION by its zero-based index (InsertMenuW: -1 or past the end appends).
WINUSERAPI BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
WINUSERAPI BOOL InsertMenuW(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem,
                            LPCWSTR lpNewItem);
// Replaces an entry; a submenu the old entry opened is destroyed.
WINUSERAPI BOOL ModifyMenuW(HMENU hMnu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem,
                            LPCWSTR lpNewItem);
// DeleteMenu destroys the submenu an entry opens; RemoveMenu leaves it to the caller.
WINUSERAPI BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags);
WINUSERAPI BOOL RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags);

// Both return the entry's previous state (MF_CHECKED / MF_UNCHECKED; MF_ENABLED, MF_GRAYED,
// MF_DISABLED), or (DWORD)-1 when there is no such entry.
WINUSERAPI DWORD CheckMenuItem(HMENU hmenu, UINT uIDCheckItem, UINT uCheck);
WINUSERAPI BOOL EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable);
// Checks one entry of the range idFirst..idLast with a round mark and unchecks the others.
WINUSERAPI BOOL CheckMenuRadioItem(HMENU hmenu, UINT idFirst, UINT idLast, UINT idCheck,
                                   UINT uFlags);

WINUSERAPI HMENU GetSubMenu(HMENU hMenu, int nPos);
WINUSERAPI int GetMenuItemCount(HMENU hMenu);
// The entry's command; (UINT)-1 for a submenu entry or a bad position.
WINUSERAPI UINT GetMenuItemID(HMENU hMenu, int nPos);
WINUSERAPI BOOL GetMenuItemInfoW(HMENU hMenu, UINT uItem, BOOL fByPosition, LPMENUITEMINFOW lpmii);
WINUSERAPI BOOL SetMenuItemInfoW(HMENU hMenu, UINT uItem, BOOL fByPosition, LPCMENUITEMINFOW lpmii);

#define AppendMenu      AppendMenuW
#define InsertMenu      InsertMenuW
#define ModifyMenu      ModifyMenuW
#define GetMenuItemInfo GetMenuItemInfoW
#define SetMenuItemInfo SetMenuItemInfoW

// ---- Pop-up menus ------------------------------------------------------------------------------
#define TPM_LEFTBUTTON   0x0000L
#define TPM_LEFTALIGN    0x0000L
#define TPM_CENTERALIGN  0x0004L
#define TPM_RIGHTALIGN   0x0008L
#define TPM_TOPALIGN     0x0000L
#define TPM_VCENTERALIGN 0x0010L
#define TPM_BOTTOMALIGN  0x0020L
#define TPM_HORIZONTAL   0x0000L
#define TPM_VERTICAL     0x0040L
#define TPM_NONOTIFY     0x0080L
#define TPM_RETURNCMD    0x0100L

typedef struct tagTPMPARAMS {
    UINT cbSize;
    RECT rcExclude;
} TPMPARAMS, *LPTPMPARAMS;

// Shows a pop-up menu at x, y (screen coordinates, aligned as the TPM_ flags say, kept on the
// screen) and waits until an entry is chosen or the menu is closed, keeping the thread's
// other windows painted and its timers running. The owner gets WM_INITMENUPOPUP before a
// menu opens (not with TPM_NONOTIFY). With TPM_RETURNCMD the chosen command is returned (0
// when the menu was closed); otherwise WM_COMMAND is posted to the owner and the result is
// TRUE. The device's automation queue may answer the menu before it is shown.
WINUSERAPI BOOL TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hwnd,
                                 LPTPMPARAMS lptpm);
WINUSERAPI BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd,
                               const RECT* prcRect);

// ---- Message boxes ------------------------------------------------------------------------------
#define MB_OK                   0x00000000L
#define MB_OKCANCEL             0x00000001L
#define MB_ABORTRETRYIGNORE     0x00000002L
#define MB_YESNOCANCEL          0x00000003L
#define MB_YESNO                0x00000004L
#define MB_RETRYCANCEL          0x00000005L
#define MB_ICONHAND             0x00000010L
#define MB_ICONQUESTION         0x00000020L
#define MB_ICONEXCLAMATION      0x00000030L
#define MB_ICONASTERISK         0x00000040L
#define MB_ICONWARNING          MB_ICONEXCLAMATION
#define MB_ICONERROR            MB_ICONHAND
#define MB_ICONINFORMATION      MB_ICONASTERISK
#define MB_ICONSTOP             MB_ICONHAND
#define MB_DEFBUTTON1           0x00000000L
#define MB_DEFBUTTON2           0x00000100L
#define MB_DEFBUTTON3           0x00000200L
#define MB_DEFBUTTON4           0x00000300L
#define MB_APPLMODAL            0x00000000L
#define MB_SYSTEMMODAL          0x00001000L
#define MB_TASKMODAL            0x00002000L
#define MB_SETFOREGROUND        0x00010000L
#define MB_DEFAULT_DESKTOP_ONLY 0x00020000L
#define MB_TOPMOST              0x00040000L
#define MB_RIGHT                0x00080000L
#define MB_RTLREADING           0x00100000L
#define MB_TYPEMASK             0x0000000FL
#define MB_ICONMASK             0x000000F0L
#define MB_DEFMASK              0x00000F00L
#define MB_MODEMASK             0x00003000L
#define MB_MISCMASK             0x0000C000L

// Button identifiers: what MessageBoxW returns, and the dialog commands of the same buttons.
#ifndef IDOK
#define IDOK     1
#define IDCANCEL 2
#define IDABORT  3
#define IDRETRY  4
#define IDIGNORE 5
#define IDYES    6
#define IDNO     7
#endif

// Shows a message box (a topmost window of class "Dialog" titled lpCaption, "Error" when
// NULL) with the text wrapped, an icon and the buttons of uType, and waits for the answer
// while the thread's other windows stay painted and its timers run; hWnd, the owner, is
// disabled meanwhile. Returns the button's identifier (IDOK ... IDNO), or 0 on failure. The
// device's automation queue may answer it before it waits for the user.
WINUSERAPI int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
#define MessageBox MessageBoxW

#ifdef __cplusplus
}
#endif
