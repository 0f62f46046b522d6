// dialogs.cpp: the shell's full-screen dialogs (SHInitDialog), the title bar's Done button
// (SHDoneButton) and the full-screen state of a window (SHFullScreen).
//
// The shell's bars are drawn by the shell program, which is still to come; until then these
// functions keep the state it will read, per window of this process: whether the title bar
// shows OK or X for the window, and which bars the window wants hidden. The Done button's
// state is also the window's WS_EX_CAPTIONOKBTN style, so another program (the shell) can see
// it; pressDoneButton is what its tap does.
#include <map>
#include <mutex>

#include "aygshell.h"
#include "kernel/trace.h"
#include "shell/shell.h"

namespace ce::shell {
namespace {

struct WindowState {
    DoneButton done = DoneButton::None;
    DWORD hidden = 0; // SHFS_HIDE* bits in force
};

struct DialogsState {
    std::mutex lock;
    std::map<uint32_t, WindowState> windows;
};

DialogsState& dialogsState() {
    static DialogsState s;
    return s;
}

// Forgets windows that are gone, so that a reused handle value starts clean.
void pruneLocked(DialogsState& s) {
    for (auto it = s.windows.begin(); it != s.windows.end();)
        it = IsWindow(static_cast<HWND>(ULongToHandle(it->first))) ? std::next(it)
                                                                   : s.windows.erase(it);
}

void setDone(HWND hwnd, DoneButton state) {
    {
        DialogsState& s = dialogsState();
        std::lock_guard<std::mutex> guard(s.lock);
        pruneLocked(s);
        s.windows[HandleToULong(hwnd)].done = state;
    }
    LONG ex = GetWindowLongW(hwnd, GWL_EXSTYLE);
    LONG want = state == DoneButton::Ok ? (ex | static_cast<LONG>(WS_EX_CAPTIONOKBTN))
                                        : (ex & ~static_cast<LONG>(WS_EX_CAPTIONOKBTN));
    if (want != ex) SetWindowLongW(hwnd, GWL_EXSTYLE, want);
}

} // namespace

int scaled(int pixelsAt96) {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    if (dpi <= 0) dpi = 96;
    return static_cast<int>((static_cast<int64_t>(pixelsAt96) * dpi + 48) / 96);
}

DoneButton doneButtonOf(HWND hwnd) {
    DialogsState& s = dialogsState();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.windows.find(HandleToULong(hwnd));
    if (it != s.windows.end()) return it->second.done;
    // A window of another program: its style tells.
    return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN) ? DoneButton::Ok
                                                                    : DoneButton::None;
}

DWORD hiddenBarsOf(HWND hwnd) {
    DialogsState& s = dialogsState();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.windows.find(HandleToULong(hwnd));
    return it != s.windows.end() ? it->second.hidden : 0;
}

bool pressDoneButton(HWND hwnd) {
    if (!IsWindow(hwnd)) return false;
    switch (doneButtonOf(hwnd)) {
    case DoneButton::Ok: return PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0) != FALSE;
    case DoneButton::Cancel:
        return PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0) != FALSE;
    case DoneButton::None: break;
    }
    return false;
}

} // namespace ce::shell

using namespace ce::shell;

// Sizes the dialog as its flags ask, below the title bar: SHIDIF_SIZEDLG and
// SHIDIF_SIZEDLGFULLSCREEN leave the menu bar's height free at the bottom (the input panel is
// never up here, so both give the same size); SHIDIF_FULLSCREENNOMENUBAR takes the whole work
// area. SHIDIF_SIPDOWN has nothing to do: the device's input panel is never shown.
WINUSERAPI BOOL SHInitDialog(PSHINITDLGINFO pshidi) {
    if (!pshidi) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HWND dlg = pshidi->hDlg;
    if (!IsWindow(dlg)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!(pshidi->dwMask & SHIDIM_FLAGS)) return TRUE;
    const DWORD flags = pshidi->dwFlags;
    if (flags & SHIDIF_WANTSCROLLBAR) CE_FIXME("shell", "SHIDIF_WANTSCROLLBAR is ignored");
    if (flags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)) {
        RECT work{};
        if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return FALSE;
        if (!(flags & SHIDIF_FULLSCREENNOMENUBAR)) work.bottom -= scaled(26);
        if (work.bottom < work.top) work.bottom = work.top;
        // A child dialog (a property page) is placed in its parent's client coordinates.
        if (GetWindowLongW(dlg, GWL_STYLE) & WS_CHILD) {
            POINT origin{work.left, work.top};
            ScreenToClient(GetParent(dlg), &origin);
            OffsetRect(&work, origin.x - work.left, origin.y - work.top);
        }
        SetWindowPos(dlg, nullptr, work.left, work.top, work.right - work.left,
                     work.bottom - work.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (flags & SHIDIF_DONEBUTTON) SHDoneButton(dlg, SHDB_SHOW);
    if (flags & SHIDIF_EMPTYMENU) {
        SHMENUBARINFO mbi{};
        mbi.cbSize = sizeof mbi;
        mbi.hwndParent = dlg;
        mbi.dwFlags = SHCMBF_EMPTYBAR;
        SHCreateMenuBar(&mbi);
    }
    CE_TRACE("shell", "dialog %#lx flags %#lx", static_cast<unsigned long>(HandleToULong(dlg)),
             static_cast<unsigned long>(flags));
    return TRUE;
}

// SHDB_SHOW shows OK, SHDB_SHOWCANCEL the X, SHDB_HIDE neither. Any other state fails with
// ERROR_INVALID_PARAMETER.
WINUSERAPI BOOL SHDoneButton(HWND hwndRequester, DWORD dwState) {
    if (!IsWindow(hwndRequester)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    switch (dwState) {
    case SHDB_SHOW: setDone(hwndRequester, DoneButton::Ok); return TRUE;
    case SHDB_SHOWCANCEL: setDone(hwndRequester, DoneButton::Cancel); return TRUE;
    case SHDB_HIDE: setDone(hwndRequester, DoneButton::None); return TRUE;
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
}

// A SHOW and a HIDE of the same bar together fail with ERROR_INVALID_PARAMETER, as does a
// state with no known bit.
WINUSERAPI BOOL SHFullScreen(HWND hwndRequester, DWORD dwState) {
    constexpr DWORD kHides = SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON;
    constexpr DWORD kShows = SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON;
    if (!IsWindow(hwndRequester)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // Each SHOW bit is its HIDE bit shifted right by one.
    if (!dwState || (dwState & ~(kHides | kShows)) || ((dwState & kHides) >> 1) & dwState) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (dwState & kHides) {
        HWND top = hwndRequester;
        while (GetWindowLongW(top, GWL_STYLE) & WS_CHILD)
            top = GetParent(top);
        if (GetForegroundWindow() != top) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    DialogsState& s = dialogsState();
    std::lock_guard<std::mutex> guard(s.lock);
    pruneLocked(s);
    WindowState& w = s.windows[HandleToULong(hwndRequester)];
    w.hidden = (w.hidden | (dwState & kHides)) & ~((dwState & kShows) << 1);
    CE_TRACE("shell", "full screen %#lx: hidden %#lx",
             static_cast<unsigned long>(HandleToULong(hwndRequester)),
             static_cast<unsigned long>(w.hidden));
    return TRUE;
}

// The extra controls of the device's shell are registered with the window system's own
// classes; nothing is left to do.
WINUSERAPI BOOL SHInitExtraControls(void) {
    return TRUE;
}
