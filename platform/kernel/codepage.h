// codepage.h: the device's code pages for the platform's own use: Windows-1252 (the ANSI code
// page, CP_ACP) unit by unit, and one UTF-8 decoding step. MultiByteToWideChar and
// WideCharToMultiByte (codepage.cpp), the formatter's %S and the UTF-8 helpers of strings.h
// are all built on these, so every path narrows and widens text the same way.
#pragma once

#include <cstddef>

namespace ce {

// The UTF-16 unit of a Windows-1252 byte. Every byte maps: the five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value, as on
// Windows.
char16_t cp1252ToWide(unsigned char b);

// The Windows-1252 byte of a UTF-16 unit, or -1 when the code page has no such character.
int wideToCp1252(char16_t c);

// Decodes the UTF-8 sequence starting at s[0] (n > 0 bytes available). Returns the number of
// bytes it occupies (at least 1) and stores its code point, or -1 for an ill-formed sequence;
// an ill-formed sequence spans its maximal valid prefix, so each one becomes a single U+FFFD.
size_t decodeUtf8(const unsigned char* s, size_t n, long& cp);

} // namespace ce
