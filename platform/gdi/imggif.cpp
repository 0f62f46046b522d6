// imggif.cpp: the decoder of GIF files (87a and 89a) for the device's imaging services: the
// first frame of the file on its logical screen, with the transparent colour of its graphic
// control extension. Animation is not played: images and skins are still pictures.
//
// The LZW decoder works on a code table of at most 4096 entries kept as (prefix, suffix)
// pairs; each code's string is written backwards into a fixed stack, so no input can make it
// allocate or run past its arrays.
#include <algorithm>
#include <cstring>

#include "gdi/imgdecode.h"

namespace ce::image {
namespace {

struct Reader {
    const uint8_t* p;
    const uint8_t* end;

    size_t left() const { return static_cast<size_t>(end - p); }
    bool byte(uint8_t* v) {
        if (p >= end) return false;
        *v = *p++;
        return true;
    }
    bool word(uint16_t* v) {
        if (left() < 2) return false;
        *v = static_cast<uint16_t>(p[0] | (p[1] << 8));
        p += 2;
        return true;
    }
    // Skips a chain of data sub-blocks up to its terminator.
    bool skipBlocks() {
        for (;;) {
            uint8_t n;
            if (!byte(&n)) return false;
            if (n == 0) return true;
            if (left() < n) return false;
            p += n;
        }
    }
};

bool readTable(Reader& in, int entries, uint32_t* table) {
    if (in.left() < static_cast<size_t>(entries) * 3) return false;
    for (int i = 0; i < entries; ++i, in.p += 3)
        table[i] = 0xFF000000u | (in.p[0] << 16) | (in.p[1] << 8) | in.p[2];
    return true;
}

// Decodes the LZW data of one frame (its sub-blocks) into `count` palette indexes. False when
// the data ends or breaks before every pixel has its index.
bool decodeLzw(Reader& in, int minCodeSize, size_t count, std::vector<uint8_t>* out) {
    if (minCodeSize < 2 || minCodeSize > 8) return false;
    constexpr int kMaxCodes = 4096;
    static thread_local uint16_t prefix[kMaxCodes];
    static thread_local uint8_t suffix[kMaxCodes];
    static thread_local uint8_t stack[kMaxCodes + 1];
    const int clear = 1 << minCodeSize, endCode = clear + 1;
    int codeSize = minCodeSize + 1, next = clear + 2, old = -1;
    uint8_t first = 0;
    for (int i = 0; i < clear; ++i)
        prefix[i] = 0, suffix[i] = static_cast<uint8_t>(i);
    out->clear();
    out->reserve(count);
    uint32_t acc = 0;
    int accBits = 0;
    size_t block = 0; // bytes left in the current sub-block
    while (out->size() < count) {
        while (accBits < codeSize) {
            if (block == 0) {
                uint8_t n;
                if (!in.byte(&n) || n == 0) return false;
                block = n;
            }
            uint8_t b;
            if (!in.byte(&b)) return false;
            --block;
            acc |= static_cast<uint32_t>(b) << accBits;
            accBits += 8;
        }
        int code = static_cast<int>(acc & ((1u << codeSize) - 1));
        acc >>= codeSize;
        accBits -= codeSize;
        if (code == clear) {
            codeSize = minCodeSize + 1, next = clear + 2, old = -1;
            continue;
        }
        if (code == endCode) break; // early: the caller finds indexes missing
        int sp = 0, c = code;
        if (old < 0) { // the first code after a clear is a plain colour
            if (code >= clear) return false;
            out->push_back(static_cast<uint8_t>(code));
            first = static_cast<uint8_t>(code);
            old = code;
            continue;
        }
        if (code > next || (code == next && next >= kMaxCodes)) return false;
        if (code == next) { // the string of old plus its own first colour
            stack[sp++] = first;
            c = old;
        }
        while (c >= clear && sp < kMaxCodes) {
            stack[sp++] = suffix[c];
            c = prefix[c];
        }
        stack[sp++] = static_cast<uint8_t>(c);
        first = static_cast<uint8_t>(c);
        while (sp > 0 && out->size() < count)
            out->push_back(stack[--sp]);
        if (next < kMaxCodes) {
            prefix[next] = static_cast<uint16_t>(old);
            suffix[next] = first;
            ++next;
            if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
        }
        old = code;
    }
    // Skip what is left of the frame's data: its end code's padding and the terminator.
    in.p += std::min(block, in.left());
    in.skipBlocks();
    return out->size() == count;
}

} // namespace

bool decodeGif(const uint8_t* data, size_t size, Decoded* out, std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (size < 13 || (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0))
        return fail("not a GIF file");
    Reader in{data + 6, data + size};
    uint16_t screenW = 0, screenH = 0;
    uint8_t flags = 0, background = 0, aspect = 0;
    in.word(&screenW), in.word(&screenH), in.byte(&flags), in.byte(&background), in.byte(&aspect);
    uint32_t global[256];
    int globalCount = 0;
    if (flags & 0x80) {
        globalCount = 2 << (flags & 7);
        if (!readTable(in, globalCount, global)) return fail("truncated GIF colour table");
    }
    int transparent = -1;
    for (;;) {
        uint8_t kind;
        if (!in.byte(&kind)) return fail("GIF without an image");
        if (kind == 0x3B) return fail("GIF without an image");
        if (kind == 0x21) { // extension
            uint8_t label;
            if (!in.byte(&label)) return fail("truncated GIF");
            if (label == 0xF9 && in.left() >= 6 && in.p[0] == 4) {
                if (in.p[1] & 1) transparent = in.p[4];
            }
            if (!in.skipBlocks()) return fail("truncated GIF extension");
            continue;
        }
        if (kind != 0x2C) return fail("broken GIF block");
        uint16_t left, top, w, h;
        uint8_t imageFlags;
        if (!in.word(&left) || !in.word(&top) || !in.word(&w) || !in.word(&h) ||
            !in.byte(&imageFlags))
            return fail("truncated GIF image header");
        uint32_t local[256];
        const uint32_t* table = global;
        int tableCount = globalCount;
        if (imageFlags & 0x80) {
            tableCount = 2 << (imageFlags & 7);
            if (!readTable(in, tableCount, local)) return fail("truncated GIF colour table");
            table = local;
        }
        if (tableCount == 0) return fail("GIF without colours");
        // The canvas is the logical screen, grown to hold a frame that lies outside it.
        int cw = std::max<int>(screenW, left + w), ch = std::max<int>(screenH, top + h);
        if (w == 0 || h == 0) return fail("empty GIF frame");
        if (static_cast<uint64_t>(cw) * ch > kMaxPixels) return fail("GIF too large");
        uint8_t minCode;
        if (!in.byte(&minCode)) return fail("truncated GIF data");
        std::vector<uint8_t> indexes;
        size_t count = static_cast<size_t>(w) * h;
        if (!decodeLzw(in, minCode, count, &indexes) || indexes.size() < count)
            return fail("truncated GIF data");

        Decoded result;
        result.format = Format::Gif;
        result.indexed = true;
        result.fileBits = 8;
        result.transparentIndex = transparent >= 0;
        // Outside the frame the canvas shows nothing: transparent when the file has a
        // transparent colour, else the background colour.
        uint32_t outside =
            transparent >= 0 || background >= tableCount ? 0x00000000u : table[background];
        Surface s(cw, ch, outside);
        // Interlaced frames store every 8th row from 0, every 8th from 4, every 4th from 2,
        // then every 2nd from 1.
        std::vector<int> rowOrder;
        rowOrder.reserve(h);
        if (imageFlags & 0x40) {
            static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = kStart[pass]; y < h; y += kStep[pass])
                    rowOrder.push_back(y);
        } else {
            for (int y = 0; y < h; ++y)
                rowOrder.push_back(y);
        }
        for (int r = 0; r < h; ++r) {
            uint32_t* dst = s.row(top + rowOrder[r]) + left;
            for (int x = 0; x < w; ++x) {
                uint8_t i = indexes[static_cast<size_t>(r) * w + x];
                dst[x] = i == transparent ? 0x00000000u : i < tableCount ? table[i] : 0xFF000000u;
            }
        }
        result.pixels = std::move(s);
        *out = std::move(result);
        return true;
    }
}

} // namespace ce::image
