// listbox_control_test.cpp: the LISTBOX control: where LB_ADDSTRING (sorted or not) and
// LB_INSERTSTRING put items, the selection following its item through inserts and deletes,
// the LB_ERR cases, searching, item data, LBN_SELCHANGE for user changes only, double taps,
// and scrolling that keeps the selection in view.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testdevice.h"
#include "windows.h"

namespace {

constexpr int kListId = 7;
constexpr const char16_t* kParentClass = u"ListTestParent";

std::vector<WORD> notifications;
std::vector<DRAWITEMSTRUCT> drawn;

LRESULT CALLBACK parentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && LOWORD(wParam) == kListId) {
        notifications.push_back(HIWORD(wParam));
        return 0;
    }
    if (msg == WM_DRAWITEM && lParam) {
        drawn.push_back(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

class ListBoxTest : public cetest::DeviceTest {
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
    HWND make(DWORD style, int height = 120) {
        HWND h = CreateWindowExW(0, u"LISTBOX", nullptr, WS_CHILD | WS_VISIBLE | style, 5, 5, 150,
                                 height, parent, reinterpret_cast<HMENU>(kListId),
                                 GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(nullptr, h);
        pump();
        notifications.clear();
        return h;
    }
    static LRESULT add(HWND h, const char16_t* s) {
        return SendMessageW(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    }
    static LRESULT insert(HWND h, int at, const char16_t* s) {
        return SendMessageW(h, LB_INSERTSTRING, static_cast<WPARAM>(at),
                            reinterpret_cast<LPARAM>(s));
    }
    static std::u16string item(HWND h, int i) {
        WCHAR buffer[64];
        LRESULT n =
            SendMessageW(h, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        return n < 0 ? u"<LB_ERR>" : std::u16string(buffer, static_cast<size_t>(n));
    }
    static std::vector<std::u16string> items(HWND h) {
        std::vector<std::u16string> out;
        LRESULT n = SendMessageW(h, LB_GETCOUNT, 0, 0);
        for (int i = 0; i < n; ++i)
            out.push_back(item(h, i));
        return out;
    }
    static LRESULT cursel(HWND h) { return SendMessageW(h, LB_GETCURSEL, 0, 0); }
    HWND parent = nullptr;
};

using Items = std::vector<std::u16string>;

// LBS_SORT: LB_ADDSTRING places the item in order without regard to case and returns where
// it went; LB_INSERTSTRING never sorts, -1 appends, an index past the end fails.
TEST_F(ListBoxTest, SortedAddAndUnsortedInsert) {
    HWND l = make(LBS_SORT | LBS_HASSTRINGS);
    EXPECT_EQ(0, add(l, u"pear"));
    EXPECT_EQ(0, add(l, u"Apple"));
    EXPECT_EQ(1, add(l, u"banana"));
    EXPECT_EQ(3, add(l, u"quince"));
    EXPECT_EQ((Items{u"Apple", u"banana", u"pear", u"quince"}), items(l));
    EXPECT_EQ(1, insert(l, 1, u"zzz"));
    EXPECT_EQ(5, insert(l, -1, u"aaa"));
    EXPECT_EQ(LB_ERR, insert(l, 7, u"late"));
    EXPECT_EQ((Items{u"Apple", u"zzz", u"banana", u"pear", u"quince", u"aaa"}), items(l));

    HWND plain = make(0);
    EXPECT_EQ(0, add(plain, u"b"));
    EXPECT_EQ(1, add(plain, u"a"));
    EXPECT_EQ((Items{u"b", u"a"}), items(plain));
}

// The selection stays on its item when items go in or out before it; deleting the selected
// item leaves no selection. LB_DELETESTRING returns the remaining count.
TEST_F(ListBoxTest, SelectionFollowsItsItem) {
    HWND l = make(0);
    for (auto s : {u"a", u"b", u"c", u"d"})
        add(l, s);
    EXPECT_EQ(LB_ERR, cursel(l)) << "no selection at first";
    EXPECT_EQ(2, SendMessageW(l, LB_SETCURSEL, 2, 0));
    insert(l, 0, u"first");
    EXPECT_EQ(3, cursel(l));
    EXPECT_EQ(4, SendMessageW(l, LB_DELETESTRING, 0, 0));
    EXPECT_EQ(2, cursel(l));
    EXPECT_EQ(3, SendMessageW(l, LB_DELETESTRING, 3, 0));
    EXPECT_EQ(2, cursel(l)) << "deleting after the selection leaves it";
    EXPECT_EQ(2, SendMessageW(l, LB_DELETESTRING, 2, 0));
    EXPECT_EQ(LB_ERR, cursel(l));
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_DELETESTRING, 2, 0));
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_DELETESTRING, static_cast<WPARAM>(-1), 0));
    EXPECT_EQ(LB_OKAY, SendMessageW(l, LB_RESETCONTENT, 0, 0));
    EXPECT_EQ(0, SendMessageW(l, LB_GETCOUNT, 0, 0));
    EXPECT_TRUE(notifications.empty()) << "no LBN_SELCHANGE for a program's changes";
}

// The LB_ERR answers: indexes out of range, a null buffer; LB_SETCURSEL with -1 clears the
// selection and still answers LB_ERR, as documented; an out-of-range index leaves it alone.
TEST_F(ListBoxTest, ErrorCases) {
    HWND l = make(LBS_NOTIFY);
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_GETTEXTLEN, 0, 0));
    add(l, u"one");
    add(l, u"two");
    WCHAR buffer[8];
    for (auto& c : buffer)
        c = 0xBEEF;
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(buffer)));
    EXPECT_EQ(0xBEEF, buffer[0]) << "a failed LB_GETTEXT writes nothing";
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_GETTEXT, 0, 0));
    EXPECT_EQ(3, SendMessageW(l, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(buffer)));
    EXPECT_EQ(u"two", std::u16string(buffer));
    EXPECT_EQ(0xBEEF, buffer[4]) << "the text and its terminator only";
    EXPECT_EQ(3, SendMessageW(l, LB_GETTEXTLEN, 0, 0));
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_GETTEXTLEN, static_cast<WPARAM>(-1), 0));
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_GETITEMDATA, 5, 0));
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_SETITEMDATA, 5, 1));
    EXPECT_EQ(1, SendMessageW(l, LB_SETCURSEL, 1, 0));
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_SETCURSEL, 9, 0));
    EXPECT_EQ(1, cursel(l));
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_SETCURSEL, static_cast<WPARAM>(-1), 0));
    EXPECT_EQ(LB_ERR, cursel(l));
    RECT r{0x0dead, 0x0dead, 0x0dead, 0x0dead};
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_GETITEMRECT, 4, reinterpret_cast<LPARAM>(&r)));
    EXPECT_EQ(0x0dead, r.left);
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_SETITEMHEIGHT, 0, 300)) << "heights above 255 fail";
    EXPECT_EQ(LB_ERR, SendMessageW(l, LB_SETTOPINDEX, 5, 0));
    EXPECT_TRUE(notifications.empty());
}

