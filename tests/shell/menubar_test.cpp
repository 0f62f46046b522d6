// menubar_test.cpp: the menu bar (SHCreateMenuBar) and menu resources (LoadMenuW): the bar's
// place at qvga and vga, plain keys sending WM_COMMAND to the parent by tap and by the soft
// key, a key's submenu opened as a pop-up menu and answered by the automation queue,
// SHCMBM_GETSUBMENU and SHCMBM_GETMENU, hiding, disabling and relabelling a key with
// TB_SETBUTTONINFO, menus given as an HMENU, and bad menu resources.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "aygshell.h"
#include "ceresource.h"
#include "testdevice.h"
#include "user/automation.h"
#include "windows.h"

namespace {

constexpr DWORD kPoison = 0xdeadbeef;
constexpr UINT kBarMenu = 102;
constexpr UINT kBrokenMenu = 103;
constexpr UINT kDeepMenu = 104;

const CeMenuItem kSnoozeBar[] = {
    {MF_STRING, IDOK, u"&Done"},
    {MF_POPUP | CE_MENU_END, 40001, u"Snooze"},
    {MF_STRING, 40002, u"5 min"},
    {MF_STRING | MF_GRAYED, 40003, u"10 min"},
    {MF_STRING | CE_MENU_END, 40004, u"Stop"},
};
// The submenu never ends: the data is cut short.
const CeMenuItem kBroken[] = {
    {MF_STRING, 1, u"One"},
    {MF_POPUP | CE_MENU_END, 2, u"Two"},
    {MF_STRING, 3, u"Three"},
};
// Popups nested deeper than any menu: refused rather than followed.
const CeMenuItem kDeep[] = {
    {MF_POPUP | CE_MENU_END, 1, u"a"},   {MF_POPUP | CE_MENU_END, 2, u"b"},
    {MF_POPUP | CE_MENU_END, 3, u"c"},   {MF_POPUP | CE_MENU_END, 4, u"d"},
    {MF_POPUP | CE_MENU_END, 5, u"e"},   {MF_POPUP | CE_MENU_END, 6, u"f"},
    {MF_POPUP | CE_MENU_END, 7, u"g"},   {MF_POPUP | CE_MENU_END, 8, u"h"},
    {MF_POPUP | CE_MENU_END, 9, u"i"},   {MF_POPUP | CE_MENU_END, 10, u"j"},
    {MF_STRING | CE_MENU_END, 11, u"k"},
};
const CeDataEntry kMenuData[] = {
    {RT_MENU, kBarMenu, nullptr, kSnoozeBar, sizeof kSnoozeBar},
    {RT_MENU, kBrokenMenu, nullptr, kBroken, sizeof kBroken},
    {RT_MENU, kDeepMenu, nullptr, kDeep, sizeof kDeep},
};
const CeResourceTable kResources = {
    CE_RESOURCE_TABLE_VERSION, nullptr, 0, nullptr, 0, nullptr, 0, kMenuData,
    CE_COUNTOF(kMenuData)};
CE_REGISTER_RESOURCES(kResources);

std::vector<WPARAM> gCommands;

LRESULT CALLBACK ownerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) gCommands.push_back(LOWORD(wParam));
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void tap(int x, int y) {
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    DWORD ax = static_cast<DWORD>((static_cast<int64_t>(x) * 65536 + w - 1) / w);
    DWORD ay = static_cast<DWORD>((static_cast<int64_t>(y) * 65536 + h - 1) / h);
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN, ax, ay, 0, 0);
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, ax, ay, 0, 0);
    pump();
}

class MenuBarFixture {
protected:
    void make() {
        gCommands.clear();
        ce::automation::clearAnswers();
        WNDCLASSW wc{};
        wc.lpfnWndProc = ownerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = u"MenuBarOwner";
        RegisterClassW(&wc);
        owner = CreateWindowExW(0, u"MenuBarOwner", u"owner", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner, nullptr);
    }
    HWND makeBar(UINT id, DWORD flags = 0) {
        SHMENUBARINFO mbi{};
        mbi.cbSize = sizeof mbi;
        mbi.hwndParent = owner;
        mbi.dwFlags = flags;
        mbi.nToolBarId = id;
        mbi.hInstRes = GetModuleHandleW(nullptr);
        mbi.hwndMB = reinterpret_cast<HWND>(static_cast<uintptr_t>(kPoison));
        EXPECT_TRUE(SHCreateMenuBar(&mbi));
        pump();
        return mbi.hwndMB;
    }
    void destroy() {
        if (IsWindow(owner)) DestroyWindow(owner);
        pump();
        ce::automation::clearAnswers();
    }
    HWND owner = nullptr;
};

