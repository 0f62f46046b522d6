// winuser.h: the window system of the device: window classes and windows, messages and the
// message loop, timers, painting, focus and input, system metrics and colours, resources.
// Included by windows.h.
//
// Values are those of Windows CE where they differ from the desktop (the system colour
// indexes carry SYS_COLOR_INDEX_FLAG; GWL_USERDATA is -21; the soft keys are VK_F1 and VK_F2).
// Window handles are 32-bit values valid in every process of the device.
#pragma once

#include "windef.h"
#include "winbase.h"

#ifdef __cplusplus
extern "C" {
#endif

#define WINUSERAPI WINBASEAPI

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
typedef BOOL(CALLBACK* WNDENUMPROC)(HWND, LPARAM);
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#ifndef MAKEINTRESOURCEW
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE     MAKEINTRESOURCEW
#endif
#ifndef IS_INTRESOURCE
#define IS_INTRESOURCE(p) ((((ULONG_PTR)(p)) >> 16) == 0)
#endif

// ---- Messages -----------------------------------------------------------------------------
#define WM_NULL              0x0000
#define WM_CREATE            0x0001
#define WM_DESTROY           0x0002
#define WM_MOVE              0x0003
#define WM_SIZE              0x0005
#define WM_ACTIVATE          0x0006
#define WM_SETFOCUS          0x0007
#define WM_KILLFOCUS         0x0008
#define WM_ENABLE            0x000A
#define WM_SETREDRAW         0x000B
#define WM_SETTEXT           0x000C
#define WM_GETTEXT           0x000D
#define WM_GETTEXTLENGTH     0x000E
#define WM_PAINT             0x000F
#define WM_CLOSE             0x0010
#define WM_QUIT              0x0012
#define WM_ERASEBKGND        0x0014
#define WM_SYSCOLORCHANGE    0x0015
#define WM_SHOWWINDOW        0x0018
#define WM_SETTINGCHANGE     0x001A
#define WM_WININICHANGE      WM_SETTINGCHANGE
#define WM_FONTCHANGE        0x001D
#define WM_CANCELMODE        0x001F
#define WM_SETCURSOR         0x0020
#define WM_DRAWITEM          0x002B
#define WM_MEASUREITEM       0x002C
#define WM_DELETEITEM        0x002D
#define WM_VKEYTOITEM        0x002E
#define WM_CHARTOITEM        0x002F
#define WM_SETFONT           0x0030
#define WM_GETFONT           0x0031
#define WM_COMPAREITEM       0x0039
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_WINDOWPOSCHANGED  0x0047
#define WM_COPYDATA          0x004A
#define WM_NOTIFY            0x004E
#define WM_HELP              0x0053
#define WM_STYLECHANGED      0x007D
#define WM_GETICON           0x007F
#define WM_SETICON           0x0080
#define WM_NCCREATE          0x0081
#define WM_NCDESTROY         0x0082
#define WM_NCCALCSIZE        0x0083
#define WM_NCHITTEST         0x0084
#define WM_NCPAINT           0x0085
#define WM_NCACTIVATE        0x0086
#define WM_GETDLGCODE        0x0087
#define WM_KEYFIRST          0x0100
#define WM_KEYDOWN           0x0100
#define WM_KEYUP             0x0101
#define WM_CHAR              0x0102
#define WM_DEADCHAR          0x0103
#define WM_SYSKEYDOWN        0x0104
#define WM_SYSKEYUP          0x0105
#define WM_SYSCHAR           0x0106
#define WM_KEYLAST           0x0108
#define WM_INITDIALOG        0x0110
#define WM_COMMAND           0x0111
#define WM_SYSCOMMAND        0x0112
#define WM_TIMER             0x0113
#define WM_HSCROLL           0x0114
#define WM_VSCROLL           0x0115
#define WM_INITMENUPOPUP     0x0117
#define WM_MENUSELECT        0x011F
#define WM_ENTERIDLE         0x0121
#define WM_CTLCOLORMSGBOX    0x0132
#define WM_CTLCOLOREDIT      0x0133
#define WM_CTLCOLORLISTBOX   0x0134
#define WM_CTLCOLORBTN       0x0135
#define WM_CTLCOLORDLG       0x0136
#define WM_CTLCOLORSCROLLBAR 0x0137
#define WM_CTLCOLORSTATIC    0x0138
#define WM_MOUSEFIRST        0x0200
#define WM_MOUSEMOVE         0x0200
#define WM_LBUTTONDOWN       0x0201
#define WM_LBUTTONUP         0x0202
#define WM_LBUTTONDBLCLK     0x0203
#define WM_RBUTTONDOWN       0x0204
#define WM_RBUTTONUP         0x0205
#define WM_RBUTTONDBLCLK     0x0206
#define WM_MBUTTONDOWN       0x0207
#define WM_MBUTTONUP         0x0208
#define WM_MBUTTONDBLCLK     0x0209
#define WM_MOUSEWHEEL        0x020A
#define WM_MOUSELAST         0x020A
#define WM_CAPTURECHANGED    0x0215
#define WM_CUT               0x0300
#define WM_COPY              0x0301
#define WM_PASTE             0x0302
#define WM_CLEAR             0x0303
#define WM_UNDO              0x0304
#define WM_PRINTCLIENT       0x0318
#define WM_DBNOTIFICATION    0x03FD
#define WM_NETCONNECT        0x03FE
#define WM_HIBERNATE         0x03FF
#define WM_USER              0x0400
#define WM_APP               0x8000

// WM_ACTIVATE
#define WA_INACTIVE    0
#define WA_ACTIVE      1
#define WA_CLICKACTIVE 2

// WM_SIZE
#define SIZE_RESTORED  0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2

// Pointer message key state (wParam)
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT   0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time; // GetTickCount() when the message was queued
    POINT pt;   // the pointer position in screen coordinates at that time
} MSG, *PMSG, *LPMSG;

