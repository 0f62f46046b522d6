// skin_fuzz.cpp: skin files as the item reads them, fed arbitrary bytes: the whole text is
// lower-cased and every key the loader asks for is looked up and taken apart, as loadSkin and
// readHostKeys do, without pictures or settings. Nothing may read or write outside the text
// and the fixed buffers; the results must keep the limits the painter relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hostkeys.h"
#include "skinparse.h"

static const char* const kOtherKeys[] = {
    "today_height", "vga_skin",   "image_scroller", "text_font",       "text_size",
    "text_style",   "text_color", "text_backg",     "nav_hilitecolor", "nav_hilitewidth",
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The loader keeps the file as one terminated buffer.
    std::vector<char> text(data, data + size);
    text.push_back(0);
    lowerSkinText(text.data());
    const char* t = text.data();

    for (const char* key : skinItemKeys) {
        SkinItemValue item;
        if (parseSkinItemValue(findSkinValue(t, key), &item)) {
            if (strlen(item.argument) >= SKIN_ARGUMENT_CCH || strlen(item.image) >= SKIN_VALUE_CCH)
                abort();
            isSafeSkinFileName(item.image);
        }
    }
    char value[SKIN_VALUE_CCH];
    for (const char* key : smallIconKeys)
        if (copySkinValue(findSkinValue(t, key), value, sizeof(value)) >= sizeof(value)) abort();
    for (const char* key : kOtherKeys) {
        const char* v = findSkinValue(t, key);
        if (copySkinValue(v, value, sizeof(value)) >= sizeof(value)) abort();
        COLORREF colour = 0;
        if (parseSkinColour(v, &colour) && (colour & 0xFF000000u)) abort();
        skinNumber(v);
        skinDecimal(v);
    }
    COLORREF key = 0;
    parseSkinColour(findSkinValueAnywhere(t, "transp_color"), &key);

    LONG order[SKIN_NAVORDER_MAX];
    LONG count = parseNavOrder(findSkinValue(t, "nav_order"), order, SKIN_NAVORDER_MAX);
    if (count < 0 || count > SKIN_NAVORDER_MAX) abort();
    for (LONG i = 0; i < count; ++i)
        if (order[i] < 0 || order[i] >= SKIN_ITEM_COUNT) abort();

    HostKeys host;
    parseHostKeys(t, u"\\Program Files\\Zolvane", u"skin", 96, &host);
    if (host.alpha < 0 || host.alpha > 255) abort();
    for (const WCHAR* path : {host.image, host.imageAlert, host.imageOpen}) {
        size_t n = 0;
        while (n < HOST_IMAGE_PATH_CCH && path[n])
            ++n;
        if (n == HOST_IMAGE_PATH_CCH) abort(); // unterminated
        // A path, when there is one, stays in the skin's folder: no step of it is ".." (or
        // any other name made of dots alone).
        size_t step = 0;
        for (size_t i = 0; i <= n; ++i) {
            if (i < n && path[i] != '\\' && path[i] != '/') continue;
            size_t dots = 0;
            while (step + dots < i && path[step + dots] == '.')
                ++dots;
            if (i - step >= 2 && dots == i - step) abort();
            step = i + 1;
        }
    }
    return 0;
}
