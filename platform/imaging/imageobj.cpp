// imageobj.cpp: the imaging library's image objects: IImage over a decoded file, and the
// bitmap image (IBitmapImage, also an IImage) whose pixels a program locks in a format of its
// choice.
//
// Both keep their pixels as straight 32-bit ARGB. A lock hands out a copy in the requested
// format (or converts into the caller's buffer with ImageLockModeUserInputBuf); unlocking a
// lock taken for writing converts the copy back, so a program never holds a pointer into the
// object's own storage after UnlockBits.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include "imaging/objects.h"
#include "kernel/trace.h"
#include "wingdi.h"
#include "winsystem.h"

namespace ce::imaging {
namespace {

// ImageInfo for pixels of a natural format, resolution and source.
ImageInfo infoOf(const GUID& raw, PixelFormatID format, int width, int height, double dpiX,
                 double dpiY, UINT flags) {
    ImageInfo info{};
    info.RawDataFormat = raw;
    info.PixelFormat = format;
    info.Width = static_cast<UINT>(width);
    info.Height = static_cast<UINT>(height);
    info.TileWidth = info.Width;
    info.TileHeight = info.Height;
    info.Xdpi = dpiX;
    info.Ydpi = dpiY;
    info.Flags = flags;
    return info;
}

const GUID& rawFormatOf(image::Format f) {
    switch (f) {
    case image::Format::Bmp: return ImageFormatBMP;
    case image::Format::Png: return ImageFormatPNG;
    case image::Format::Jpeg: return ImageFormatJPEG;
    case image::Format::Gif: return ImageFormatGIF;
    case image::Format::Unknown: break;
    }
    return ImageFormatMemoryBMP;
}

// IImage::Draw for straight ARGB pixels: the part srcRect names (0.01 mm at the image's
// resolution; NULL: all), scaled to dstRect and blended over the destination.
HRESULT drawPixels(const Surface& pixels, double dpiX, double dpiY, HDC hdc, const RECT* dstRect,
                   const RECT* srcRect) {
    if (!hdc || !dstRect) return E_INVALIDARG;
    int dw = dstRect->right - dstRect->left, dh = dstRect->bottom - dstRect->top;
    if (dw <= 0 || dh <= 0) return E_INVALIDARG;
    if (static_cast<uint64_t>(dw) * static_cast<uint64_t>(dh) > image::kMaxPixels)
        return E_OUTOFMEMORY;
    RECT src{0, 0, pixels.width, pixels.height};
    if (srcRect) {
        auto px = [](LONG himetric, double dpi) {
            return static_cast<LONG>(std::lround(himetric * dpi / 2540.0));
        };
        src = RECT{px(srcRect->left, dpiX), px(srcRect->top, dpiY), px(srcRect->right, dpiX),
                   px(srcRect->bottom, dpiY)};
        if (src.left < 0 || src.top < 0 || src.right > pixels.width || src.bottom > pixels.height ||
            src.right <= src.left || src.bottom <= src.top)
            return E_INVALIDARG;
    }
    Surface part(src.right - src.left, src.bottom - src.top, 0);
    for (int y = 0; y < part.height; ++y)
        std::copy_n(pixels.row(src.top + y) + src.left, part.width, part.row(y));
    Surface scaled = image::scale(part, dw, dh);
    for (uint32_t& p : scaled.pixels) { // AlphaBlend takes premultiplied colours
        uint32_t a = p >> 24;
        p = (a << 24) | ((((p >> 16) & 0xFF) * a / 255) << 16) |
            ((((p >> 8) & 0xFF) * a / 255) << 8) | ((p & 0xFF) * a / 255);
    }
    HBITMAP bitmap = image::makeDibSection(scaled, 32);
    if (!bitmap) return E_OUTOFMEMORY;
    HDC mem = CreateCompatibleDC(hdc);
    HGDIOBJ old = mem ? SelectObject(mem, bitmap) : nullptr;
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    BOOL ok = mem && AlphaBlend(hdc, dstRect->left, dstRect->top, dw, dh, mem, 0, 0, dw, dh, blend);
    if (mem) {
        SelectObject(mem, old);
        DeleteDC(mem);
    }
    DeleteObject(bitmap);
    return ok ? S_OK : E_FAIL;
}

// ---- Image over a decoded file
// --------------------------------------------------------------------

class Image final : public ComObject<IImage>, public PixelSource {
public:
    Image(std::shared_ptr<const image::Decoded> decoded, const void* buffer,
          BufferDisposalFlag disposal)
        : decoded_(std::move(decoded)), buffer_(buffer), disposal_(disposal) {}
    ~Image() override {
        // The caller's buffer of CreateImageFromBuffer, freed the way the caller asked.
        if (!buffer_) return;
        switch (disposal_) {
        case BufferDisposalFlagGlobalFree: LocalFree(const_cast<void*>(buffer_)); break;
        case BufferDisposalFlagCoTaskMemFree: CoTaskMemFree(const_cast<void*>(buffer_)); break;
        case BufferDisposalFlagUnmapView: UnmapViewOfFile(buffer_); break;
        case BufferDisposalFlagNone: break;
        }
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IImage)) {
            *ppv = static_cast<IImage*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP GetPhysicalDimension(SIZE* size) override {
        if (!size) return E_INVALIDARG;
        size->cx = static_cast<LONG>(std::lround(decoded_->pixels.width * 2540.0 / decoded_->dpiX));
        size->cy =
            static_cast<LONG>(std::lround(decoded_->pixels.height * 2540.0 / decoded_->dpiY));
        return S_OK;
    }
    STDMETHODIMP GetImageInfo(ImageInfo* info) override {
        if (!info) return E_INVALIDARG;
        const image::Decoded& d = *decoded_;
        UINT flags = ImageFlagsReadOnly | ImageFlagsHasRealPixelSize | flags_;
        flags |= d.format == image::Format::Jpeg && d.fileBits == 8 ? ImageFlagsColorSpaceGRAY
                                                                    : ImageFlagsColorSpaceRGB;
        if (d.hasAlpha || d.transparentIndex) flags |= ImageFlagsHasAlpha;
        if (d.realDpi) flags |= ImageFlagsHasRealDPI;
        *info = infoOf(rawFormatOf(d.format), formatOf(d), d.pixels.width, d.pixels.height, d.dpiX,
                       d.dpiY, flags);
        return S_OK;
    }
    // Only the caching hints can be set on an image read from a file.
    STDMETHODIMP SetImageFlags(UINT flags) override {
        flags_ = flags & ImageFlagsCaching;
        return S_OK;
    }
    STDMETHODIMP Draw(HDC hdc, const RECT* dstRect, const RECT* srcRect) override {
        return drawPixels(decoded_->pixels, decoded_->dpiX, decoded_->dpiY, hdc, dstRect, srcRect);
    }
    STDMETHODIMP PushIntoSink(IImageSink*) override { return E_NOTIMPL; }
    STDMETHODIMP GetThumbnail(UINT thumbWidth, UINT thumbHeight, IImage** thumbImage) override;

    Surface sourcePixels() const override { return decoded_->pixels; }
    PixelFormatID sourceFormat() const override { return formatOf(*decoded_); }

private:
    std::shared_ptr<const image::Decoded> decoded_;
    const void* buffer_;
    BufferDisposalFlag disposal_;
    UINT flags_ = 0;
};

// ---- Bitmap image
// ---------------------------------------------------------------------------------

class BitmapImage final : public ComObject<IBitmapImage>, public IImage, public PixelSource {
public:
    BitmapImage(Surface pixels, PixelFormatID format)
        : pixels_(std::move(pixels)), format_(format) {
        if (!IsAlphaPixelFormat(format_))
            for (uint32_t& p : pixels_.pixels)
                p |= 0xFF000000u;
    }