typedef struct tagCREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTW, *LPCREATESTRUCTW;
typedef CREATESTRUCTW CREATESTRUCT;
typedef LPCREATESTRUCTW LPCREATESTRUCT;

typedef struct tagWINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
} WINDOWPOS, *LPWINDOWPOS, *PWINDOWPOS;

typedef struct tagCOPYDATASTRUCT {
    ULONG_PTR dwData;
    DWORD cbData;
    PVOID lpData;
} COPYDATASTRUCT, *PCOPYDATASTRUCT;

// ---- Window classes -------------------------------------------------------------------------
#define CS_VREDRAW     0x0001
#define CS_HREDRAW     0x0002
#define CS_DBLCLKS     0x0008
#define CS_PARENTDC    0x0080
#define CS_NOCLOSE     0x0200
#define CS_GLOBALCLASS 0x4000
#define CS_IME         0x00010000

typedef struct tagWNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground; // a brush, or a system colour index + 1
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
} WNDCLASSW, *PWNDCLASSW, *LPWNDCLASSW;
typedef WNDCLASSW WNDCLASS;
typedef LPWNDCLASSW LPWNDCLASS;

// Returns the class atom (non-zero), or 0 with ERROR_CLASS_ALREADY_EXISTS when the module
// already has a class of that name (names compare without regard to case).
WINUSERAPI ATOM RegisterClassW(const WNDCLASSW* lpWndClass);
WINUSERAPI BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance);
WINUSERAPI BOOL GetClassInfoW(HINSTANCE hInstance, LPCWSTR lpClassName, LPWNDCLASSW lpWndClass);
WINUSERAPI int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount);
WINUSERAPI DWORD GetClassLongW(HWND hWnd, int nIndex);
WINUSERAPI DWORD SetClassLongW(HWND hWnd, int nIndex, LONG dwNewLong);
#define RegisterClass   RegisterClassW
#define UnregisterClass UnregisterClassW
#define GetClassInfo    GetClassInfoW
#define GetClassName    GetClassNameW
#define GetClassLong    GetClassLongW
#define SetClassLong    SetClassLongW

#define GCL_MENUNAME      (-8)
#define GCL_HBRBACKGROUND (-10)
#define GCL_HCURSOR       (-12)
#define GCL_HICON         (-14)
#define GCL_CBWNDEXTRA    (-18)
#define GCL_CBCLSEXTRA    (-20)
#define GCL_WNDPROC       (-24)
#define GCL_STYLE         (-26)

// ---- Windows --------------------------------------------------------------------------------
#define WS_OVERLAPPED       0x00000000L
#define WS_POPUP            0x80000000L
#define WS_CHILD            0x40000000L
#define WS_VISIBLE          0x10000000L
#define WS_DISABLED         0x08000000L
#define WS_CLIPSIBLINGS     0x04000000L
#define WS_CLIPCHILDREN     0x02000000L
#define WS_CAPTION          0x00C00000L
#define WS_BORDER           0x00800000L
#define WS_DLGFRAME         0x00400000L
#define WS_VSCROLL          0x00200000L
#define WS_HSCROLL          0x00100000L
#define WS_SYSMENU          0x00080000L
#define WS_THICKFRAME       0x00040000L
#define WS_GROUP            0x00020000L
#define WS_TABSTOP          0x00010000L
#define WS_MINIMIZEBOX      0x00020000L
#define WS_MAXIMIZEBOX      0x00010000L
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME)
#define WS_POPUPWINDOW      (WS_POPUP | WS_BORDER | WS_SYSMENU)
#define WS_CHILDWINDOW      WS_CHILD

