// lib_imaging.cpp: Imaging.dll, the device's imaging library: the imaging factory class in
// COM's class table, its identifiers, and the library's entry in the system-library table
// (which gives the device its \Windows\Imaging.dll file).
//
// A device profile that withdraws "Imaging.dll" takes the file away and makes the factory's
// class unknown: CoCreateInstance answers REGDB_E_CLASSNOTREG, as on a device without the
// library. Objects already made keep working.
#include <vector>

#include "com/comclass.h"
#include "imaging/objects.h"
#include "kernel/modules.h"
#include "kernel/trace.h"

extern "C" {
WINBASEAPI const CLSID CLSID_ImagingFactory = {
    0x327ABDA8, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
WINBASEAPI const IID IID_IImagingFactory = {
    0x327ABDA7, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
WINBASEAPI const IID IID_IImage = {
    0x327ABDA9, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
WINBASEAPI const IID IID_IBitmapImage = {
    0x327ABDAA, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
WINBASEAPI const GUID ImageFormatMemoryBMP = {
    0xB96B3CAA, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
WINBASEAPI const GUID ImageFormatBMP = {
    0xB96B3CAB, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
WINBASEAPI const GUID ImageFormatJPEG = {
    0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
WINBASEAPI const GUID ImageFormatPNG = {
    0xB96B3CAF, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
WINBASEAPI const GUID ImageFormatGIF = {
    0xB96B3CB0, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}

namespace ce::imaging {

std::atomic<long>& liveObjectCounter() {
    static std::atomic<long> count{0};
    return count;
}

long liveObjects() {
    return liveObjectCounter().load();
}

namespace {

// An image object of decoded data, or the HRESULT of why there is none.
HRESULT imageOfData(const uint8_t* data, size_t size, const void* buffer,
                    BufferDisposalFlag disposal, IImage** image) {
    auto decoded = std::make_shared<image::Decoded>();
    std::string why;
    if (image::sniffFormat(data, size) == image::Format::Unknown) return IMGERR_CODECNOTFOUND;
    if (!image::decode(data, size, decoded.get(), &why)) {
        CE_TRACE("imaging", "cannot decode: %s", why.c_str());
        return E_FAIL;
    }
    *image = makeImage(std::move(decoded), buffer, disposal);
    return S_OK;
}

class Factory final : public ComObject<IImagingFactory> {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IImagingFactory)) {
            *ppv = static_cast<IImagingFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    // Streams are not provided on the device's COM.
    STDMETHODIMP CreateImageFromStream(IStream*, IImage** image) override {
        if (image) *image = nullptr;
        return E_NOTIMPL;
    }

    // Reads and decodes the whole file now, so that every later call answers from memory.
    // The file's open error as an HRESULT; IMGERR_CODECNOTFOUND for data of no known format;
    // E_FAIL for a corrupt or truncated file.
    STDMETHODIMP CreateImageFromFile(const WCHAR* filename, IImage** image) override {
        if (!image) return E_INVALIDARG;
        *image = nullptr;
        if (!filename) return E_INVALIDARG;
        std::vector<uint8_t> data;
        DWORD error = 0;
        if (!image::readDeviceFile(filename, &data, &error)) return HRESULT_FROM_WIN32(error);
        return imageOfData(data.data(), data.size(), nullptr, BufferDisposalFlagNone, image);
    }

    // The buffer is decoded at once; the image object frees it (as disposalFlag says) when it
    // goes. On failure the buffer stays the caller's.
    STDMETHODIMP CreateImageFromBuffer(const void* buff, UINT size, BufferDisposalFlag disposal,
                                       IImage** image) override {
        if (!image) return E_INVALIDARG;
        *image = nullptr;
        if (!buff || size == 0 || disposal < BufferDisposalFlagNone ||
            disposal > BufferDisposalFlagUnmapView)
            return E_INVALIDARG;
        return imageOfData(static_cast<const uint8_t*>(buff), size, buff, disposal, image);
    }

    // A bitmap of transparent black (opaque black for formats without alpha).
    STDMETHODIMP CreateNewBitmap(UINT width, UINT height, PixelFormatID pixelFormat,
                                 IBitmapImage** bitmap) override {
        if (!bitmap) return E_INVALIDARG;
        *bitmap = nullptr;
        if (!sizeOk(width, height)) return E_INVALIDARG;
        if (!convertible(pixelFormat)) return IMGERR_NOCONVERSION;
        *bitmap = makeBitmapImage(Surface(static_cast<int>(width), static_cast<int>(height), 0),
                                  pixelFormat);
        return S_OK;
    }

    // The image's pixels at width x height (0: the image's own size), in pixelFormat
    // (PixelFormatDontCare: the image's format where a bitmap image can hold it, else 32-bit
    // ARGB for images with alpha and 24-bit RGB for the others). Images of other libraries
    // than this one are not accepted.
    STDMETHODIMP CreateBitmapFromImage(IImage* image, UINT width, UINT height,
                                       PixelFormatID pixelFormat, InterpolationHint,
                                       IBitmapImage** bitmap) override {
        if (!bitmap) return E_INVALIDARG;
        *bitmap = nullptr;
        auto* source = dynamic_cast<PixelSource*>(image);
        if (!source) return E_INVALIDARG;
        Surface pixels = source->sourcePixels();
        if (width == 0) width = static_cast<UINT>(pixels.width);
        if (height == 0) height = static_cast<UINT>(pixels.height);
        if (!sizeOk(width, height)) return E_INVALIDARG;
        if (pixelFormat == PixelFormatDontCare) {
            pixelFormat = source->sourceFormat();
            if (!convertible(pixelFormat))
                pixelFormat =
                    IsAlphaPixelFormat(pixelFormat) ? PixelFormat32bppARGB : PixelFormat24bppRGB;
        }
        if (!convertible(pixelFormat)) return IMGERR_NOCONVERSION;
        *bitmap = makeBitmapImage(
            image::scale(pixels, static_cast<int>(width), static_cast<int>(height)), pixelFormat);
        return S_OK;
    }

    // A bitmap image holding a copy of the caller's pixels.
    STDMETHODIMP CreateBitmapFromBuffer(BitmapData* data, IBitmapImage** bitmap) override {
        if (!bitmap) return E_INVALIDARG;
        *bitmap = nullptr;
        if (!data || !data->Scan0 || !sizeOk(data->Width, data->Height)) return E_INVALIDARG;
        if (!convertible(data->PixelFormat)) return IMGERR_NOCONVERSION;
        size_t rowBytes =
            static_cast<size_t>(data->Width) * GetPixelFormatSize(data->PixelFormat) / 8;
        if (static_cast<size_t>(std::abs(data->Stride)) < rowBytes) return E_INVALIDARG;
        Surface pixels(static_cast<int>(data->Width), static_cast<int>(data->Height), 0);
        for (int y = 0; y < pixels.height; ++y)
            fromFormat(static_cast<const uint8_t*>(data->Scan0) +
                           static_cast<ptrdiff_t>(y) * data->Stride,
                       data->Width, data->PixelFormat, pixels.row(y));
        *bitmap = makeBitmapImage(std::move(pixels), data->PixelFormat);
        return S_OK;
    }

    // Codecs cannot be enumerated, installed or used on their own.
    STDMETHODIMP CreateImageDecoder(IStream*, DWORD, IImageDecoder** decoder) override {
        if (decoder) *decoder = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP CreateImageEncoderToStream(const CLSID*, IStream*,
                                            IImageEncoder** encoder) override {
        if (encoder) *encoder = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP CreateImageEncoderToFile(const CLSID*, const WCHAR*,
                                          IImageEncoder** encoder) override {
        if (encoder) *encoder = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetInstalledDecoders(UINT* count, ImageCodecInfo** decoders) override {
        return noCodecs(count, decoders);
    }
    STDMETHODIMP GetInstalledEncoders(UINT* count, ImageCodecInfo** encoders) override {
        return noCodecs(count, encoders);
    }
    STDMETHODIMP InstallImageCodec(const ImageCodecInfo*) override { return E_NOTIMPL; }
    STDMETHODIMP UninstallImageCodec(const WCHAR*, UINT) override { return E_NOTIMPL; }

private:
    static bool sizeOk(UINT w, UINT h) {
        return w > 0 && h > 0 && w <= image::kMaxSide && h <= image::kMaxSide &&
               static_cast<uint64_t>(w) * h <= image::kMaxPixels;
    }
    static HRESULT noCodecs(UINT* count, ImageCodecInfo** codecs) {
        if (count) *count = 0;
        if (codecs) *codecs = nullptr;
        return E_NOTIMPL;
    }
};

HRESULT createFactory(REFIID riid, void** ppv) {
    *ppv = nullptr;
    if (isLibraryWithdrawn("Imaging.dll")) return REGDB_E_CLASSNOTREG;
    Factory* factory = makeObject<Factory>();
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

const com::ClassRegistration registerFactory(CLSID_ImagingFactory, createFactory);

// The library exports nothing programs call by name: it is reached through COM.
const BuiltinLibrary kImaging{"Imaging.dll", nullptr, 0, false};
const BuiltinLibraryRegistration registerImaging(kImaging);

} // namespace
} // namespace ce::imaging