// Item data round trips; searching is by prefix (LB_FINDSTRING) or whole string
// (LB_FINDSTRINGEXACT), without regard to case, starting after the given index and wrapping.
TEST_F(ListBoxTest, ItemDataAndSearching) {
    HWND l = make(LBS_NOTIFY);
    for (auto s : {u"Berlin", u"bern", u"Bonn", u"Basel"})
        add(l, s);
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(LB_ERR, SendMessageW(l, LB_SETITEMDATA, i, 0x1000 + i));
    EXPECT_EQ(0x1002, SendMessageW(l, LB_GETITEMDATA, 2, 0));
    auto find = [&](UINT msg, int start, const char16_t* s) {
        return SendMessageW(l, msg, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(s));
    };
    EXPECT_EQ(0, find(LB_FINDSTRING, -1, u"BER"));
    EXPECT_EQ(1, find(LB_FINDSTRING, 0, u"ber"));
    EXPECT_EQ(0, find(LB_FINDSTRING, 1, u"ber")) << "wraps to the top";
    EXPECT_EQ(LB_ERR, find(LB_FINDSTRING, -1, u"Zurich"));
    EXPECT_EQ(1, find(LB_FINDSTRINGEXACT, -1, u"BERN"));
    EXPECT_EQ(LB_ERR, find(LB_FINDSTRINGEXACT, -1, u"Ber"));
    EXPECT_EQ(2, find(LB_SELECTSTRING, -1, u"bo"));
    EXPECT_EQ(2, cursel(l));
    EXPECT_EQ(LB_ERR, find(LB_SELECTSTRING, -1, u"x"));
    EXPECT_EQ(2, cursel(l)) << "a failed LB_SELECTSTRING keeps the selection";
    EXPECT_TRUE(notifications.empty()) << "LB_SELECTSTRING is not a user change";
    // Item data follows its item when one is inserted before it.
    insert(l, 0, u"Aachen");
    EXPECT_EQ(0x1002, SendMessageW(l, LB_GETITEMDATA, 3, 0));
    EXPECT_EQ(0, SendMessageW(l, LB_GETITEMDATA, 0, 0));
}

