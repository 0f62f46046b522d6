// msgbox.cpp: MessageBoxW.
//
// A message box is a topmost window of the dialog class ("Dialog", so that other programs find
// it by class and caption, as on the device) centred on the screen: a blue title bar with the
// caption, an icon, the text wrapped over as many lines as it needs (a child window whose
// text is the message, so `cedev ui` and FindWindow-style lookups see it), and a row of
// buttons at the bottom (child windows titled "Yes", "No" ...). Everything is scaled by the
// device's dpi. While it waits, a modal loop on the calling thread dispatches the thread's
// other messages (paint, timers) and takes the keys meant for the box: Enter presses the
// default button, the arrows and Tab move it, Escape answers Cancel when there is a Cancel
// button, OK when OK is the only button, and does nothing otherwise.
//
// The dialog class belongs to the dialog code when it is there; the box then changes the
// window procedure of its own window after creating it and hands the class's procedure what
// it does not handle itself (not the dialog manager's keys: the box has no dialog procedure).
// Without the dialog code, the class is registered here, the first time a box is shown.
//
// Before anything is shown the device's automation queue is asked: "yes", "no", "ok" or
// "cancel" answers at once if the box offers that button; any other answer is refused (and
// journaled) and the box waits for the user. The journal gets "msgbox.shown" and
// "msgbox.answered" (answer and by whom).
#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "kernel/journal.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "user/automation.h"
#include "user/sysclass.h"
#include "user/userstate.h"
#include "windows.h"

namespace ce::user {
namespace {

// v * num / den rounded to nearest, for dpi scaling.
int scaleBy(int v, int num, int den) {
    if (den == 0) return v;
    long long p = static_cast<long long>(v) * num;
    return static_cast<int>((p >= 0 ? p + den / 2 : p - den / 2) / den);
}

constexpr char16_t kDialogClass[] = u"Dialog";
constexpr char16_t kTextClass[] = u"MsgBoxText";
constexpr char16_t kButtonClass[] = u"MsgBoxButton";

struct ButtonKind {
    int id;
    const char16_t* label;
    const char* word;
};

constexpr ButtonKind kOk{IDOK, u"OK", "ok"};
constexpr ButtonKind kCancel{IDCANCEL, u"Cancel", "cancel"};
constexpr ButtonKind kYes{IDYES, u"Yes", "yes"};
constexpr ButtonKind kNo{IDNO, u"No", "no"};
constexpr ButtonKind kAbort{IDABORT, u"Abort", "abort"};
constexpr ButtonKind kRetry{IDRETRY, u"Retry", "retry"};
constexpr ButtonKind kIgnore{IDIGNORE, u"Ignore", "ignore"};

enum class Icon { None, Stop, Question, Exclamation, Information };

struct Box {
    std::vector<ButtonKind> buttons;
    int defaultIndex = 0;
    int escapeResult = 0; // 0: Escape does nothing
    Icon icon = Icon::None;
    std::u16string title;
    std::u16string text;
    HWND hwnd = nullptr;
    std::vector<HWND> buttonWindows;
    HFONT font = nullptr;
    HFONT bold = nullptr;
    int dpi = 96;
    RECT titleBar{};
    RECT iconRect{};
    bool done = false;
    int result = 0;

    int scale(int v) const { return scaleBy(v, dpi, 96); }
};

// The boxes open on this thread, innermost last (a timer may show a box over a box).
thread_local std::vector<Box*> openBoxes;

Box* boxOf(HWND hwnd) {
    for (Box* b : openBoxes)
        if (b->hwnd == hwnd) return b;
    return nullptr;
}

std::vector<ButtonKind> buttonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OK: return {kOk};
    case MB_OKCANCEL: return {kOk, kCancel};
    case MB_ABORTRETRYIGNORE: return {kAbort, kRetry, kIgnore};
    case MB_YESNOCANCEL: return {kYes, kNo, kCancel};
    case MB_YESNO: return {kYes, kNo};
    case MB_RETRYCANCEL: return {kRetry, kCancel};
    default: return {};
    }
}

Icon iconOf(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return Icon::Stop;
    case MB_ICONQUESTION: return Icon::Question;
    case MB_ICONEXCLAMATION: return Icon::Exclamation;
    case MB_ICONASTERISK: return Icon::Information;
    default: return Icon::None;
    }
}

