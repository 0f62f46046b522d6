// dialog.cpp: the dialog manager: the dialog class "Dialog" and DefDlgProcW, dialogs made
// from templates (CreateDialogParamW, CreateDialogIndirectParamW), modal dialogs
// (DialogBoxParamW, DialogBoxIndirectParamW, EndDialog), the dialog font and dialog units
// (MapDialogRect, GetDialogBaseUnits), and the DWL_ values. The functions on the controls of a
// dialog and keyboard navigation live in dialog_items.cpp; the journal lines and automation answers
// in dialog_answer.cpp.
//
// A dialog is a window of the class "Dialog" (the Windows CE name; other programs look for
// dialogs by it) whose window procedure is DefDlgProcW. DefDlgProcW hands each message to the
// dialog procedure first; when that returns TRUE the message is handled and the result is
// what the procedure put in DWL_MSGRESULT (except for the messages whose result is the
// procedure's return value itself: WM_INITDIALOG and the WM_CTLCOLOR family among them).
//
// A modal dialog runs its own GetMessage loop on the calling thread. Everything the thread's
// other windows need (painting, timers, messages sent by other threads) goes through that
// loop, so they keep working while the dialog is up; the loop ends when EndDialog was called
// or the dialog window is gone.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "kernel/journal.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "user/dialog.h"
#include "user/sysclass.h"
#include "user/userstate.h"

using namespace ce::user;

