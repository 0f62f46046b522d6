// objects.h: the imaging library's objects as its files see each other: image objects made
// from decoded files (imageobj.cpp), bitmap images (imageobj.cpp), the factory
// (lib_imaging.cpp), and the pixel formats they convert between (pixelformat.cpp).
//
// Every object is reference counted from 1 at creation and goes when its count reaches 0; a
// process-wide count of live objects lets tests see that nothing is leaked.
//
// Inside the platform only.
#pragma once

#include <atomic>
#include <memory>
#include <utility>

#include "gdi/imgdecode.h"
#include "imaging.h"

namespace ce::imaging {

// Objects of the library alive in this process (images, bitmap images, factories).
long liveObjects();
std::atomic<long>& liveObjectCounter();

// The base of every object: IUnknown's counting for Interface, and the live-object count.
template <class Interface>
class ComObject : public Interface {
public:
    ComObject() { ++liveObjectCounter(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() { --liveObjectCounter(); }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> refs_{1};
};

// Makes an object whose single reference goes to the caller: COM's count, not a C++ owner,
// decides when it goes.
template <class T, class... Args>
T* makeObject(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...).release();
}

// Pixels any image object of the library can hand over (straight ARGB) and its natural
// format, so that the factory can make bitmaps of images without a round trip through GDI.
class PixelSource {
public:
    virtual ~PixelSource() = default;
    virtual Surface sourcePixels() const = 0;
    virtual PixelFormatID sourceFormat() const = 0;
};

// A new image object over decoded pixels (CreateImageFromFile / FromBuffer). `buffer` and
// `disposal` name the caller's buffer to free when the image goes (CreateImageFromBuffer).
IImage* makeImage(std::shared_ptr<const image::Decoded> decoded, const void* buffer = nullptr,
                  BufferDisposalFlag disposal = BufferDisposalFlagNone);
// A new bitmap image of `format` holding straight ARGB pixels (forced opaque when the format
// has no alpha).
IBitmapImage* makeBitmapImage(Surface pixels, PixelFormatID format);

// ---- Pixel formats (pixelformat.cpp) ------------------------------------------------------------

// Whether bitmap images can be locked in (and made of) this format: 32bppARGB, 32bppPARGB,
// 32bppRGB, 24bppRGB, 16bppRGB565, 16bppRGB555.
bool convertible(PixelFormatID format);
// Bytes per row of `width` pixels of a convertible format, padded to 4 bytes.
size_t strideOf(PixelFormatID format, UINT width);
// Converts n straight ARGB pixels to a convertible format, and back.
void toFormat(const uint32_t* in, size_t n, PixelFormatID format, uint8_t* out);
void fromFormat(const uint8_t* in, size_t n, PixelFormatID format, uint32_t* out);
// The natural pixel format of a decoded file (what GetImageInfo reports).
PixelFormatID formatOf(const image::Decoded& decoded);

} // namespace ce::imaging