class MenuBarTest : public cetest::DeviceTest, public MenuBarFixture {
protected:
    void SetUp() override { make(); }
    void TearDown() override { destroy(); }
};

class MenuBarVgaTest : public ::testing::Test, public MenuBarFixture {
protected:
    void SetUp() override { make(); }
    void TearDown() override { destroy(); }
    cetest::TempDevice device{"vga"};
};

void expectRect(HWND hwnd, RECT want) {
    RECT got{};
    ASSERT_TRUE(GetWindowRect(hwnd, &got));
    EXPECT_EQ(want.left, got.left);
    EXPECT_EQ(want.top, got.top);
    EXPECT_EQ(want.right, got.right);
    EXPECT_EQ(want.bottom, got.bottom);
}

// The bar is a visible "menu_worker" window along the bottom of the screen, 26 pixels high at
// 96 dpi and 52 at 192 dpi; SHFindMenuBar finds it, and it goes with its parent.
TEST_F(MenuBarTest, BarSitsAtTheBottomOfTheScreen) {
    HWND bar = makeBar(kBarMenu);
    ASSERT_NE(bar, reinterpret_cast<HWND>(static_cast<uintptr_t>(kPoison)));
    ASSERT_TRUE(IsWindow(bar));
    WCHAR cls[32] = {};
    GetClassNameW(bar, cls, 32);
    EXPECT_EQ(std::u16string(u"menu_worker"), std::u16string(cls));
    EXPECT_TRUE(IsWindowVisible(bar));
    expectRect(bar, {0, 320 - 26, 240, 320});
    EXPECT_EQ(bar, SHFindMenuBar(owner));
    DestroyWindow(owner);
    pump();
    EXPECT_FALSE(IsWindow(bar)) << "the bar outlived its parent";
    EXPECT_EQ(nullptr, SHFindMenuBar(owner));
}

TEST_F(MenuBarVgaTest, BarIsScaledByTheDpi) {
    HWND bar = makeBar(kBarMenu);
    expectRect(bar, {0, 640 - 52, 480, 640});
}

// A plain key sends its command to the parent, by a tap on it and by its soft key.
TEST_F(MenuBarTest, PlainKeySendsItsCommand) {
    HWND bar = makeBar(kBarMenu);
    tap(40, 320 - 10);
    ASSERT_EQ(1u, gCommands.size());
    EXPECT_EQ(static_cast<WPARAM>(IDOK), gCommands[0]);
    SendMessageW(bar, WM_KEYDOWN, VK_F1, 0);
    pump();
    ASSERT_EQ(2u, gCommands.size());
    EXPECT_EQ(static_cast<WPARAM>(IDOK), gCommands[1]);
    // A press that leaves the key before the release chooses nothing.
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN, 40 * 65536 / w + 1,
                (h - 10) * 65536 / h + 1, 0, 0);
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, 40 * 65536 / w + 1, 100 * 65536 / h + 1,
                0, 0);
    pump();
    EXPECT_EQ(2u, gCommands.size());
}

// The key with a submenu opens it as a pop-up menu; the entry chosen (here by the automation
// queue) arrives as WM_COMMAND at the parent. A greyed entry cannot be chosen.
TEST_F(MenuBarTest, SubmenuKeyOpensItsMenu) {
    HWND bar = makeBar(kBarMenu);
    ASSERT_TRUE(ce::automation::queueAnswer({"menu", "40002"}));
    SendMessageW(bar, WM_KEYDOWN, VK_F2, 0);
    pump();
    ASSERT_EQ(1u, gCommands.size());
    EXPECT_EQ(40002u, gCommands[0]);
    ASSERT_TRUE(ce::automation::queueAnswer({"menu", "Stop"}));
    tap(200, 320 - 10);
    ASSERT_EQ(2u, gCommands.size());
    EXPECT_EQ(40004u, gCommands[1]);
    ASSERT_TRUE(ce::automation::queueAnswer({"menu", "40003"}));
    SendMessageW(bar, WM_KEYDOWN, VK_F2, 0);
    pump();
    EXPECT_EQ(2u, gCommands.size()) << "a greyed entry was chosen";
}

