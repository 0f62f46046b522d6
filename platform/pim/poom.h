// poom.h: the object model's COM objects as the files that implement them see each other
// (poom_app.cpp: application and folders; poom_items.cpp: appointments, tasks, contacts and
// recurrence patterns; poom_collection.cpp: item collections; display.cpp: Display).
//
// Every object is reference counted from 1 at creation; ComObject supplies IUnknown's
// counting and IDispatch's members (late binding is not provided: E_NOTIMPL). Objects are
// made with makeObject, which hands the new object's single reference to the caller: COM's
// reference count, not a C++ owner, decides when it goes.
//
// Inside the platform only.
#pragma once

#include <atomic>
#include <memory>
#include <utility>

#include "pim/item.h"
#include "pimstore.h"

namespace ce::pim {

template <class Interface>
class ComObject : public Interface {
public:
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override {
        if (pctinfo) *pctinfo = 0;
        return pctinfo ? S_OK : E_INVALIDARG;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
        if (ppTInfo) *ppTInfo = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        return E_NOTIMPL;
    }
    virtual ~ComObject() = default;

protected:
    // QueryInterface for an object with one interface (besides IUnknown and IDispatch).
    HRESULT queryOne(REFIID riid, const IID& own, void** ppv) {
        if (!ppv) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDispatch) ||
            IsEqualGUID(riid, own)) {
            *ppv = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

private:
    std::atomic<ULONG> refs_{1};
};

template <class T, class... Args>
T* makeObject(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...).release();
}

// The application object (one per CoCreateInstance).
class Application;
bool appLoggedOn(Application* app);
HWND appWindow(Application* app);
IPOutlookApp* appInterface(Application* app); // not AddRef'ed

// A new item object (IAppointment, ITask or IContact, returned as its IDispatch) for an item
// record; the object keeps a reference to the application.
IDispatch* makeItemObject(Application* app, Item item);
// A new collection over a folder.
IPOutlookItemCollection* makeCollection(Application* app, Kind kind);

// Display: opens the device's calendar, tasks or contacts program on the item (oid 0: a new,
// unsaved item of that kind). S_OK, or E_FAIL when the program does not exist on the device.
HRESULT displayItem(Kind kind, uint32_t oid);

// Texts in and out: a copy of a BSTR (NULL reads as empty), and a new BSTR for *out.
std::u16string fromBstr(BSTR b);
HRESULT toBstr(const std::u16string& s, BSTR* out);

} // namespace ce::pim
