// format_fuzz.cpp: libFuzzer target for the platform's text layer: the code-page converters,
// the UTF-8 helpers, the wide number parsers and the printf engine.
//
// Arbitrary bytes go straight into MultiByteToWideChar / WideCharToMultiByte / fromUtf8 and, as
// UTF-16 units, into _wtoi / wcstol / wcstoul / wcstod. The printf engine cannot take an
// arbitrary format (a directive reads an argument that must exist), so the input is turned
// into a format whose directives are rewritten to match a fixed argument list: flags, width
// and precision from the input are kept in that order, '*' and size prefixes are dropped, and the
// conversions alternate %s, %d, %S, %d. Output buffers are exactly as large as the size under
// test, so AddressSanitizer reports any write past the end; the invariants below trap.
//
// Build (from the repository root):
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -Iplatform/include \
//     -Iplatform fuzz/format_fuzz.cpp platform/kernel/format.cpp platform/kernel/codepage.cpp \
//     platform/kernel/wcrt.cpp platform/kernel/strings.cpp platform/kernel/lasterror.cpp \
//     -o format_fuzz
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cewchar.h"
#include "kernel/strings.h"
#include "winbase.h"
#include "winnls.h"

namespace {

void require(bool ok) {
    if (!ok) __builtin_trap();
}

// The input as UTF-16 units (copied, since the bytes need not be aligned for char16_t).
std::u16string unitsOf(const uint8_t* data, size_t size) {
    std::u16string s(size / 2, u'\0');
    if (!s.empty()) std::memcpy(s.data(), data, s.size() * sizeof(char16_t));
    return s;
}

void fuzzCodepages(const uint8_t* data, size_t size) {
    if (size == 0) return;
    const auto* bytes = reinterpret_cast<const char*>(data);
    const int n = static_cast<int>(size);
    for (UINT cp : {static_cast<UINT>(CP_ACP), static_cast<UINT>(CP_UTF8)}) {
        const int need = MultiByteToWideChar(cp, 0, bytes, n, nullptr, 0);
        require(need == n || cp == CP_UTF8);
        std::vector<char16_t> wide(static_cast<size_t>(need));
        require(MultiByteToWideChar(cp, 0, bytes, n, wide.data(), need) == need);
        if (need > 1) {
            // One unit short must fail without writing past the end.
            std::vector<char16_t> small(static_cast<size_t>(need - 1));
            require(MultiByteToWideChar(cp, 0, bytes, n, small.data(), need - 1) == 0);
        }
        MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes, n, wide.data(), need);
        // Back again: Windows-1252 restores every byte; UTF-8 restores the decoded text.
        const int back =
            WideCharToMultiByte(cp, 0, wide.data(), need, nullptr, 0, nullptr, nullptr);
        std::vector<char> narrow(static_cast<size_t>(back));
        require(WideCharToMultiByte(cp, 0, wide.data(), need, narrow.data(), back, nullptr,
                                    nullptr) == back);
        if (cp == CP_ACP) {
            require(std::string(narrow.begin(), narrow.end()) == std::string(bytes, size));
        } else {
            std::vector<char16_t> again(static_cast<size_t>(need));
            require(MultiByteToWideChar(cp, 0, narrow.data(), back, again.data(), need) == need);
            require(again == wide);
        }
    }
    require(ce::fromUtf8(ce::toUtf8(ce::fromUtf8(std::string(bytes, size)))) ==
            ce::fromUtf8(std::string(bytes, size)));

    // The same bytes as UTF-16 units, lone surrogates and all.
    const std::u16string units = unitsOf(data, size);
    if (!units.empty()) {
        const int wn = static_cast<int>(units.size());
        for (UINT cp : {static_cast<UINT>(CP_ACP), static_cast<UINT>(CP_UTF8)}) {
            const int need =
                WideCharToMultiByte(cp, 0, units.data(), wn, nullptr, 0, nullptr, nullptr);
            std::vector<char> out(static_cast<size_t>(need));
            require(WideCharToMultiByte(cp, 0, units.data(), wn, out.data(), need, nullptr,
                                        nullptr) == need);
        }
    }
}

void fuzzNumbers(const uint8_t* data, size_t size) {
    std::u16string s = unitsOf(data, size);
    for (char16_t& c : s) {
        if (c == 0) c = u' ';
    }
    const char16_t* p = s.c_str();
    const char16_t* last = p + s.size();
    char16_t* end = nullptr;
    (void)_wtoi(p);
    (void)_wtol(p);
    (void)_wtoi64(p);
    const long v = wcstol(p, &end, size > 0 ? data[0] % 37 : 10);
    require(v >= INT32_MIN && v <= INT32_MAX);
    require(end >= p && end <= last);
    const unsigned long u = wcstoul(p, &end, 0);
    require(u <= UINT32_MAX);
    require(end >= p && end <= last);
    (void)wcstod(p, &end);
    require(end >= p && end <= last);
}

// Rewrites every directive of `in` to the fixed argument list's next slot.
template <typename C>
std::basic_string<C> safeFormat(const std::basic_string<C>& in, const char* slots) {
    std::basic_string<C> f;
    size_t slot = 0;
    for (size_t i = 0; i < in.size(); ++i) {
        const C c = in[i];
        if (c == 0) continue;
        if (c != '%') {
            f.push_back(c);
            continue;
        }
        if (slots[slot] == 0) {
            f.push_back('%');
            f.push_back('%');
            continue;
        }
        // Flags, width, precision, in the only order the engine reads as one directive.
        f.push_back('%');
        auto take = [&](auto accept, size_t most) {
            for (size_t k = 0; k < most && i + 1 < in.size() && accept(in[i + 1]); ++k)
                f.push_back(in[++i]);
        };
        auto isFlag = [](C n) { return n == '-' || n == '+' || n == ' ' || n == '#' || n == '0'; };
        auto isDigit = [](C n) { return n >= '0' && n <= '9'; };
        take(isFlag, 5);
        take(isDigit, 9);
        take([](C n) { return n == '.'; }, 1);
        take(isDigit, 9);
        f.push_back(static_cast<C>(slots[slot++]));
    }
    return f;
}

void fuzzFormat(const uint8_t* data, size_t size) {
    if (size < 1) return;
    const size_t cap = data[0];
    ++data;
    --size;
    const char16_t* w1 = u"Fran\u00E7ais \U0001F600";
    const char16_t* w2 = u"\u65E5\u672C";
    const char* n1 = "caf\xE9";
    const char* n2 = "\xBD";

    const std::u16string wfmt = safeFormat(unitsOf(data, size), "sdSdsdSd");
    std::vector<char16_t> wbuf(cap);
    const int wr = _snwprintf(wbuf.data(), cap, wfmt.c_str(), w1, 1, n1, -2, w2, 300, n2, 45356);
    if (cap > 0) require(std::char_traits<char16_t>::find(wbuf.data(), cap, 0) != nullptr);
    require(cap == 0 || wr < static_cast<int>(cap));

    const std::string nfmt =
        safeFormat(std::string(reinterpret_cast<const char*>(data), size), "sdSdsdSd");
    std::vector<char> nbuf(cap);
    const int nr = _snprintf(nbuf.data(), cap, nfmt.c_str(), n1, 1, w1, -2, n2, 300, w2, 45356);
    if (cap > 0) require(std::char_traits<char>::find(nbuf.data(), cap, 0) != nullptr);
    require(cap == 0 || nr < static_cast<int>(cap));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzCodepages(data, size);
    fuzzNumbers(data, size);
    fuzzFormat(data, size);
    return 0;
}
