// regext.cpp: the value helpers of regext.h (RegistryGetDWORD and its kin), built on the Reg*
// functions as the broker's own helpers are: open the key, act, close.
//
// They answer HRESULTs: E_INVALIDARG for a bad key or pointer, E_DATATYPE_MISMATCH when the
// value has another type, and a registry error wrapped as a FACILITY_WIN32 HRESULT otherwise.
// A failed call changes nothing, neither the caller's buffer nor the registry.
#include <cstring>
#include <string>
#include <vector>

#include "regext.h"
#include "registry/regkeys.h"

namespace {

// Opens hKey\pszSubKey for the call; a null subkey uses hKey itself.
class KeyForCall {
public:
    KeyForCall(HKEY hKey, LPCWSTR pszSubKey) {
        ce::reg::OpenKey key;
        if (ce::reg::resolveKey(hKey, &key) != ERROR_SUCCESS) {
            result_ = E_INVALIDARG;
            return;
        }
        if (!pszSubKey) {
            key_ = hKey;
            return;
        }
        LONG r = RegOpenKeyExW(hKey, pszSubKey, 0, 0, &opened_);
        if (r != ERROR_SUCCESS) {
            result_ = HRESULT_FROM_WIN32(r);
            return;
        }
        key_ = opened_;
    }
    ~KeyForCall() {
        if (opened_) RegCloseKey(opened_);
    }
    KeyForCall(const KeyForCall&) = delete;
    KeyForCall& operator=(const KeyForCall&) = delete;

    HRESULT result() const { return result_; }
    HKEY key() const { return key_; }

private:
    HRESULT result_ = S_OK;
    HKEY key_ = nullptr;
    HKEY opened_ = nullptr;
};

// Reads a whole value; the registry error as an HRESULT on failure.
HRESULT readValue(HKEY key, LPCWSTR name, DWORD* type, std::vector<BYTE>* data) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LONG r = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
        if (r != ERROR_SUCCESS) return HRESULT_FROM_WIN32(r);
        data->assign(size, 0);
        r = RegQueryValueExW(key, name, nullptr, type, data->data(), &size);
        if (r == ERROR_MORE_DATA) continue; // rewritten meanwhile by another process
        if (r != ERROR_SUCCESS) return HRESULT_FROM_WIN32(r);
        data->resize(size);
        return S_OK;
    }
    return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
}

} // namespace

WINBASEAPI HRESULT RegistryGetDWORD(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                    DWORD* pdwData) {
    if (!pdwData) return E_INVALIDARG;
    KeyForCall k(hKey, pszSubKey);
    if (FAILED(k.result())) return k.result();
    DWORD type = 0;
    std::vector<BYTE> data;
    HRESULT hr = readValue(k.key(), pszValueName, &type, &data);
    if (FAILED(hr)) return hr;
    if (type != REG_DWORD || data.size() != sizeof(DWORD)) return E_DATATYPE_MISMATCH;
    memcpy(pdwData, data.data(), sizeof(DWORD));
    return S_OK;
}

// Copies a REG_SZ value with its terminator (added when the stored text lacks one); a buffer
// of cchData characters too small for it is E_INSUFFICIENT_BUFFER and is left alone.
WINBASEAPI HRESULT RegistryGetString(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                     LPWSTR pszData, UINT cchData) {
    if (!pszData) return E_INVALIDARG;
    KeyForCall k(hKey, pszSubKey);
    if (FAILED(k.result())) return k.result();
    DWORD type = 0;
    std::vector<BYTE> data;
    HRESULT hr = readValue(k.key(), pszValueName, &type, &data);
    if (FAILED(hr)) return hr;
    if (type != REG_SZ) return E_DATATYPE_MISMATCH;
    std::u16string text(data.size() / sizeof(WCHAR), u'\0');
    if (!text.empty()) memcpy(text.data(), data.data(), text.size() * sizeof(WCHAR));
    size_t end = text.find(u'\0');
    if (end != std::u16string::npos) text.resize(end);
    if (text.size() + 1 > cchData) return E_INSUFFICIENT_BUFFER;
    memcpy(pszData, text.data(), text.size() * sizeof(WCHAR));
    pszData[text.size()] = 0;
    return S_OK;
}

// Writes a REG_DWORD into an existing key; an existing value of another type is not replaced.
WINBASEAPI HRESULT RegistrySetDWORD(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                    DWORD dwData) {
    KeyForCall k(hKey, pszSubKey);
    if (FAILED(k.result())) return k.result();
    DWORD type = 0;
    LONG r = RegQueryValueExW(k.key(), pszValueName, nullptr, &type, nullptr, nullptr);
    if (r == ERROR_SUCCESS && type != REG_DWORD) return E_DATATYPE_MISMATCH;
    if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(r);
    r = RegSetValueExW(k.key(), pszValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwData),
                       sizeof dwData);
    return r == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(r);
}

// Writes a REG_SZ (with its terminator) into an existing key; an existing value of another type
// is not replaced.
WINBASEAPI HRESULT RegistrySetString(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                     LPCWSTR pszData) {
    if (!pszData) return E_INVALIDARG;
    KeyForCall k(hKey, pszSubKey);
    if (FAILED(k.result())) return k.result();
    DWORD type = 0;
    LONG r = RegQueryValueExW(k.key(), pszValueName, nullptr, &type, nullptr, nullptr);
    if (r == ERROR_SUCCESS && type != REG_SZ) return E_DATATYPE_MISMATCH;
    if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(r);
    size_t chars = std::char_traits<char16_t>::length(pszData) + 1;
    if (chars * sizeof(WCHAR) > ce::reg::kMaxValueBytes) return E_INVALIDARG;
    r = RegSetValueExW(k.key(), pszValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszData),
                       static_cast<DWORD>(chars * sizeof(WCHAR)));
    return r == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(r);
}