const char* iconName(Icon icon) {
    switch (icon) {
    case Icon::Stop: return "error";
    case Icon::Question: return "question";
    case Icon::Exclamation: return "warning";
    case Icon::Information: return "information";
    default: return "none";
    }
}

const char* wordOf(const Box& box, int id) {
    for (const auto& b : box.buttons)
        if (b.id == id) return b.word;
    return "none";
}

void finish(Box& box, int id, const char* by) {
    if (box.done) return;
    box.done = true;
    box.result = id;
    JournalLine("msgbox.answered")
        .str("title", toUtf8(box.title))
        .str("answer", wordOf(box, id))
        .str("by", by)
        .write();
}

HFONT makeFont(int dpi, bool bold) {
    LOGFONTW lf{};
    lf.lfHeight = -scaleBy(9, dpi, 72);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    const char16_t face[] = u"Tahoma";
    std::copy(std::begin(face), std::end(face), lf.lfFaceName);
    return CreateFontIndirectW(&lf);
}

std::u16string windowText(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::u16string s(static_cast<size_t>(std::max(n, 0)) + 1, u'\0');
    int got = GetWindowTextW(hwnd, s.data(), static_cast<int>(s.size()));
    s.resize(static_cast<size_t>(std::max(got, 0)));
    return s;
}

// ---- The text and button children ---------------------------------------------------------------

LRESULT CALLBACK textProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND) return 1;
    if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return 0;
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    Box* box = boxOf(GetParent(hwnd));
    HGDIOBJ old = box ? SelectObject(dc, box->font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    std::u16string text = windowText(hwnd);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    if (old) SelectObject(dc, old);
    EndPaint(hwnd, &ps);
    return 0;
}

// GWL_USERDATA of a button: bit 0 pressed (pen down on it), bit 1 tracking the pen.
constexpr LONG kPressed = 1;
constexpr LONG kTracking = 2;

