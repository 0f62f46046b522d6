// aygshell.h: the Pocket PC shell's services to programs (aygshell.dll): full-screen dialogs
// and their Done button, the menu bar with its two soft keys, the tap-and-hold gesture, the
// full-screen state of a window, and the shell's special folders and shortcuts. Programs
// include it themselves, beside windows.h.
//
// Values are those of Windows Mobile. The menu bar takes its menu from a menu resource (see
// CeMenuItem below) or from an HMENU; its keys are addressed by the command identifiers of the
// menu's two top-level entries, with the toolbar messages TB_GETBUTTONINFO/TB_SETBUTTONINFO.
#pragma once

#include "windef.h"
#include "winuser.h"
#include "objbase.h"

#ifdef __cplusplus
extern "C" {
#endif

// ---- Full-screen dialogs ------------------------------------------------------------------------
#define SHIDIM_FLAGS 0x0001

#define SHIDIF_DONEBUTTON          0x0001
#define SHIDIF_SIZEDLG             0x0002
#define SHIDIF_SIZEDLGFULLSCREEN   0x0004
#define SHIDIF_SIPDOWN             0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU           0x0020
#define SHIDIF_WANTSCROLLBAR       0x0040

typedef struct tagSHINITDIALOG {
    DWORD dwMask; // SHIDIM_FLAGS: dwFlags is valid
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

// Called from WM_INITDIALOG. SHIDIF_SIZEDLG and SHIDIF_SIZEDLGFULLSCREEN size the dialog to
// the work area less the menu bar's height at the bottom; SHIDIF_FULLSCREENNOMENUBAR to the
// whole work area. SHIDIF_DONEBUTTON shows the OK button in the title bar (as SHDoneButton
// SHDB_SHOW), SHIDIF_EMPTYMENU gives the dialog an empty menu bar. FALSE with
// ERROR_INVALID_PARAMETER for a null record and ERROR_INVALID_WINDOW_HANDLE for a bad hDlg.
WINUSERAPI BOOL SHInitDialog(PSHINITDLGINFO pshidi);

#define SHDB_SHOW       0x0001
#define SHDB_HIDE       0x0002
#define SHDB_SHOWCANCEL 0x0004

// Shows the OK (or, with SHDB_SHOWCANCEL, the X) button in the title bar while hwndRequester
// is in front, or hides it. A tap on it sends WM_COMMAND IDOK (IDCANCEL for the X) to the
// window. The window's WS_EX_CAPTIONOKBTN style follows the state.
WINUSERAPI BOOL SHDoneButton(HWND hwndRequester, DWORD dwState);

#define SHFS_SHOWTASKBAR   0x0001
#define SHFS_HIDETASKBAR   0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020

// Records which parts of the shell's bars hwndRequester wants hidden while it is in front.
// The program sizes its window itself. The SHFS_HIDE* states need hwndRequester to be the
// foreground window, else FALSE.
WINUSERAPI BOOL SHFullScreen(HWND hwndRequester, DWORD dwState);

// ---- Menu bar ---------------------------------------------------------------------------------
#define SHCMBF_EMPTYBAR      0x0001
#define SHCMBF_HIDDEN        0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK       0x0008
#define SHCMBF_HMENU         0x0010

typedef struct tagSHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent; // receives the keys' WM_COMMAND
    DWORD dwFlags;
    UINT nToolBarId; // menu resource of hInstRes; with SHCMBF_HMENU and a zero HIWORD an HMENU
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB; // out: the menu bar
    COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

// Creates the menu bar of hwndParent: a window of class "menu_worker" along the bottom of the
// screen with a soft key for each of the first two top-level entries of its menu (left and
// right). A key whose entry has a submenu opens it as a pop-up menu above the key; the other
// keys send WM_COMMAND with their identifier to hwndParent. VK_F1 and VK_F2 (VK_TSOFT1/2)
// reaching the menu bar press the left and right keys. TRUE with hwndMB filled in; FALSE with
// ERROR_INVALID_PARAMETER (bad record or parent) or ERROR_RESOURCE_NAME_NOT_FOUND (no menu).
WINUSERAPI BOOL SHCreateMenuBar(SHMENUBARINFO* pmbi);
// The menu bar SHCreateMenuBar made for hwnd, or NULL.
WINUSERAPI HWND SHFindMenuBar(HWND hwnd);

#define SHCMBM_SETSUBMENU                                                                          \
    (WM_USER + 400)                        // wParam: key id (0: the key with a submenu);
                                           // lParam: HMENU; returns the old submenu
#define SHCMBM_GETSUBMENU  (WM_USER + 401) // lParam: key id; returns its submenu
#define SHCMBM_GETMENU     (WM_USER + 402) // returns the menu bar's menu
#define SHCMBM_OVERRIDEKEY (WM_USER + 403) // wParam: VK_; lParam: MAKELPARAM(mask, value)
#define SHCMBM_SETBKCOLOR  (WM_USER + 406)

#define SHMBOF_NODEFAULT 0x00000001 // the menu bar does not act on the key
#define SHMBOF_NOTIFY    0x00000002 // the key's WM_KEYDOWN/WM_KEYUP go to the parent

// The toolbar messages by which a program changes a key, as for any toolbar.
#ifndef TB_GETBUTTONINFO
#define TB_GETBUTTONINFO (WM_USER + 63) // wParam: command id; returns the key's index or -1
#define TB_SETBUTTONINFO (WM_USER + 64) // wParam: command id; returns TRUE or FALSE

#define TBIF_IMAGE   0x00000001
#define TBIF_TEXT    0x00000002
#define TBIF_STATE   0x00000004
#define TBIF_STYLE   0x00000008
#define TBIF_LPARAM  0x00000010
#define TBIF_COMMAND 0x00000020
#define TBIF_SIZE    0x00000040
#define TBIF_BYINDEX 0x80000000 // wParam is the key's index, not its command id

#define TBSTATE_CHECKED       0x01
#define TBSTATE_PRESSED       0x02
#define TBSTATE_ENABLED       0x04
#define TBSTATE_HIDDEN        0x08
#define TBSTATE_INDETERMINATE 0x10
#define TBSTATE_WRAP          0x20

typedef struct tagTBBUTTONINFO {
    UINT cbSize;
    DWORD dwMask;
    int idCommand;
    int iImage;
    BYTE fsState;
    BYTE fsStyle;
    WORD cx;
    DWORD_PTR lParam;
    LPWSTR pszText;
    int cchText;
} TBBUTTONINFO, *LPTBBUTTONINFO;
#endif

// ---- Menu resources ---------------------------------------------------------------------------
// A menu resource is an RT_MENU data entry of a module's resource table (ceresource.h) whose
// data is an array of CeMenuItem, in the order a resource script lists them: an entry with
// MF_POPUP opens a submenu whose entries follow it, and the last entry of every level carries
// CE_MENU_END. Unlike a menu built with AppendMenuW, a MF_POPUP entry keeps a command
// identifier: it names a soft key of a menu bar (SHCMBM_GETSUBMENU, TB_SETBUTTONINFO).
//
//   static const CeMenuItem kSnoozeBar[] = {
//       {MF_STRING, IDOK, u"Done"},
//       {MF_POPUP | CE_MENU_END, 40001, u"Snooze"},
//       {MF_STRING, 40002, u"5 min"},
//       {MF_STRING | CE_MENU_END, 40003, u"10 min"},
//   };
//   static const CeDataEntry kData[] = {{RT_MENU, 102, NULL, kSnoozeBar, sizeof kSnoozeBar}};
#define CE_MENU_END 0x0080

typedef struct CeMenuItem {
    WORD flags; // MF_STRING, MF_POPUP, MF_SEPARATOR, MF_GRAYED, MF_CHECKED; CE_MENU_END
    WORD id;
    const WCHAR* text;
} CeMenuItem;

#ifndef CE_LOADMENUW_DECLARED
#define CE_LOADMENUW_DECLARED
// Builds a menu (CreateMenu, AppendMenuW) from a module's menu resource; NULL with
// ERROR_RESOURCE_NAME_NOT_FOUND when the module has none of that name, or
// ERROR_INVALID_DATA when the entries do not form a menu. DestroyMenu frees it.
WINUSERAPI HMENU LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName);
#define LoadMenu LoadMenuW
#endif

// ---- Tap and hold -------------------------------------------------------------------------------
#define SHRG_RETURNCMD    0x00000001
#define SHRG_NOTIFYPARENT 0x00000002
#define SHRG_LONGDELAY    0x00000008
#define SHRG_NOANIMATION  0x00000010

#define GN_CONTEXTMENU 1000

typedef struct tagSHRGI {
    DWORD cbSize;
    HWND hwndClient;
    POINT ptDown; // client coordinates of hwndClient
    DWORD dwFlags;
} SHRGINFO, *PSHRGINFO;

#ifndef CE_NMHDR_DEFINED
#define CE_NMHDR_DEFINED
typedef struct tagNMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
} NMHDR, *LPNMHDR;
#endif

