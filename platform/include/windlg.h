// windlg.h: dialogs, their templates, and the static and button controls. Included by
// winuser.h.
//
// A dialog template is C++ data, the equivalent of a resource script's DIALOG statement:
//
//   static const CeDialogItem kItems[] = {
//       {u"BUTTON", IDOK, u"Done", {4, 4, 50, 14}, BS_DEFPUSHBUTTON | WS_TABSTOP},
//       {u"EDIT", 100, u"", {4, 22, 100, 12}, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
//   };
//   static const CeDialogTemplate kNewAlarm = {DS_MODALFRAME | WS_POPUP | WS_CAPTION, 0,
//       {0, 0, 160, 200}, u"New Alarm", u"Tahoma", 8, kItems, CE_COUNTOF(kItems)};
//
//   DialogBoxIndirectParamW(hInst, (LPCDLGTEMPLATEW)&kNewAlarm, hwndOwner, NewAlarmProc, 0);
//
// On the device a template is the binary block the resource compiler writes; here the
// dialog manager's DLGTEMPLATE *is* a CeDialogTemplate, so the cast that device code writes
// is kept and changes nothing. A template in a module's resources is a CeDataEntry of type
// RT_DIALOG whose data is a CeDialogTemplate (ceresource.h); DialogBoxParamW and
// CreateDialogParamW find it by number or name.
//
// Values are those of Windows CE.
#pragma once

#include "windef.h"
#include "winbase.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifndef WINUSERAPI
#define WINUSERAPI WINBASEAPI
#endif

// ---- Templates --------------------------------------------------------------------------------

// A rectangle in dialog units: x and width in quarters of the font's average character
// width, y and height in eighths of its height.
typedef struct CeDialogRect {
    int x;
    int y;
    int cx;
    int cy;
} CeDialogRect;

// One control: its window class (u"BUTTON", u"STATIC", u"EDIT", u"LISTBOX", u"COMBOBOX" or
// a class the program registered), identifier, text (NULL for none; for SS_ICON and SS_BITMAP
// statics the resource name, e.g. u"#101"), rectangle in the dialog's client area, and
// styles. As in a resource script, every control is made with WS_CHILD | WS_VISIBLE added to
// its style; one that should start hidden is hidden in WM_INITDIALOG.
typedef struct CeDialogItem {
    const WCHAR* className;
    int id;
    const WCHAR* text;
    CeDialogRect rect;
    DWORD style;
    DWORD exStyle;
} CeDialogItem;

// The dialog: styles, rectangle (x and y relative to the owner's client area unless
// DS_ABSALIGN or DS_CENTER), caption, font (NULL face: the system's dialog font, Tahoma
// 8 points), and the controls in tab order.
typedef struct CeDialogTemplate {
    DWORD style;
    DWORD exStyle;
    CeDialogRect rect;
    const WCHAR* caption;
    const WCHAR* fontFace;
    int fontPoints;
    const CeDialogItem* items;
    UINT itemCount;
} CeDialogTemplate;

typedef CeDialogTemplate DLGTEMPLATE, DLGTEMPLATEW;
typedef const CeDialogTemplate *LPCDLGTEMPLATE, *LPCDLGTEMPLATEW;

// ---- Dialog styles ----------------------------------------------------------------------------
#define DS_ABSALIGN      0x0001L
#define DS_SYSMODAL      0x0002L
#define DS_LOCALEDIT     0x0020L
#define DS_SETFONT       0x0040L
#define DS_MODALFRAME    0x0080L
#define DS_NOIDLEMSG     0x0100L
#define DS_SETFOREGROUND 0x0200L
#define DS_CONTROL       0x0400L
#define DS_CENTER        0x0800L

// ---- Standard identifiers of dialog buttons ----------------------------------------------------
#ifndef IDOK
#define IDOK     1
#define IDCANCEL 2
#define IDABORT  3
#define IDRETRY  4
#define IDIGNORE 5
#define IDYES    6
#define IDNO     7
#endif
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// ---- Dialog messages --------------------------------------------------------------------------
#define WM_NEXTDLGCTL 0x0028
#define DM_GETDEFID   (0x0400 + 0) // WM_USER + 0
#define DM_SETDEFID   (0x0400 + 1)
#define DC_HASDEFID   0x534B // HIWORD of DM_GETDEFID's result when a default exists

