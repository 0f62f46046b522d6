// dialog_items_test.cpp: the dialog functions on controls and values: SetDlgItemInt and
// GetDlgItemInt (signed, unsigned, overflow, text that is no number), GetDlgItemTextW
// cutting to the buffer, GetDlgItem / GetDlgCtrlID, CheckDlgButton / CheckRadioButton,
// SendDlgItemMessageW, the DWL_ values through Get/SetWindowLong(Ptr), the rule that a
// dialog procedure's TRUE makes DWL_MSGRESULT the message's result, the WM_CTLCOLORDLG
// brush painting the dialog, WM_SETFONT reaching the controls, and dialog units in pixels
// at 96 and 192 dpi.
#include <climits>

#include <gtest/gtest.h>

#include "ceresource.h"
#include "testdevice.h"
#include "windows.h"

namespace {

constexpr int kNumber = 100;
constexpr int kCheck = 101;
constexpr int kRadio1 = 110, kRadio2 = 111, kRadio3 = 112;
constexpr UINT kAskResult = WM_USER + 7;

const CeDialogItem kItems[] = {
    {u"STATIC", kNumber, u"", {4, 4, 60, 10}, SS_LEFT, 0},
    {u"BUTTON", kCheck, u"Check", {4, 16, 60, 10}, BS_3STATE | WS_TABSTOP, 0},
    {u"BUTTON", kRadio1, u"1", {4, 28, 30, 10}, BS_RADIOBUTTON | WS_GROUP, 0},
    {u"BUTTON", kRadio2, u"2", {4, 40, 30, 10}, BS_RADIOBUTTON, 0},
    {u"BUTTON", kRadio3, u"3", {4, 52, 30, 10}, BS_RADIOBUTTON, 0},
};

const CeDialogTemplate kTemplate = {WS_POPUP | WS_VISIBLE | DS_ABSALIGN,
                                    0,
                                    {10, 20, 100, 80},
                                    u"Items",
                                    u"Tahoma",
                                    8,
                                    kItems,
                                    CE_COUNTOF(kItems)};

HBRUSH dialogBrush = nullptr;

// a * b / c rounded to the nearest, for non-negative values (how dialog units round).
int mulDivRounded(int a, int b, int c) {
    return (a * b + c / 2) / c;
}

INT_PTR CALLBACK itemsProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG: return TRUE;
    case kAskResult:
        // The result of a handled message is DWL_MSGRESULT, not the procedure's TRUE.
        SetWindowLongPtrW(dlg, DWL_MSGRESULT, static_cast<LONG_PTR>(wParam) * 2);
        return TRUE;
    case WM_CTLCOLORDLG: return reinterpret_cast<INT_PTR>(dialogBrush);
    default: return FALSE;
    }
}

class DialogItemsTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        dialogBrush = nullptr;
        dlg = CreateDialogIndirectParamW(nullptr, &kTemplate, nullptr, itemsProc, 0);
        ASSERT_NE(nullptr, dlg);
    }
    void TearDown() override {
        if (IsWindow(dlg)) DestroyWindow(dlg);
        if (dialogBrush) DeleteObject(dialogBrush);
    }
    void setText(const char16_t* text) { ASSERT_TRUE(SetDlgItemTextW(dlg, kNumber, text)); }
    HWND dlg = nullptr;
};

// The numbers as text and back: negative values need bSigned; spaces around are allowed.
TEST_F(DialogItemsTest, ItemIntRoundTrips) {
    ASSERT_TRUE(SetDlgItemInt(dlg, kNumber, static_cast<UINT>(-42), TRUE));
    WCHAR text[16];
    GetDlgItemTextW(dlg, kNumber, text, 16);
    EXPECT_EQ(std::u16string(u"-42"), text);
    BOOL ok = 0xdeadbeef;
    EXPECT_EQ(static_cast<UINT>(-42), GetDlgItemInt(dlg, kNumber, &ok, TRUE));
    EXPECT_EQ(TRUE, ok);
    ok = 0xdeadbeef;
    EXPECT_EQ(0u, GetDlgItemInt(dlg, kNumber, &ok, FALSE)); // a minus sign is no unsigned number
    EXPECT_EQ(FALSE, ok);

    ASSERT_TRUE(SetDlgItemInt(dlg, kNumber, 4000000000u, FALSE));
    GetDlgItemTextW(dlg, kNumber, text, 16);
    EXPECT_EQ(std::u16string(u"4000000000"), text);
    ok = 0xdeadbeef;
    EXPECT_EQ(4000000000u, GetDlgItemInt(dlg, kNumber, &ok, FALSE));
    EXPECT_EQ(TRUE, ok);

    setText(u"  17 ");
    ok = 0xdeadbeef;
    EXPECT_EQ(17u, GetDlgItemInt(dlg, kNumber, &ok, TRUE));
    EXPECT_EQ(TRUE, ok);
}