#define WS_EX_DLGMODALFRAME    0x00000001L
#define WS_EX_TOPMOST          0x00000008L
#define WS_EX_TRANSPARENT      0x00000020L
#define WS_EX_TOOLWINDOW       0x00000080L
#define WS_EX_WINDOWEDGE       0x00000100L
#define WS_EX_CLIENTEDGE       0x00000200L
#define WS_EX_CONTEXTHELP      0x00000400L
#define WS_EX_RIGHT            0x00001000L
#define WS_EX_RTLREADING       0x00002000L
#define WS_EX_LEFTSCROLLBAR    0x00004000L
#define WS_EX_CONTROLPARENT    0x00010000L
#define WS_EX_STATICEDGE       0x00020000L
#define WS_EX_OVERLAPPEDWINDOW (WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE)
#define WS_EX_NOANIMATION      0x04000000L
#define WS_EX_INK              0x10000000L
#define WS_EX_ABOVESTARTUP     0x20000000L
#define WS_EX_NODRAG           0x40000000L
#define WS_EX_CAPTIONOKBTN     0x80000000L

#define CW_USEDEFAULT ((int)0x80000000)

#define HWND_TOP       ((HWND)0)
#define HWND_BOTTOM    ((HWND)1)
#define HWND_TOPMOST   ((HWND)(LONG_PTR)-1)
#define HWND_NOTOPMOST ((HWND)(LONG_PTR)-2)
#define HWND_BROADCAST ((HWND)0xffff)
#define HWND_DESKTOP   ((HWND)0)
#define HWND_MESSAGE   ((HWND)(LONG_PTR)-3)

// Creates a window of a class registered by this process (or a system class): WM_NCCREATE,
// WM_NCCALCSIZE, WM_CREATE, WM_SIZE and WM_MOVE, then, with WS_VISIBLE, what ShowWindow
// sends. A child needs a parent; a window without WS_CHILD is a top-level window of the
// device screen (its parent argument is its owner). Returns NULL when WM_NCCREATE or
// WM_CREATE refuse, or the class is unknown (ERROR_CANNOT_FIND_WND_CLASS).
WINUSERAPI HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName,
                                DWORD dwStyle, int X, int Y, int nWidth, int nHeight,
                                HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam);
#define CreateWindowW(c, n, s, x, y, w, h, p, m, i, l)                                             \
    CreateWindowExW(0, c, n, s, x, y, w, h, p, m, i, l)
#define CreateWindowEx CreateWindowExW
#define CreateWindow   CreateWindowW

// Destroys the window, its owned windows and its children: WM_DESTROY goes to the window
// before its children, WM_NCDESTROY to the children before the window.
WINUSERAPI BOOL DestroyWindow(HWND hWnd);
WINUSERAPI LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
WINUSERAPI LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                                   LPARAM lParam);
#define DefWindowProc  DefWindowProcW
#define CallWindowProc CallWindowProcW

#define GWL_WNDPROC   (-4)
#define GWL_ID        (-12)
#define GWL_STYLE     (-16)
#define GWL_EXSTYLE   (-20)
#define GWL_USERDATA  (-21)
#define GWLP_WNDPROC  GWL_WNDPROC
#define GWLP_ID       GWL_ID
#define GWLP_USERDATA GWL_USERDATA
#define DWL_MSGRESULT 0
#define DWL_DLGPROC   4
#define DWL_USER      8

// The window's values as 32-bit numbers (handles, identifiers, styles, user data). On this
// 64-bit host a window procedure does not fit in 32 bits: GWL_WNDPROC goes through the Ptr
// forms, which also accept every other index.
WINUSERAPI LONG GetWindowLongW(HWND hWnd, int nIndex);
WINUSERAPI LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong);
WINUSERAPI LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex);
WINUSERAPI LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
#define GetWindowLong    GetWindowLongW
#define SetWindowLong    SetWindowLongW
#define GetWindowLongPtr GetWindowLongPtrW
#define SetWindowLongPtr SetWindowLongPtrW

WINUSERAPI BOOL IsWindow(HWND hWnd);
WINUSERAPI BOOL IsWindowVisible(HWND hWnd);
WINUSERAPI BOOL IsWindowEnabled(HWND hWnd);
WINUSERAPI BOOL EnableWindow(HWND hWnd, BOOL bEnable);
WINUSERAPI BOOL IsChild(HWND hWndParent, HWND hWnd);

#define SW_HIDE            0
#define SW_SHOWNORMAL      1
#define SW_NORMAL          1
#define SW_SHOWMINIMIZED   2
#define SW_SHOWMAXIMIZED   3
#define SW_MAXIMIZE        3
#define SW_SHOWNOACTIVATE  4
#define SW_SHOW            5
#define SW_MINIMIZE        6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA          8
#define SW_RESTORE         9
#define SW_SHOWDEFAULT     10

// Returns whether the window was visible before.
WINUSERAPI BOOL ShowWindow(HWND hWnd, int nCmdShow);
WINUSERAPI BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint);

#define SWP_NOSIZE         0x0001
#define SWP_NOMOVE         0x0002
#define SWP_NOZORDER       0x0004
#define SWP_NOREDRAW       0x0008
#define SWP_NOACTIVATE     0x0010
#define SWP_FRAMECHANGED   0x0020
#define SWP_SHOWWINDOW     0x0040
#define SWP_HIDEWINDOW     0x0080
#define SWP_NOCOPYBITS     0x0100
#define SWP_NOOWNERZORDER  0x0200
#define SWP_NOSENDCHANGING 0x0400
#define SWP_DRAWFRAME      SWP_FRAMECHANGED
#define SWP_NOREPOSITION   SWP_NOOWNERZORDER