    // IUnknown once for both interfaces; IUnknown itself is the IBitmapImage side.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IBitmapImage)) {
            *ppv = static_cast<IBitmapImage*>(this);
        } else if (IsEqualGUID(riid, IID_IImage)) {
            *ppv = static_cast<IImage*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        ComObject<IBitmapImage>::AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ComObject<IBitmapImage>::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return ComObject<IBitmapImage>::Release(); }

    // IBitmapImage.
    STDMETHODIMP GetSize(SIZE* size) override {
        if (!size) return E_INVALIDARG;
        *size = SIZE{pixels_.width, pixels_.height};
        return S_OK;
    }
    STDMETHODIMP GetPixelFormatID(PixelFormatID* pixelFormat) override {
        if (!pixelFormat) return E_INVALIDARG;
        *pixelFormat = format_;
        return S_OK;
    }
    STDMETHODIMP LockBits(const RECT* rect, UINT flags, PixelFormatID pixelFormat,
                          BitmapData* data) override;
    STDMETHODIMP UnlockBits(const BitmapData* data) override;
    STDMETHODIMP GetPalette(ColorPalette** palette) override {
        if (palette) *palette = nullptr;
        return IMGERR_NOPALETTE; // bitmap images are never indexed
    }
    STDMETHODIMP SetPalette(const ColorPalette*) override { return IMGERR_NOPALETTE; }

