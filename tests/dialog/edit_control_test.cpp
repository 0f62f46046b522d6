// edit_control_test.cpp: the EDIT control: typed text and its notifications, EN_CHANGE
// against WM_SETTEXT as documented, ES_NUMBER, EM_LIMITTEXT with EN_MAXTEXT, the selection,
// undo, caret movement by keys, line messages of a multi-line control, the clipboard, focus
// notifications, and the colour messages it asks its parent.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testdevice.h"
#include "windows.h"

namespace {

constexpr int kEditId = 42;
constexpr const char16_t* kParentClass = u"EditTestParent";

struct Command {
    WORD id;
    WORD code;
    std::u16string text; // the control's text when the notification came
};
std::vector<Command> commands;
std::vector<UINT> colorMessages;

LRESULT CALLBACK parentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) {
        WCHAR text[256] = {0};
        GetWindowTextW(reinterpret_cast<HWND>(lParam), text, 256);
        commands.push_back({LOWORD(wParam), HIWORD(wParam), text});
        return 0;
    }
    if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORSTATIC) colorMessages.push_back(msg);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::vector<WORD> codes() {
    std::vector<WORD> out;
    for (auto& c : commands)
        out.push_back(c.code);
    return out;
}

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

class EditTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = parentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kParentClass;
        RegisterClassW(&wc); // a second registration fails harmlessly
        parent = CreateWindowExW(0, kParentClass, u"parent", WS_POPUP | WS_VISIBLE, 0, 0, 220, 200,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, parent);
        pump();
        commands.clear();
        colorMessages.clear();
    }
    void TearDown() override {
        if (IsWindow(parent)) DestroyWindow(parent);
        pump();
    }
    HWND make(DWORD style, const char16_t* text = u"", int width = 150, int height = 24) {
        HWND h = CreateWindowExW(0, u"EDIT", text, WS_CHILD | WS_VISIBLE | style, 5, 5, width,
                                 height, parent, reinterpret_cast<HMENU>(kEditId),
                                 GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(nullptr, h);
        pump();
        commands.clear();
        return h;
    }
    static std::u16string text(HWND h) {
        WCHAR buffer[512];
        int n = GetWindowTextW(h, buffer, 512);
        return std::u16string(buffer, static_cast<size_t>(n));
    }
    static void type(HWND h, const std::u16string& s) {
        for (char16_t c : s)
            SendMessageW(h, WM_CHAR, c, 1);
    }
    static void key(HWND h, UINT vk) {
        SendMessageW(h, WM_KEYDOWN, vk, 1);
        SendMessageW(h, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
    }
    static std::pair<DWORD, DWORD> sel(HWND h) {
        DWORD start = 0xdeadbeef, end = 0xdeadbeef;
        LRESULT r = SendMessageW(h, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                                 reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(MAKELONG(start, end), static_cast<DWORD>(r));
        return {start, end};
    }
    HWND parent = nullptr;
};

using Sel = std::pair<DWORD, DWORD>;

// Each typed character is a change the user made: EN_UPDATE before it shows, EN_CHANGE
// after, both with the control's identifier; the modification flag goes up.
TEST_F(EditTest, TypedTextNotifiesUpdateThenChange) {
    HWND e = make(ES_AUTOHSCROLL);
    EXPECT_EQ(FALSE, SendMessageW(e, EM_GETMODIFY, 0, 0));
    type(e, u"ab");
    EXPECT_EQ(u"ab", text(e));
    EXPECT_EQ((std::vector<WORD>{EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE}), codes());
    for (auto& c : commands)
        EXPECT_EQ(kEditId, c.id);
    EXPECT_EQ(u"ab", commands.back().text) << "EN_CHANGE comes after the text changed";
    EXPECT_EQ(Sel(2, 2), sel(e));
    EXPECT_EQ(TRUE, SendMessageW(e, EM_GETMODIFY, 0, 0));
    EXPECT_EQ(2, GetWindowTextLengthW(e));
}

// "EN_CHANGE is not sent when the ES_MULTILINE style is used and the text is sent through
// WM_SETTEXT"; a single-line control does send it. WM_SETTEXT clears the modification flag
// and the undo buffer and puts the caret at the start.
TEST_F(EditTest, SetTextNotifiesOnlyASingleLineControl) {
    HWND single = make(ES_AUTOHSCROLL);
    type(single, u"x");
    commands.clear();
    EXPECT_TRUE(SetWindowTextW(single, u"hello"));
    EXPECT_EQ((std::vector<WORD>{EN_UPDATE, EN_CHANGE}), codes());
    EXPECT_EQ(u"hello", commands.back().text);
    EXPECT_EQ(FALSE, SendMessageW(single, EM_GETMODIFY, 0, 0));
    EXPECT_EQ(FALSE, SendMessageW(single, EM_CANUNDO, 0, 0));
    EXPECT_EQ(Sel(0, 0), sel(single));

    HWND multi = make(ES_MULTILINE | ES_AUTOVSCROLL, u"", 150, 80);
    EXPECT_TRUE(SetWindowTextW(multi, u"one\r\ntwo"));
    EXPECT_TRUE(commands.empty()) << commands.size() << " notifications, first "
                                  << (commands.empty() ? 0 : commands[0].code);
    EXPECT_EQ(u"one\r\ntwo", text(multi));
}

// ES_NUMBER refuses anything but digits; a refused character changes nothing and notifies
// nothing. ES_UPPERCASE converts typed letters.
TEST_F(EditTest, NumberAndCaseStyles) {
    HWND number = make(ES_NUMBER);
    type(number, u"1x2-");
    EXPECT_EQ(u"12", text(number));
    EXPECT_EQ((std::vector<WORD>{EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE}), codes());

    HWND upper = make(ES_UPPERCASE);
    type(upper, u"aB1");
    EXPECT_EQ(u"AB1", text(upper));
}

// EM_LIMITTEXT limits what the user (and EM_REPLACESEL) can add, cutting the insertion and
// sending EN_MAXTEXT; it does not limit WM_SETTEXT. 0 means the largest limit.
TEST_F(EditTest, LimitTextCutsInputWithMaxText) {
    HWND e = make(ES_AUTOHSCROLL);
    EXPECT_EQ(30000, SendMessageW(e, EM_GETLIMITTEXT, 0, 0)) << "the documented default";
    SendMessageW(e, EM_LIMITTEXT, 5, 0);
    EXPECT_EQ(5, SendMessageW(e, EM_GETLIMITTEXT, 0, 0));
    SetWindowTextW(e, u"abc");
    SendMessageW(e, EM_SETSEL, 3, 3);
    commands.clear();
    SendMessageW(e, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(u"defgh"));
    EXPECT_EQ(u"abcde", text(e));
    EXPECT_EQ((std::vector<WORD>{EN_MAXTEXT, EN_UPDATE, EN_CHANGE}), codes());
    commands.clear();
    type(e, u"x");
    EXPECT_EQ(u"abcde", text(e));
    EXPECT_EQ((std::vector<WORD>{EN_MAXTEXT}), codes()) << "nothing changed: no EN_CHANGE";
    // Replacing a selection makes room.
    SendMessageW(e, EM_SETSEL, 0, 2);
    type(e, u"Z");
    EXPECT_EQ(u"Zcde", text(e));
    EXPECT_TRUE(SetWindowTextW(e, u"longer than five"));
    EXPECT_EQ(u"longer than five", text(e));
    SendMessageW(e, EM_LIMITTEXT, 0, 0);
    EXPECT_EQ(0x7FFFFFFE, SendMessageW(e, EM_GETLIMITTEXT, 0, 0));
}

// EM_SETSEL: (0, -1) selects everything, -1 as the start removes the selection; typing
// replaces the selection. EM_GETSEL fills both out-parameters and packs them in its result.
TEST_F(EditTest, SelectionIsReplacedByTyping) {
    HWND e = make(ES_AUTOHSCROLL, u"hello world");
    SendMessageW(e, EM_SETSEL, 0, 5);
    EXPECT_EQ(Sel(0, 5), sel(e));
    type(e, u"J");
    EXPECT_EQ(u"J world", text(e));
    EXPECT_EQ(Sel(1, 1), sel(e));
    SendMessageW(e, EM_SETSEL, 0, -1);
    EXPECT_EQ(Sel(0, 7), sel(e));
    SendMessageW(e, EM_SETSEL, static_cast<WPARAM>(-1), 0);
    auto s = sel(e);
    EXPECT_EQ(s.first, s.second) << "no selection after a start of -1";
    // Out of range values are clamped; the selection may run backwards.
    SendMessageW(e, EM_SETSEL, 100, 2);
    EXPECT_EQ(Sel(2, 7), sel(e));
    // EM_GETSEL accepts null out-parameters.
    EXPECT_EQ(MAKELONG(2, 7), static_cast<DWORD>(SendMessageW(e, EM_GETSEL, 0, 0)));
    SendMessageW(e, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"!"));
    EXPECT_EQ(u"J !", text(e));
}

// One level of undo: characters typed one after another undo together; undoing again redoes.
// EM_REPLACESEL with FALSE leaves nothing to undo after EM_EMPTYUNDOBUFFER.
TEST_F(EditTest, UndoRevertsTypingAndRedoes) {
    HWND e = make(ES_AUTOHSCROLL, u"ab");
    EXPECT_EQ(FALSE, SendMessageW(e, EM_CANUNDO, 0, 0));
    SendMessageW(e, EM_SETSEL, 2, 2);
    type(e, u"cde");
    EXPECT_EQ(TRUE, SendMessageW(e, EM_CANUNDO, 0, 0));
    commands.clear();
    EXPECT_EQ(TRUE, SendMessageW(e, EM_UNDO, 0, 0));
    EXPECT_EQ(u"ab", text(e));
    EXPECT_EQ((std::vector<WORD>{EN_UPDATE, EN_CHANGE}), codes());
    EXPECT_EQ(TRUE, SendMessageW(e, WM_UNDO, 0, 0));
    EXPECT_EQ(u"abcde", text(e));
    SendMessageW(e, EM_EMPTYUNDOBUFFER, 0, 0);
    EXPECT_EQ(FALSE, SendMessageW(e, EM_CANUNDO, 0, 0));
    SendMessageW(e, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"f"));
    EXPECT_EQ(FALSE, SendMessageW(e, EM_CANUNDO, 0, 0));
    EXPECT_EQ(FALSE, SendMessageW(e, EM_UNDO, 0, 0));
    EXPECT_EQ(u"abcdef", text(e));
    // Backspace and Delete are their own undo steps.
    SendMessageW(e, EM_SETSEL, 1, 1);
    SendMessageW(e, WM_CHAR, VK_BACK, 1);
    key(e, VK_DELETE);
    EXPECT_EQ(u"cdef", text(e));
    SendMessageW(e, EM_UNDO, 0, 0);
    EXPECT_EQ(u"bcdef", text(e));
}

