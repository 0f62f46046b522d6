// lib_imgdecmp.cpp: Imgdecmp.dll, the device's image-decompression library, as a built-in
// system library: DecompressImageIndirect turns BMP, PNG, JPEG and GIF data, fed through the
// caller's callback, into a GDI bitmap of the caller's colour depth.
//
// Programs find it with LoadLibrary("Imgdecmp.dll") and GetProcAddress; a device profile that
// withdraws "Imgdecmp.dll" removes both the library and its file \Windows\Imgdecmp.dll.
#include <algorithm>
#include <vector>

#include "gdi/imgdecode.h"
#include "imgdecmp.h"
#include "kernel/modules.h"
#include "kernel/trace.h"

namespace ce {
namespace {

// The record as the 32-bit device lays it out: 15 members of 4 bytes.
constexpr DWORD kDeviceRecordSize = 60;
constexpr DWORD kOwnBufferSize = 8192;

// Collects the encoded image: first what the caller's buffer already holds, then chunks from
// the data callback (or ReadFile on the handle in lParam) until it reports no more. False with
// E_OUTOFMEMORY past the largest file the decoders accept.
HRESULT collectData(const DecompressImageInfo& info, std::vector<uint8_t>* data) {
    if (info.pbBuffer && info.dwBufferCurrent)
        data->assign(info.pbBuffer,
                     info.pbBuffer + std::min(info.dwBufferCurrent, info.dwBufferMax));
    std::vector<uint8_t> own;
    uint8_t* buffer = info.pbBuffer;
    DWORD capacity = info.dwBufferMax;
    if (!buffer || capacity == 0) {
        own.resize(kOwnBufferSize);
        buffer = own.data();
        capacity = kOwnBufferSize;
    }
    for (;;) {
        DWORD got = 0;
        if (info.pfnGetData) {
            got = info.pfnGetData(reinterpret_cast<LPSTR>(buffer), capacity, info.lParam);
        } else if (!ReadFile(reinterpret_cast<HANDLE>(info.lParam), buffer, capacity, &got,
                             nullptr)) {
            got = 0;
        }
        if (got == 0) break;
        got = std::min(got, capacity); // a callback that claims more than fits
        if (data->size() + got > image::kMaxFileBytes) return E_OUTOFMEMORY;
        data->insert(data->end(), buffer, buffer + got);
    }
    return S_OK;
}

// The output size: iScale percent of the image (at least one pixel), then shrunk to fit the
// maximum width and height with the aspect ratio kept.
SIZE outputSize(const DecompressImageInfo& info, int width, int height) {
    int scale = info.iScale <= 0 || info.iScale > 100 ? 100 : info.iScale;
    int64_t w = std::max<int64_t>(1, static_cast<int64_t>(width) * scale / 100);
    int64_t h = std::max<int64_t>(1, static_cast<int64_t>(height) * scale / 100);
    if (info.iMaxWidth > 0 && w > info.iMaxWidth) {
        h = std::max<int64_t>(1, h * info.iMaxWidth / w);
        w = info.iMaxWidth;
    }
    if (info.iMaxHeight > 0 && h > info.iMaxHeight) {
        w = std::max<int64_t>(1, w * info.iMaxHeight / h);
        h = info.iMaxHeight;
    }
    return SIZE{static_cast<LONG>(w), static_cast<LONG>(h)};
}

} // namespace
} // namespace ce

// The record's size may be the 32-bit device's 60 bytes (what programs written for the device
// put there) or this build's own sizeof. Progressive rendering (ppImageRender) is not
// provided: the object pointer is set to NULL and the bitmap is made whole.
WINBASEAPI HRESULT DecompressImageIndirect(DecompressImageInfo* pParams) {
    using namespace ce;
    if (!pParams) return E_INVALIDARG;
    const DecompressImageInfo& info = *pParams;
    if (info.dwSize != kDeviceRecordSize && info.dwSize != sizeof(DecompressImageInfo))
        return E_INVALIDARG;
    if (info.ppImageRender) *info.ppImageRender = nullptr;
    if (!info.phBM) return E_INVALIDARG;
    *info.phBM = nullptr;
    switch (info.iBitDepth) {
    case 1:
    case 24:
    case 32: break;
    case 2:
    case 4:
    case 8:
    case 16: CE_FIXME("imaging", "%d-bit output is made as 32-bit", info.iBitDepth); break;
    default: return E_INVALIDARG;
    }
    if (!info.pfnGetData && (info.lParam == 0 || info.lParam == -1)) return E_INVALIDARG;

    std::vector<uint8_t> data;
    HRESULT hr = collectData(info, &data);
    if (FAILED(hr)) return hr;
    image::Decoded decoded;
    std::string why;
    if (!image::decode(data.data(), data.size(), &decoded, &why)) {
        CE_TRACE("imaging", "DecompressImageIndirect: %s", why.c_str());
        if (info.pfnImageProgress) info.pfnImageProgress(nullptr, TRUE, info.lParam);
        return E_FAIL;
    }
    SIZE size = outputSize(info, decoded.pixels.width, decoded.pixels.height);
    Surface pixels = image::flatten(image::scale(decoded.pixels, size.cx, size.cy), 0xFFFFFF);
    int bpp = info.iBitDepth == 1 || info.iBitDepth == 24 ? info.iBitDepth : 32;
    HBITMAP bitmap = image::makeDibSection(pixels, bpp);
    if (info.pfnImageProgress) info.pfnImageProgress(nullptr, TRUE, info.lParam);
    if (!bitmap) return E_OUTOFMEMORY;
    *info.phBM = bitmap;
    return S_OK;
}

namespace ce {
namespace {

const BuiltinExport kImgdecmpExports[] = {
    {0, "DecompressImageIndirect", reinterpret_cast<void*>(&DecompressImageIndirect)},
};
const BuiltinLibrary kImgdecmp{"Imgdecmp.dll", kImgdecmpExports,
                               sizeof kImgdecmpExports / sizeof kImgdecmpExports[0], false};
const BuiltinLibraryRegistration registerImgdecmp(kImgdecmp);

} // namespace
} // namespace ce