WINUSERAPI BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy,
                             UINT uFlags);
WINUSERAPI BOOL GetClientRect(HWND hWnd, LPRECT lpRect);
WINUSERAPI BOOL GetWindowRect(HWND hWnd, LPRECT lpRect); // screen coordinates
WINUSERAPI BOOL ClientToScreen(HWND hWnd, LPPOINT lpPoint);
WINUSERAPI BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint);
WINUSERAPI int MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints);
WINUSERAPI HWND WindowFromPoint(POINT Point);
WINUSERAPI HWND ChildWindowFromPoint(HWND hWndParent, POINT Point);

WINUSERAPI HWND GetParent(HWND hWnd);
WINUSERAPI HWND SetParent(HWND hWndChild, HWND hWndNewParent);

#define GW_HWNDFIRST 0
#define GW_HWNDLAST  1
#define GW_HWNDNEXT  2
#define GW_HWNDPREV  3
#define GW_OWNER     4
#define GW_CHILD     5

WINUSERAPI HWND GetWindow(HWND hWnd, UINT uCmd);
WINUSERAPI HWND GetDesktopWindow(void);
// Top-level windows of every program of the device, by class and/or title (NULL: any);
// both compare without regard to case.
WINUSERAPI HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName);
WINUSERAPI BOOL EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam);
WINUSERAPI BOOL EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam);
WINUSERAPI int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);
WINUSERAPI int GetWindowTextLengthW(HWND hWnd);
WINUSERAPI BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString);
WINUSERAPI DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId);
#define FindWindow          FindWindowW
#define GetWindowText       GetWindowTextW
#define GetWindowTextLength GetWindowTextLengthW
#define SetWindowText       SetWindowTextW

// The window's shape: only the region's pixels are painted and take input. The system owns
// the region afterwards; NULL removes the shape.
WINUSERAPI int SetWindowRgn(HWND hWnd, HRGN hRgn, BOOL bRedraw);
WINUSERAPI int GetWindowRgn(HWND hWnd, HRGN hRgn);

// ---- Messages and the message loop ----------------------------------------------------------
#define PM_NOREMOVE 0x0000
#define PM_REMOVE   0x0001
#define PM_NOYIELD  0x0002

#define QS_KEY         0x0001
#define QS_MOUSEMOVE   0x0002
#define QS_MOUSEBUTTON 0x0004
#define QS_POSTMESSAGE 0x0008
#define QS_TIMER       0x0010
#define QS_PAINT       0x0020
#define QS_SENDMESSAGE 0x0040
#define QS_HOTKEY      0x0080
#define QS_MOUSE       (QS_MOUSEMOVE | QS_MOUSEBUTTON)
#define QS_INPUT       (QS_MOUSE | QS_KEY)
#define QS_ALLEVENTS   (QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY)
#define QS_ALLINPUT    (QS_ALLEVENTS | QS_SENDMESSAGE)

#define MWMO_WAITALL        0x0001
#define MWMO_ALERTABLE      0x0002
#define MWMO_INPUTAVAILABLE 0x0004

#define SMTO_NORMAL             0x0000
#define SMTO_BLOCK              0x0001
#define SMTO_ABORTIFHUNG        0x0002
#define SMTO_NOTIMEOUTIFNOTHUNG 0x0008

// Messages come in this order: messages sent by other threads, posted messages, input, a
// WM_PAINT for a window with an update region, then WM_TIMER of a due timer.
WINUSERAPI BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
WINUSERAPI BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                             UINT wRemoveMsg);
WINUSERAPI BOOL TranslateMessage(const MSG* lpMsg);
WINUSERAPI LRESULT DispatchMessageW(const MSG* lpMsg);
WINUSERAPI BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
WINUSERAPI LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
WINUSERAPI LRESULT SendMessageTimeoutW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam,
                                       UINT fuFlags, UINT uTimeout, PDWORD_PTR lpdwResult);
WINUSERAPI BOOL SendNotifyMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
WINUSERAPI void PostQuitMessage(int nExitCode);
WINUSERAPI BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);
WINUSERAPI UINT RegisterWindowMessageW(LPCWSTR lpString);
WINUSERAPI BOOL InSendMessage(void);
WINUSERAPI BOOL ReplyMessage(LRESULT lResult);
WINUSERAPI DWORD GetQueueStatus(UINT flags);
WINUSERAPI DWORD GetMessagePos(void);
WINUSERAPI LONG GetMessageTime(void);
WINUSERAPI DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll,
                                           DWORD dwMilliseconds, DWORD dwWakeMask);
WINUSERAPI DWORD MsgWaitForMultipleObjectsEx(DWORD nCount, const HANDLE* pHandles,
                                             DWORD dwMilliseconds, DWORD dwWakeMask, DWORD dwFlags);
