// ceshell.h: what the files of the shell program (simulator/shell) share. The shell is the
// device's desktop: the desktop window, the title bar along the top (taskbar.cpp), the soft-key
// bar along the bottom (softkeys.cpp) and between them the Today screen (today.cpp) with its
// items (todayitems.cpp, dateitem.cpp) drawn over the Today background (background.cpp).
// cedev's requests arrive at the Today screen (commands.cpp).
//
// Everything runs on the program's main thread, the thread of every window the shell makes;
// only the desktop window is kept by a thread of its own (main.cpp), which hands what it
// receives to the main thread.
#pragma once

#include <windows.h>
#include <todaycmn.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ceshell {

// ---- Sizes (taskbar.cpp) -------------------------------------------------------------------
// A length at 96 dpi on the device's screen: (v * dpi + 48) / 96, as the device scales.
int scaled(int pixelsAt96);

// Where the parts of the shell go on the screen as the profile says now.
struct ScreenLayout {
    int width = 0;
    int height = 0;
    int titleHeight = 0;   // the title bar, 26 pixels at 96 dpi
    int softKeyHeight = 0; // the soft-key bar, 26 pixels at 96 dpi
    RECT today{};          // the Today screen: between the two bars
};
ScreenLayout screenLayout();

// ---- Colours (background.cpp) ------------------------------------------------------------------
// An entry of the shell's colour scheme (HKLM\Software\Microsoft\Color "SHColor"), with the
// scheme's own default when the registry has none.
COLORREF shellColor(int index);
constexpr int kColorTodayText = 9;
constexpr int kColorSelection = 39;

// The Today background's colour at a point of the items' holder whose client area is `area`.
COLORREF todayBackgroundAt(int x, int y, SIZE area);
// Draws the Today background into hdc: `target` (in hdc's coordinates) shows the holder's
// background from the holder point `origin` on, for a holder of client size `area`.
void paintTodayBackground(HDC hdc, const RECT& target, POINT origin, SIZE area);

// ---- Title bar (taskbar.cpp) -------------------------------------------------------------------
bool createTaskBar(HINSTANCE instance);
void placeTaskBar();
// Reads the foreground window's title and the clock again and repaints when they changed.
void refreshTaskBar();
void destroyTaskBar();

// ---- Soft keys (softkeys.cpp) -------------------------------------------------------------------
// The Today screen's menu bar: "Calendar" on the left, "Contacts" on the right.
bool createSoftKeys(HWND frame);
void placeSoftKeys();
// A WM_COMMAND of the Today screen that is a soft key: starts its program. False otherwise.
bool softKeyCommand(WORD id);
// VK_F1 / VK_F2 on the Today screen: presses the key. False for other keys.
bool softKeyPress(UINT vk);
void destroySoftKeys();

// ---- Today screen (today.cpp) ----------------------------------------------------------------
bool createToday(HINSTANCE instance);
void destroyToday();
HWND todayFrame();
HWND todayHolder();
// The holder's client size the background is computed for.
SIZE todayArea();
// Re-reads the items from the registry and loads, unloads and keeps them (see todayitems.cpp).
void reloadToday();
// Puts the frame, its scroll bar, the holder and the items where the profile says.
void layoutToday();
// Opens the options of the item of that name; a ShellAnswer.
intptr_t openItemOptions(const std::u16string& name);
// True when msg belongs to an open options dialog and was handled by it.
bool todayDialogMessage(MSG* msg);

// ---- Items (todayitems.cpp) --------------------------------------------------------------------
// One entry of HKLM\Software\Microsoft\Today\Items.
struct ItemConfig {
    std::u16string key;  // the key's name, "\"Date\""
    std::u16string name; // without the quotes
    DWORD type = tlitCustom;
    bool enabled = true;
    bool hasOrder = false;
    DWORD order = 0;
    DWORD flags = 0;
    std::u16string dll;
};

// A loaded item. The record lives as long as the item: the item keeps its address.
struct TodayItem {
    ItemConfig config;
    std::unique_ptr<TODAYLISTITEM> record;
    HMODULE module = nullptr;      // null for the built-in date item
    FARPROC optionsProc = nullptr; // ordinal 241
    HWND hwnd = nullptr;           // null: the item shows nothing
};

// The enabled and disabled entries, in the order they are shown: by Order, those without
// one after the others, then by name.
std::vector<ItemConfig> readItemConfigs();
// Whether a loaded item still answers to a registry entry (same type and library).
bool sameItem(const TodayItem& item, const ItemConfig& config);
// Loads an enabled entry under the holder; null (and a journal line) when it cannot be loaded.
std::unique_ptr<TodayItem> loadItem(const ItemConfig& config, HWND holder);
// CLEARCACHE, DestroyWindow, FreeLibrary, journal line.
void unloadItem(TodayItem& item);
// Asks the item for its height; true when it changed.
bool queryItem(TodayItem& item);

// ---- Date item (dateitem.cpp) ------------------------------------------------------------------
bool registerDateItemClass(HINSTANCE instance);
// The built-in item of Type 0: a child of the holder that shows the long date.
HWND createDateItem(HWND holder, TODAYLISTITEM* record);
int dateItemHeight();

// ---- Desktop (main.cpp) ------------------------------------------------------------------------
// The device's desktop window.
HWND desktopWindow();
// Resizes the desktop window to the profile's screen size; false when it failed.
bool resizeDesktop(int width, int height);

// ---- Requests (commands.cpp) -------------------------------------------------------------------
// A WM_COPYDATA that reached the Today frame; returns a ShellAnswer.
LRESULT handleRequest(const COPYDATASTRUCT* data);
// Applies the profile's screen size: the desktop, then layoutShell.
bool applyScreen();
// Puts the title bar, the Today screen and the soft keys where the screen's size says.
void layoutShell();

} // namespace ceshell

namespace ceshell {

// Private messages of the shell's own windows.
constexpr UINT kMsgDesktopReload = WM_APP + 0x100; // to the frame: lParam a desktop request
constexpr UINT kMsgForeground = WM_APP + 0x101;    // to the frame: the foreground changed
constexpr UINT kMsgQuit = WM_APP + 0x102;          // to the frame: end the shell

// Answers a message sent to the desktop window that the main thread took over (main.cpp).
void answerDesktopRequest(LPARAM request, LRESULT result);

} // namespace ceshell