// Arrow keys, Home and End move the caret; Left/Right without shift collapse a selection to
// its side; in a multi-line control Up/Down go to the neighbouring line and a "\r\n" pair is
// one step.
TEST_F(EditTest, CaretMovesWithKeys) {
    HWND e = make(ES_AUTOHSCROLL, u"abc");
    SendMessageW(e, EM_SETSEL, 3, 3);
    key(e, VK_LEFT);
    EXPECT_EQ(Sel(2, 2), sel(e));
    key(e, VK_HOME);
    EXPECT_EQ(Sel(0, 0), sel(e));
    key(e, VK_LEFT);
    EXPECT_EQ(Sel(0, 0), sel(e)) << "the start stops the caret";
    key(e, VK_END);
    EXPECT_EQ(Sel(3, 3), sel(e));
    SendMessageW(e, EM_SETSEL, 1, 2);
    key(e, VK_LEFT);
    EXPECT_EQ(Sel(1, 1), sel(e));

    HWND m = make(ES_MULTILINE | ES_WANTRETURN, u"ab\r\ncd", 150, 80);
    SendMessageW(m, EM_SETSEL, 2, 2);
    key(m, VK_RIGHT);
    EXPECT_EQ(Sel(4, 4), sel(m)) << "over the line break in one step";
    key(m, VK_UP);
    EXPECT_EQ(Sel(0, 0), sel(m));
    SendMessageW(m, EM_SETSEL, 2, 2);
    key(m, VK_DOWN);
    EXPECT_EQ(Sel(6, 6), sel(m)) << "the end of the second line, below the end of the first";
    SendMessageW(m, WM_CHAR, u'\r', 1);
    EXPECT_EQ(u"ab\r\ncd\r\n", text(m));
    SendMessageW(m, WM_CHAR, VK_BACK, 1);
    EXPECT_EQ(u"ab\r\ncd", text(m)) << "Backspace removes the whole line break";
}

