// objbase.h: the Component Object Model as the device's programs use it: interface
// identifiers, IUnknown, the in-process class table (CoCreateInstance), and the automation
// types that object models hand out (BSTR, VARIANT_BOOL, DATE, IDispatch).
//
// Only in-process servers exist on the device: every class is built into the platform and
// created in the caller's own process. Interfaces are C++ classes with pure virtual methods,
// so a program calls them as COM code does (pApp->Logon(hwnd)) and one object's vtable is the
// interface. Values from the public COM documentation.
#pragma once

#include "windows.h"

// ---- Interface declarations ------------------------------------------------------------------
#define interface struct
#define STDMETHODCALLTYPE
#define STDMETHODVCALLTYPE
#define STDAPICALLTYPE
#define PURE                   = 0
#define STDMETHOD(method)      virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, meth) virtual type STDMETHODCALLTYPE meth
#define STDMETHODIMP           HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type)    type STDMETHODCALLTYPE
#define STDAPI                 ZV_EXTERN_C __attribute__((visibility("default"))) HRESULT
#define STDAPI_(type)          ZV_EXTERN_C __attribute__((visibility("default"))) type
#define WINOLEAPI              STDAPI
#define WINOLEAPI_(type)       STDAPI_(type)
#define WINOLEAUTAPI           STDAPI
#define WINOLEAUTAPI_(type)    STDAPI_(type)

// ---- Identifiers -----------------------------------------------------------------------------
typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID, *LPGUID;
typedef GUID IID, CLSID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;

#ifdef __cplusplus
#define REFGUID  const GUID&
#define REFIID   const IID&
#define REFCLSID const CLSID&
inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           a.Data4[0] == b.Data4[0] && a.Data4[1] == b.Data4[1] && a.Data4[2] == b.Data4[2] &&
           a.Data4[3] == b.Data4[3] && a.Data4[4] == b.Data4[4] && a.Data4[5] == b.Data4[5] &&
           a.Data4[6] == b.Data4[6] && a.Data4[7] == b.Data4[7];
}
inline bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b);
}
inline bool operator!=(REFGUID a, REFGUID b) {
    return !IsEqualGUID(a, b);
}
#define IsEqualIID(a, b)   IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
#endif

// ---- HRESULT values of COM and automation ----------------------------------------------------
#define CLASS_E_NOAGGREGATION     ((HRESULT)0x80040110L)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111L)
#define REGDB_E_CLASSNOTREG       ((HRESULT)0x80040154L)
#define CO_E_NOTINITIALIZED       ((HRESULT)0x800401F0L)
#define RPC_E_CHANGED_MODE        ((HRESULT)0x80010106L)
#define DISP_E_MEMBERNOTFOUND     ((HRESULT)0x80020003L)
#define DISP_E_BADINDEX           ((HRESULT)0x8002000BL)
#define DISP_E_TYPEMISMATCH       ((HRESULT)0x80020005L)

// ---- COM library -----------------------------------------------------------------------------
typedef enum tagCOINIT {
    COINIT_MULTITHREADED = 0x0,
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_DISABLE_OLE1DDE = 0x4,
    COINIT_SPEED_OVER_MEMORY = 0x8,
} COINIT;

#define CLSCTX_INPROC_SERVER  0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER   0x4
#define CLSCTX_REMOTE_SERVER  0x10
#define CLSCTX_INPROC         (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER         (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL            (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER)

#ifdef __cplusplus
// The root of every interface: identity and lifetime.
interface IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)() PURE;
    STDMETHOD_(ULONG, Release)() PURE;
};
typedef IUnknown* LPUNKNOWN;

extern "C" {
WINBASEAPI const IID IID_IUnknown;
WINBASEAPI const IID IID_IDispatch;
}
#endif

// Enters COM on the calling thread. S_OK the first time, S_FALSE when the thread already is
// in COM with the same model, RPC_E_CHANGED_MODE when it entered with the other one.
WINOLEAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
// Leaves COM once for each successful CoInitializeEx of the thread.
WINOLEAPI_(void) CoUninitialize(void);
#ifdef __cplusplus
// Creates an object of a class built into the platform and returns its interface riid.
// CO_E_NOTINITIALIZED when the thread has not entered COM, REGDB_E_CLASSNOTREG for an unknown
// class or a context without CLSCTX_INPROC_SERVER, CLASS_E_NOAGGREGATION with an outer object,
// E_NOINTERFACE when the class lacks riid.
WINOLEAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                           LPVOID* ppv);
#endif
// Memory that crosses interfaces: freed by whoever receives it.
WINOLEAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb);
WINOLEAPI_(void) CoTaskMemFree(LPVOID pv);

// ---- Automation types ------------------------------------------------------------------------
// A BSTR points at UTF-16 text preceded by its length in bytes (a 32-bit count just before
// the first character) and followed by a terminating zero.
typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef OLECHAR* BSTR;
typedef BSTR* LPBSTR;

typedef short VARIANT_BOOL;
#define VARIANT_TRUE  ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

typedef LONG DISPID;
typedef unsigned short VARTYPE;

enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_UNKNOWN = 13,
};

#ifdef __cplusplus
interface IDispatch;
#else
typedef struct IDispatch IDispatch;
typedef struct IUnknown IUnknown;
#endif

typedef struct tagVARIANT {
    VARTYPE vt;
    WORD wReserved1, wReserved2, wReserved3;
    union {
        LONG lVal;
        SHORT iVal;
        double dblVal;
        DATE date;
        BSTR bstrVal;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        IUnknown* punkVal;
        IDispatch* pdispVal;
    };
} VARIANT, *LPVARIANT, VARIANTARG;

typedef struct tagDISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
} DISPPARAMS;

typedef struct tagEXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    PVOID pvReserved;
    HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(struct tagEXCEPINFO*);
    HRESULT scode;
} EXCEPINFO;

#ifdef __cplusplus
interface ITypeInfo; // type libraries are not provided on the device

// Late-bound access to an object's members. The device's object models are called through
// their own interfaces; their IDispatch members answer E_NOTIMPL.
interface IDispatch : public IUnknown {
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) PURE;
    STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) PURE;
    STDMETHOD(GetIDsOfNames)
    (REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) PURE;
    STDMETHOD(Invoke)
    (DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) PURE;
};
#endif

// A new BSTR holding a copy of psz (up to its terminator); NULL for NULL or no memory.
WINOLEAUTAPI_(BSTR) SysAllocString(const OLECHAR* psz);
// A new BSTR of ui characters copied from pch (or left zero when pch is NULL).
WINOLEAUTAPI_(BSTR) SysAllocStringLen(const OLECHAR* pch, UINT ui);
// Replaces *pbstr with a copy of psz; FALSE (and *pbstr unchanged) without memory.
WINOLEAUTAPI_(INT) SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
WINOLEAUTAPI_(void) SysFreeString(BSTR bstrString);
// The length in characters (0 for NULL), and in bytes.
WINOLEAUTAPI_(UINT) SysStringLen(BSTR bstr);
WINOLEAUTAPI_(UINT) SysStringByteLen(BSTR bstr);

// VARIANT lifetime: VariantInit empties; VariantClear frees what it holds (BSTR, interface).
WINOLEAUTAPI_(void) VariantInit(VARIANTARG* pvarg);
WINOLEAUTAPI VariantClear(VARIANTARG* pvarg);
