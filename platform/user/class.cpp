// class.cpp: window classes: RegisterClassW, UnregisterClassW, GetClassInfoW, GetClassNameW,
// GetClassLongW / SetClassLongW.
//
// Classes belong to the module (hInstance) that registered them and names compare without
// regard to case. A class registered with CS_GLOBALCLASS is seen by every module of the
// process; the system classes (buttons, edits, dialogs) are registered that way later.
#include <algorithm>
#include <cstring>

#include "kernel/modules.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "user/sysclass.h"
#include "user/userstate.h"

namespace ce::user {
namespace {

std::vector<std::shared_ptr<WindowClass>>& classes() {
    static auto* c = new std::vector<std::shared_ptr<WindowClass>>;
    return *c;
}

ATOM nextAtom = 0xC000;

bool nameMatches(const WindowClass& c, LPCWSTR name) {
    if (IS_INTRESOURCE(name)) return c.atom == LOWORD(reinterpret_cast<ULONG_PTR>(name));
    return equalNoCase(c.name, std::u16string_view(name));
}

std::shared_ptr<WindowClass> findExact(LPCWSTR name, HINSTANCE instance) {
    for (auto& c : classes())
        if (c->instance == instance && nameMatches(*c, name)) return c;
    return nullptr;
}

} // namespace

// The module's own class first, then a global one. A NULL instance means the program.
std::shared_ptr<WindowClass> findClass(LPCWSTR name, HINSTANCE instance) {
    if (!name) return nullptr;
    registerSystemClasses(); // before taking the lock: it registers classes itself
    Lock lock(userLock());
    if (!instance) instance = static_cast<HINSTANCE>(ULongToHandle(ce::kProgramModule));
    if (auto c = findExact(name, instance)) return c;
    for (auto& c : classes())
        if ((c->wc.style & CS_GLOBALCLASS) && nameMatches(*c, name)) return c;
    return nullptr;
}

} // namespace ce::user

using namespace ce::user;

namespace {

std::shared_ptr<WindowClass> classOfWindow(HWND hWnd) {
    auto w = findWindow(hWnd);
    if (!w) return nullptr;
    Lock lock(userLock());
    return w->cls;
}

HINSTANCE moduleOrProgram(HINSTANCE h) {
    return h ? h : static_cast<HINSTANCE>(ULongToHandle(ce::kProgramModule));
}

} // namespace

