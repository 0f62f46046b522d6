// com.cpp: the COM library of the device: entering and leaving COM per thread, the in-process
// class table behind CoCreateInstance, task memory and the identifiers of the base interfaces.
//
// There is no marshalling: every object lives in the process that created it and may be called
// from any of its threads, which is what the multithreaded model promises. An apartment-threaded
// thread gets the same objects; the model is only remembered so that a second CoInitializeEx
// with the other model fails as documented.
#include <cstdlib>
#include <mutex>
#include <vector>

#include "com/comclass.h"
#include "kernel/trace.h"

extern "C" {
// {00000000-0000-0000-C000-000000000046}
WINBASEAPI const IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {00020400-0000-0000-C000-000000000046}
WINBASEAPI const IID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}

namespace ce::com {
namespace {

struct ClassEntry {
    CLSID clsid;
    ClassFactory factory;
};

struct ClassTable {
    std::mutex mutex;
    std::vector<ClassEntry> classes;
};

// Static initializers of other files register into it, so it must exist before them.
ClassTable& classTable() {
    static ClassTable* table = new ClassTable;
    return *table;
}

// The thread's COM state: how often it entered, and with which model.
struct ThreadCom {
    int count = 0;
    DWORD model = 0;
};
thread_local ThreadCom threadCom;

} // namespace

void registerClass(const CLSID& clsid, ClassFactory factory) {
    ClassTable& t = classTable();
    std::lock_guard lock(t.mutex);
    for (ClassEntry& e : t.classes) {
        if (IsEqualGUID(e.clsid, clsid)) {
            e.factory = factory;
            return;
        }
    }
    t.classes.push_back({clsid, factory});
}

bool threadInCom() {
    return threadCom.count > 0;
}

} // namespace ce::com

using namespace ce::com;

// The reserved argument must be NULL and only the documented model bits may be set.
WINOLEAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    constexpr DWORD kKnown =
        COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY;
    if (pvReserved || (dwCoInit & ~kKnown)) return E_INVALIDARG;
    DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
    if (threadCom.count > 0) {
        if (threadCom.model != model) return RPC_E_CHANGED_MODE;
        ++threadCom.count;
        return S_FALSE;
    }
    threadCom.model = model;
    threadCom.count = 1;
    return S_OK;
}

WINOLEAPI_(void) CoUninitialize(void) {
    if (threadCom.count > 0) --threadCom.count;
}

WINOLEAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                           LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!threadInCom()) return CO_E_NOTINITIALIZED;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    ClassFactory factory = nullptr;
    {
        ClassTable& t = classTable();
        std::lock_guard lock(t.mutex);
        for (const ClassEntry& e : t.classes)
            if (IsEqualGUID(e.clsid, rclsid)) factory = e.factory;
    }
    if (!factory) {
        CE_TRACE("com", "class %08x not registered", static_cast<unsigned>(rclsid.Data1));
        return REGDB_E_CLASSNOTREG;
    }
    return factory(riid, ppv);
}

WINOLEAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb) {
    return malloc(cb ? cb : 1);
}

WINOLEAPI_(void) CoTaskMemFree(LPVOID pv) {
    free(pv);
}