// SHCMBM_GETSUBMENU names a key's submenu by the key's command; SHCMBM_GETMENU's submenus are
// the same menus; SHCMBM_SETSUBMENU swaps one and hands back the old.
TEST_F(MenuBarTest, SubmenusByKeyCommand) {
    HWND bar = makeBar(kBarMenu);
    HMENU sub = reinterpret_cast<HMENU>(SendMessageW(bar, SHCMBM_GETSUBMENU, 0, 40001));
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(3, GetMenuItemCount(sub));
    EXPECT_EQ(40002u, GetMenuItemID(sub, 0));
    EXPECT_EQ(40004u, GetMenuItemID(sub, 2));
    EXPECT_EQ(0, SendMessageW(bar, SHCMBM_GETSUBMENU, 0, IDOK)) << "a plain key has no submenu";
    EXPECT_EQ(0, SendMessageW(bar, SHCMBM_GETSUBMENU, 0, 999));
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(bar, SHCMBM_GETMENU, 0, 0));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(2, GetMenuItemCount(menu));
    EXPECT_EQ(sub, GetSubMenu(menu, 1));

    HMENU other = CreatePopupMenu();
    AppendMenuW(other, MF_STRING, 50001, u"Other");
    EXPECT_EQ(reinterpret_cast<LRESULT>(sub),
              SendMessageW(bar, SHCMBM_SETSUBMENU, 40001, reinterpret_cast<LPARAM>(other)));
    EXPECT_EQ(reinterpret_cast<LRESULT>(other), SendMessageW(bar, SHCMBM_GETSUBMENU, 0, 40001));
    ASSERT_TRUE(ce::automation::queueAnswer({"menu", "50001"}));
    SendMessageW(bar, WM_KEYDOWN, VK_F2, 0);
    pump();
    ASSERT_EQ(1u, gCommands.size());
    EXPECT_EQ(50001u, gCommands[0]);
    EXPECT_TRUE(DestroyMenu(sub)) << "the replaced submenu belongs to the caller";
}

// TB_SETBUTTONINFO hides, disables and relabels a key by its command; TB_GETBUTTONINFO reads
// it back. A hidden or disabled key does nothing.
TEST_F(MenuBarTest, ButtonInfoHidesAndRelabelsKeys) {
    HWND bar = makeBar(kBarMenu);
    TBBUTTONINFO tbi{};
    tbi.cbSize = sizeof tbi;
    tbi.dwMask = TBIF_STATE;
    tbi.fsState = TBSTATE_HIDDEN;
    EXPECT_TRUE(SendMessageW(bar, TB_SETBUTTONINFO, IDOK, reinterpret_cast<LPARAM>(&tbi)));
    SendMessageW(bar, WM_KEYDOWN, VK_F1, 0);
    tap(40, 320 - 10);
    EXPECT_TRUE(gCommands.empty()) << "a hidden key answered";

    tbi.fsState = 0; // shown, disabled
    EXPECT_TRUE(SendMessageW(bar, TB_SETBUTTONINFO, IDOK, reinterpret_cast<LPARAM>(&tbi)));
    SendMessageW(bar, WM_KEYDOWN, VK_F1, 0);
    pump();
    EXPECT_TRUE(gCommands.empty()) << "a disabled key answered";

    tbi.dwMask = TBIF_STATE | TBIF_TEXT;
    tbi.fsState = TBSTATE_ENABLED;
    WCHAR label[] = u"Close";
    tbi.pszText = label;
    EXPECT_TRUE(SendMessageW(bar, TB_SETBUTTONINFO, IDOK, reinterpret_cast<LPARAM>(&tbi)));
    SendMessageW(bar, WM_KEYDOWN, VK_F1, 0);
    pump();
    EXPECT_EQ(1u, gCommands.size());

    struct {
        WCHAR text[4];
        WCHAR guard[2];
    } buf;
    std::memset(&buf, 0xAB, sizeof buf);
    TBBUTTONINFO got{};
    got.cbSize = sizeof got;
    got.dwMask = TBIF_STATE | TBIF_TEXT | TBIF_COMMAND;
    got.fsState = 0xEE;
    got.idCommand = static_cast<int>(kPoison);
    got.pszText = buf.text;
    got.cchText = 4;
    EXPECT_EQ(0, SendMessageW(bar, TB_GETBUTTONINFO, IDOK, reinterpret_cast<LPARAM>(&got)));
    EXPECT_EQ(TBSTATE_ENABLED, got.fsState);
    EXPECT_EQ(IDOK, got.idCommand);
    EXPECT_EQ(std::u16string(u"Clo"), std::u16string(buf.text)) << "truncated to the buffer";
    EXPECT_EQ(0xABABu, static_cast<unsigned>(buf.guard[0])) << "wrote past the buffer";
    got.dwMask = TBIF_STATE;
    EXPECT_EQ(1, SendMessageW(bar, TB_GETBUTTONINFO, 40001, reinterpret_cast<LPARAM>(&got)));
    EXPECT_EQ(-1, SendMessageW(bar, TB_GETBUTTONINFO, 999, reinterpret_cast<LPARAM>(&got)));
    got.cbSize = 4;
    EXPECT_EQ(-1, SendMessageW(bar, TB_GETBUTTONINFO, IDOK, reinterpret_cast<LPARAM>(&got)))
        << "a short record";
}

