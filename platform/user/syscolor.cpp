// syscolor.cpp: the system colours (GetSysColor, GetSysColorBrush, SetSysColors) in the
// Windows Mobile 6 default scheme: white windows and menus with black text, a blue
// selection, light grey button faces.
//
// Windows CE marks its colour indexes with SYS_COLOR_INDEX_FLAG (0x40000000); an index with
// or without the flag names the same colour. SetSysColors changes the colours of this
// process only (the device keeps its scheme in the shell, which has none to change yet) and
// sends no WM_SYSCOLORCHANGE.
#include <array>
#include <mutex>

#include "wingdi.h"
#include "winuser.h"

#include "gdi/gdi.h"
#include "kernel/trace.h"

namespace {

constexpr int kColorCount = 29; // COLOR_SCROLLBAR .. COLOR_GRADIENTINACTIVECAPTION

constexpr std::array<COLORREF, kColorCount> kDefaultScheme = {
    RGB(214, 214, 214), // COLOR_SCROLLBAR
    RGB(255, 255, 255), // COLOR_BACKGROUND (the Today screen's backdrop)
    RGB(0, 73, 181),    // COLOR_ACTIVECAPTION
    RGB(128, 128, 128), // COLOR_INACTIVECAPTION
    RGB(255, 255, 255), // COLOR_MENU
    RGB(255, 255, 255), // COLOR_WINDOW
    RGB(0, 0, 0),       // COLOR_WINDOWFRAME
    RGB(0, 0, 0),       // COLOR_MENUTEXT
    RGB(0, 0, 0),       // COLOR_WINDOWTEXT
    RGB(255, 255, 255), // COLOR_CAPTIONTEXT
    RGB(192, 192, 192), // COLOR_ACTIVEBORDER
    RGB(192, 192, 192), // COLOR_INACTIVEBORDER
    RGB(128, 128, 128), // COLOR_APPWORKSPACE
    RGB(0, 73, 181),    // COLOR_HIGHLIGHT
    RGB(255, 255, 255), // COLOR_HIGHLIGHTTEXT
    RGB(222, 223, 222), // COLOR_BTNFACE
    RGB(128, 128, 128), // COLOR_BTNSHADOW
    RGB(128, 128, 128), // COLOR_GRAYTEXT
    RGB(0, 0, 0),       // COLOR_BTNTEXT
    RGB(212, 208, 200), // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255), // COLOR_BTNHIGHLIGHT
    RGB(0, 0, 0),       // COLOR_3DDKSHADOW
    RGB(192, 192, 192), // COLOR_3DLIGHT
    RGB(0, 0, 0),       // COLOR_INFOTEXT
    RGB(255, 255, 225), // COLOR_INFOBK
    RGB(255, 255, 255), // COLOR_STATIC
    RGB(0, 0, 0),       // COLOR_STATICTEXT
    RGB(0, 42, 120),    // COLOR_GRADIENTACTIVECAPTION
    RGB(160, 160, 160), // COLOR_GRADIENTINACTIVECAPTION
};

struct SchemeState {
    std::mutex lock;
    std::array<COLORREF, kColorCount> colors = kDefaultScheme;
    // The brush GetSysColorBrush gave for each index and the colour it was made in. A brush
    // is never deleted: programs keep system brushes in their classes, so after SetSysColors
    // the old brush stays valid and a new one is made for the new colour.
    std::array<HBRUSH, kColorCount> brushes{};
    std::array<COLORREF, kColorCount> brushColors{};
};

SchemeState& scheme() {
    static SchemeState s;
    return s;
}

// The table index of an API index (with or without the CE flag), or -1.
int colorSlot(int index) {
    const int plain = index & ~SYS_COLOR_INDEX_FLAG;
    return plain >= 0 && plain < kColorCount ? plain : -1;
}

} // namespace

// The colour of a display element; 0 for an index the device does not have.
WINUSERAPI DWORD GetSysColor(int nIndex) {
    const int slot = colorSlot(nIndex);
    if (slot < 0) return 0;
    SchemeState& s = scheme();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.colors[slot];
}

// A solid brush of a system colour, owned by the system: DeleteObject on it does nothing, as
// for stock objects. The same handle comes back until SetSysColors changes the colour. NULL
// for an unknown index.
WINUSERAPI HBRUSH GetSysColorBrush(int nIndex) {
    const int slot = colorSlot(nIndex);
    if (slot < 0) return nullptr;
    SchemeState& s = scheme();
    COLORREF color;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        color = s.colors[slot];
        if (s.brushes[slot] && s.brushColors[slot] == color) return s.brushes[slot];
    }
    // Made outside the scheme's lock: GDI takes its own lock, and GDI may ask for system
    // colours while holding it.
    HBRUSH brush = CreateSolidBrush(color);
    if (!brush) return nullptr;
    {
        // Marked as a stock object, which DeleteObject leaves alone.
        ce::gdi::Guard gdiGuard(ce::gdi::gdiLock());
        if (auto object = ce::gdi::lookupObject(brush)) object->stock = true;
    }
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.brushes[slot] && s.brushColors[slot] == color) return s.brushes[slot]; // a racer won
    s.brushes[slot] = brush;
    s.brushColors[slot] = color;
    return brush;
}

// Sets system colours for this process. Fails with ERROR_INVALID_PARAMETER, changing
// nothing, when an index is unknown or the arrays are missing.
WINUSERAPI BOOL SetSysColors(int cElements, const int* lpaElements, const COLORREF* lpaRgbValues) {
    if (cElements < 0 || (cElements > 0 && (!lpaElements || !lpaRgbValues))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (int i = 0; i < cElements; ++i) {
        if (colorSlot(lpaElements[i]) < 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
    SchemeState& s = scheme();
    std::lock_guard<std::mutex> guard(s.lock);
    for (int i = 0; i < cElements; ++i) {
        s.colors[colorSlot(lpaElements[i])] = lpaRgbValues[i] & 0x00FFFFFF;
        CE_TRACE("resource", "system colour %d = %06x", lpaElements[i] & ~SYS_COLOR_INDEX_FLAG,
                 static_cast<unsigned>(lpaRgbValues[i] & 0x00FFFFFF));
    }
    return TRUE;
}