#define GetMessage            GetMessageW
#define PeekMessage           PeekMessageW
#define DispatchMessage       DispatchMessageW
#define PostMessage           PostMessageW
#define SendMessage           SendMessageW
#define SendMessageTimeout    SendMessageTimeoutW
#define SendNotifyMessage     SendNotifyMessageW
#define PostThreadMessage     PostThreadMessageW
#define RegisterWindowMessage RegisterWindowMessageW

// ---- Timers ---------------------------------------------------------------------------------
// Timers run on the device clock. Setting an identifier that the window already has restarts
// it with the new period. WM_TIMER is made when the queue has nothing else, at most one per
// timer however long the thread was busy.
WINUSERAPI UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
WINUSERAPI BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);

// ---- Painting -------------------------------------------------------------------------------
typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *PPAINTSTRUCT, *LPPAINTSTRUCT;

#define RDW_INVALIDATE      0x0001
#define RDW_INTERNALPAINT   0x0002
#define RDW_ERASE           0x0004
#define RDW_VALIDATE        0x0008
#define RDW_NOINTERNALPAINT 0x0010
#define RDW_NOERASE         0x0020
#define RDW_NOCHILDREN      0x0040
#define RDW_ALLCHILDREN     0x0080
#define RDW_UPDATENOW       0x0100
#define RDW_ERASENOW        0x0200
#define RDW_FRAME           0x0400
#define RDW_NOFRAME         0x0800

WINUSERAPI BOOL InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase);
WINUSERAPI BOOL InvalidateRgn(HWND hWnd, HRGN hRgn, BOOL bErase);
WINUSERAPI BOOL ValidateRect(HWND hWnd, const RECT* lpRect);
WINUSERAPI BOOL ValidateRgn(HWND hWnd, HRGN hRgn);
WINUSERAPI BOOL UpdateWindow(HWND hWnd);
WINUSERAPI BOOL RedrawWindow(HWND hWnd, const RECT* lprcUpdate, HRGN hrgnUpdate, UINT flags);
WINUSERAPI BOOL GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase);
WINUSERAPI int GetUpdateRgn(HWND hWnd, HRGN hRgn, BOOL bErase);
WINUSERAPI HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint);
WINUSERAPI BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint);
// GetDC(NULL) is a DC of the device screen: reading it gives what the screen shows.
WINUSERAPI HDC GetDC(HWND hWnd);
WINUSERAPI HDC GetWindowDC(HWND hWnd);
WINUSERAPI HDC GetDCEx(HWND hWnd, HRGN hrgnClip, DWORD flags);
WINUSERAPI int ReleaseDC(HWND hWnd, HDC hDC);
WINUSERAPI HWND WindowFromDC(HDC hDC);
WINUSERAPI BOOL ScrollWindowEx(HWND hWnd, int dx, int dy, const RECT* prcScroll,
                               const RECT* prcClip, HRGN hrgnUpdate, LPRECT prcUpdate, UINT flags);

#define DCX_WINDOW       0x00000001L
#define DCX_CACHE        0x00000002L
#define DCX_CLIPCHILDREN 0x00000008L
#define DCX_CLIPSIBLINGS 0x00000010L
#define DCX_EXCLUDERGN   0x00000040L
#define DCX_INTERSECTRGN 0x00000080L
#define DCX_VALIDATE     0x00200000L

// ---- Rectangles (USER's helpers) --------------------------------------------------------------
WINUSERAPI BOOL SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom);
WINUSERAPI BOOL SetRectEmpty(LPRECT lprc);
WINUSERAPI BOOL CopyRect(LPRECT lprcDst, const RECT* lprcSrc);
WINUSERAPI BOOL InflateRect(LPRECT lprc, int dx, int dy);
WINUSERAPI BOOL OffsetRect(LPRECT lprc, int dx, int dy);
WINUSERAPI BOOL IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2);
WINUSERAPI BOOL UnionRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2);
WINUSERAPI BOOL SubtractRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2);
WINUSERAPI BOOL IsRectEmpty(const RECT* lprc);
WINUSERAPI BOOL EqualRect(const RECT* lprc1, const RECT* lprc2);
WINUSERAPI BOOL PtInRect(const RECT* lprc, POINT pt);
// Painting helpers that USER owns on the device (they draw with GDI).
WINUSERAPI int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr);
WINUSERAPI int FrameRect(HDC hDC, const RECT* lprc, HBRUSH hbr);
WINUSERAPI BOOL InvertRect(HDC hDC, const RECT* lprc);
WINUSERAPI BOOL DrawFocusRect(HDC hDC, const RECT* lprc);