// Out of range and not numbers: 0 and *lpTranslated FALSE (documented for GetDlgItemInt).
TEST_F(DialogItemsTest, ItemIntRejects) {
    struct Case {
        const char16_t* text;
        BOOL isSigned;
    } cases[] = {
        {u"2147483648", TRUE},  {u"-2147483649", TRUE},
        {u"4294967296", FALSE}, {u"99999999999999", FALSE},
        {u"12ab", TRUE},        {u"", TRUE},
        {u"-", TRUE},           {u"1 2", TRUE},
        {u"+5", FALSE},
    };
    for (const Case& c : cases) {
        setText(c.text);
        BOOL ok = 0xdeadbeef;
        EXPECT_EQ(0u, GetDlgItemInt(dlg, kNumber, &ok, c.isSigned))
            << "text '" << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text))
            << "'";
        EXPECT_EQ(FALSE, ok);
    }
    setText(u"-2147483648");
    BOOL ok = 0xdeadbeef;
    EXPECT_EQ(static_cast<UINT>(INT_MIN), GetDlgItemInt(dlg, kNumber, &ok, TRUE));
    EXPECT_EQ(TRUE, ok);
    setText(u"4294967295");
    EXPECT_EQ(UINT_MAX, GetDlgItemInt(dlg, kNumber, nullptr, FALSE)); // NULL lpTranslated
    ok = 0xdeadbeef;
    EXPECT_EQ(0u, GetDlgItemInt(dlg, 9999, &ok, TRUE)); // no such control
    EXPECT_EQ(FALSE, ok);
}

// GetDlgItemTextW cuts the text to the buffer and never writes past it.
TEST_F(DialogItemsTest, ItemTextIsCutToBuffer) {
    setText(u"Wake me up");
    WCHAR buffer[8];
    for (WCHAR& c : buffer)
        c = 0xBEEF;
    EXPECT_EQ(4u, GetDlgItemTextW(dlg, kNumber, buffer, 5));
    EXPECT_EQ(std::u16string(u"Wake"), buffer);
    EXPECT_EQ(0xBEEF, buffer[5]); // guard
    buffer[0] = 0xBEEF;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, GetDlgItemTextW(dlg, 9999, buffer, 8));
    EXPECT_EQ(0, buffer[0]);
    EXPECT_EQ(1421u, GetLastError()); // ERROR_CONTROL_ID_NOT_FOUND
}

TEST_F(DialogItemsTest, ItemsAndIdentifiers) {
    HWND check = GetDlgItem(dlg, kCheck);
    ASSERT_NE(nullptr, check);
    EXPECT_EQ(kCheck, GetDlgCtrlID(check));
    EXPECT_EQ(dlg, GetParent(check));
    EXPECT_EQ(0, GetDlgCtrlID(dlg)); // a top-level window has no identifier
    EXPECT_EQ(nullptr, GetDlgItem(dlg, 12345));
    HWND label = GetDlgItem(dlg, kNumber);
    WCHAR cls[16] = {};
    GetClassNameW(label, cls, 16);
    EXPECT_EQ(std::u16string(u"STATIC"), cls);
    GetClassNameW(dlg, cls, 16);
    EXPECT_EQ(std::u16string(u"Dialog"), cls); // the Windows CE name of the dialog class
    // Every control got the dialog's font with WM_SETFONT.
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(font, reinterpret_cast<HFONT>(SendDlgItemMessageW(dlg, kCheck, WM_GETFONT, 0, 0)));
    EXPECT_EQ(font, reinterpret_cast<HFONT>(SendDlgItemMessageW(dlg, kNumber, WM_GETFONT, 0, 0)));
    EXPECT_EQ(0, SendDlgItemMessageW(dlg, 12345, WM_GETFONT, 0, 0));
}

// CheckDlgButton on a three-state box keeps the third state; CheckRadioButton checks one of
// the range and clears the rest.
TEST_F(DialogItemsTest, CheckStates) {
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), IsDlgButtonChecked(dlg, kCheck));
    EXPECT_TRUE(CheckDlgButton(dlg, kCheck, BST_INDETERMINATE));
    EXPECT_EQ(static_cast<UINT>(BST_INDETERMINATE), IsDlgButtonChecked(dlg, kCheck));
    EXPECT_TRUE(CheckRadioButton(dlg, kRadio1, kRadio3, kRadio2));
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), IsDlgButtonChecked(dlg, kRadio1));
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), IsDlgButtonChecked(dlg, kRadio2));
    EXPECT_TRUE(CheckRadioButton(dlg, kRadio1, kRadio3, kRadio3));
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), IsDlgButtonChecked(dlg, kRadio2));
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), IsDlgButtonChecked(dlg, kRadio3));
    EXPECT_EQ(static_cast<UINT>(BST_INDETERMINATE), IsDlgButtonChecked(dlg, kCheck));
    EXPECT_FALSE(CheckDlgButton(dlg, 12345, BST_CHECKED));
}

