// dialogs_test.cpp: full-screen dialogs (SHInitDialog sizing at qvga and vga), the title
// bar's Done button (SHDoneButton and the tap the shell's title bar makes) and the
// full-screen state (SHFullScreen).
#include <gtest/gtest.h>

#include "aygshell.h"
#include "ceresource.h"
#include "shell/shell.h"
#include "testdevice.h"
#include "windows.h"

namespace {

constexpr DWORD kPoison = 0xdeadbeef;

std::vector<WPARAM> gCommands;

LRESULT CALLBACK dlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) gCommands.push_back(LOWORD(wParam));
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

class DialogFixture {
protected:
    void make() {
        gCommands.clear();
        WNDCLASSW wc{};
        wc.lpfnWndProc = dlgProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = u"ShellDlg";
        RegisterClassW(&wc);
        dlg = CreateWindowExW(0, u"ShellDlg", u"dlg", WS_POPUP | WS_VISIBLE, 10, 60, 100, 80,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(dlg, nullptr);
    }
    void destroy() {
        if (IsWindow(dlg)) DestroyWindow(dlg);
        pump();
    }
    RECT sizedWith(DWORD flags) {
        SHINITDLGINFO info{SHIDIM_FLAGS, dlg, flags};
        EXPECT_TRUE(SHInitDialog(&info)) << flags;
        RECT rc{};
        GetWindowRect(dlg, &rc);
        return rc;
    }
    HWND dlg = nullptr;
};

class ShellDialogTest : public cetest::DeviceTest, public DialogFixture {
protected:
    void SetUp() override { make(); }
    void TearDown() override { destroy(); }
};

class ShellDialogVgaTest : public ::testing::Test, public DialogFixture {
protected:
    void SetUp() override { make(); }
    void TearDown() override { destroy(); }
    cetest::TempDevice device{"vga"};
};

void expectRect(RECT want, RECT got, const char* what) {
    EXPECT_EQ(want.left, got.left) << what;
    EXPECT_EQ(want.top, got.top) << what;
    EXPECT_EQ(want.right, got.right) << what;
    EXPECT_EQ(want.bottom, got.bottom) << what;
}

// Full screen is the work area below the title bar (26 px at 96 dpi) less the menu bar's 26 px
// at the bottom; SHIDIF_FULLSCREENNOMENUBAR keeps the bottom too.
TEST_F(ShellDialogTest, SizesToTheWorkAreaAtQvga) {
    expectRect({0, 26, 240, 294}, sizedWith(SHIDIF_SIZEDLGFULLSCREEN), "SIZEDLGFULLSCREEN");
    MoveWindow(dlg, 10, 60, 100, 80, FALSE);
    expectRect({0, 26, 240, 294}, sizedWith(SHIDIF_SIZEDLG), "SIZEDLG");
    expectRect({0, 26, 240, 320}, sizedWith(SHIDIF_FULLSCREENNOMENUBAR), "FULLSCREENNOMENUBAR");
    MoveWindow(dlg, 10, 60, 100, 80, FALSE);
    expectRect({10, 60, 110, 140}, sizedWith(SHIDIF_SIPDOWN), "SIPDOWN alone leaves the size");
}

TEST_F(ShellDialogVgaTest, SizesToTheWorkAreaAtVga) {
    expectRect({0, 52, 480, 588}, sizedWith(SHIDIF_SIZEDLGFULLSCREEN), "SIZEDLGFULLSCREEN");
    expectRect({0, 52, 480, 640}, sizedWith(SHIDIF_FULLSCREENNOMENUBAR), "FULLSCREENNOMENUBAR");
}

// Without SHIDIM_FLAGS the flags are not looked at; bad records fail.
TEST_F(ShellDialogTest, MaskAndBadRecords) {
    SHINITDLGINFO info{0, dlg, SHIDIF_SIZEDLGFULLSCREEN};
    EXPECT_TRUE(SHInitDialog(&info));
    RECT rc{};
    GetWindowRect(dlg, &rc);
    expectRect({10, 60, 110, 140}, rc, "dwMask 0");
    SetLastError(kPoison);
    EXPECT_FALSE(SHInitDialog(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SHINITDLGINFO bad{SHIDIM_FLAGS, static_cast<HWND>(ULongToHandle(0x7ff0)), 0};
    SetLastError(kPoison);
    EXPECT_FALSE(SHInitDialog(&bad));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
}

// SHIDIF_DONEBUTTON shows OK in the title bar: the window carries WS_EX_CAPTIONOKBTN and the
// title bar's tap arrives as WM_COMMAND IDOK. SHDB_SHOWCANCEL makes it IDCANCEL; SHDB_HIDE
// takes the button away.
TEST_F(ShellDialogTest, DoneButtonSendsIdok) {
    EXPECT_FALSE(ce::shell::pressDoneButton(dlg)) << "no button yet";
    SHINITDLGINFO info{SHIDIM_FLAGS, dlg, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
    ASSERT_TRUE(SHInitDialog(&info));
    EXPECT_TRUE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN);
    EXPECT_TRUE(ce::shell::pressDoneButton(dlg));
    pump();
    ASSERT_EQ(1u, gCommands.size());
    EXPECT_EQ(static_cast<WPARAM>(IDOK), gCommands[0]);

    EXPECT_TRUE(SHDoneButton(dlg, SHDB_SHOWCANCEL));
    EXPECT_FALSE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN);
    EXPECT_TRUE(ce::shell::pressDoneButton(dlg));
    pump();
    ASSERT_EQ(2u, gCommands.size());
    EXPECT_EQ(static_cast<WPARAM>(IDCANCEL), gCommands[1]);

    EXPECT_TRUE(SHDoneButton(dlg, SHDB_HIDE));
    EXPECT_FALSE(ce::shell::pressDoneButton(dlg));
    pump();
    EXPECT_EQ(2u, gCommands.size());
    SetLastError(kPoison);
    EXPECT_FALSE(SHDoneButton(dlg, 0x40));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// SHFullScreen keeps which bars the window wants hidden; hiding needs the foreground window,
// and a SHOW and HIDE of the same bar together are refused.
TEST_F(ShellDialogTest, FullScreenState) {
    ASSERT_TRUE(SetForegroundWindow(dlg));
    EXPECT_TRUE(SHFullScreen(dlg, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON));
    EXPECT_EQ(static_cast<DWORD>(SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON),
              ce::shell::hiddenBarsOf(dlg));
    EXPECT_TRUE(SHFullScreen(dlg, SHFS_SHOWTASKBAR | SHFS_HIDESTARTICON));
    EXPECT_EQ(static_cast<DWORD>(SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON),
              ce::shell::hiddenBarsOf(dlg));
    SetLastError(kPoison);
    EXPECT_FALSE(SHFullScreen(dlg, SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    HWND other = CreateWindowExW(0, u"ShellDlg", u"other", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(SetForegroundWindow(other));
    SetLastError(kPoison);
    EXPECT_FALSE(SHFullScreen(dlg, SHFS_HIDETASKBAR)) << "not the foreground window";
    EXPECT_TRUE(SHFullScreen(dlg, SHFS_SHOWSIPBUTTON)) << "showing needs no foreground";
    EXPECT_EQ(static_cast<DWORD>(SHFS_HIDESTARTICON), ce::shell::hiddenBarsOf(dlg));
    DestroyWindow(other);
}

// In a real dialog's WM_INITDIALOG: full screen with OK in the title bar and an empty menu
// bar; the title bar's tap reaches the dialog procedure as IDOK.
INT_PTR gDialogCommand = 0;

INT_PTR CALLBACK fullScreenProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG: {
        SHINITDLGINFO info{SHIDIM_FLAGS, hwnd,
                           SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_EMPTYMENU};
        SHInitDialog(&info);
        return TRUE;
    }
    case WM_COMMAND: gDialogCommand = LOWORD(wParam); return TRUE;
    }
    return FALSE;
}

TEST_F(ShellDialogTest, RealDialogGoesFullScreen) {
    static const CeDialogItem kItems[] = {
        {u"STATIC", 100, u"Hello", {4, 4, 60, 10}, 0, 0},
    };
    static const CeDialogTemplate kTemplate = {DS_MODALFRAME | WS_POPUP | WS_CAPTION,
                                               0,
                                               {10, 10, 100, 60},
                                               u"Full",
                                               nullptr,
                                               0,
                                               kItems,
                                               CE_COUNTOF(kItems)};
    gDialogCommand = 0;
    HWND full = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &kTemplate, nullptr,
                                           fullScreenProc, 0);
    ASSERT_NE(full, nullptr);
    RECT rc{};
    GetWindowRect(full, &rc);
    expectRect({0, 26, 240, 294}, rc, "the dialog");
    HWND bar = SHFindMenuBar(full);
    EXPECT_NE(bar, nullptr) << "SHIDIF_EMPTYMENU made no menu bar";
    EXPECT_TRUE(ce::shell::pressDoneButton(full));
    pump();
    EXPECT_EQ(IDOK, gDialogCommand);
    DestroyWindow(full);
    pump();
    EXPECT_FALSE(IsWindow(bar));
}

} // namespace