// ---- Focus, activation, capture ---------------------------------------------------------------
// The foreground window is device-wide: one for the whole screen, whichever program owns it.
WINUSERAPI BOOL SetForegroundWindow(HWND hWnd);
WINUSERAPI HWND GetForegroundWindow(void);
WINUSERAPI HWND SetFocus(HWND hWnd);
WINUSERAPI HWND GetFocus(void);
WINUSERAPI HWND SetActiveWindow(HWND hWnd);
WINUSERAPI HWND GetActiveWindow(void);
WINUSERAPI HWND SetCapture(HWND hWnd);
WINUSERAPI BOOL ReleaseCapture(void);
WINUSERAPI HWND GetCapture(void);
WINUSERAPI BOOL GetCursorPos(LPPOINT lpPoint);
WINUSERAPI BOOL SetCursorPos(int X, int Y);

// ---- Input ----------------------------------------------------------------------------------
#define VK_LBUTTON   0x01
#define VK_RBUTTON   0x02
#define VK_CANCEL    0x03
#define VK_MBUTTON   0x04
#define VK_BACK      0x08
#define VK_TAB       0x09
#define VK_CLEAR     0x0C
#define VK_RETURN    0x0D
#define VK_SHIFT     0x10
#define VK_CONTROL   0x11
#define VK_MENU      0x12
#define VK_PAUSE     0x13
#define VK_CAPITAL   0x14
#define VK_ESCAPE    0x1B
#define VK_SPACE     0x20
#define VK_PRIOR     0x21
#define VK_NEXT      0x22
#define VK_END       0x23
#define VK_HOME      0x24
#define VK_LEFT      0x25
#define VK_UP        0x26
#define VK_RIGHT     0x27
#define VK_DOWN      0x28
#define VK_SELECT    0x29
#define VK_PRINT     0x2A
#define VK_EXECUTE   0x2B
#define VK_SNAPSHOT  0x2C
#define VK_INSERT    0x2D
#define VK_DELETE    0x2E
#define VK_HELP      0x2F
#define VK_LWIN      0x5B
#define VK_RWIN      0x5C
#define VK_APPS      0x5D
#define VK_NUMPAD0   0x60
#define VK_MULTIPLY  0x6A
#define VK_ADD       0x6B
#define VK_SEPARATOR 0x6C
#define VK_SUBTRACT  0x6D
#define VK_DECIMAL   0x6E
#define VK_DIVIDE    0x6F
#define VK_F1        0x70
#define VK_F2        0x71
#define VK_F3        0x72
#define VK_F4        0x73
#define VK_F5        0x74
#define VK_F6        0x75
#define VK_F7        0x76
#define VK_F8        0x77
#define VK_F9        0x78
#define VK_F10       0x79
#define VK_F11       0x7A
#define VK_F12       0x7B
#define VK_F13       0x7C
#define VK_F14       0x7D
#define VK_F15       0x7E
#define VK_F16       0x7F
#define VK_F17       0x80
#define VK_F18       0x81
#define VK_F19       0x82
#define VK_F20       0x83
#define VK_F21       0x84
#define VK_F22       0x85
#define VK_F23       0x86
#define VK_F24       0x87
#define VK_NUMLOCK   0x90
#define VK_SCROLL    0x91
#define VK_LSHIFT    0xA0
#define VK_RSHIFT    0xA1
#define VK_LCONTROL  0xA2
#define VK_RCONTROL  0xA3
#define VK_LMENU     0xA4
#define VK_RMENU     0xA5

// The keys of a Windows Mobile device, as the device names them.
#define VK_TSOFT1      VK_F1
#define VK_TSOFT2      VK_F2
#define VK_TTALK       VK_F3
#define VK_TEND        VK_F4
#define VK_THOME       VK_LWIN
#define VK_TBACK       VK_ESCAPE
#define VK_TACTION     VK_RETURN
#define VK_TRECORD     VK_F10
#define VK_TFLIP       VK_F17
#define VK_TPOWER      VK_F18
#define VK_TVOLUMEUP   VK_F6
#define VK_TVOLUMEDOWN VK_F7
#define VK_TSTAR       VK_F8
#define VK_TPOUND      VK_F9
#define VK_TUP         VK_UP
#define VK_TDOWN       VK_DOWN
#define VK_TLEFT       VK_LEFT
#define VK_TRIGHT      VK_RIGHT
#define VK_OFF         0xDF

#define KEYEVENTF_EXTENDEDKEY 0x0001
#define KEYEVENTF_KEYUP       0x0002
#define KEYEVENTF_SILENT      0x0004

#define MOUSEEVENTF_MOVE        0x0001
#define MOUSEEVENTF_LEFTDOWN    0x0002
#define MOUSEEVENTF_LEFTUP      0x0004
#define MOUSEEVENTF_RIGHTDOWN   0x0008
#define MOUSEEVENTF_RIGHTUP     0x0010
#define MOUSEEVENTF_MIDDLEDOWN  0x0020
#define MOUSEEVENTF_MIDDLEUP    0x0040
#define MOUSEEVENTF_WHEEL       0x0800
#define MOUSEEVENTF_VIRTUALDESK 0x4000
#define MOUSEEVENTF_ABSOLUTE    0x8000