    // IImage.
    STDMETHODIMP GetPhysicalDimension(SIZE* size) override {
        if (!size) return E_INVALIDARG;
        size->cx = static_cast<LONG>(std::lround(pixels_.width * 2540.0 / 96.0));
        size->cy = static_cast<LONG>(std::lround(pixels_.height * 2540.0 / 96.0));
        return S_OK;
    }
    STDMETHODIMP GetImageInfo(ImageInfo* info) override {
        if (!info) return E_INVALIDARG;
        UINT flags = ImageFlagsColorSpaceRGB | ImageFlagsHasRealPixelSize;
        if (IsAlphaPixelFormat(format_)) flags |= ImageFlagsHasAlpha;
        *info =
            infoOf(ImageFormatMemoryBMP, format_, pixels_.width, pixels_.height, 96.0, 96.0, flags);
        return S_OK;
    }
    STDMETHODIMP SetImageFlags(UINT) override { return S_OK; }
    STDMETHODIMP Draw(HDC hdc, const RECT* dstRect, const RECT* srcRect) override {
        std::lock_guard lock(mutex_);
        if (locked_) return IMGERR_OBJECTBUSY;
        return drawPixels(pixels_, 96.0, 96.0, hdc, dstRect, srcRect);
    }
    STDMETHODIMP PushIntoSink(IImageSink*) override { return E_NOTIMPL; }
    STDMETHODIMP GetThumbnail(UINT thumbWidth, UINT thumbHeight, IImage** thumbImage) override;