// WM_GETDLGCODE results.
#define DLGC_WANTARROWS      0x0001
#define DLGC_WANTTAB         0x0002
#define DLGC_WANTALLKEYS     0x0004
#define DLGC_WANTMESSAGE     0x0004
#define DLGC_HASSETSEL       0x0008
#define DLGC_DEFPUSHBUTTON   0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_RADIOBUTTON     0x0040
#define DLGC_WANTCHARS       0x0080
#define DLGC_STATIC          0x0100
#define DLGC_BUTTON          0x2000

// ---- Dialog functions -------------------------------------------------------------------------

// Modal dialogs: the owner is disabled while the dialog runs its own message loop (which
// keeps the thread's other windows painted and its timers firing); returns the value given
// to EndDialog, or -1 when the dialog could not be made.
WINUSERAPI INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                                   DLGPROC lpDialogFunc, LPARAM dwInitParam);
WINUSERAPI INT_PTR DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate,
                                           HWND hWndParent, DLGPROC lpDialogFunc,
                                           LPARAM dwInitParam);
#define DialogBoxW(i, t, p, f)         DialogBoxParamW(i, t, p, f, 0)
#define DialogBoxIndirectW(i, t, p, f) DialogBoxIndirectParamW(i, t, p, f, 0)
#define DialogBox                      DialogBoxW
#define DialogBoxParam                 DialogBoxParamW
#define DialogBoxIndirect              DialogBoxIndirectW
#define DialogBoxIndirectParam         DialogBoxIndirectParamW

// Modeless dialogs: the caller's message loop passes the dialog's messages through
// IsDialogMessageW. NULL when the dialog could not be made.
WINUSERAPI HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                                   DLGPROC lpDialogFunc, LPARAM dwInitParam);
WINUSERAPI HWND CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate,
                                           HWND hWndParent, DLGPROC lpDialogFunc,
                                           LPARAM lParamInit);
#define CreateDialogW(i, t, p, f)         CreateDialogParamW(i, t, p, f, 0)
#define CreateDialogIndirectW(i, t, p, f) CreateDialogIndirectParamW(i, t, p, f, 0)
#define CreateDialog                      CreateDialogW
#define CreateDialogParam                 CreateDialogParamW
#define CreateDialogIndirect              CreateDialogIndirectW
#define CreateDialogIndirectParam         CreateDialogIndirectParamW

WINUSERAPI BOOL EndDialog(HWND hDlg, int nResult);
WINUSERAPI LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam);
WINUSERAPI BOOL IsDialogMessageW(HWND hDlg, LPMSG lpMsg);
WINUSERAPI BOOL MapDialogRect(HWND hDlg, LPRECT lpRect);
WINUSERAPI LONG GetDialogBaseUnits(void);
WINUSERAPI HWND GetDlgItem(HWND hDlg, int nIDDlgItem);
WINUSERAPI int GetDlgCtrlID(HWND hWnd);
WINUSERAPI HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious);
WINUSERAPI HWND GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious);
WINUSERAPI BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString);
WINUSERAPI UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int nMaxCount);
WINUSERAPI BOOL SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned);
WINUSERAPI UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned);
WINUSERAPI BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck);
WINUSERAPI UINT IsDlgButtonChecked(HWND hDlg, int nIDButton);
WINUSERAPI BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton,
                                 int nIDCheckButton);
WINUSERAPI LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                       LPARAM lParam);
#define DefDlgProc         DefDlgProcW
#define IsDialogMessage    IsDialogMessageW
#define SetDlgItemText     SetDlgItemTextW
#define GetDlgItemText     GetDlgItemTextW
#define SendDlgItemMessage SendDlgItemMessageW