// Input of this device only, as if from its keys or its screen. mouse_event takes absolute
// coordinates in 0..65535 over the device screen when MOUSEEVENTF_ABSOLUTE is set.
WINUSERAPI void keybd_event(BYTE bVk, BYTE bScan, DWORD dwFlags, DWORD dwExtraInfo);
WINUSERAPI void mouse_event(DWORD dwFlags, DWORD dx, DWORD dy, DWORD dwData, DWORD dwExtraInfo);
WINUSERAPI SHORT GetKeyState(int nVirtKey);
WINUSERAPI SHORT GetAsyncKeyState(int vKey);

// ---- Metrics and colours --------------------------------------------------------------------
#define SM_CXSCREEN        0
#define SM_CYSCREEN        1
#define SM_CXVSCROLL       2
#define SM_CYHSCROLL       3
#define SM_CYCAPTION       4
#define SM_CXBORDER        5
#define SM_CYBORDER        6
#define SM_CXDLGFRAME      7
#define SM_CYDLGFRAME      8
#define SM_CXICON          11
#define SM_CYICON          12
#define SM_CXCURSOR        13
#define SM_CYCURSOR        14
#define SM_CYMENU          15
#define SM_CXFULLSCREEN    16
#define SM_CYFULLSCREEN    17
#define SM_CYVSCROLL       20
#define SM_CXHSCROLL       21
#define SM_DEBUG           22
#define SM_CXDOUBLECLK     36
#define SM_CYDOUBLECLK     37
#define SM_CXFIXEDFRAME    SM_CXDLGFRAME
#define SM_CYFIXEDFRAME    SM_CYDLGFRAME
#define SM_CXEDGE          45
#define SM_CYEDGE          46
#define SM_CXSMICON        49
#define SM_CYSMICON        50
#define SM_MOUSEPRESENT    19
#define SM_CMONITORS       80
#define SM_XVIRTUALSCREEN  76
#define SM_YVIRTUALSCREEN  77
#define SM_CXVIRTUALSCREEN 78
#define SM_CYVIRTUALSCREEN 79

WINUSERAPI int GetSystemMetrics(int nIndex);

#define SYS_COLOR_INDEX_FLAG          0x40000000
#define COLOR_SCROLLBAR               (0 | SYS_COLOR_INDEX_FLAG)
#define COLOR_BACKGROUND              (1 | SYS_COLOR_INDEX_FLAG)
#define COLOR_ACTIVECAPTION           (2 | SYS_COLOR_INDEX_FLAG)
#define COLOR_INACTIVECAPTION         (3 | SYS_COLOR_INDEX_FLAG)
#define COLOR_MENU                    (4 | SYS_COLOR_INDEX_FLAG)
#define COLOR_WINDOW                  (5 | SYS_COLOR_INDEX_FLAG)
#define COLOR_WINDOWFRAME             (6 | SYS_COLOR_INDEX_FLAG)
#define COLOR_MENUTEXT                (7 | SYS_COLOR_INDEX_FLAG)
#define COLOR_WINDOWTEXT              (8 | SYS_COLOR_INDEX_FLAG)
#define COLOR_CAPTIONTEXT             (9 | SYS_COLOR_INDEX_FLAG)
#define COLOR_ACTIVEBORDER            (10 | SYS_COLOR_INDEX_FLAG)
#define COLOR_INACTIVEBORDER          (11 | SYS_COLOR_INDEX_FLAG)
#define COLOR_APPWORKSPACE            (12 | SYS_COLOR_INDEX_FLAG)
#define COLOR_HIGHLIGHT               (13 | SYS_COLOR_INDEX_FLAG)
#define COLOR_HIGHLIGHTTEXT           (14 | SYS_COLOR_INDEX_FLAG)
#define COLOR_BTNFACE                 (15 | SYS_COLOR_INDEX_FLAG)
#define COLOR_BTNSHADOW               (16 | SYS_COLOR_INDEX_FLAG)
#define COLOR_GRAYTEXT                (17 | SYS_COLOR_INDEX_FLAG)
#define COLOR_BTNTEXT                 (18 | SYS_COLOR_INDEX_FLAG)
#define COLOR_INACTIVECAPTIONTEXT     (19 | SYS_COLOR_INDEX_FLAG)
#define COLOR_BTNHIGHLIGHT            (20 | SYS_COLOR_INDEX_FLAG)
#define COLOR_3DDKSHADOW              (21 | SYS_COLOR_INDEX_FLAG)
#define COLOR_3DLIGHT                 (22 | SYS_COLOR_INDEX_FLAG)
#define COLOR_INFOTEXT                (23 | SYS_COLOR_INDEX_FLAG)
#define COLOR_INFOBK                  (24 | SYS_COLOR_INDEX_FLAG)
#define COLOR_STATIC                  (25 | SYS_COLOR_INDEX_FLAG)
#define COLOR_STATICTEXT              (26 | SYS_COLOR_INDEX_FLAG)
#define COLOR_GRADIENTACTIVECAPTION   (27 | SYS_COLOR_INDEX_FLAG)
#define COLOR_GRADIENTINACTIVECAPTION (28 | SYS_COLOR_INDEX_FLAG)
#define COLOR_DESKTOP                 COLOR_BACKGROUND
#define COLOR_3DFACE                  COLOR_BTNFACE
#define COLOR_3DSHADOW                COLOR_BTNSHADOW
#define COLOR_3DHIGHLIGHT             COLOR_BTNHIGHLIGHT
#define COLOR_3DHILIGHT               COLOR_BTNHIGHLIGHT
#define COLOR_BTNHILIGHT              COLOR_BTNHIGHLIGHT