// Registers a class for the module in lpWndClass->hInstance. Names are unique per module
// without regard to case; the extra byte counts are limited to what a device allows (40 KB).
WINUSERAPI ATOM RegisterClassW(const WNDCLASSW* lpWndClass) {
    ensureInitialized();
    if (!lpWndClass || !lpWndClass->lpszClassName || IS_INTRESOURCE(lpWndClass->lpszClassName) ||
        !lpWndClass->lpszClassName[0] || lpWndClass->cbClsExtra < 0 || lpWndClass->cbWndExtra < 0 ||
        lpWndClass->cbClsExtra > 40000 || lpWndClass->cbWndExtra > 40000) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Lock lock(userLock());
    HINSTANCE instance = moduleOrProgram(lpWndClass->hInstance);
    if (findExact(lpWndClass->lpszClassName, instance)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto c = std::make_shared<WindowClass>();
    c->name = lpWndClass->lpszClassName;
    c->instance = instance;
    c->wc = *lpWndClass;
    c->wc.hInstance = instance;
    c->wc.lpszClassName = nullptr;
    if (lpWndClass->lpszMenuName && !IS_INTRESOURCE(lpWndClass->lpszMenuName)) {
        c->menuName = lpWndClass->lpszMenuName;
        c->wc.lpszMenuName = nullptr;
    }
    c->clsExtra.assign(static_cast<size_t>(lpWndClass->cbClsExtra), 0);
    c->atom = nextAtom++;
    if (nextAtom == 0) nextAtom = 0xC000;
    classes().push_back(c);
    CE_TRACE("msg", "class %s atom %04x", ce::toUtf8(c->name).c_str(), c->atom);
    return c->atom;
}

// Removes a class of the module; fails while windows of the class exist.
WINUSERAPI BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance) {
    if (!lpClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock(userLock());
    auto c = findExact(lpClassName, moduleOrProgram(hInstance));
    if (!c) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (c->liveWindows > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    auto& list = classes();
    list.erase(std::remove(list.begin(), list.end(), c), list.end());
    return TRUE;
}

// What the class was registered with; the class name pointer given back is the caller's own
// (as on Windows, lpszClassName is the argument).
WINUSERAPI BOOL GetClassInfoW(HINSTANCE hInstance, LPCWSTR lpClassName, LPWNDCLASSW lpWndClass) {
    if (!lpWndClass || !lpClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto c = findClass(lpClassName, hInstance);
    if (!c) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    Lock lock(userLock());
    *lpWndClass = c->wc;
    lpWndClass->lpszClassName = lpClassName;
    if (!c->menuName.empty()) lpWndClass->lpszMenuName = c->menuName.c_str();
    return TRUE;
}

// The class name of any window of the device (another program's from the driver). Returns
// the characters copied without the terminating zero; the name is cut to fit.
WINUSERAPI int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount) {
    auto facts = windowFacts(HandleToULong(hWnd));
    if (!facts) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!lpClassName || nMaxCount <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = std::min(facts->className.size(), static_cast<size_t>(nMaxCount - 1));
    std::copy_n(facts->className.data(), n, lpClassName);
    lpClassName[n] = 0;
    return static_cast<int>(n);
}

// Class values by GCL_ index, or class extra bytes at a non-negative offset.
WINUSERAPI DWORD GetClassLongW(HWND hWnd, int nIndex) {
    auto c = classOfWindow(hWnd);
    if (!c) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    Lock lock(userLock());
    switch (nIndex) {
    case GCL_STYLE: return c->wc.style;
    case GCL_CBWNDEXTRA: return static_cast<DWORD>(c->wc.cbWndExtra);
    case GCL_CBCLSEXTRA: return static_cast<DWORD>(c->wc.cbClsExtra);
    case GCL_HBRBACKGROUND: return HandleToULong(c->wc.hbrBackground);
    case GCL_HCURSOR: return HandleToULong(c->wc.hCursor);
    case GCL_HICON: return HandleToULong(c->wc.hIcon);
    default: break;
    }
    if (nIndex >= 0 && static_cast<size_t>(nIndex) + sizeof(DWORD) <= c->clsExtra.size()) {
        DWORD v;
        std::memcpy(&v, c->clsExtra.data() + nIndex, sizeof v);
        return v;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

// Changes a class value; returns the previous one. GCL_WNDPROC does not fit in 32 bits on
// this host and fails, as the Ptr forms would be needed.
WINUSERAPI DWORD SetClassLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
    auto c = classOfWindow(hWnd);
    if (!c) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    Lock lock(userLock());
    DWORD old = 0;
    auto v = static_cast<DWORD>(dwNewLong);
    switch (nIndex) {
    case GCL_STYLE:
        old = c->wc.style;
        c->wc.style = v;
        return old;
    case GCL_HBRBACKGROUND:
        old = HandleToULong(c->wc.hbrBackground);
        c->wc.hbrBackground = static_cast<HBRUSH>(ULongToHandle(v));
        return old;
    case GCL_HCURSOR:
        old = HandleToULong(c->wc.hCursor);
        c->wc.hCursor = static_cast<HCURSOR>(ULongToHandle(v));
        return old;
    case GCL_HICON:
        old = HandleToULong(c->wc.hIcon);
        c->wc.hIcon = static_cast<HICON>(ULongToHandle(v));
        return old;
    default: break;
    }
    if (nIndex >= 0 && static_cast<size_t>(nIndex) + sizeof(DWORD) <= c->clsExtra.size()) {
        std::memcpy(&old, c->clsExtra.data() + nIndex, sizeof old);
        std::memcpy(c->clsExtra.data() + nIndex, &v, sizeof v);
        return old;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}