// Keys move the selection and report LBN_SELCHANGE (with LBS_NOTIFY); the list scrolls to
// keep the selection in view.
TEST_F(ListBoxTest, KeysSelectAndScroll) {
    HWND l = make(LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 100);
    for (int i = 0; i < 30; ++i)
        add(l, (u"item " + std::u16string(1, static_cast<char16_t>(u'A' + i))).c_str());
    int h = static_cast<int>(SendMessageW(l, LB_GETITEMHEIGHT, 0, 0));
    ASSERT_GT(h, 0);
    int page = 100 / h;
    SendMessageW(l, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(0, cursel(l)) << "Down without a selection selects the first item";
    SendMessageW(l, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(1, cursel(l));
    EXPECT_EQ((std::vector<WORD>{LBN_SELCHANGE, LBN_SELCHANGE}), notifications);
    SendMessageW(l, WM_KEYDOWN, VK_END, 1);
    EXPECT_EQ(29, cursel(l));
    EXPECT_EQ(30 - page, SendMessageW(l, LB_GETTOPINDEX, 0, 0));
    RECT r{};
    EXPECT_EQ(LB_OKAY, SendMessageW(l, LB_GETITEMRECT, 29, reinterpret_cast<LPARAM>(&r)));
    EXPECT_EQ((page - 1) * h, r.top);
    EXPECT_EQ(r.top + h, r.bottom);
    SendMessageW(l, WM_KEYDOWN, VK_HOME, 1);
    EXPECT_EQ(0, SendMessageW(l, LB_GETTOPINDEX, 0, 0));
    notifications.clear();
    SendMessageW(l, WM_KEYDOWN, VK_UP, 1);
    EXPECT_TRUE(notifications.empty()) << "no change at the top, no notification";
    SendMessageW(l, WM_KEYDOWN, VK_NEXT, 1);
    EXPECT_EQ(page - 1, cursel(l));

    HWND quiet = make(0);
    add(quiet, u"x");
    add(quiet, u"y");
    SendMessageW(quiet, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(0, cursel(quiet));
    EXPECT_TRUE(notifications.empty()) << "without LBS_NOTIFY nothing is sent";
}

// A tap selects the item under the pen (LBN_SELCHANGE), a second tap on it soon after is a
// double tap (LBN_DBLCLK); a drag scrolls instead of selecting.
TEST_F(ListBoxTest, TapsAndDrag) {
    device.freezeAt("2027-03-01T12:00:00Z");
    HWND l = make(LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 100);
    for (int i = 0; i < 20; ++i)
        add(l, u"entry");
    int h = static_cast<int>(SendMessageW(l, LB_GETITEMHEIGHT, 0, 0));
    auto tap = [&](int y) {
        SendMessageW(l, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, y));
        SendMessageW(l, WM_LBUTTONUP, 0, MAKELPARAM(10, y));
    };
    tap(h * 2 + 1);
    EXPECT_EQ(2, cursel(l));
    EXPECT_EQ(l, GetFocus());
    EXPECT_EQ((std::vector<WORD>{LBN_SETFOCUS, LBN_SELCHANGE}), notifications);
    notifications.clear();
    tap(h * 2 + 1);
    EXPECT_EQ((std::vector<WORD>{LBN_DBLCLK}), notifications);
    notifications.clear();
    // Drag up by three items: the list scrolls by three, the selection stays.
    SendMessageW(l, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, h * 4 + 1));
    SendMessageW(l, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, h + 1));
    SendMessageW(l, WM_LBUTTONUP, 0, MAKELPARAM(10, h + 1));
    EXPECT_EQ(3, SendMessageW(l, LB_GETTOPINDEX, 0, 0));
    EXPECT_EQ(4, cursel(l)) << "the pen went down on item 4";
    EXPECT_EQ(nullptr, GetCapture());
}

// An owner-drawn list asks its parent to draw each visible item: WM_DRAWITEM with the item's
// index, data, rectangle and selected state. Without LBS_HASSTRINGS the value given to
// LB_ADDSTRING is the item's data, LB_GETTEXT gives it back and LB_FINDSTRING compares it.
TEST_F(ListBoxTest, OwnerDrawnItems) {
    HWND l = make(LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT, 100);
    EXPECT_EQ(LB_OKAY, SendMessageW(l, LB_SETITEMHEIGHT, 0, 20));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(i, SendMessageW(l, LB_ADDSTRING, 0, 0x500 + i));
    EXPECT_EQ(0x501, SendMessageW(l, LB_GETITEMDATA, 1, 0));
    DWORD value[2] = {0xdeadbeef, 0xdeadbeef};
    EXPECT_EQ(4, SendMessageW(l, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(value)));
    EXPECT_EQ(0x502u, value[0]);
    EXPECT_EQ(0xdeadbeefu, value[1]);
    EXPECT_EQ(1, SendMessageW(l, LB_FINDSTRING, static_cast<WPARAM>(-1), 0x501));
    SendMessageW(l, LB_SETCURSEL, 1, 0);
    drawn.clear();
    InvalidateRect(l, nullptr, TRUE);
    UpdateWindow(l);
    ASSERT_EQ(3u, drawn.size());
    for (UINT i = 0; i < 3; ++i) {
        const DRAWITEMSTRUCT& d = drawn[i];
        EXPECT_EQ(static_cast<UINT>(ODT_LISTBOX), d.CtlType);
        EXPECT_EQ(static_cast<UINT>(kListId), d.CtlID);
        EXPECT_EQ(i, d.itemID);
        EXPECT_EQ(0x500u + i, d.itemData);
        EXPECT_EQ(l, d.hwndItem);
        EXPECT_EQ(static_cast<LONG>(20 * i), d.rcItem.top);
        EXPECT_EQ(static_cast<LONG>(20 * i + 20), d.rcItem.bottom);
        EXPECT_EQ(i == 1, (d.itemState & ODS_SELECTED) != 0) << "item " << i;
    }
}

} // namespace