// The index may carry SYS_COLOR_INDEX_FLAG or not; an unknown index gives 0.
WINUSERAPI DWORD GetSysColor(int nIndex);
WINUSERAPI HBRUSH GetSysColorBrush(int nIndex);
WINUSERAPI BOOL SetSysColors(int cElements, const int* lpaElements, const COLORREF* lpaRgbValues);

// ---- Cursors, icons, resources ----------------------------------------------------------------
#define IDC_ARROW       MAKEINTRESOURCEW(32512)
#define IDC_IBEAM       MAKEINTRESOURCEW(32513)
#define IDC_WAIT        MAKEINTRESOURCEW(32514)
#define IDC_CROSS       MAKEINTRESOURCEW(32515)
#define IDC_UPARROW     MAKEINTRESOURCEW(32516)
#define IDC_SIZEALL     MAKEINTRESOURCEW(32646)
#define IDC_NO          MAKEINTRESOURCEW(32648)
#define IDC_APPSTARTING MAKEINTRESOURCEW(32650)
#define IDI_APPLICATION MAKEINTRESOURCEW(32512)
#define IDI_HAND        MAKEINTRESOURCEW(32513)
#define IDI_QUESTION    MAKEINTRESOURCEW(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEW(32515)
#define IDI_ASTERISK    MAKEINTRESOURCEW(32516)
#define IDI_WARNING     IDI_EXCLAMATION
#define IDI_ERROR       IDI_HAND
#define IDI_INFORMATION IDI_ASTERISK

#define IMAGE_BITMAP 0
#define IMAGE_ICON   1
#define IMAGE_CURSOR 2

#define LR_DEFAULTCOLOR     0x0000
#define LR_MONOCHROME       0x0001
#define LR_LOADFROMFILE     0x0010
#define LR_DEFAULTSIZE      0x0040
#define LR_CREATEDIBSECTION 0x2000
#define LR_SHARED           0x8000

#define DI_MASK        0x0001
#define DI_IMAGE       0x0002
#define DI_NORMAL      0x0003
#define DI_COMPAT      0x0004
#define DI_DEFAULTSIZE 0x0008

typedef struct _ICONINFO {
    BOOL fIcon;
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
} ICONINFO, *PICONINFO;

WINUSERAPI HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName);
WINUSERAPI HCURSOR SetCursor(HCURSOR hCursor);
WINUSERAPI HCURSOR GetCursor(void);
WINUSERAPI int ShowCursor(BOOL bShow);
WINUSERAPI HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName);
WINUSERAPI HBITMAP LoadBitmapW(HINSTANCE hInstance, LPCWSTR lpBitmapName);
WINUSERAPI HANDLE LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad);
WINUSERAPI int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
WINUSERAPI BOOL DestroyIcon(HICON hIcon);
WINUSERAPI BOOL DestroyCursor(HCURSOR hCursor);
WINUSERAPI HICON CreateIconIndirect(PICONINFO piconinfo);
WINUSERAPI BOOL GetIconInfo(HICON hIcon, PICONINFO piconinfo);
WINUSERAPI BOOL DrawIcon(HDC hDC, int X, int Y, HICON hIcon);
WINUSERAPI BOOL DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth,
                           UINT istepIfAniCur, HBRUSH hbrFlickerFreeDraw, UINT diFlags);
#define LoadCursor LoadCursorW
#define LoadIcon   LoadIconW
#define LoadBitmap LoadBitmapW
#define LoadImage  LoadImageW
#define LoadString LoadStringW

DECLARE_HANDLE(HRSRC);
WINUSERAPI HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
WINUSERAPI HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
WINUSERAPI DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);
WINUSERAPI LPVOID LockResource(HGLOBAL hResData);
#define FindResource FindResourceW

#define RT_CURSOR       MAKEINTRESOURCEW(1)
#define RT_BITMAP       MAKEINTRESOURCEW(2)
#define RT_ICON         MAKEINTRESOURCEW(3)
#define RT_MENU         MAKEINTRESOURCEW(4)
#define RT_DIALOG       MAKEINTRESOURCEW(5)
#define RT_STRING       MAKEINTRESOURCEW(6)
#define RT_RCDATA       MAKEINTRESOURCEW(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCEW(12)
#define RT_GROUP_ICON   MAKEINTRESOURCEW(14)

#ifdef __cplusplus
}
#endif

#include "winmenu.h"
#include "windlg.h"
#include "winctrl.h"
