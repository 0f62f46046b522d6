// regext.h: registry value helpers and value change notifications (the state and
// notifications broker of Windows Mobile).
//
// A registration watches one value, named by a root or open key, a subkey and a value name; the
// key need not exist yet. When the value changes (by any process of the device) and the
// registration's condition holds for the new value, the window gets the message with wParam =
// the new DWORD value and lParam = the user data, or the callback is called with the new data.
// Registrations are transient: they end with RegistryCloseNotification or with their process.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "winreg.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef HANDLE HREGNOTIFY;

#ifndef ERROR_DATATYPE_MISMATCH
#define ERROR_DATATYPE_MISMATCH 1629L
#endif
#ifndef E_DATATYPE_MISMATCH
#define E_DATATYPE_MISMATCH ((HRESULT)0x8007065DL)
#endif
#ifndef E_INSUFFICIENT_BUFFER
#define E_INSUFFICIENT_BUFFER ((HRESULT)0x8007007AL)
#endif

typedef enum tagREG_COMPARISONTYPE {
    REG_CT_ANYCHANGE,
    REG_CT_EQUAL,
    REG_CT_NOT_EQUAL,
    REG_CT_GREATER,
    REG_CT_GREATER_OR_EQUAL,
    REG_CT_LESS,
    REG_CT_LESS_OR_EQUAL,
    REG_CT_CONTAINS,
    REG_CT_STARTS_WITH,
    REG_CT_ENDS_WITH
} REG_COMPARISONTYPE;

// The condition of a registration. For a REG_DWORD value, dwMask is applied to the new value
// before it is compared with TargetValue.dw; a zero mask means the target is the string
// TargetValue.psz, compared with a REG_SZ value. Values of other types notify on any change.
typedef struct tagNOTIFICATIONCONDITION {
    REG_COMPARISONTYPE ctComparisonType;
    DWORD dwMask;
    union {
        LPCWSTR psz;
        DWORD dw;
    } TargetValue;
} NOTIFICATIONCONDITION;

// The callback of RegistryNotifyCallback: pData is the new data, null (with cbData 0) when the
// value was deleted.
typedef void (*REGISTRYNOTIFYCALLBACK)(HREGNOTIFY hNotify, DWORD dwUserData, const PBYTE pData,
                                       const UINT cbData);

WINBASEAPI HRESULT RegistryGetDWORD(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                    DWORD* pdwData);
WINBASEAPI HRESULT RegistryGetString(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                     LPWSTR pszData, UINT cchData);
WINBASEAPI HRESULT RegistrySetDWORD(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                    DWORD dwData);
WINBASEAPI HRESULT RegistrySetString(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                     LPCWSTR pszData);

WINBASEAPI HRESULT RegistryNotifyWindow(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                        HWND hWnd, UINT msg, DWORD dwUserData,
                                        NOTIFICATIONCONDITION* pCondition, HREGNOTIFY* phNotify);
WINBASEAPI HRESULT RegistryNotifyCallback(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                          REGISTRYNOTIFYCALLBACK pfnRegistryNotifyCallback,
                                          DWORD dwUserData, NOTIFICATIONCONDITION* pCondition,
                                          HREGNOTIFY* phNotify);
WINBASEAPI HRESULT RegistryCloseNotification(HREGNOTIFY hNotify);

#ifdef __cplusplus
}
#endif