typedef struct tagNMRGINFO {
    NMHDR hdr; // code GN_CONTEXTMENU
    POINT ptAction;
    DWORD dwItemSpec;
} NMRGINFO, *PNMRGINFO;

// Called on pen-down (WM_LBUTTONDOWN): waits while the pen stays down, keeping the thread's
// windows painted. A pen held still for the hold time is the context-menu gesture: with
// SHRG_RETURNCMD the result is GN_CONTEXTMENU; otherwise WM_NOTIFY (NMRGINFO, GN_CONTEXTMENU)
// goes to the parent of hwndClient (SHRG_NOTIFYPARENT) or to hwndClient, and its result is
// returned. A move or the release before that returns 0; the pen's messages stay queued for
// the window.
WINUSERAPI DWORD SHRecognizeGesture(SHRGINFO* shrg);

// ---- Extra controls
// ------------------------------------------------------------------------------ Registers the
// shell's extra control classes. Nothing to register here: TRUE.
WINUSERAPI BOOL SHInitExtraControls(void);

// ---- Special folders and shortcuts
// ----------------------------------------------------------------
#define CSIDL_DESKTOP          0x0000
#define CSIDL_PROGRAMS         0x0002
#define CSIDL_PERSONAL         0x0005
#define CSIDL_FAVORITES        0x0006
#define CSIDL_STARTUP          0x0007
#define CSIDL_RECENT           0x0008
#define CSIDL_STARTMENU        0x000b
#define CSIDL_MYMUSIC          0x000d
#define CSIDL_MYVIDEO          0x000e
#define CSIDL_DESKTOPDIRECTORY 0x0010
#define CSIDL_FONTS            0x0014
#define CSIDL_TEMPLATES        0x0015
#define CSIDL_APPDATA          0x001a
#define CSIDL_WINDOWS          0x0024
#define CSIDL_PROGRAM_FILES    0x0026
#define CSIDL_MYPICTURES       0x0027

