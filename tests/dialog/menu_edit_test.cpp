// menu_edit_test.cpp: building and changing menus without showing them: entries added,
// inserted, modified and removed by command (through submenus) and by position, check marks,
// radio groups, greying, submenu lookups, entry info, bad handles, and the cycles a submenu
// could make.
#include <gtest/gtest.h>

#include "windows.h"

namespace {

// A menu with a separator, a greyed entry and a submenu, destroyed at the end.
struct SampleMenu {
    HMENU top = CreatePopupMenu();
    HMENU sub = CreatePopupMenu();
    SampleMenu() {
        AppendMenuW(top, MF_STRING, 101, u"&Open");
        AppendMenuW(top, MF_STRING | MF_GRAYED, 102, u"Save");
        AppendMenuW(top, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(sub, MF_STRING, 201, u"Deep");
        AppendMenuW(sub, MF_STRING | MF_CHECKED, 202, u"Deeper");
        AppendMenuW(top, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"More");
    }
    ~SampleMenu() {
        if (top) DestroyMenu(top);
    }
};

std::u16string entryText(HMENU menu, UINT item, BOOL byPosition) {
    char16_t buf[32];
    std::fill(std::begin(buf), std::end(buf), u'\xBEEF');
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_TYPE;
    mii.dwTypeData = buf;
    mii.cch = 31;
    if (!GetMenuItemInfoW(menu, item, byPosition, &mii)) return u"<none>";
    EXPECT_EQ(u'\xBEEF', buf[31]); // the guard after the buffer is untouched
    return std::u16string(buf, mii.cch);
}

// Counts, commands and submenus as the documentation of GetMenuItemCount, GetMenuItemID and
// GetSubMenu gives them: -1 / (UINT)-1 / NULL where there is nothing.
TEST(MenuEdit, CountsCommandsAndSubmenus) {
    SampleMenu m;
    EXPECT_EQ(4, GetMenuItemCount(m.top));
    EXPECT_EQ(2, GetMenuItemCount(m.sub));
    EXPECT_EQ(101u, GetMenuItemID(m.top, 0));
    EXPECT_EQ(0xFFFFFFFFu, GetMenuItemID(m.top, 3)); // a submenu entry
    EXPECT_EQ(0xFFFFFFFFu, GetMenuItemID(m.top, 4)); // past the end
    EXPECT_EQ(m.sub, GetSubMenu(m.top, 3));
    EXPECT_EQ(nullptr, GetSubMenu(m.top, 0));
    EXPECT_EQ(nullptr, GetSubMenu(m.top, -1));
    EXPECT_EQ(u"&Open", entryText(m.top, 101, FALSE));
    EXPECT_EQ(u"Deeper", entryText(m.top, 202, FALSE)); // by command, through the submenu
    EXPECT_EQ(u"More", entryText(m.top, 3, TRUE));
}

// CheckMenuItem and EnableMenuItem return the previous state, or -1 for a missing entry;
// by command they reach entries of submenus.
TEST(MenuEdit, CheckAndEnableReturnThePreviousState) {
    SampleMenu m;
    EXPECT_EQ(static_cast<DWORD>(MF_UNCHECKED), CheckMenuItem(m.top, 101, MF_CHECKED));
    EXPECT_EQ(static_cast<DWORD>(MF_CHECKED), CheckMenuItem(m.top, 101, MF_UNCHECKED));
    EXPECT_EQ(static_cast<DWORD>(MF_CHECKED), CheckMenuItem(m.top, 202, MF_UNCHECKED));
    EXPECT_EQ(static_cast<DWORD>(MF_UNCHECKED), CheckMenuItem(m.sub, 1, MF_BYPOSITION));
    EXPECT_EQ(0xFFFFFFFFu, CheckMenuItem(m.top, 999, MF_CHECKED));

    EXPECT_EQ(MF_GRAYED, EnableMenuItem(m.top, 102, MF_ENABLED));
    EXPECT_EQ(MF_ENABLED, EnableMenuItem(m.top, 102, MF_DISABLED));
    EXPECT_EQ(MF_DISABLED, EnableMenuItem(m.top, 1, MF_BYPOSITION | MF_ENABLED));
    EXPECT_EQ(MF_ENABLED, EnableMenuItem(m.top, 201, MF_GRAYED));
    EXPECT_EQ(-1, EnableMenuItem(m.top, 999, MF_GRAYED));

    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_STATE | MIIM_ID;
    mii.fState = 0xdeadbeef;
    mii.wID = 0xdeadbeef;
    ASSERT_TRUE(GetMenuItemInfoW(m.sub, 0, TRUE, &mii));
    EXPECT_EQ(static_cast<UINT>(MF_GRAYED), mii.fState & MFS_GRAYED);
    EXPECT_EQ(201u, mii.wID);
}

// CheckMenuRadioItem: the chosen entry gets MFT_RADIOCHECK and MFS_CHECKED, the others of
// the group lose both; entries outside the group keep their marks.
TEST(MenuEdit, RadioGroupKeepsOneMark) {
    HMENU menu = CreatePopupMenu();
    for (UINT id = 1; id <= 4; ++id)
        AppendMenuW(menu, MF_STRING | (id == 4 ? MF_CHECKED : 0), id, u"x");
    ASSERT_TRUE(CheckMenuRadioItem(menu, 1, 3, 2, MF_BYCOMMAND));
    ASSERT_TRUE(CheckMenuRadioItem(menu, 1, 3, 3, MF_BYCOMMAND));
    for (UINT id = 1; id <= 4; ++id) {
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_STATE | MIIM_TYPE;
        ASSERT_TRUE(GetMenuItemInfoW(menu, id, FALSE, &mii)) << id;
        EXPECT_EQ(id == 3 || id == 4, (mii.fState & MFS_CHECKED) != 0) << id;
        EXPECT_EQ(id == 3, (mii.fType & MFT_RADIOCHECK) != 0) << id;
    }
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CheckMenuRadioItem(menu, 0, 9, 3, MF_BYPOSITION)); // range past the end
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    DestroyMenu(menu);
}

// InsertMenuW goes before the named entry (by command: in the submenu that holds it); -1 by
// position appends. ModifyMenuW replaces an entry; DeleteMenu destroys the submenu it opens,
// RemoveMenu does not.
TEST(MenuEdit, InsertModifyDeleteRemove) {
    SampleMenu m;
    ASSERT_TRUE(InsertMenuW(m.top, 202, MF_BYCOMMAND | MF_STRING, 203, u"Before deeper"));
    EXPECT_EQ(3, GetMenuItemCount(m.sub));
    EXPECT_EQ(203u, GetMenuItemID(m.sub, 1));
    ASSERT_TRUE(InsertMenuW(m.top, 0xFFFFFFFF, MF_BYPOSITION | MF_STRING, 105, u"Last"));
    EXPECT_EQ(105u, GetMenuItemID(m.top, 4));
    ASSERT_TRUE(InsertMenuW(m.top, 0, MF_BYPOSITION | MF_STRING, 100, u"First"));
    EXPECT_EQ(100u, GetMenuItemID(m.top, 0));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(InsertMenuW(m.top, 999, MF_BYCOMMAND | MF_STRING, 1, u"x"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    ASSERT_TRUE(ModifyMenuW(m.top, 101, MF_BYCOMMAND | MF_STRING | MF_CHECKED, 111, u"Renamed"));
    EXPECT_EQ(u"Renamed", entryText(m.top, 111, FALSE));
    EXPECT_EQ(static_cast<DWORD>(MF_CHECKED), CheckMenuItem(m.top, 111, MF_UNCHECKED));
    EXPECT_EQ(0xFFFFFFFFu, CheckMenuItem(m.top, 101, MF_UNCHECKED));

    HMENU kept = CreatePopupMenu();
    ASSERT_TRUE(AppendMenuW(m.top, MF_POPUP, reinterpret_cast<UINT_PTR>(kept), u"Kept"));
    int count = GetMenuItemCount(m.top);
    ASSERT_TRUE(RemoveMenu(m.top, static_cast<UINT>(count - 1), MF_BYPOSITION));
    EXPECT_EQ(0, GetMenuItemCount(kept)); // still a menu
    EXPECT_TRUE(DestroyMenu(kept));

    ASSERT_TRUE(DeleteMenu(m.top, 4, MF_BYPOSITION)); // "More", with its submenu
    SetLastError(0xdeadbeef);
    EXPECT_EQ(-1, GetMenuItemCount(m.sub));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE), GetLastError());
    EXPECT_FALSE(DeleteMenu(m.top, 201, MF_BYCOMMAND));
}

// DestroyMenu takes the submenus with it; every function refuses a destroyed or made-up
// handle with ERROR_INVALID_MENU_HANDLE; a window handle is not a menu.
TEST(MenuEdit, BadHandlesAreRefused) {
    SampleMenu m;
    ASSERT_TRUE(DestroyMenu(m.top));
    HMENU gone = m.top;
    m.top = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DestroyMenu(gone));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(-1, GetMenuItemCount(m.sub));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AppendMenuW(gone, MF_STRING, 1, u"x"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE), GetLastError());
    EXPECT_FALSE(AppendMenuW(reinterpret_cast<HMENU>(0x12345), MF_STRING, 1, u"x"));
    EXPECT_FALSE(AppendMenuW(nullptr, MF_STRING, 1, u"x"));
    EXPECT_EQ(nullptr, GetSubMenu(gone, 0));
    EXPECT_EQ(0xFFFFFFFFu, CheckMenuItem(gone, 0, MF_BYPOSITION));
    EXPECT_FALSE(GetMenuItemInfoW(gone, 0, TRUE, nullptr));
}