// With SHCMBF_HMENU the keys come from a menu the program made.
TEST_F(MenuBarTest, KeysFromAnHmenu) {
    HMENU menu = CreateMenu();
    AppendMenuW(menu, MF_STRING, 61, u"Left");
    AppendMenuW(menu, MF_STRING, 62, u"Right");
    SHMENUBARINFO mbi{};
    mbi.cbSize = sizeof mbi;
    mbi.hwndParent = owner;
    mbi.dwFlags = SHCMBF_HMENU;
    mbi.nToolBarId = static_cast<UINT>(reinterpret_cast<uintptr_t>(menu));
    ASSERT_TRUE(SHCreateMenuBar(&mbi));
    SendMessageW(mbi.hwndMB, WM_KEYDOWN, VK_F2, 0);
    pump();
    ASSERT_EQ(1u, gCommands.size());
    EXPECT_EQ(62u, gCommands[0]);
    EXPECT_EQ(reinterpret_cast<LRESULT>(menu), SendMessageW(mbi.hwndMB, SHCMBM_GETMENU, 0, 0));
    DestroyWindow(mbi.hwndMB);
    EXPECT_TRUE(DestroyMenu(menu)) << "the program's menu stays the program's";
}

// An empty bar has no keys; a missing or broken menu resource makes no bar.
TEST_F(MenuBarTest, EmptyAndBadMenus) {
    HWND bar = makeBar(0, SHCMBF_EMPTYBAR);
    ASSERT_TRUE(IsWindow(bar));
    TBBUTTONINFO tbi{};
    tbi.cbSize = sizeof tbi;
    tbi.dwMask = TBIF_BYINDEX | TBIF_STATE;
    EXPECT_EQ(-1, SendMessageW(bar, TB_GETBUTTONINFO, 0, reinterpret_cast<LPARAM>(&tbi)));

    const struct {
        UINT id;
        DWORD error;
    } bad[] = {{999, ERROR_RESOURCE_NAME_NOT_FOUND},
               {kBrokenMenu, ERROR_INVALID_DATA},
               {kDeepMenu, ERROR_INVALID_DATA}};
    for (const auto& b : bad) {
        SHMENUBARINFO mbi{};
        mbi.cbSize = sizeof mbi;
        mbi.hwndParent = owner;
        mbi.nToolBarId = b.id;
        mbi.hInstRes = GetModuleHandleW(nullptr);
        mbi.hwndMB = reinterpret_cast<HWND>(static_cast<uintptr_t>(kPoison));
        SetLastError(kPoison);
        EXPECT_FALSE(SHCreateMenuBar(&mbi)) << b.id;
        EXPECT_EQ(b.error, GetLastError()) << b.id;
        EXPECT_EQ(reinterpret_cast<HWND>(static_cast<uintptr_t>(kPoison)), mbi.hwndMB) << b.id;
    }
    SHMENUBARINFO mbi{};
    mbi.cbSize = 4;
    mbi.hwndParent = owner;
    SetLastError(kPoison);
    EXPECT_FALSE(SHCreateMenuBar(&mbi));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(bar, SHFindMenuBar(owner)) << "a failed call replaced the bar";
}

// LoadMenuW builds the resource's menu: its top level, the submenu and the entry states.
TEST_F(MenuBarTest, LoadMenuBuildsTheResource) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kBarMenu));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(2, GetMenuItemCount(menu));
    EXPECT_EQ(static_cast<UINT>(IDOK), GetMenuItemID(menu, 0));
    HMENU sub = GetSubMenu(menu, 1);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(3, GetMenuItemCount(sub));
    EXPECT_EQ(static_cast<DWORD>(MF_GRAYED), EnableMenuItem(sub, 40003, MF_BYCOMMAND | MF_ENABLED))
        << "the greyed entry";
    EXPECT_TRUE(DestroyMenu(menu));
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kBrokenMenu)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
    SetLastError(kPoison);
    EXPECT_EQ(nullptr, LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(999)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
}

} // namespace