// Shift with the arrows extends the selection from its anchor (the shift key as the device's
// keypad reports it).
TEST_F(EditTest, ShiftArrowsExtendTheSelection) {
    HWND e = make(ES_AUTOHSCROLL, u"abcd");
    SendMessageW(e, EM_SETSEL, 1, 1);
    keybd_event(VK_SHIFT, 0, 0, 0);
    pump();
    key(e, VK_RIGHT);
    key(e, VK_RIGHT);
    keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    pump();
    EXPECT_EQ(Sel(1, 3), sel(e));
    key(e, VK_RIGHT);
    EXPECT_EQ(Sel(3, 3), sel(e)) << "a plain arrow collapses to the selection's right side";
}

// The line messages of a multi-line control, with words wrapped at the control's width and
// hard line breaks.
TEST_F(EditTest, MultiLineLinesAndWrapping) {
    HWND m = make(ES_MULTILINE, u"one\r\ntwo three", 150, 80);
    EXPECT_EQ(2, SendMessageW(m, EM_GETLINECOUNT, 0, 0));
    EXPECT_EQ(0, SendMessageW(m, EM_LINEINDEX, 0, 0));
    EXPECT_EQ(5, SendMessageW(m, EM_LINEINDEX, 1, 0));
    EXPECT_EQ(-1, SendMessageW(m, EM_LINEINDEX, 2, 0));
    EXPECT_EQ(3, SendMessageW(m, EM_LINELENGTH, 2, 0));
    EXPECT_EQ(9, SendMessageW(m, EM_LINELENGTH, 5, 0));
    EXPECT_EQ(1, SendMessageW(m, EM_LINEFROMCHAR, 7, 0));
    WCHAR buffer[16];
    for (auto& c : buffer)
        c = 0xBEEF;
    buffer[0] = 4; // the buffer's size goes in its first WORD
    EXPECT_EQ(4, SendMessageW(m, EM_GETLINE, 1, reinterpret_cast<LPARAM>(buffer)));
    EXPECT_EQ(u"two ", std::u16string(buffer, 4));
    EXPECT_EQ(0xBEEF, buffer[4]) << "EM_GETLINE writes no terminator";
    EXPECT_EQ(0, SendMessageW(m, EM_GETLINE, 7, reinterpret_cast<LPARAM>(buffer)));
    EXPECT_EQ(0, SendMessageW(m, EM_GETLINE, 0, 0));

    // Narrow enough for one word a line: the words wrap at their spaces.
    HWND narrow = make(ES_MULTILINE, u"alpha beta gamma", 50, 80);
    EXPECT_EQ(3, SendMessageW(narrow, EM_GETLINECOUNT, 0, 0));
    EXPECT_EQ(6, SendMessageW(narrow, EM_LINEINDEX, 1, 0));
    EXPECT_EQ(11, SendMessageW(narrow, EM_LINEINDEX, 2, 0));
    // A single-line control is one line whatever its text.
    HWND single = make(ES_AUTOHSCROLL, u"alpha beta gamma delta", 50);
    EXPECT_EQ(1, SendMessageW(single, EM_GETLINECOUNT, 0, 0));
}

