// shimage.cpp: the shell's two image-file loaders (aygshell.dll): SHLoadDIBitmap for Windows
// bitmap files and the image-file loader of ordinal 75, SHLoadImageFile, which decodes every
// format of the imaging library and so needs that library on the device.
#include <vector>

#include "aygshell.h"
#include "gdi/imgdecode.h"
#include "kernel/modules.h"
#include "kernel/trace.h"

namespace {

// The decoded file, or false with the thread's last error set.
bool loadFile(LPCWSTR path, bool bmpOnly, ce::image::Decoded* out) {
    std::vector<uint8_t> data;
    DWORD error = 0;
    if (!ce::image::readDeviceFile(path, &data, &error)) {
        SetLastError(error);
        return false;
    }
    if (bmpOnly && ce::image::sniffFormat(data.data(), data.size()) != ce::image::Format::Bmp) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    std::string why;
    if (!ce::image::decode(data.data(), data.size(), out, &why)) {
        CE_TRACE("imaging", "%s", why.c_str());
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    return true;
}

} // namespace

// A 32-bit file keeps its 32 bits (its alpha as stored, opaque where the file has none);
// every other depth becomes a 24-bit DIB section, the device's GDI having no 4-, 8- or 16-bit
// bitmaps.
WINUSERAPI HBITMAP SHLoadDIBitmap(LPCWSTR szFileName) {
    ce::image::Decoded decoded;
    if (!loadFile(szFileName, true, &decoded)) return nullptr;
    return ce::image::makeDibSection(decoded.pixels, decoded.fileBits == 32 ? 32 : 24);
}

WINUSERAPI HBITMAP SHLoadImageFile(LPCWSTR pszFileName) {
    if (ce::isLibraryWithdrawn("Imaging.dll")) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ce::image::Decoded decoded;
    if (!loadFile(pszFileName, false, &decoded)) return nullptr;
    return ce::image::makeDibSection(ce::image::flatten(decoded.pixels, 0xFFFFFF), 24);
}
