// combo_control_test.cpp: the COMBOBOX control: items with data, CB_SELECTSTRING's prefix
// match, an editable CBS_DROPDOWN whose typing sends CBN_EDITCHANGE with the new text,
// CBN_SELCHANGE for choices the user makes by keys or by tapping the open list (and never for
// CB_SETCURSEL), Escape restoring the selection, and the field keeping its own height.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testdevice.h"
#include "windows.h"

namespace {

constexpr int kComboId = 9;
constexpr const char16_t* kParentClass = u"ComboTestParent";

struct Note {
    WORD code;
    std::u16string text; // the combo box's text when the notification came
};
std::vector<Note> notes;

LRESULT CALLBACK parentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && LOWORD(wParam) == kComboId) {
        WCHAR text[128] = {0};
        GetWindowTextW(reinterpret_cast<HWND>(lParam), text, 128);
        notes.push_back({HIWORD(wParam), text});
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::vector<WORD> codes() {
    std::vector<WORD> out;
    for (auto& n : notes)
        out.push_back(n.code);
    return out;
}

bool saw(WORD code) {
    for (auto& n : notes)
        if (n.code == code) return true;
    return false;
}

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

class ComboTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = parentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kParentClass;
        RegisterClassW(&wc);
        parent = CreateWindowExW(0, kParentClass, u"parent", WS_POPUP | WS_VISIBLE, 0, 0, 220, 300,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, parent);
        pump();
    }
    void TearDown() override {
        if (IsWindow(parent)) DestroyWindow(parent);
        pump();
    }
    HWND make(DWORD style) {
        HWND h = CreateWindowExW(0, u"COMBOBOX", nullptr, WS_CHILD | WS_VISIBLE | style, 10, 10,
                                 150, 120, parent, reinterpret_cast<HMENU>(kComboId),
                                 GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(nullptr, h);
        for (auto s : {u"Apple", u"Banana", u"Cherry", u"Blueberry"})
            SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        pump();
        notes.clear();
        return h;
    }
    static std::u16string text(HWND h) {
        WCHAR buffer[128];
        int n = GetWindowTextW(h, buffer, 128);
        return std::u16string(buffer, static_cast<size_t>(n));
    }
    static LRESULT cursel(HWND h) { return SendMessageW(h, CB_GETCURSEL, 0, 0); }
    HWND parent = nullptr;
};