void paintButton(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(hwnd, &r);
    HWND parent = GetParent(hwnd);
    Box* box = boxOf(parent);
    bool pressed = (GetWindowLongW(hwnd, GWL_USERDATA) & kPressed) != 0;
    bool isDefault = false;
    if (box)
        for (size_t i = 0; i < box->buttonWindows.size(); ++i)
            if (box->buttonWindows[i] == hwnd) isDefault = static_cast<int>(i) == box->defaultIndex;
    FillRect(dc, &r, GetSysColorBrush(pressed ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    int frames = isDefault && box ? std::max(2, box->scale(2)) : 1;
    for (int i = 0; i < frames; ++i) {
        RECT f{r.left + i, r.top + i, r.right - i, r.bottom - i};
        FrameRect(dc, &f, GetSysColorBrush(isDefault ? COLOR_HIGHLIGHT : COLOR_BTNSHADOW));
    }
    HGDIOBJ old = box ? SelectObject(dc, box->font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(pressed ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT));
    std::u16string text = windowText(hwnd);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (old) SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

void setPressed(HWND hwnd, LONG state) {
    if (GetWindowLongW(hwnd, GWL_USERDATA) == state) return;
    SetWindowLongW(hwnd, GWL_USERDATA, state);
    InvalidateRect(hwnd, nullptr, FALSE);
}

// A push button of the box: pen down presses it, pen up on it clicks it (WM_COMMAND with its
// identifier to the box), pen up elsewhere lets it go.
LRESULT CALLBACK buttonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    POINT pt{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
    RECT r;
    switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: paintButton(hwnd); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(hwnd);
        setPressed(hwnd, kPressed | kTracking);
        return 0;
    case WM_MOUSEMOVE:
        if (GetWindowLongW(hwnd, GWL_USERDATA) & kTracking) {
            GetClientRect(hwnd, &r);
            setPressed(hwnd, kTracking | (PtInRect(&r, pt) ? kPressed : 0));
        }
        return 0;
    case WM_LBUTTONUP: {
        LONG state = GetWindowLongW(hwnd, GWL_USERDATA);
        if (!(state & kTracking)) return 0;
        if (GetCapture() == hwnd) ReleaseCapture();
        setPressed(hwnd, 0);
        GetClientRect(hwnd, &r);
        if (PtInRect(&r, pt))
            SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetWindowLongW(hwnd, GWL_ID), 0),
                         reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    case WM_CAPTURECHANGED: setPressed(hwnd, 0); return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// ---- The box window
// ------------------------------------------------------------------------------

void drawIcon(HDC dc, const Box& box) {
    if (box.icon == Icon::None) return;
    const RECT& r = box.iconRect;
    COLORREF fill = box.icon == Icon::Stop          ? RGB(0xD0, 0x20, 0x20)
                    : box.icon == Icon::Exclamation ? RGB(0xF0, 0xC0, 0x20)
                                                    : RGB(0x20, 0x60, 0xD0);
    const char16_t* glyph = box.icon == Icon::Stop          ? u"X"
                            : box.icon == Icon::Question    ? u"?"
                            : box.icon == Icon::Exclamation ? u"!"
                                                            : u"i";
    HBRUSH brush = CreateSolidBrush(fill);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    if (box.icon == Icon::Exclamation) {
        POINT tri[3] = {{(r.left + r.right) / 2, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
        Polygon(dc, tri, 3);
    } else {
        Ellipse(dc, r.left, r.top, r.right, r.bottom);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
    HGDIOBJ oldFont = SelectObject(dc, box.bold);
    SetTextColor(dc, box.icon == Icon::Exclamation ? RGB(0, 0, 0) : RGB(0xFF, 0xFF, 0xFF));
    RECT text = r;
    if (box.icon == Icon::Exclamation) text.top += (r.bottom - r.top) / 4;
    DrawTextW(dc, glyph, 1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

void paintBox(Box& box) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(box.hwnd, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(box.hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    FillRect(dc, &box.titleBar, GetSysColorBrush(COLOR_HIGHLIGHT));
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, box.bold);
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    RECT title = box.titleBar;
    title.left += box.scale(6);
    title.right -= box.scale(6);
    DrawTextW(dc, box.title.c_str(), static_cast<int>(box.title.size()), &title,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old);
    SetBkMode(dc, TRANSPARENT);
    drawIcon(dc, box);
    EndPaint(box.hwnd, &ps);
}

void moveDefault(Box& box, int step) {
    int n = static_cast<int>(box.buttons.size());
    int old = box.defaultIndex;
    box.defaultIndex = ((box.defaultIndex + step) % n + n) % n;
    InvalidateRect(box.buttonWindows[static_cast<size_t>(old)], nullptr, FALSE);
    InvalidateRect(box.buttonWindows[static_cast<size_t>(box.defaultIndex)], nullptr, FALSE);
}

void onKey(Box& box, UINT vk) {
    switch (vk) {
    case VK_RETURN:
        finish(box, box.buttons[static_cast<size_t>(box.defaultIndex)].id, "user");
        break;
    case VK_ESCAPE:
        if (box.escapeResult) finish(box, box.escapeResult, "user");
        break;
    case VK_LEFT:
    case VK_UP: moveDefault(box, -1); break;
    case VK_RIGHT:
    case VK_DOWN:
    case VK_TAB: moveDefault(box, GetKeyState(VK_SHIFT) < 0 && vk == VK_TAB ? -1 : 1); break;
    default: break;
    }
}

// The dialog class's own procedure, which the box hands what it leaves (its records of the
// window are made at WM_NCCREATE and must go at WM_NCDESTROY).
std::atomic<WNDPROC> dialogClassProc{nullptr};

LRESULT CALLBACK boxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Box* box = boxOf(hwnd);
    if (box) {
        switch (msg) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: paintBox(*box); return 0;
        case WM_COMMAND:
            for (const auto& b : box->buttons)
                if (b.id == LOWORD(wParam)) finish(*box, b.id, "user");
            return 0;
        case WM_CLOSE: // as Escape; a box without a way to cancel stays
            if (box->escapeResult) finish(*box, box->escapeResult, "user");
            return 0;
        case WM_KEYDOWN: onKey(*box, static_cast<UINT>(wParam)); return 0;
        default: break;
        }
    }
    WNDPROC previous = dialogClassProc.load();
    return previous ? CallWindowProcW(previous, hwnd, msg, wParam, lParam)
                    : DefWindowProcW(hwnd, msg, wParam, lParam);
}

void registerBoxClasses() {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.hInstance = systemClassInstance();
    wc.lpfnWndProc = textProc;
    wc.lpszClassName = kTextClass;
    RegisterClassW(&wc);
    wc.lpfnWndProc = buttonProc;
    wc.lpszClassName = kButtonClass;
    RegisterClassW(&wc);
}

const SystemClassRegistration boxRegistration(registerBoxClasses);

// The dialog class, registered here when no dialog code of the platform did.
void ensureDialogClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (findClass(kDialogClass, systemClassInstance())) return;
        WNDCLASSW wc{};
        wc.style = CS_GLOBALCLASS;
        wc.hInstance = systemClassInstance();
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = kDialogClass;
        RegisterClassW(&wc);
    });
}

// Sizes and places the box and makes its windows (hidden).
bool createBox(Box& box, HWND owner) {
    HDC screen = GetDC(nullptr);
    if (screen) {
        int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        if (dpi > 0) box.dpi = dpi;
    }
    box.font = makeFont(box.dpi, false);
    box.bold = makeFont(box.dpi, true);
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    int pad = box.scale(8);
    int width = std::max(box.scale(120), sw - 2 * pad);
    int titleHeight = box.scale(22);
    int iconSize = box.icon == Icon::None ? 0 : box.scale(32);
    int textLeft = pad + (iconSize ? iconSize + pad : 0);
    int textWidth = std::max(box.scale(40), width - textLeft - pad);
    int buttonHeight = box.scale(24);
    int buttonGap = box.scale(6);

    RECT calc{0, 0, textWidth, 0};
    std::vector<int> buttonWidths;
    if (screen) {
        HGDIOBJ old = SelectObject(screen, box.font);
        DrawTextW(screen, box.text.c_str(), static_cast<int>(box.text.size()), &calc,
                  DT_LEFT | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        for (const auto& b : box.buttons) {
            SIZE s{};
            std::u16string label = b.label;
            GetTextExtentPoint32W(screen, label.c_str(), static_cast<int>(label.size()), &s);
            buttonWidths.push_back(std::max(box.scale(56), static_cast<int>(s.cx) + box.scale(16)));
        }
        SelectObject(screen, old);
        ReleaseDC(nullptr, screen);
    } else {
        buttonWidths.assign(box.buttons.size(), box.scale(56));
    }
    int rowWidth = buttonGap * (static_cast<int>(box.buttons.size()) - 1);
    for (int w : buttonWidths)
        rowWidth += w;
    width = std::min(std::max(width, rowWidth + 2 * pad), std::max(sw, box.scale(120)));
    int fixed = titleHeight + 3 * pad + buttonHeight;
    int textHeight = std::min(static_cast<int>(calc.bottom - calc.top), std::max(0, sh - fixed));
    int contentHeight = std::max(textHeight, iconSize);
    int height = fixed + contentHeight;
    int x = (sw - width) / 2, y = std::max(0, (sh - height) / 2);

    box.titleBar = RECT{0, 0, width, titleHeight};
    int contentTop = titleHeight + pad;
    box.iconRect = RECT{pad, contentTop, pad + iconSize, contentTop + iconSize};
    box.hwnd = CreateWindowExW(WS_EX_TOPMOST, kDialogClass, box.title.c_str(), WS_POPUP, x, y,
                               width, height, owner, nullptr, systemClassInstance(), nullptr);
    if (!box.hwnd) return false;
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(box.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(boxProc)));
    if (previous && previous != boxProc) dialogClassProc.store(previous);
    CreateWindowExW(0, kTextClass, box.text.c_str(), WS_CHILD | WS_VISIBLE, textLeft, contentTop,
                    textWidth, textHeight, box.hwnd, reinterpret_cast<HMENU>(0xFFFF),
                    systemClassInstance(), nullptr);
    int bx = (width - rowWidth) / 2, by = height - pad - buttonHeight;
    for (size_t i = 0; i < box.buttons.size(); ++i) {
        HWND b = CreateWindowExW(0, kButtonClass, box.buttons[i].label, WS_CHILD | WS_VISIBLE, bx,
                                 by, buttonWidths[i], buttonHeight, box.hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(box.buttons[i].id)),
                                 systemClassInstance(), nullptr);
        box.buttonWindows.push_back(b);
        bx += buttonWidths[i] + buttonGap;
    }
    return true;
}

// Waits for the answer: the thread's messages are dispatched, keys meant for the box drive it.
void runBox(Box& box) {
    while (!box.done && IsWindow(box.hwnd)) {
        MSG msg;
        BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r <= 0) {
            if (r == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        bool forBox = msg.hwnd == box.hwnd || IsChild(box.hwnd, msg.hwnd);
        if (forBox && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
            if (msg.message == WM_KEYDOWN) onKey(box, static_cast<UINT>(msg.wParam));
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

HWND topLevelWindow(HWND hwnd) {
    for (int depth = 0; hwnd && depth < 256; ++depth) {
        if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) return hwnd;
        hwnd = GetParent(hwnd);
    }
    return hwnd;
}

struct BoxScope {
    Box& box;
    explicit BoxScope(Box& b) : box(b) { openBoxes.push_back(&box); }
    ~BoxScope() {
        if (box.hwnd && IsWindow(box.hwnd)) DestroyWindow(box.hwnd);
        openBoxes.erase(std::remove(openBoxes.begin(), openBoxes.end(), &box), openBoxes.end());
        if (box.font) DeleteObject(box.font);
        if (box.bold) DeleteObject(box.bold);
    }
};

} // namespace
} // namespace ce::user

using namespace ce::user;

// Shows a message box and returns the identifier of the button chosen (see winmenu.h).
WINUSERAPI int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    if (hWnd && !IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    Box box;
    box.buttons = buttonsOf(uType);
    if (box.buttons.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (uType & (MB_RIGHT | MB_RTLREADING))
        CE_FIXME("msg", "right-aligned and right-to-left message boxes are drawn left to right");
    box.icon = iconOf(uType);
    box.title = lpCaption ? lpCaption : u"Error";
    box.text = lpText ? lpText : u"";
    int def = static_cast<int>((uType & MB_DEFMASK) >> 8);
    box.defaultIndex = def < static_cast<int>(box.buttons.size()) ? def : 0;
    for (const auto& b : box.buttons)
        if (b.id == IDCANCEL) box.escapeResult = IDCANCEL;
    if ((uType & MB_TYPEMASK) == MB_OK) box.escapeResult = IDOK;

    std::string buttons;
    for (const auto& b : box.buttons)
        buttons += (buttons.empty() ? "" : ",") + std::string(b.word);
    ce::JournalLine("msgbox.shown")
        .str("title", ce::toUtf8(box.title))
        .str("text", ce::toUtf8(box.text))
        .str("buttons", buttons)
        .str("icon", iconName(box.icon))
        .str("default", box.buttons[static_cast<size_t>(box.defaultIndex)].word)
        .write();

    if (auto answer = ce::automation::takeAnswer()) {
        for (const auto& b : box.buttons)
            if (answer->kind == b.word && answer->argument.empty()) {
                finish(box, b.id, "automation");
                return box.result;
            }
        ce::JournalLine("msgbox.refused")
            .str("title", ce::toUtf8(box.title))
            .str("answer", answer->kind + (answer->argument.empty() ? "" : " ") + answer->argument)
            .write();
    }

    ensureDialogClass();
    HWND owner = topLevelWindow(hWnd);
    BoxScope scope(box);
    if (!createBox(box, owner)) return 0;
    bool ownerDisabled = owner && IsWindowEnabled(owner);
    if (ownerDisabled) EnableWindow(owner, FALSE);
    ShowWindow(box.hwnd, SW_SHOW);
    if (uType & MB_SETFOREGROUND) SetForegroundWindow(box.hwnd);
    SetFocus(box.hwnd);
    UpdateWindow(box.hwnd);
    runBox(box);
    if (!box.done) {
        // Gone without an answer (its owner was destroyed, or WM_QUIT): what Escape gives.
        box.result = box.escapeResult;
        ce::JournalLine("msgbox.answered")
            .str("title", ce::toUtf8(box.title))
            .str("answer", box.result ? wordOf(box, box.result) : "none")
            .str("by", "closed")
            .write();
    }
    // The owner comes back before the box goes, so activation returns to it.
    if (ownerDisabled && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindow(box.hwnd)) DestroyWindow(box.hwnd);
    if (owner && IsWindow(owner)) SetActiveWindow(owner);
    return box.result;
}
