// poom_app.cpp: the object model's application object (IPOutlookApp) and folders (IFolder,
// and IItem for the folder properties), with the identifiers of the object model's interfaces
// and its entry in the COM class table.
//
// A session starts at Logon, whose window receives the change messages of the folders whose
// PIMPR_FOLDERNOTIFICATIONS property is set, from any process (store.cpp keeps the
// registrations in pim.db); Logoff, or the release of the application object, ends it.
#include <cstring>

#include "com/comclass.h"
#include "kernel/clock.h"
#include "kernel/trace.h"
#include "pim/poom.h"
#include "pim/store.h"

extern "C" {
// {05058F23-20BE-11D2-8F18-0000F87A4335}
WINBASEAPI const CLSID CLSID_Application = {
    0x05058F23, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
// {05058F22-20BE-11D2-8F18-0000F87A4335}
WINBASEAPI const IID IID_IPOutlookApp = {
    0x05058F22, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
// {FB8998D0-38F0-4D12-AC56-4EC8FCE9F3D5}
WINBASEAPI const IID IID_IItem = {
    0xFB8998D0, 0x38F0, 0x4D12, {0xAC, 0x56, 0x4E, 0xC8, 0xFC, 0xE9, 0xF3, 0xD5}};
// The platform's own identifiers of the other interfaces.
WINBASEAPI const IID IID_IFolder = {
    0xEF185602, 0x80EA, 0x42A0, {0xB3, 0xCD, 0x78, 0x73, 0x92, 0xCF, 0x77, 0x26}};
WINBASEAPI const IID IID_IPOutlookItemCollection = {
    0xEC582472, 0x0979, 0x4A7B, {0x85, 0x7A, 0x5E, 0xFA, 0xB3, 0x87, 0x80, 0x10}};
WINBASEAPI const IID IID_IAppointment = {
    0x8660E3B1, 0xD36B, 0x48A9, {0x95, 0xA3, 0xE7, 0x3E, 0x56, 0xA6, 0xB3, 0x6D}};
WINBASEAPI const IID IID_ITask = {
    0x8C5900C5, 0x991F, 0x45A9, {0x93, 0x85, 0xDE, 0x2A, 0x84, 0x33, 0xA6, 0x3C}};
WINBASEAPI const IID IID_IContact = {
    0x7098064A, 0x9471, 0x4890, {0xB0, 0x52, 0x9E, 0xA9, 0x8F, 0x7C, 0x85, 0x28}};
WINBASEAPI const IID IID_IRecurrencePattern = {
    0xDFC5D182, 0x550E, 0x4C27, {0x96, 0x2D, 0xD8, 0x8F, 0xEC, 0x9A, 0xB9, 0x29}};
}

namespace ce::pim {

class Application final : public ComObject<IPOutlookApp> {
public:
    ~Application() override {
        if (loggedOn_ && window_) unwatchWindow(window_);
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return queryOne(riid, IID_IPOutlookApp, ppv);
    }
    STDMETHODIMP Logon(long hWnd) override {
        HWND hwnd = static_cast<HWND>(ULongToHandle(static_cast<ULONG>(hWnd)));
        if (loggedOn_ && window_ && window_ != hwnd) unwatchWindow(window_);
        window_ = hwnd;
        loggedOn_ = true;
        return S_OK;
    }
    STDMETHODIMP Logoff() override {
        if (!loggedOn_) return E_FAIL;
        if (window_) unwatchWindow(window_);
        loggedOn_ = false;
        window_ = nullptr;
        return S_OK;
    }
    STDMETHODIMP get_Version(BSTR* pbstrVersion) override {
        return toBstr(u"Pocket Outlook 6.1", pbstrVersion);
    }
    STDMETHODIMP GetDefaultFolder(int olFolder, IFolder** ppIFolder) override;
    STDMETHODIMP CreateItem(int olItem, IDispatch** ppPOutlookItem) override {
        if (!ppPOutlookItem) return E_POINTER;
        *ppPOutlookItem = nullptr;
        if (!loggedOn_) return E_FAIL;
        if (olItem != olAppointmentItem && olItem != olTaskItem && olItem != olContactItem)
            return E_INVALIDARG;
        *ppPOutlookItem = makeItemObject(this, newItem(static_cast<Kind>(olItem)));
        return S_OK;
    }
    STDMETHODIMP GetItemFromOid(long oid, IDispatch** ppPOutlookItem) override {
        if (!ppPOutlookItem) return E_POINTER;
        *ppPOutlookItem = nullptr;
        if (!loggedOn_) return E_FAIL;
        Item item;
        if (oid <= 0 || oid > 0xFFFFFFFFL || !loadItem(static_cast<uint32_t>(oid), &item))
            return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        *ppPOutlookItem = makeItemObject(this, std::move(item));
        return S_OK;
    }
    STDMETHODIMP get_OutlookCompatible(VARIANT_BOOL* pfCompat) override {
        if (!pfCompat) return E_POINTER;
        *pfCompat = VARIANT_TRUE;
        return S_OK;
    }
    STDMETHODIMP SysFreeString(BSTR bstr) override {
        ::SysFreeString(bstr);
        return S_OK;
    }
    STDMETHODIMP VariantTimeToSystemTime(DATE date, SYSTEMTIME* pst) override {
        if (!pst) return E_POINTER;
        return ::VariantTimeToSystemTime(date, pst) ? S_OK : E_INVALIDARG;
    }
    STDMETHODIMP SystemTimeToVariantTime(SYSTEMTIME* pst, DATE* pdate) override {
        if (!pst || !pdate) return E_POINTER;
        return ::SystemTimeToVariantTime(pst, pdate) ? S_OK : E_INVALIDARG;
    }
    STDMETHODIMP get_Application(IPOutlookApp** ppolApp) override {
        if (!ppolApp) return E_POINTER;
        AddRef();
        *ppolApp = this;
        return S_OK;
    }

    bool loggedOn() const { return loggedOn_; }
    HWND window() const { return window_; }

private:
    // A new item starts as the device's editors start one: an appointment at the next full
    // hour for one hour, a task and a contact empty.
    static Item newItem(Kind kind);

    bool loggedOn_ = false;
    HWND window_ = nullptr;
};

bool appLoggedOn(Application* app) {
    return app && app->loggedOn();
}
HWND appWindow(Application* app) {
    return app ? app->window() : nullptr;
}
IPOutlookApp* appInterface(Application* app) {
    return app;
}

namespace {

// One folder of the session.
class Folder final : public ComObject<IFolder> {
public:
    Folder(Application* app, int number, Kind kind) : app_(app), number_(number), kind_(kind) {
        app_->AddRef();
    }
    ~Folder() override { app_->Release(); }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP get_Items(IPOutlookItemCollection** ppolItems) override {
        if (!ppolItems) return E_POINTER;
        *ppolItems = makeCollection(app_, kind_);
        return S_OK;
    }
    STDMETHODIMP get_DefaultItemType(int* polItem) override {
        if (!polItem) return E_POINTER;
        *polItem = static_cast<int>(kind_);
        return S_OK;
    }
    STDMETHODIMP get_Application(IPOutlookApp** ppolApp) override {
        return app_->get_Application(ppolApp);
    }
    STDMETHODIMP AddItemToInfraredFolder(int, IDispatch*) override { return E_NOTIMPL; }
    STDMETHODIMP SendToInfrared() override { return E_NOTIMPL; }
    STDMETHODIMP ReceiveFromInfrared(IPOutlookItemCollection** ppItems) override {
        if (ppItems) *ppItems = nullptr;
        return E_NOTIMPL;
    }

    Application* app() const { return app_; }
    int number() const { return number_; }
    Kind kind() const { return kind_; }

private:
    Application* app_;
    int number_;
    Kind kind_;
};

// The folder's properties (IItem of a folder).
class FolderProps final : public ComObject<IItem> {
public:
    explicit FolderProps(Folder* folder) : folder_(folder) { folder_->AddRef(); }
    ~FolderProps() override { folder_->Release(); }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv && IsEqualGUID(riid, IID_IFolder)) return folder_->QueryInterface(riid, ppv);
        return queryOne(riid, IID_IItem, ppv);
    }
    STDMETHODIMP GetProps(const CEPROPID* rgPropID, ULONG ulFlags, WORD cProps, CEPROPVAL** prgVals,
                          ULONG* pcbBuffer, HANDLE hHeap) override;
    STDMETHODIMP SetProps(ULONG ulFlags, WORD cProps, CEPROPVAL* rgVals) override;
    STDMETHODIMP Save() override { return S_OK; }
    STDMETHODIMP Delete() override { return E_ACCESSDENIED; }
    STDMETHODIMP Display(HWND) override { return displayItem(folder_->kind(), 0); }
    STDMETHODIMP get_Oid(CEOID* poid) override {
        if (!poid) return E_POINTER;
        *poid = static_cast<CEOID>(folder_->number());
        return S_OK;
    }
    STDMETHODIMP get_DefaultItemType(int* polItem) override {
        return folder_->get_DefaultItemType(polItem);
    }
    STDMETHODIMP get_Application(IPOutlookApp** ppolApp) override {
        return folder_->get_Application(ppolApp);
    }

private:
    Folder* folder_;
};

HRESULT Folder::QueryInterface(REFIID riid, void** ppv) {
    if (ppv && IsEqualGUID(riid, IID_IItem)) {
        *ppv = static_cast<IItem*>(makeObject<FolderProps>(this));
        return S_OK;
    }
    return queryOne(riid, IID_IFolder, ppv);
}

// Writes the property values into one block: the CEPROPVAL array, then the texts.
HRESULT FolderProps::GetProps(const CEPROPID* rgPropID, ULONG ulFlags, WORD cProps,
                              CEPROPVAL** prgVals, ULONG* pcbBuffer, HANDLE hHeap) {
    if (!rgPropID || !prgVals || !pcbBuffer || cProps == 0) return E_INVALIDARG;
    if (ulFlags & ~static_cast<ULONG>(CEDB_ALLOWREALLOC)) return E_INVALIDARG;
    std::vector<std::u16string> texts(cProps);
    size_t needed = sizeof(CEPROPVAL) * cProps;
    for (WORD i = 0; i < cProps; ++i) {
        if (rgPropID[i] == PIMPR_FOLDER_CATEGORIES) {
            texts[i] = folderCategories(folder_->number());
            needed += (texts[i].size() + 1) * sizeof(WCHAR);
        }
    }
    if (needed > 0xFFFFFFFFu) return E_OUTOFMEMORY;
    bool allocate = (ulFlags & CEDB_ALLOWREALLOC) != 0;
    if (!*prgVals || *pcbBuffer < needed) {
        if (!allocate) {
            *pcbBuffer = static_cast<ULONG>(needed);
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        HANDLE heap = hHeap ? hHeap : GetProcessHeap();
        void* block =
            *prgVals ? HeapReAlloc(heap, 0, *prgVals, needed) : HeapAlloc(heap, 0, needed);
        if (!block) return E_OUTOFMEMORY;
        *prgVals = static_cast<CEPROPVAL*>(block);
    }
    *pcbBuffer = static_cast<ULONG>(needed);
    CEPROPVAL* vals = *prgVals;
    auto* strings = reinterpret_cast<WCHAR*>(vals + cProps);
    for (WORD i = 0; i < cProps; ++i) {
        CEPROPVAL& v = vals[i];
        memset(&v, 0, sizeof v);
        v.propid = rgPropID[i];
        if (rgPropID[i] == PIMPR_FOLDER_CATEGORIES) {
            memcpy(strings, texts[i].c_str(), (texts[i].size() + 1) * sizeof(WCHAR));
            v.val.lpwstr = strings;
            v.wLenData = 0;
            strings += texts[i].size() + 1;
        } else if (rgPropID[i] == PIMPR_FOLDERNOTIFICATIONS) {
            HWND w = appWindow(folder_->app());
            v.val.ulVal = w ? watchedFlags(w, folder_->number()) : 0;
        } else {
            v.wFlags = CEDB_PROPNOTFOUND;
        }
    }
    return S_OK;
}

HRESULT FolderProps::SetProps(ULONG ulFlags, WORD cProps, CEPROPVAL* rgVals) {
    if (!rgVals || cProps == 0) return E_INVALIDARG;
    for (WORD i = 0; i < cProps; ++i)
        if (rgVals[i].propid != PIMPR_FOLDERNOTIFICATIONS) return E_INVALIDARG;
    if (!appLoggedOn(folder_->app())) return E_FAIL;
    HWND w = appWindow(folder_->app());
    for (WORD i = 0; i < cProps; ++i) {
        ULONG flags = rgVals[i].val.ulVal & PIMFOLDERNOTIFICATION_ALL;
        // Without a log-on window there is nowhere to post: the setting has no effect.
        if (w && !watchFolder(w, folder_->number(), flags)) return E_FAIL;
    }
    return S_OK;
}

HRESULT createApplication(REFIID riid, void** ppv) {
    Application* app = makeObject<Application>();
    HRESULT hr = app->QueryInterface(riid, ppv);
    app->Release();
    return hr;
}

const ce::com::ClassRegistration registerApplication(CLSID_Application, createApplication);

} // namespace

HRESULT Application::GetDefaultFolder(int olFolder, IFolder** ppIFolder) {
    if (!ppIFolder) return E_POINTER;
    *ppIFolder = nullptr;
    if (!loggedOn_) return E_FAIL;
    Kind kind;
    if (!kindOfFolder(olFolder, &kind)) {
        CE_FIXME("pim", "folder %d is not provided", olFolder);
        return E_INVALIDARG;
    }
    *ppIFolder = makeObject<Folder>(this, olFolder, kind);
    return S_OK;
}

Item Application::newItem(Kind kind) {
    Item item(kind);
    if (kind == Kind::Appointment) {
        int64_t now = deviceLocalNow();
        int64_t hour = 60 * kFileTimePerMinute;
        item.date[Start] = (now / hour + 1) * hour;
        item.date[End] = item.date[Start] + hour;
    }
    return item;
}

} // namespace ce::pim
