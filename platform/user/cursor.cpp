// cursor.cpp: the cursor: LoadCursorW of the system's cursors, SetCursor, GetCursor,
// ShowCursor and DestroyCursor.
//
// A Windows Mobile device has a touch screen and no pointer to draw, except the wait cursor
// that programs show over their window while they work. The window system keeps the state
// the API reports (the current cursor, the display count) and traces changes on the
// "resource" channel; nothing is drawn. The cursor is one per process, as the device has one
// input queue per program for it.
#include <cmath>
#include <cstdint>
#include <mutex>

#include "winuser.h"

#include "kernel/trace.h"
#include "shell/shell.h"
#include "user/resource.h"

namespace ce::user {

namespace {

struct CursorState {
    std::mutex lock;
    HCURSOR current = nullptr;
    // The display count starts at -1: the device has no mouse (SM_MOUSEPRESENT is 0).
    int displayCount = -1;
};

CursorState& cursorState() {
    static CursorState s;
    return s;
}

} // namespace

bool systemCursorPicture(WORD id, int size, IconPicture* out) {
    if (size <= 0 || size > kMaxImageSide) return false;
    IconPicture p;
    p.width = p.height = size;
    p.isIcon = false;
    p.hasAlpha = true;
    const size_t count = static_cast<size_t>(size) * static_cast<size_t>(size);
    p.pixels.assign(count, 0);
    p.mask.assign(count, true);
    auto put = [&](int x, int y, uint32_t color) {
        if (x < 0 || y < 0 || x >= size || y >= size) return;
        p.pixels[static_cast<size_t>(y) * size + x] = color;
        p.mask[static_cast<size_t>(y) * size + x] = false;
    };
    switch (id) {
    case 32514:   // IDC_WAIT: the device's busy ring, drawn in one colour
    case 32650: { // IDC_APPSTARTING
        const double centre = size / 2.0, outer = size * 0.45, inner = size * 0.3;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const double d = std::hypot(x + 0.5 - centre, y + 0.5 - centre);
                if (d < outer && d >= inner) put(x, y, 0xFF1E5AC8);
            }
        p.hotspot = {size / 2, size / 2};
        break;
    }
    case 32512: // IDC_ARROW and the other shapes: an arrow with its point at the top left
    case 32513:
    case 32515:
    case 32516:
    case 32646:
    case 32648: {
        const int length = size * 2 / 3;
        for (int y = 0; y < length; ++y)
            for (int x = 0; x <= y / 2 + y / 4 && x < size; ++x) {
                const bool edge = x == 0 || x == y / 2 + y / 4 || y == length - 1;
                put(x, y, edge ? 0xFF000000 : 0xFFFFFFFF);
            }
        p.hotspot = {0, 0};
        break;
    }
    default: return false;
    }
    *out = std::move(p);
    return true;
}

} // namespace ce::user

using namespace ce::user;

// Loads one of the system's cursors (hInstance NULL: IDC_ARROW, IDC_WAIT ...), shared for the
// life of the process. Module tables hold no cursors: loading one of a module fails with
// ERROR_RESOURCE_TYPE_NOT_FOUND.
WINUSERAPI HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
    return static_cast<HCURSOR>(
        LoadImageW(hInstance, lpCursorName, IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
}

// Makes hCursor the cursor (NULL: none) and returns the previous one. A value that is not a
// cursor or icon fails, returning NULL and keeping the current cursor.
WINUSERAPI HCURSOR SetCursor(HCURSOR hCursor) {
    if (hCursor && !iconPicture(hCursor)) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return nullptr;
    }
    CursorState& s = cursorState();
    HCURSOR previous;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        previous = s.current;
        s.current = hCursor;
        CE_TRACE("resource", "cursor %#lx (was %#lx)",
                 static_cast<unsigned long>(HandleToULong(hCursor)),
                 static_cast<unsigned long>(HandleToULong(previous)));
    }
    // The shell shows its wait indicator while the cursor is the wait cursor.
    ce::shell::cursorChanged(hCursor);
    return previous;
}

// The cursor SetCursor set last, or NULL.
WINUSERAPI HCURSOR GetCursor(void) {
    CursorState& s = cursorState();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.current;
}

// Adds one to the display count (bShow) or takes one off, and returns the new count; the
// cursor would show while the count is 0 or more.
WINUSERAPI int ShowCursor(BOOL bShow) {
    CursorState& s = cursorState();
    std::lock_guard<std::mutex> guard(s.lock);
    if (bShow ? s.displayCount < INT32_MAX : s.displayCount > INT32_MIN)
        s.displayCount += bShow ? 1 : -1;
    CE_TRACE("resource", "display count %d", s.displayCount);
    return s.displayCount;
}

// Destroys a cursor made by CreateIconIndirect; the system's shared cursors stay.
WINUSERAPI BOOL DestroyCursor(HCURSOR hCursor) {
    return destroyIconHandle(hCursor, ERROR_INVALID_CURSOR_HANDLE);
}