namespace ce::user {
namespace {

// The dialog's state. Guarded by userLock(), never held while a procedure runs.
struct DialogRecord {
    DLGPROC proc = nullptr;
    LONG_PTR msgResult = 0;
    LONG_PTR user = 0;
    HFONT font = nullptr;      // WM_GETFONT
    HFONT ownedFont = nullptr; // made from the template, deleted with the dialog
    SIZE baseUnits{};          // dialog base units of the font, in pixels
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    bool endedByAutomation = false;
    uint32_t savedFocus = 0;    // the control that had the focus when the dialog was left
    uint32_t disabledOwner = 0; // the owner a modal dialog disabled, enabled again at the end
    int defId = 0;              // DM_SETDEFID; 0: none set
};

std::map<uint32_t, DialogRecord>& records() {
    static auto* m = new std::map<uint32_t, DialogRecord>;
    return *m;
}

DialogRecord* recordOf(uint32_t hwnd) {
    auto it = records().find(hwnd);
    return it == records().end() ? nullptr : &it->second;
}

constexpr const WCHAR* kDialogClass = u"Dialog";
constexpr const WCHAR* kAlphabet = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr UINT kMaxItems = 1024;        // far above any dialog; a bad count must not run away
constexpr int kMaxDialogUnits = 0x7FFF; // templates keep coordinates in 16 bits

HWND toHwnd(uint32_t v) {
    return static_cast<HWND>(ULongToHandle(v));
}

// a * b / c rounded half away from zero, as MulDiv rounds.
int mulDiv(int a, int b, int c) {
    if (c == 0) return 0;
    int64_t p = static_cast<int64_t>(a) * b;
    int64_t q = p / c, rem = p % c;
    if (2 * (rem < 0 ? -rem : rem) >= (c < 0 ? -static_cast<int64_t>(c) : c))
        q += ((p < 0) != (c < 0)) ? -1 : 1;
    return static_cast<int>(std::clamp<int64_t>(q, INT32_MIN, INT32_MAX));
}

int screenDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// The font of a template: the face at the size in points on this screen. A template
// without a face gets the system's dialog font, Tahoma at 8 points.
HFONT makeDialogFont(const WCHAR* face, int points) {
    if (!face || !face[0]) {
        face = u"Tahoma";
        points = 8;
    }
    points = std::clamp(points <= 0 ? 8 : points, 1, 96);
    LOGFONTW lf{};
    lf.lfHeight = -mulDiv(points, screenDpi(), 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    size_t n = 0;
    while (n < LF_FACESIZE - 1 && face[n]) {
        lf.lfFaceName[n] = face[n];
        ++n;
    }
    lf.lfFaceName[n] = 0;
    return CreateFontIndirectW(&lf);
}

// Dialog base units of a font: the average width of the letters A-Z and a-z (rounded) and
// the character height.
SIZE baseUnitsOf(HFONT font) {
    SIZE units{4, 8};
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return units;
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SIZE extent{};
    TEXTMETRICW tm{};
    if (GetTextExtentPoint32W(dc, kAlphabet, 52, &extent) && extent.cx > 0)
        units.cx = (extent.cx + 26) / 52;
    if (GetTextMetricsW(dc, &tm) && tm.tmHeight > 0) units.cy = tm.tmHeight;
    if (old) SelectObject(dc, old);
    DeleteDC(dc);
    return units;
}

RECT toPixels(const CeDialogRect& r, SIZE units) {
    int x = std::clamp(r.x, -kMaxDialogUnits, kMaxDialogUnits);
    int y = std::clamp(r.y, -kMaxDialogUnits, kMaxDialogUnits);
    int cx = std::clamp(r.cx, 0, kMaxDialogUnits);
    int cy = std::clamp(r.cy, 0, kMaxDialogUnits);
    int left = mulDiv(x, units.cx, 4), top = mulDiv(y, units.cy, 8);
    return RECT{left, top, left + mulDiv(cx, units.cx, 4), top + mulDiv(cy, units.cy, 8)};
}

// The top-level window a window belongs to (the owner a modal dialog disables).
HWND topLevelWindow(HWND hwnd) {
    return hwnd ? toHwnd(topLevelOf(HandleToULong(hwnd))) : nullptr;
}

// Where a dialog of this size goes: DS_CENTER centres it in the work area (the screen below
// the title bar); DS_ABSALIGN and an ownerless dialog take the template's position as screen
// coordinates; otherwise it is relative to the owner's client area.
POINT dialogPosition(const CeDialogTemplate& t, HWND parent, RECT px, int width, int height) {
    POINT p{px.left, px.top};
    if (t.style & WS_CHILD) return p;
    if (t.style & DS_CENTER) {
        int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
        int bar = std::min(26 * screenDpi() / 96, sh);
        p.x = std::max(0, (sw - width) / 2);
        p.y = bar + std::max(0, (sh - bar - height) / 2);
        return p;
    }
    if ((t.style & DS_ABSALIGN) || !parent) return p;
    POINT origin{0, 0};
    ClientToScreen(parent, &origin);
    p.x += origin.x;
    p.y += origin.y;
    return p;
}

bool validTemplate(const CeDialogTemplate* t) {
    if (!t || t->itemCount > kMaxItems || (t->itemCount && !t->items)) return false;
    for (UINT i = 0; i < t->itemCount; ++i)
        if (!t->items[i].className) return false;
    return true;
}

// Makes the dialog window and its controls and runs WM_INITDIALOG. A modal dialog stays
// hidden (its caller shows it); a modeless one is shown when its template says WS_VISIBLE.
HWND createDialog(HINSTANCE instance, const CeDialogTemplate* t, HWND parent, DLGPROC proc,
                  LPARAM param, bool modal) {
    if (!validTemplate(t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HFONT font = makeDialogFont(t->fontFace, t->fontPoints);
    SIZE units = baseUnitsOf(font);
    RECT px = toPixels(t->rect, units);
    int width = px.right - px.left, height = px.bottom - px.top;
    if ((t->style & WS_CAPTION) == WS_BORDER) { // the one frame this system draws
        width += 2;
        height += 2;
    }
    POINT pos = dialogPosition(*t, parent, px, width, height);
    DWORD style = t->style & ~WS_VISIBLE;
    HWND dlg = CreateWindowExW(t->exStyle, kDialogClass, t->caption ? t->caption : u"", style,
                               pos.x, pos.y, width, height, parent, nullptr, instance, nullptr);
    if (!dlg) {
        if (font) DeleteObject(font);
        return nullptr;
    }
    uint32_t handle = HandleToULong(dlg);
    {
        Lock lock(userLock());
        DialogRecord& r = records()[handle];
        r.proc = proc;
        r.ownedFont = font;
        r.font = font;
        r.baseUnits = units;
        r.modal = modal;
    }
    // As on Windows, the dialog procedure hears of the template's font only when the template
    // asks for one (DS_SETFONT); the controls always get the dialog's font below.
    if (t->style & DS_SETFONT) SendMessageW(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (UINT i = 0; i < t->itemCount && IsWindow(dlg); ++i) {
        const CeDialogItem& item = t->items[i];
        RECT r = toPixels(item.rect, units);
        HWND ctl = CreateWindowExW(
            item.exStyle, item.className, item.text ? item.text : u"",
            item.style | WS_CHILD | WS_VISIBLE, r.left, r.top, r.right - r.left, r.bottom - r.top,
            dlg, reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), instance, nullptr);
        if (!ctl) {
            CE_TRACE("msg", "dialog control %d of class %s not made", item.id,
                     ce::toUtf8(item.className).c_str());
            DWORD error = GetLastError();
            DestroyWindow(dlg);
            SetLastError(error ? error : ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        SendMessageW(ctl, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (!IsWindow(dlg)) return nullptr;
    HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE);
    LRESULT setFocus = SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!IsWindow(dlg)) return nullptr;
    bool ended;
    {
        Lock lock(userLock());
        DialogRecord* r = recordOf(handle);
        ended = r && r->ended;
    }
    if (setFocus && first && !(t->style & DS_CONTROL) && !ended) SetFocus(first);
    if (!modal && (t->style & WS_VISIBLE) && !ended) ShowWindow(dlg, SW_SHOW);
    return dlg;
}

const CeDialogTemplate* templateFromResource(HINSTANCE instance, LPCWSTR name) {
    HRSRC info = FindResourceW(instance, name, RT_DIALOG);
    if (!info) return nullptr;
    if (SizeofResource(instance, info) < sizeof(CeDialogTemplate)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    HGLOBAL data = LoadResource(instance, info);
    return data ? static_cast<const CeDialogTemplate*>(LockResource(data)) : nullptr;
}

// ---- The dialog class ---------------------------------------------------------------------------

// Gives the focus back to the control that had it, else to the first tab stop; a control
// of the dialog that has the focus already keeps it (the one WM_INITDIALOG chose).
void restoreFocus(HWND dlg) {
    HWND focus = GetFocus();
    if (focus && IsChild(dlg, focus)) return;
    uint32_t saved = 0;
    {
        Lock lock(userLock());
        if (DialogRecord* r = recordOf(HandleToULong(dlg))) saved = r->savedFocus;
    }
    HWND target = toHwnd(saved);
    if (!target || !IsWindow(target) || !IsChild(dlg, target) || !IsWindowEnabled(target) ||
        !IsWindowVisible(target))
        target = GetNextDlgTabItem(dlg, nullptr, FALSE);
    if (target) SetFocus(target);
}

void saveFocus(HWND dlg) {
    HWND focus = GetFocus();
    if (!focus || !IsChild(dlg, focus)) return;
    Lock lock(userLock());
    if (DialogRecord* r = recordOf(HandleToULong(dlg))) r->savedFocus = HandleToULong(focus);
}

LRESULT eraseDialog(HWND dlg, HDC dc) {
    if (!dc) return 0;
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
        dlg, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dlg)));
    if (!brush) brush = GetSysColorBrush(COLOR_STATIC);
    RECT r;
    GetClientRect(dlg, &r);
    FillRect(dc, &r, brush);
    return 1;
}

// The default push button's identifier: DM_SETDEFID's, else the first BS_DEFPUSHBUTTON.
LRESULT defaultId(HWND dlg) {
    int id = 0;
    {
        Lock lock(userLock());
        if (DialogRecord* r = recordOf(HandleToULong(dlg))) id = r->defId;
    }
    if (!id)
        for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) {
                id = GetDlgCtrlID(c);
                break;
            }
    return id ? MAKELONG(static_cast<WORD>(id), DC_HASDEFID) : 0;
}

// DM_SETDEFID: the old default push button becomes a plain one, the new one the default.
void setDefaultId(HWND dlg, int id) {
    LRESULT old = defaultId(dlg);
    if (HIWORD(old) == DC_HASDEFID) {
        HWND prev = GetDlgItem(dlg, static_cast<short>(LOWORD(old)));
        if (prev && (SendMessageW(prev, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
            SendMessageW(prev, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    }
    {
        Lock lock(userLock());
        if (DialogRecord* r = recordOf(HandleToULong(dlg))) r->defId = id;
    }
    HWND next = GetDlgItem(dlg, id);
    if (next && (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON))
        SendMessageW(next, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

// What the dialog does with a message its procedure left.
LRESULT defaultDialogMessage(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    uint32_t handle = HandleToULong(dlg);
    switch (msg) {
    case WM_NCCREATE: {
        Lock lock(userLock());
        records().try_emplace(handle);
        return DefWindowProcW(dlg, msg, wParam, lParam);
    }
    case WM_NCDESTROY: {
        HFONT owned = nullptr;
        {
            Lock lock(userLock());
            if (DialogRecord* r = recordOf(handle)) owned = r->ownedFont;
            records().erase(handle);
        }
        if (owned) DeleteObject(owned);
        return 0;
    }
    case WM_ERASEBKGND: return eraseDialog(dlg, reinterpret_cast<HDC>(wParam));
    case WM_SETFONT: {
        Lock lock(userLock());
        if (DialogRecord* r = recordOf(handle)) r->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    }
    case WM_GETFONT: {
        Lock lock(userLock());
        DialogRecord* r = recordOf(handle);
        return r ? reinterpret_cast<LRESULT>(r->font) : 0;
    }
    case WM_CLOSE: {
        // As the Cancel button would, unless that button is there and disabled.
        HWND cancel = GetDlgItem(dlg, IDCANCEL);
        if (!cancel || IsWindowEnabled(cancel))
            PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            saveFocus(dlg);
        else
            restoreFocus(dlg);
        return 0;
    case WM_SETFOCUS: restoreFocus(dlg); return 0;
    case WM_KILLFOCUS: return 0;
    case WM_INITDIALOG: return TRUE;
    case DM_GETDEFID: return defaultId(dlg);
    case DM_SETDEFID: setDefaultId(dlg, static_cast<int>(wParam)); return TRUE;
    case WM_NEXTDLGCTL: {
        HWND target = lParam ? reinterpret_cast<HWND>(wParam)
                             : GetNextDlgTabItem(dlg, GetFocus(), wParam != 0);
        if (target && IsChild(dlg, target)) SetFocus(target);
        return 0;
    }
    default: return DefWindowProcW(dlg, msg, wParam, lParam);
    }
}

// Messages whose result is the dialog procedure's own return value.
bool returnsProcResult(UINT msg) {
    switch (msg) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM: return true;
    default: return false;
    }
}

// A dialog procedure that calls DefDlgProcW for the message it is handling would otherwise
// call itself for ever.
thread_local std::vector<std::pair<uint32_t, UINT>> inDialogProc;

void registerDialogClass() {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = DefDlgProcW;
    wc.hInstance = systemClassInstance();
    wc.lpszClassName = kDialogClass;
    RegisterClassW(&wc);
}

const SystemClassRegistration dialogRegistration(registerDialogClass);

} // namespace

std::optional<LONG_PTR> dialogWindowLong(uint32_t hwnd, int index, const LONG_PTR* newValue,
                                         bool ptrForm) {
    if (index != DWL_MSGRESULT && index != DWL_DLGPROC && index != DWL_USER) return std::nullopt;
    Lock lock(userLock());
    DialogRecord* r = recordOf(hwnd);
    if (!r) return std::nullopt;
    LONG_PTR* slot = index == DWL_MSGRESULT ? &r->msgResult
                     : index == DWL_USER    ? &r->user
                                            : nullptr;
    if (!slot) {
        if (!ptrForm) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        LONG_PTR old = reinterpret_cast<LONG_PTR>(r->proc);
        if (newValue) r->proc = reinterpret_cast<DLGPROC>(*newValue);
        return old;
    }
    LONG_PTR old = ptrForm ? *slot : static_cast<LONG>(*slot);
    if (newValue) *slot = ptrForm ? *newValue : static_cast<LONG>(*newValue);
    return old;
}

} // namespace ce::user

// ---- API --------------------------------------------------------------------------------------

// The dialog class's window procedure: the dialog procedure first, then the defaults (the
// background from WM_CTLCOLORDLG, the font, the focus kept across activation, the default
// push button, WM_CLOSE as Cancel).
WINUSERAPI LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
    uint32_t handle = HandleToULong(hDlg);
    DLGPROC proc = nullptr;
    {
        Lock lock(userLock());
        if (DialogRecord* r = recordOf(handle)) {
            proc = r->proc;
            if (proc) r->msgResult = 0;
        }
    }
    bool reentered = std::find(inDialogProc.begin(), inDialogProc.end(),
                               std::make_pair(handle, Msg)) != inDialogProc.end();
    if (proc && !reentered) {
        inDialogProc.emplace_back(handle, Msg);
        INT_PTR handled = proc(hDlg, Msg, wParam, lParam);
        inDialogProc.pop_back();
        if (returnsProcResult(Msg) && (handled || Msg == WM_INITDIALOG)) return handled;
        if (handled) {
            Lock lock(userLock());
            DialogRecord* r = recordOf(handle);
            return r ? r->msgResult : 0;
        }
        if (!IsWindow(hDlg)) return 0;
    }
    return defaultDialogMessage(hDlg, Msg, wParam, lParam);
}

// A modeless dialog from a template of the module's resources (RT_DIALOG).
WINUSERAPI HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                                   DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    const CeDialogTemplate* t = templateFromResource(hInstance, lpTemplateName);
    if (!t) return nullptr;
    return createDialog(hInstance, t, hWndParent, lpDialogFunc, dwInitParam, false);
}

// A modeless dialog from a template in memory (a CeDialogTemplate; see windlg.h).
WINUSERAPI HWND CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate,
                                           HWND hWndParent, DLGPROC lpDialogFunc,
                                           LPARAM lParamInit) {
    return createDialog(hInstance, lpTemplate, hWndParent, lpDialogFunc, lParamInit, false);
}

// A modal dialog from a template of the module's resources; -1 when there is none.
WINUSERAPI INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                                   DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    const CeDialogTemplate* t = templateFromResource(hInstance, lpTemplateName);
    if (!t) return -1;
    return DialogBoxIndirectParamW(hInstance, t, hWndParent, lpDialogFunc, dwInitParam);
}

// Runs a modal dialog: made hidden, WM_INITDIALOG, the owner disabled, shown, journaled
// ("dialog.shown"), answered from the automation queue when it holds an answer, then its
// own message loop until EndDialog or the window's end. Returns EndDialog's value (0 when
// the window was destroyed without it or WM_QUIT came, which is posted again), -1 when the
// dialog could not be made.
WINUSERAPI INT_PTR DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate,
                                           HWND hWndParent, DLGPROC lpDialogFunc,
                                           LPARAM dwInitParam) {
    HWND owner = topLevelWindow(hWndParent);
    HWND dlg = createDialog(hInstance, hDialogTemplate, owner, lpDialogFunc, dwInitParam, true);
    if (!dlg) return -1;
    uint32_t handle = HandleToULong(dlg);
    std::string caption = dialogTextUtf8(dlg);
    auto ended = [&] {
        Lock lock(userLock());
        DialogRecord* r = recordOf(handle);
        return !r || r->ended;
    };
    if (!ended() && owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        Lock lock(userLock());
        if (DialogRecord* r = recordOf(handle)) r->disabledOwner = HandleToULong(owner);
    }
    if (!ended()) {
        ShowWindow(dlg, SW_SHOW);
        UpdateWindow(dlg);
        journalDialogShown(dlg);
        applyDialogAnswer(dlg);
    }
    bool quit = false;
    int quitCode = 0;
    MSG msg;
    while (!ended() && IsWindow(dlg)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (!got) {
            quit = true;
            quitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (!IsDialogMessageW(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    INT_PTR result = 0;
    bool byAutomation = false;
    uint32_t disabled = 0;
    {
        Lock lock(userLock());
        if (DialogRecord* r = recordOf(handle)) {
            if (r->ended) result = r->result;
            byAutomation = r->endedByAutomation;
            disabled = r->disabledOwner;
            r->disabledOwner = 0;
        }
    }
    if (disabled) EnableWindow(toHwnd(disabled), TRUE);
    if (IsWindow(dlg)) DestroyWindow(dlg);
    ce::JournalLine("dialog.closed")
        .str("caption", caption)
        .num("result", result)
        .str("by", byAutomation ? "automation" : "user")
        .write();
    if (quit) PostQuitMessage(quitCode);
    return result;
}

// Ends a dialog: a modal one leaves its loop, which returns nResult, and its owner is
// enabled again at once (so that activation goes back to it); the dialog is hidden. A
// modeless dialog is only hidden: its maker destroys it.
WINUSERAPI BOOL EndDialog(HWND hDlg, int nResult) {
    uint32_t handle = HandleToULong(hDlg);
    uint32_t disabled = 0;
    {
        Lock lock(userLock());
        DialogRecord* r = recordOf(handle);
        if (!r) {
            SetLastError(IsWindow(hDlg) ? ERROR_WINDOW_NOT_DIALOG : ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        r->ended = true;
        r->result = nResult;
        r->endedByAutomation = applyingAutomationAnswer();
        disabled = r->disabledOwner;
        r->disabledOwner = 0;
    }
    if (disabled) EnableWindow(toHwnd(disabled), TRUE);
    ShowWindow(hDlg, SW_HIDE);
    // Called from another thread, the modal loop may be asleep in GetMessage: wake it.
    if (GetWindowThreadProcessId(hDlg, nullptr) != GetCurrentThreadId())
        PostMessageW(hDlg, WM_NULL, 0, 0);
    return TRUE;
}

// Converts a rectangle in the dialog's units to pixels.
WINUSERAPI BOOL MapDialogRect(HWND hDlg, LPRECT lpRect) {
    SIZE units;
    {
        Lock lock(userLock());
        DialogRecord* r = recordOf(HandleToULong(hDlg));
        if (!r || !lpRect) {
            SetLastError(!lpRect          ? ERROR_INVALID_PARAMETER
                         : IsWindow(hDlg) ? ERROR_WINDOW_NOT_DIALOG
                                          : ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        units = r->baseUnits;
    }
    lpRect->left = mulDiv(lpRect->left, units.cx, 4);
    lpRect->right = mulDiv(lpRect->right, units.cx, 4);
    lpRect->top = mulDiv(lpRect->top, units.cy, 8);
    lpRect->bottom = mulDiv(lpRect->bottom, units.cy, 8);
    return TRUE;
}

// The base units of the system's dialog font (Tahoma 8 points on this screen): average
// character width in the low word, height in the high word.
WINUSERAPI LONG GetDialogBaseUnits(void) {
    HFONT font = makeDialogFont(nullptr, 0);
    SIZE units = baseUnitsOf(font);
    if (font) DeleteObject(font);
    return MAKELONG(static_cast<WORD>(units.cx), static_cast<WORD>(units.cy));
}