// A single-line ES_AUTOHSCROLL control scrolls sideways to keep the caret in view; a pen tap
// puts the caret at the character under it.
TEST_F(EditTest, AutoScrollKeepsTheCaretVisible) {
    HWND e = make(ES_AUTOHSCROLL, u"", 60);
    type(e, u"the quick brown fox jumps");
    LRESULT pos = SendMessageW(e, EM_POSFROMCHAR, 25, 0);
    RECT client;
    GetClientRect(e, &client);
    int x = static_cast<short>(LOWORD(pos));
    EXPECT_GE(x, 0);
    EXPECT_LE(x, client.right) << "the caret at the end is in view";
    EXPECT_GT(SendMessageW(e, EM_GETFIRSTVISIBLELINE, 0, 0), 0) << "the start scrolled away";
    key(e, VK_HOME);
    EXPECT_EQ(0, SendMessageW(e, EM_GETFIRSTVISIBLELINE, 0, 0));
    // Tap just right of the third character's middle, then drag to the end of the view.
    LRESULT p2 = SendMessageW(e, EM_POSFROMCHAR, 2, 0);
    LRESULT p3 = SendMessageW(e, EM_POSFROMCHAR, 3, 0);
    int mid = (static_cast<short>(LOWORD(p2)) + static_cast<short>(LOWORD(p3))) / 2 + 1;
    SendMessageW(e, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(mid, 5));
    SendMessageW(e, WM_LBUTTONUP, 0, MAKELPARAM(mid, 5));
    EXPECT_EQ(Sel(3, 3), sel(e));
    EXPECT_EQ(e, GetFocus()) << "a tap gives the focus";
}