    Surface sourcePixels() const override {
        std::lock_guard lock(mutex_);
        return pixels_;
    }
    PixelFormatID sourceFormat() const override { return format_; }

private:
    mutable std::mutex mutex_;
    Surface pixels_;
    PixelFormatID format_;
    // The one lock a bitmap image allows at a time.
    bool locked_ = false;
    RECT lockRect_{};
    UINT lockFlags_ = 0;
    PixelFormatID lockFormat_ = 0;
    std::vector<uint8_t> lockBuffer_;
    void* lockScan0_ = nullptr;
    INT lockStride_ = 0;
};

// Locks rect (NULL: all) for reading and/or writing in a convertible format. Read locks copy
// the pixels out converted; with ImageLockModeUserInputBuf the caller's Scan0 and Stride
// receive them instead of a buffer of the object's.
STDMETHODIMP BitmapImage::LockBits(const RECT* rect, UINT flags, PixelFormatID pixelFormat,
                                   BitmapData* data) {
    if (!data) return E_INVALIDARG;
    constexpr UINT kKnown = ImageLockModeRead | ImageLockModeWrite | ImageLockModeUserInputBuf;
    if (!(flags & (ImageLockModeRead | ImageLockModeWrite)) || (flags & ~kKnown))
        return E_INVALIDARG;
    if (pixelFormat == PixelFormatDontCare) pixelFormat = format_;
    if (!convertible(pixelFormat)) return IMGERR_NOCONVERSION;
    RECT r = rect ? *rect : RECT{0, 0, pixels_.width, pixels_.height};
    if (r.left < 0 || r.top < 0 || r.right > pixels_.width || r.bottom > pixels_.height ||
        r.left >= r.right || r.top >= r.bottom)
        return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    if (locked_) return IMGERR_OBJECTBUSY;
    UINT w = static_cast<UINT>(r.right - r.left), h = static_cast<UINT>(r.bottom - r.top);
    size_t rowBytes = static_cast<size_t>(w) * GetPixelFormatSize(pixelFormat) / 8;
    uint8_t* scan0;
    INT stride;
    if (flags & ImageLockModeUserInputBuf) {
        if (!data->Scan0 || static_cast<size_t>(std::abs(data->Stride)) < rowBytes)
            return E_INVALIDARG;
        scan0 = static_cast<uint8_t*>(data->Scan0);
        stride = data->Stride;
        lockBuffer_.clear();
    } else {
        size_t s = strideOf(pixelFormat, w);
        lockBuffer_.assign(s * h, 0);
        scan0 = lockBuffer_.data();
        stride = static_cast<INT>(s);
    }
    if (flags & ImageLockModeRead)
        for (UINT y = 0; y < h; ++y)
            toFormat(pixels_.row(r.top + static_cast<int>(y)) + r.left, w, pixelFormat,
                     scan0 + static_cast<ptrdiff_t>(y) * stride);
    locked_ = true;
    lockRect_ = r;
    lockFlags_ = flags;
    lockFormat_ = pixelFormat;
    lockScan0_ = scan0;
    lockStride_ = stride;
    data->Width = w;
    data->Height = h;
    data->Stride = stride;
    data->PixelFormat = pixelFormat;
    data->Scan0 = scan0;
    data->Reserved = reinterpret_cast<UINT_PTR>(this);
    return S_OK;
}

// Ends the lock LockBits gave, writing the pixels back when it was taken for writing. The
// record must be the one LockBits filled (its Scan0 and Reserved unchanged).
STDMETHODIMP BitmapImage::UnlockBits(const BitmapData* data) {
    if (!data) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    if (!locked_ || data->Scan0 != lockScan0_ || data->Reserved != reinterpret_cast<UINT_PTR>(this))
        return IMGERR_BADUNLOCK;
    if (lockFlags_ & ImageLockModeWrite) {
        UINT w = static_cast<UINT>(lockRect_.right - lockRect_.left);
        for (LONG y = lockRect_.top; y < lockRect_.bottom; ++y) {
            uint32_t* row = pixels_.row(y) + lockRect_.left;
            fromFormat(static_cast<const uint8_t*>(lockScan0_) +
                           static_cast<ptrdiff_t>(y - lockRect_.top) * lockStride_,
                       w, lockFormat_, row);
            if (!IsAlphaPixelFormat(format_))
                for (UINT x = 0; x < w; ++x)
                    row[x] |= 0xFF000000u;
        }
    }
    locked_ = false;
    lockBuffer_.clear();
    lockBuffer_.shrink_to_fit();
    lockScan0_ = nullptr;
    return S_OK;
}

// A thumbnail is a bitmap image of the requested size (0: 120 pixels) in the source's format.
HRESULT thumbnailOf(const PixelSource& source, UINT w, UINT h, IImage** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (w == 0) w = 120;
    if (h == 0) h = 120;
    if (w > image::kMaxSide || h > image::kMaxSide) return E_INVALIDARG;
    PixelFormatID format = source.sourceFormat();
    if (!convertible(format))
        format = IsAlphaPixelFormat(format) ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    Surface pixels = image::scale(source.sourcePixels(), static_cast<int>(w), static_cast<int>(h));
    IBitmapImage* bitmap = makeBitmapImage(std::move(pixels), format);
    HRESULT hr = bitmap->QueryInterface(IID_IImage, reinterpret_cast<void**>(out));
    bitmap->Release();
    return hr;
}

STDMETHODIMP Image::GetThumbnail(UINT w, UINT h, IImage** out) {
    return thumbnailOf(*this, w, h, out);
}
STDMETHODIMP BitmapImage::GetThumbnail(UINT w, UINT h, IImage** out) {
    return thumbnailOf(*this, w, h, out);
}

} // namespace

IImage* makeImage(std::shared_ptr<const image::Decoded> decoded, const void* buffer,
                  BufferDisposalFlag disposal) {
    return makeObject<Image>(std::move(decoded), buffer, disposal);
}

IBitmapImage* makeBitmapImage(Surface pixels, PixelFormatID format) {
    return makeObject<BitmapImage>(std::move(pixels), format);
}

} // namespace ce::imaging