// DWL_USER and DWL_MSGRESULT keep pointer-sized values through the Ptr forms; DWL_DLGPROC
// gives the procedure through GetWindowLongPtrW and cannot be read in 32 bits.
TEST_F(DialogItemsTest, DialogWindowLongs) {
    LONG_PTR big = static_cast<LONG_PTR>(0x123456789ALL);
    EXPECT_EQ(0, SetWindowLongPtrW(dlg, DWL_USER, big));
    EXPECT_EQ(big, GetWindowLongPtrW(dlg, DWL_USER));
    EXPECT_EQ(static_cast<LONG>(big), GetWindowLongW(dlg, DWL_USER));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(&itemsProc), GetWindowLongPtrW(dlg, DWL_DLGPROC));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, GetWindowLongW(dlg, DWL_DLGPROC));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_INDEX), GetLastError());
    // The procedure's DWL_MSGRESULT is the message's result.
    EXPECT_EQ(42, SendMessageW(dlg, kAskResult, 21, 0));
    // DWL_USER is still what was set: it does not overlap DWL_MSGRESULT.
    EXPECT_EQ(big, GetWindowLongPtrW(dlg, DWL_USER));
    // A window that is no dialog has no DWL_ values (no extra bytes).
    HWND label = GetDlgItem(dlg, kNumber);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, GetWindowLongPtrW(label, 40));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_INDEX), GetLastError());
}

// The brush the procedure returns for WM_CTLCOLORDLG paints the dialog's background.
TEST_F(DialogItemsTest, CtlColorDlgBrushPaintsBackground) {
    dialogBrush = CreateSolidBrush(RGB(10, 200, 30));
    InvalidateRect(dlg, nullptr, TRUE);
    UpdateWindow(dlg);
    HDC dc = GetDC(dlg);
    RECT rc;
    GetClientRect(dlg, &rc);
    EXPECT_EQ(RGB(10, 200, 30), GetPixel(dc, rc.right - 2, rc.bottom - 2));
    ReleaseDC(dlg, dc);
}

// Dialog units: x in quarters of the average character width, y in eighths of the height,
// both from the dialog's font; the window is the template's size in pixels.
TEST_F(DialogItemsTest, DialogUnitsAt96Dpi) {
    RECT r{0, 0, 4, 8};
    ASSERT_TRUE(MapDialogRect(dlg, &r));
    LONG units = GetDialogBaseUnits();
    EXPECT_EQ(LOWORD(units), r.right); // the template's font is the system's, Tahoma 8
    EXPECT_EQ(HIWORD(units), r.bottom);
    EXPECT_GE(r.right, 4);
    EXPECT_LE(r.right, 8);
    EXPECT_GE(r.bottom, 11);
    EXPECT_LE(r.bottom, 16);
    RECT expected{0, 0, 100, 80};
    MapDialogRect(dlg, &expected);
    RECT client;
    GetClientRect(dlg, &client);
    EXPECT_EQ(expected.right, client.right);
    EXPECT_EQ(expected.bottom, client.bottom);
    RECT window;
    GetWindowRect(dlg, &window);
    RECT origin{10, 20, 0, 0};
    MapDialogRect(dlg, &origin);
    EXPECT_EQ(origin.left, window.left); // DS_ABSALIGN: screen coordinates
    EXPECT_EQ(origin.top, window.top);
    RECT bad{};
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MapDialogRect(GetDlgItem(dlg, kCheck), &bad));
    EXPECT_EQ(1420u, GetLastError()); // ERROR_WINDOW_NOT_DIALOG
}

// At 192 dpi the dialog font is Tahoma 8 points at that resolution (-21 pixels where 96 dpi
// has -11), and the base units are its metrics: about twice those at 96 dpi.
TEST(DialogUnits, At192Dpi) {
    int x96 = 0, y96 = 0;
    {
        cetest::TempDevice device("qvga");
        LONG u = GetDialogBaseUnits();
        x96 = LOWORD(u);
        y96 = HIWORD(u);
    }
    cetest::TempDevice device("vga");
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(192, GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    LONG u = GetDialogBaseUnits();
    EXPECT_GE(LOWORD(u), 2 * x96 - 2);
    EXPECT_LE(LOWORD(u), 2 * x96 + 1);
    EXPECT_GE(HIWORD(u), 2 * y96 - 4);
    EXPECT_LE(HIWORD(u), 2 * y96 + 1);

    LOGFONTW lf{};
    lf.lfHeight = -21; // 8 points at 192 dpi: 8 * 192 / 72 = 21.3
    lf.lfWeight = FW_NORMAL;
    std::char_traits<char16_t>::copy(lf.lfFaceName, u"Tahoma", 7);
    HFONT font = CreateFontIndirectW(&lf);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SIZE abc{};
    GetTextExtentPoint32W(dc, u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &abc);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    EXPECT_EQ(tm.tmHeight, HIWORD(u));
    EXPECT_EQ((abc.cx + 26) / 52, LOWORD(u));

    HWND dlg = CreateDialogIndirectParamW(nullptr, &kTemplate, nullptr, itemsProc, 0);
    ASSERT_NE(nullptr, dlg);
    RECT client;
    GetClientRect(dlg, &client);
    EXPECT_EQ(mulDivRounded(100, LOWORD(u), 4), client.right);
    EXPECT_EQ(mulDivRounded(80, HIWORD(u), 8), client.bottom);
    DestroyWindow(dlg);
}

} // namespace