// A menu may not become its own submenu, directly or through another one: searches by
// command would never end.
TEST(MenuEdit, SubmenuCyclesAreRefused) {
    HMENU a = CreatePopupMenu();
    HMENU b = CreatePopupMenu();
    ASSERT_TRUE(AppendMenuW(a, MF_POPUP, reinterpret_cast<UINT_PTR>(b), u"b"));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AppendMenuW(a, MF_POPUP, reinterpret_cast<UINT_PTR>(a), u"self"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(AppendMenuW(b, MF_POPUP, reinterpret_cast<UINT_PTR>(a), u"loop"));
    EXPECT_FALSE(ModifyMenuW(b, 0, MF_BYPOSITION, 0, nullptr)); // b has no entry 0
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_SUBMENU;
    mii.hSubMenu = a;
    ASSERT_TRUE(AppendMenuW(b, MF_STRING, 7, u"seven"));
    EXPECT_FALSE(SetMenuItemInfoW(b, 7, FALSE, &mii));
    EXPECT_EQ(0xFFFFFFFFu, CheckMenuItem(a, 999, MF_CHECKED)); // search ends
    EXPECT_TRUE(DestroyMenu(a));
    EXPECT_EQ(-1, GetMenuItemCount(b));
}

// Unsupported entry kinds fail as documented rather than making an entry that cannot be drawn.
TEST(MenuEdit, BitmapAndOwnerDrawnEntriesFail) {
    HMENU menu = CreatePopupMenu();
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AppendMenuW(menu, MF_BITMAP, 1, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_SUPPORTED), GetLastError());
    EXPECT_FALSE(AppendMenuW(menu, MF_OWNERDRAW, 1, nullptr));
    EXPECT_EQ(0, GetMenuItemCount(menu));
    DestroyMenu(menu);
}

} // namespace