// Copies the device path of a special folder ("\Windows\StartUp") into lpszPath, a buffer of
// MAX_PATH characters; with fCreate the folder is made when missing. FALSE for a folder the
// device does not have (ERROR_INVALID_PARAMETER) or a null buffer.
WINUSERAPI BOOL SHGetSpecialFolderPath(HWND hwndOwner, LPWSTR lpszPath, int nFolder, BOOL fCreate);
#define SHGetSpecialFolderPathW SHGetSpecialFolderPath

// The path a storage card's autorun program would have ("\Storage Card\2577\autorun.exe")
// into a buffer of MAX_PATH characters; FALSE when the device has no storage card.
WINUSERAPI BOOL SHGetAutoRunPath(LPWSTR pAutoRunPath);

// Writes the shortcut file szShortcut that starts szTarget (the target as given, quotes
// included). FALSE when the file exists already or cannot be written.
WINUSERAPI BOOL SHCreateShortcut(LPWSTR szShortcut, LPWSTR szTarget);

// ---- Image files
// ---------------------------------------------------------------------------------- Loads a
// Windows bitmap file (.bmp, any of its bit depths) as a DIB section the caller deletes. NULL for
// any other format or a file that cannot be read or is corrupt.
WINUSERAPI HBITMAP SHLoadDIBitmap(LPCWSTR szFileName);
// The shell's image-file loader (ordinal 75, exported by ordinal only on the device): loads a
// BMP, PNG, JPEG or GIF file through the imaging library as a 24-bit DIB section the caller
// deletes: no alpha channel (an image's transparent parts are blended onto white), so the
// caller draws it with a colour key. NULL when the file cannot be read or decoded, or the
// imaging library is withdrawn from the device.
WINUSERAPI HBITMAP SHLoadImageFile(LPCWSTR pszFileName);

