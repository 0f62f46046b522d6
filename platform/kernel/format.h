// format.h: the platform's one printf engine, with the Windows conversions.
//
// Every printf-like function of the device (wsprintfW/A, the swprintf and _snprintf family,
// StringCch*Printf*) formats through formatV, so they all agree: in a wide format %s is a
// wide string and %S a narrow (Windows-1252) one, in a narrow format the reverse; %hs/%hc are
// always narrow and %ls/%ws/%lc/%wc always wide; `l` means 32 bits (LONG), `ll` and `I64` 64
// bits, `h` 16 bits; floating point follows the Microsoft runtime (three-digit exponents).
// The output never passes buf[cap - 1], is always terminated when cap > 0, and a wide output
// is never cut inside a surrogate pair. The format is interpreted here, never by the C
// library; snprintf only ever sees a single numeric conversion built by the engine itself.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace ce {

struct FormatResult {
    size_t length;  // units stored, terminator excluded
    bool truncated; // some output did not fit and was dropped
};

// Formats `fmt` (null: an empty format) with the arguments in `ap` into buf[0..cap). `ap` is
// read through a copy, so the caller's va_list is left as it was.
template <typename FmtChar, typename OutChar>
FormatResult formatV(OutChar* buf, size_t cap, const FmtChar* fmt, va_list ap);

extern template FormatResult formatV<char16_t, char16_t>(char16_t*, size_t, const char16_t*,
                                                         va_list);
extern template FormatResult formatV<char, char>(char*, size_t, const char*, va_list);

} // namespace ce