// WM_CUT, WM_COPY, WM_PASTE and WM_CLEAR through the process's clipboard; a read-only control
// copies but does not change.
TEST_F(EditTest, ClipboardAndReadOnly) {
    HWND a = make(ES_AUTOHSCROLL, u"copy me");
    HWND b = make(ES_AUTOHSCROLL, u"<>");
    SendMessageW(a, EM_SETSEL, 0, 4);
    SendMessageW(a, WM_COPY, 0, 0);
    SendMessageW(b, EM_SETSEL, 1, 1);
    SendMessageW(b, WM_PASTE, 0, 0);
    EXPECT_EQ(u"<copy>", text(b));
    SendMessageW(a, EM_SETSEL, 4, 7);
    SendMessageW(a, WM_CUT, 0, 0);
    EXPECT_EQ(u"copy", text(a));
    SendMessageW(a, EM_SETSEL, 0, 1);
    SendMessageW(a, WM_CLEAR, 0, 0);
    EXPECT_EQ(u"opy", text(a));

    EXPECT_EQ(TRUE, SendMessageW(a, EM_SETREADONLY, TRUE, 0));
    EXPECT_TRUE(GetWindowLongW(a, GWL_STYLE) & ES_READONLY);
    commands.clear();
    type(a, u"zz");
    SendMessageW(a, WM_PASTE, 0, 0);
    key(a, VK_DELETE);
    EXPECT_EQ(u"opy", text(a));
    EXPECT_TRUE(commands.empty());
    // A program may still change a read-only control.
    SendMessageW(a, EM_SETSEL, 0, 0);
    SendMessageW(a, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"c"));
    EXPECT_EQ(u"copy", text(a));
}

// The control asks its parent for WM_CTLCOLOREDIT when editable and WM_CTLCOLORSTATIC when
// read-only or disabled.
TEST_F(EditTest, ColourMessageFollowsState) {
    HWND e = make(ES_AUTOHSCROLL, u"colour");
    InvalidateRect(e, nullptr, TRUE);
    colorMessages.clear();
    UpdateWindow(e);
    ASSERT_FALSE(colorMessages.empty());
    EXPECT_EQ(static_cast<UINT>(WM_CTLCOLOREDIT), colorMessages.back());
    SendMessageW(e, EM_SETREADONLY, TRUE, 0);
    colorMessages.clear();
    UpdateWindow(e);
    ASSERT_FALSE(colorMessages.empty());
    EXPECT_EQ(static_cast<UINT>(WM_CTLCOLORSTATIC), colorMessages.back());
    SendMessageW(e, EM_SETREADONLY, FALSE, 0);
    EnableWindow(e, FALSE);
    colorMessages.clear();
    InvalidateRect(e, nullptr, TRUE);
    UpdateWindow(e);
    ASSERT_FALSE(colorMessages.empty());
    EXPECT_EQ(static_cast<UINT>(WM_CTLCOLORSTATIC), colorMessages.back());
}