// ---- Owner-drawn controls (WM_DRAWITEM) -------------------------------------------------------
#define ODT_MENU     1
#define ODT_LISTBOX  2
#define ODT_COMBOBOX 3
#define ODT_BUTTON   4
#define ODT_STATIC   5

#define ODA_DRAWENTIRE 0x0001
#define ODA_SELECT     0x0002
#define ODA_FOCUS      0x0004

#define ODS_SELECTED     0x0001
#define ODS_GRAYED       0x0002
#define ODS_DISABLED     0x0004
#define ODS_CHECKED      0x0008
#define ODS_FOCUS        0x0010
#define ODS_DEFAULT      0x0020
#define ODS_COMBOBOXEDIT 0x1000

typedef struct tagDRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
} DRAWITEMSTRUCT, *PDRAWITEMSTRUCT, *LPDRAWITEMSTRUCT;

// ---- STATIC -----------------------------------------------------------------------------------
#define SS_LEFT           0x00000000L
#define SS_CENTER         0x00000001L
#define SS_RIGHT          0x00000002L
#define SS_ICON           0x00000003L
#define SS_LEFTNOWORDWRAP 0x0000000CL
#define SS_BITMAP         0x0000000EL
#define SS_TYPEMASK       0x0000001FL
#define SS_NOPREFIX       0x00000080L
#define SS_NOTIFY         0x00000100L
#define SS_CENTERIMAGE    0x00000200L

#define STM_SETICON  0x0170
#define STM_GETICON  0x0171
#define STM_SETIMAGE 0x0172
#define STM_GETIMAGE 0x0173

#define STN_CLICKED 0
#define STN_DBLCLK  1
#define STN_ENABLE  2
#define STN_DISABLE 3

// ---- BUTTON -----------------------------------------------------------------------------------
#define BS_PUSHBUTTON      0x00000000L
#define BS_DEFPUSHBUTTON   0x00000001L
#define BS_CHECKBOX        0x00000002L
#define BS_AUTOCHECKBOX    0x00000003L
#define BS_RADIOBUTTON     0x00000004L
#define BS_3STATE          0x00000005L
#define BS_AUTO3STATE      0x00000006L
#define BS_GROUPBOX        0x00000007L
#define BS_USERBUTTON      0x00000008L
#define BS_AUTORADIOBUTTON 0x00000009L
#define BS_OWNERDRAW       0x0000000BL
#define BS_TYPEMASK        0x0000000FL
#define BS_LEFTTEXT        0x00000020L
#define BS_RIGHTBUTTON     BS_LEFTTEXT
#define BS_TEXT            0x00000000L
#define BS_ICON            0x00000040L
#define BS_BITMAP          0x00000080L
#define BS_LEFT            0x00000100L
#define BS_RIGHT           0x00000200L
#define BS_CENTER          0x00000300L
#define BS_TOP             0x00000400L
#define BS_BOTTOM          0x00000800L
#define BS_VCENTER         0x00000C00L
#define BS_PUSHLIKE        0x00001000L
#define BS_MULTILINE       0x00002000L
#define BS_NOTIFY          0x00004000L
#define BS_FLAT            0x00008000L

#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_GETSTATE 0x00F2
#define BM_SETSTATE 0x00F3
#define BM_SETSTYLE 0x00F4
#define BM_CLICK    0x00F5

#define BST_UNCHECKED     0x0000
#define BST_CHECKED       0x0001
#define BST_INDETERMINATE 0x0002
#define BST_PUSHED        0x0004
#define BST_FOCUS         0x0008

#define BN_CLICKED       0
#define BN_PAINT         1
#define BN_HILITE        2
#define BN_UNHILITE      3
#define BN_DISABLE       4
#define BN_DOUBLECLICKED 5
#define BN_SETFOCUS      6
#define BN_KILLFOCUS     7
#define BN_PUSHED        BN_HILITE
#define BN_UNPUSHED      BN_UNHILITE
#define BN_DBLCLK        BN_DOUBLECLICKED

#ifdef __cplusplus
}
#endif