// CB_ADDSTRING, CB_SETITEMDATA and CB_GETITEMDATA round trips; CB_GETLBTEXT and its length;
// CB_ERR for indexes out of range (the buffer untouched).
TEST_F(ComboTest, ItemsWithData) {
    HWND c = make(CBS_DROPDOWNLIST);
    EXPECT_EQ(4, SendMessageW(c, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(CB_ERR, SendMessageW(c, CB_SETITEMDATA, i, 0xA0 + i));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(0xA0 + i, SendMessageW(c, CB_GETITEMDATA, i, 0));
    EXPECT_EQ(CB_ERR, SendMessageW(c, CB_GETITEMDATA, 4, 0));
    EXPECT_EQ(CB_ERR, SendMessageW(c, CB_SETITEMDATA, static_cast<WPARAM>(-2), 0));
    WCHAR buffer[16];
    for (auto& ch : buffer)
        ch = 0xBEEF;
    EXPECT_EQ(6, SendMessageW(c, CB_GETLBTEXTLEN, 2, 0));
    EXPECT_EQ(6, SendMessageW(c, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(buffer)));
    EXPECT_EQ(u"Cherry", std::u16string(buffer));
    for (auto& ch : buffer)
        ch = 0xBEEF;
    EXPECT_EQ(CB_ERR, SendMessageW(c, CB_GETLBTEXT, 4, reinterpret_cast<LPARAM>(buffer)));
    EXPECT_EQ(0xBEEF, buffer[0]);
    EXPECT_EQ(CB_ERR, SendMessageW(c, CB_GETLBTEXTLEN, 4, 0));
    // Deleting an item moves the data of the later ones with them.
    EXPECT_EQ(3, SendMessageW(c, CB_DELETESTRING, 0, 0));
    EXPECT_EQ(0xA1, SendMessageW(c, CB_GETITEMDATA, 0, 0));
    // With CBS_SORT the data stays with its item wherever it is sorted to.
    HWND sorted = make(CBS_DROPDOWNLIST | CBS_SORT | CBS_HASSTRINGS);
    LRESULT at = SendMessageW(sorted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Apricot"));
    EXPECT_EQ(1, at);
    SendMessageW(sorted, CB_SETITEMDATA, static_cast<WPARAM>(at), 77);
    SendMessageW(sorted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Aardvark"));
    EXPECT_EQ(77, SendMessageW(sorted, CB_GETITEMDATA, 2, 0));
}

// CB_SELECTSTRING matches a prefix without regard to case and shows the item in the field;
// a program's selection sends no CBN_SELCHANGE. No match: CB_ERR, the selection kept.
TEST_F(ComboTest, SelectStringMatchesAPrefix) {
    HWND c = make(CBS_DROPDOWNLIST);
    EXPECT_EQ(CB_ERR, cursel(c));
    EXPECT_EQ(1, SendMessageW(c, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>(u"ba")));
    EXPECT_EQ(1, cursel(c));
    EXPECT_EQ(u"Banana", text(c));
    EXPECT_EQ(3, SendMessageW(c, CB_SELECTSTRING, 1, reinterpret_cast<LPARAM>(u"B")))
        << "searching starts after the given index";
    EXPECT_EQ(CB_ERR, SendMessageW(c, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(u"Kiwi")));
    EXPECT_EQ(3, cursel(c));
    EXPECT_EQ(2, SendMessageW(c, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>(u"cherry")));
    EXPECT_EQ(0, SendMessageW(c, CB_SETCURSEL, 0, 0));
    EXPECT_EQ(u"Apple", text(c));
    EXPECT_FALSE(saw(CBN_SELCHANGE));
    // WM_SETTEXT on a drop-down list selects the matching item or fails.
    EXPECT_EQ(CB_ERR, SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Kiwi")));
    EXPECT_EQ(TRUE, SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"CHERRY")));
    EXPECT_EQ(2, cursel(c));
    EXPECT_EQ(CB_ERR, SendMessageW(c, CB_GETEDITSEL, 0, 0)) << "no edit field";
}

// Typing into a CBS_DROPDOWN's edit field sends CBN_EDITUPDATE then CBN_EDITCHANGE, with the
// text already changed; choosing an item sets the text without CBN_EDITCHANGE.
TEST_F(ComboTest, TypingIntoADropDownSendsEditChange) {
    HWND c = make(CBS_DROPDOWN);
    HWND edit = GetWindow(c, GW_CHILD);
    ASSERT_NE(nullptr, edit);
    SetFocus(c);
    EXPECT_EQ(edit, GetFocus()) << "the edit field takes the focus";
    EXPECT_EQ((std::vector<WORD>{CBN_SETFOCUS}), codes());
    notes.clear();
    SendMessageW(edit, WM_CHAR, u'K', 1);
    SendMessageW(edit, WM_CHAR, u'i', 1);
    ASSERT_EQ((std::vector<WORD>{CBN_EDITUPDATE, CBN_EDITCHANGE, CBN_EDITUPDATE, CBN_EDITCHANGE}),
              codes());
    EXPECT_EQ(u"K", notes[1].text);
    EXPECT_EQ(u"Ki", notes[3].text);
    EXPECT_EQ(u"Ki", text(c));
    EXPECT_EQ(2, SendMessageW(c, WM_GETTEXTLENGTH, 0, 0));
    DWORD start = 0xdeadbeef, end = 0xdeadbeef;
    SendMessageW(c, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(2u, start);
    EXPECT_EQ(2u, end);
    notes.clear();
    EXPECT_EQ(2, SendMessageW(c, CB_SETCURSEL, 2, 0));
    EXPECT_EQ(u"Cherry", text(c));
    EXPECT_TRUE(notes.empty()) << "CB_SETCURSEL notifies nothing; first: "
                               << (notes.empty() ? 0 : notes[0].code);
    // CB_LIMITTEXT reaches the edit field.
    SendMessageW(c, CB_LIMITTEXT, 3, 0);
    EXPECT_EQ(3, SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
    EXPECT_EQ(TRUE, SendMessageW(c, CB_SETEDITSEL, 0, MAKELPARAM(1, 3)));
    SendMessageW(c, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(1u, start);
    EXPECT_EQ(3u, end);
}

// Up and Down change the selection of a closed drop-down list and report CBN_SELCHANGE.
TEST_F(ComboTest, KeysChangeTheSelection) {
    HWND c = make(CBS_DROPDOWNLIST);
    SetFocus(c);
    notes.clear();
    SendMessageW(c, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(0, cursel(c));
    SendMessageW(c, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(1, cursel(c));
    ASSERT_EQ((std::vector<WORD>{CBN_SELCHANGE, CBN_SELCHANGE}), codes());
    EXPECT_EQ(u"Banana", notes[1].text) << "the field shows the new item when notified";
    SendMessageW(c, WM_KEYDOWN, VK_END, 1);
    EXPECT_EQ(3, cursel(c));
    notes.clear();
    SendMessageW(c, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_TRUE(notes.empty()) << "no change at the end, no notification";
    SendMessageW(c, WM_CHAR, u'c', 1);
    EXPECT_EQ(2, cursel(c)) << "a typed letter selects the item it starts";
}

// The list opens (CBN_DROPDOWN) as a topmost pop-up under the field; a tap on an item
// chooses it: CBN_SELENDOK, CBN_CLOSEUP and CBN_SELCHANGE, the list closed again.
TEST_F(ComboTest, ChoosingFromTheOpenListByTap) {
    HWND c = make(CBS_DROPDOWNLIST);
    SetFocus(c);
    notes.clear();
    EXPECT_EQ(TRUE, SendMessageW(c, CB_SHOWDROPDOWN, TRUE, 0));
    EXPECT_EQ(TRUE, SendMessageW(c, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ((std::vector<WORD>{CBN_DROPDOWN}), codes());
    HWND list = FindWindowW(u"ComboLBox", nullptr);
    ASSERT_NE(nullptr, list);
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_TRUE(GetWindowLongW(list, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT field, drop;
    GetWindowRect(c, &field);
    GetWindowRect(list, &drop);
    EXPECT_EQ(field.bottom, drop.top) << "the list opens under the field";
    EXPECT_EQ(field.left, drop.left);
    notes.clear();
    // Tap the third item with the pen, through the device's input.
    int h = static_cast<int>(SendMessageW(c, CB_GETITEMHEIGHT, 0, 0));
    RECT client;
    GetClientRect(list, &client);
    POINT p{10, 2 * h + h / 2};
    ClientToScreen(list, &p);
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    DWORD ax = static_cast<DWORD>((p.x * 65536 + 32768) / sw);
    DWORD ay = static_cast<DWORD>((p.y * 65536 + 32768) / sh);
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, ax, ay, 0, 0);
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, ax, ay, 0, 0);
    pump();
    EXPECT_EQ(2, cursel(c));
    EXPECT_EQ(FALSE, SendMessageW(c, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_EQ((std::vector<WORD>{CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}), codes());
    EXPECT_EQ(u"Cherry", text(c));
}

// Escape closes the open list and restores the selection it opened with; keys moving the
// highlight report CBN_SELCHANGE as they go. Alt+Down opens the list.
TEST_F(ComboTest, EscapeRestoresTheSelection) {
    HWND c = make(CBS_DROPDOWNLIST);
    SendMessageW(c, CB_SETCURSEL, 1, 0);
    SetFocus(c);
    notes.clear();
    SendMessageW(c, WM_SYSKEYDOWN, VK_DOWN, 0x20000001);
    EXPECT_EQ(TRUE, SendMessageW(c, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(DLGC_WANTALLKEYS, SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS)
        << "the open list takes Enter and Escape";
    SendMessageW(c, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(2, cursel(c));
    SendMessageW(c, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(1, cursel(c));
    EXPECT_EQ(FALSE, SendMessageW(c, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ((std::vector<WORD>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDCANCEL, CBN_CLOSEUP,
                                 CBN_SELCHANGE}),
              codes());
    // Enter chooses the highlighted item.
    notes.clear();
    SendMessageW(c, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(TRUE, SendMessageW(c, CB_GETDROPPEDSTATE, 0, 0)) << "Enter opens a closed list";
    SendMessageW(c, WM_KEYDOWN, VK_UP, 1);
    SendMessageW(c, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(0, cursel(c));
    EXPECT_EQ((std::vector<WORD>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}), codes());
}

// The height a program gives is the open list's; the box keeps the height of its field.
TEST_F(ComboTest, FieldKeepsItsHeight) {
    HWND c = make(CBS_DROPDOWNLIST);
    RECT r;
    GetWindowRect(c, &r);
    LRESULT field = SendMessageW(c, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(field, r.bottom - r.top);
    EXPECT_LT(field, 60);
    MoveWindow(c, 10, 10, 150, 200, TRUE);
    GetWindowRect(c, &r);
    EXPECT_EQ(field, r.bottom - r.top);
    EXPECT_EQ(150, r.right - r.left);
    EXPECT_EQ(150, SendMessageW(c, CB_GETDROPPEDWIDTH, 0, 0));
    EXPECT_EQ(200, SendMessageW(c, CB_SETDROPPEDWIDTH, 200, 0));
    EXPECT_EQ(200, SendMessageW(c, CB_GETDROPPEDWIDTH, 0, 0));
    // Destroying the box takes its list with it.
    DestroyWindow(c);
    EXPECT_EQ(nullptr, FindWindowW(u"ComboLBox", nullptr));
}

} // namespace