// EN_SETFOCUS and EN_KILLFOCUS; the dialog codes of single- and multi-line controls.
TEST_F(EditTest, FocusNotificationsAndDialogCodes) {
    HWND e = make(ES_AUTOHSCROLL);
    SetFocus(e);
    EXPECT_EQ((std::vector<WORD>{EN_SETFOCUS}), codes());
    commands.clear();
    SetFocus(parent);
    EXPECT_EQ((std::vector<WORD>{EN_KILLFOCUS}), codes());
    EXPECT_EQ(DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS,
              SendMessageW(e, WM_GETDLGCODE, 0, 0));
    HWND m = make(ES_MULTILINE, u"", 150, 60);
    EXPECT_EQ(DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | DLGC_WANTALLKEYS,
              SendMessageW(m, WM_GETDLGCODE, 0, 0));
}

// Text through WM_GETTEXT is cut to the buffer and always terminated; a zero size or a null
// buffer copies nothing.
TEST_F(EditTest, GetTextHonoursTheBuffer) {
    HWND e = make(ES_AUTOHSCROLL, u"abcdef");
    WCHAR buffer[8];
    for (auto& c : buffer)
        c = 0xBEEF;
    EXPECT_EQ(3, SendMessageW(e, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(buffer)));
    EXPECT_EQ(u"abc", std::u16string(buffer));
    EXPECT_EQ(0xBEEF, buffer[4]) << "nothing written past the given size";
    EXPECT_EQ(0, SendMessageW(e, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)));
    EXPECT_EQ(0, SendMessageW(e, WM_GETTEXT, 8, 0));
    EXPECT_EQ(6, SendMessageW(e, WM_GETTEXTLENGTH, 0, 0));
    SendMessageW(e, EM_REPLACESEL, TRUE, 0); // a null string inserts nothing
    EXPECT_EQ(u"abcdef", text(e));
}

// The look: the selection on COLOR_HIGHLIGHT while focused (hidden without the focus), the
// rest on the window colour, a one-pixel caret, and the thin frame of a WS_BORDER control.
TEST_F(EditTest, SelectionCaretAndFramePixels) {
    HWND e = make(WS_BORDER | ES_AUTOHSCROLL, u"hello");
    auto pixel = [&](int x, int y) {
        HDC dc = GetDC(e);
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(e, dc);
        return c;
    };
    auto at = [&](int index) {
        LRESULT p = SendMessageW(e, EM_POSFROMCHAR, static_cast<WPARAM>(index), 0);
        return POINT{static_cast<short>(LOWORD(p)), static_cast<short>(HIWORD(p))};
    };
    SetFocus(e);
    SendMessageW(e, EM_SETSEL, 0, 4);
    UpdateWindow(e);
    POINT start = at(0), end = at(4), last = at(5);
    ASSERT_LT(start.x + 2, end.x);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), pixel(start.x + 1, start.y));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), pixel(end.x - 1, start.y));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), pixel(last.x + 4, start.y)) << "after the text";
    // The caret sits at the selection's moving end, in the text colour.
    SendMessageW(e, EM_SETSEL, 5, 5);
    UpdateWindow(e);
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), pixel(last.x, last.y + 1));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), pixel(last.x + 2, last.y + 1));
    // Without the focus neither the selection nor the caret shows.
    SendMessageW(e, EM_SETSEL, 0, 4);
    SetFocus(parent);
    UpdateWindow(e);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), pixel(start.x + 1, start.y));
    // The frame, drawn around the client area.
    HDC wdc = GetWindowDC(e);
    EXPECT_EQ(GetSysColor(COLOR_WINDOWFRAME), GetPixel(wdc, 0, 0));
    EXPECT_EQ(GetSysColor(COLOR_WINDOWFRAME), GetPixel(wdc, 3, 0));
    ReleaseDC(e, wdc);
}

} // namespace