// ---- Shell notifications (the bubbles of the title bar; the reminders the shell shows) ----------
// CLSID comes from objbase.h.

typedef enum _SHNP {
    SHNP_INFORM = 0x1B1, // a bubble shown for csDuration seconds
    SHNP_ICONIC = 0      // no bubble: an icon only
} SHNP;

// grfFlags of SHNOTIFICATIONDATA.
#define SHNF_STRAIGHTTOTRAY 0x00000001
#define SHNF_CRITICAL       0x00000002
#define SHNF_FORCEMESSAGE   0x00000008
#define SHNF_DISPLAYON      0x00000010
#define SHNF_SILENT         0x00000020
#define SHNF_HASMENU        0x00000040
#define SHNF_TITLETIME      0x00000080
#define SHNF_SPINNERS       0x00000100
#define SHNF_ALERTONUPDATE  0x00000200

#define NOTIF_NUM_SOFTKEYS 2

typedef struct _SOFTKEYCMD {
    WPARAM wpCmd;
    DWORD grfFlags;
} SOFTKEYCMD;

typedef struct _SOFTKEYMENU {
    HMENU hMenu;
    SOFTKEYCMD* prgskc;
    UINT cskc;
} SOFTKEYMENU;

typedef struct _SOFTKEYNOTIFY {
    LPCWSTR pszTitle;
    SOFTKEYCMD skc;
} SOFTKEYNOTIFY;

// One shell notification (88 bytes on the 32-bit device; cbStruct is checked against this
// structure's size here).
typedef struct _SHNOTIFICATIONDATA {
    DWORD cbStruct;
    DWORD dwID;
    SHNP npPriority;
    DWORD csDuration; // seconds; (DWORD)-1: until dismissed
    HICON hicon;
    DWORD grfFlags; // SHNF_*
    CLSID clsid;    // the notification's class; with dwID it names the notification
    HWND hwndSink;  // receives the commands of the bubble
    LPCWSTR pszHTML;
    LPCWSTR pszTitle;
    LPARAM lParam;
    union {
        SOFTKEYMENU skm;
        SOFTKEYNOTIFY rgskn[NOTIF_NUM_SOFTKEYS];
    };
    LPCWSTR pszTodaySK;
    LPCWSTR pszTodayExec;
} SHNOTIFICATIONDATA, *PSHNOTIFICATIONDATA;

// Adds a shell notification (or replaces the one of the same class and id). The shell keeps
// it, device-wide, until SHNotificationRemove. ERROR_SUCCESS, or ERROR_INVALID_PARAMETER.
WINUSERAPI LRESULT SHNotificationAdd(SHNOTIFICATIONDATA* pndAdd);
// Removes the notification of this class and id: ERROR_SUCCESS, or ERROR_NOT_FOUND
// (0x490) when there is none.
WINUSERAPI LRESULT SHNotificationRemove(const CLSID* pclsid, DWORD dwID);
// Reads a notification back. On success pszHTML and pszTitle of *pndBuffer are copies the
// caller frees with LocalFree; every other pointer member is NULL. ERROR_INVALID_PARAMETER for
// a NULL class; 0x491 for a NULL buffer, whether or not the notification exists;
// ERROR_NOT_FOUND when no notification has this class and id.
WINUSERAPI LRESULT SHNotificationGetData(const CLSID* pclsid, DWORD dwID,
                                         SHNOTIFICATIONDATA* pndBuffer);

#ifdef __cplusplus
}
#endif
