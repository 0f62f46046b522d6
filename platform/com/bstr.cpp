// bstr.cpp: automation strings (BSTR) and variants.
//
// A BSTR is allocated as one block: a 32-bit byte count, the characters, and a terminating
// zero; the BSTR itself points at the first character, so it reads as a plain wide string.
// The byte count lets a BSTR carry embedded zeros and gives SysStringLen without a scan.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "objbase.h"

namespace {

// The largest string we allocate (characters): well below what a 32-bit byte count holds.
constexpr UINT kMaxBstrChars = (1u << 30) / sizeof(OLECHAR);

BSTR allocate(const OLECHAR* pch, UINT chars) {
    if (chars > kMaxBstrChars) return nullptr;
    size_t bytes = sizeof(uint32_t) + (static_cast<size_t>(chars) + 1) * sizeof(OLECHAR);
    auto* block = static_cast<uint8_t*>(malloc(bytes));
    if (!block) return nullptr;
    uint32_t byteCount = chars * sizeof(OLECHAR);
    memcpy(block, &byteCount, sizeof byteCount);
    auto* text = reinterpret_cast<OLECHAR*>(block + sizeof(uint32_t));
    if (pch)
        memcpy(text, pch, chars * sizeof(OLECHAR));
    else
        memset(text, 0, chars * sizeof(OLECHAR));
    text[chars] = 0;
    return text;
}

size_t wideLength(const OLECHAR* s) {
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

uint8_t* blockOf(BSTR b) {
    return reinterpret_cast<uint8_t*>(b) - sizeof(uint32_t);
}

} // namespace

WINOLEAUTAPI_(BSTR) SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    size_t n = wideLength(psz);
    if (n > kMaxBstrChars) return nullptr;
    return allocate(psz, static_cast<UINT>(n));
}

WINOLEAUTAPI_(BSTR) SysAllocStringLen(const OLECHAR* pch, UINT ui) {
    return allocate(pch, ui);
}

WINOLEAUTAPI_(INT) SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (!pbstr) return FALSE;
    BSTR fresh = SysAllocString(psz);
    if (psz && !fresh) return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

WINOLEAUTAPI_(void) SysFreeString(BSTR bstrString) {
    if (bstrString) free(blockOf(bstrString));
}

WINOLEAUTAPI_(UINT) SysStringByteLen(BSTR bstr) {
    if (!bstr) return 0;
    uint32_t bytes;
    memcpy(&bytes, blockOf(bstr), sizeof bytes);
    return bytes;
}

WINOLEAUTAPI_(UINT) SysStringLen(BSTR bstr) {
    return SysStringByteLen(bstr) / sizeof(OLECHAR);
}

WINOLEAUTAPI_(void) VariantInit(VARIANTARG* pvarg) {
    if (!pvarg) return;
    memset(pvarg, 0, sizeof *pvarg);
    pvarg->vt = VT_EMPTY;
}

WINOLEAUTAPI VariantClear(VARIANTARG* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    switch (pvarg->vt) {
    case VT_BSTR: SysFreeString(pvarg->bstrVal); break;
    case VT_DISPATCH:
        if (pvarg->pdispVal) pvarg->pdispVal->Release();
        break;
    case VT_UNKNOWN:
        if (pvarg->punkVal) pvarg->punkVal->Release();
        break;
    default: break;
    }
    VariantInit(pvarg);
    return S_OK;
}
