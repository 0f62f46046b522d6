// strings.h: conversions between the device's UTF-16 text and the host's UTF-8, for the
// platform's own use (paths, journal, cedev). The product uses MultiByteToWideChar.
#pragma once

#include <string>
#include <string_view>

namespace ce {
std::string toUtf8(std::u16string_view s);
std::u16string fromUtf8(std::string_view s);
// Simple case folding of one UTF-16 unit, as the device compares names without case.
char16_t foldCase(char16_t c);
bool equalNoCase(std::u16string_view a, std::u16string_view b);
} // namespace ce
