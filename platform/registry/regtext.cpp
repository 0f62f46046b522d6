// regtext.cpp: REGEDIT4 reading and writing, and the value notation of `cedev reg`.
//
// The parser takes text from anywhere (a person's file, the fuzzer), so it trusts nothing:
// every index is checked, nothing is written but std::string and std::vector, and a line that
// does not parse becomes a problem with its number instead of stopping the import.
#include "registry/regtext.h"

#include <cstdio>
#include <cstring>

#include "kernel/strings.h"
#include "registry/regdb.h"
#include "winbase.h"

namespace ce::reg {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

struct RootName {
    HKEY root;
    const char* full;
    const char* shortName;
};
const RootName kRoots[] = {
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "HKLM"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "HKCU"},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "HKCR"},
};

bool equalsNoCaseAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && equalsNoCaseAscii(s.substr(0, prefix.size()), prefix);
}

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (isSpace(s.front()) || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (isSpace(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<uint8_t> unitsToBytes(std::u16string_view units) {
    std::vector<uint8_t> out(units.size() * 2);
    for (size_t i = 0; i < units.size(); ++i) {
        out[i * 2] = static_cast<uint8_t>(units[i] & 0xFF);
        out[i * 2 + 1] = static_cast<uint8_t>(units[i] >> 8);
    }
    return out;
}

std::u16string bytesToUnits(const std::vector<uint8_t>& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(bytes[i * 2] | (bytes[i * 2 + 1] << 8));
    return out;
}

bool isStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Reads a quoted string at s[*pos] == '"' with the \\ and \" escapes (any other backslash
// stands for itself); *pos ends after the closing quote.
bool readQuoted(std::string_view s, size_t* pos, std::string* out) {
    out->clear();
    size_t i = *pos + 1;
    while (i < s.size()) {
        char c = s[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out->push_back(s[i + 1]);
            i += 2;
            continue;
        }
        out->push_back(c);
        ++i;
    }
    return false;
}

std::string escapeQuoted(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char c : s) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

// "01,02, 0a" (commas between bytes, spaces anywhere, one trailing comma tolerated).
bool parseHexList(std::string_view s, std::vector<uint8_t>* out, std::string* why) {
    out->clear();
    s = trim(s);
    if (s.empty()) return true;
    size_t i = 0;
    for (;;) {
        while (i < s.size() && isSpace(s[i]))
            ++i;
        if (i >= s.size()) break; // trailing comma
        int value = 0, digits = 0;
        while (i < s.size() && hexDigit(s[i]) >= 0) {
            value = value * 16 + hexDigit(s[i]);
            if (++digits > 2) {
                *why = "hex byte with more than two digits";
                return false;
            }
            ++i;
        }
        if (digits == 0) {
            *why = "bad hex byte";
            return false;
        }
        out->push_back(static_cast<uint8_t>(value));
        while (i < s.size() && isSpace(s[i]))
            ++i;
        if (i >= s.size()) break;
        if (s[i] != ',') {
            *why = "expected ',' between hex bytes";
            return false;
        }
        ++i;
    }
    return true;
}

std::string hexList(const std::vector<uint8_t>& data, size_t firstLineUsed) {
    std::string out;
    size_t column = firstLineUsed;
    for (size_t i = 0; i < data.size(); ++i) {
        char byte[4];
        snprintf(byte, sizeof byte, "%02x", data[i]);
        out += byte;
        column += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++column;
            if (column > 76) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
    return out;
}

// The text of a REG_SZ that can be written as "text": terminated once at its end, with no
// other terminator, no line break and no unpaired surrogate. Anything else goes out as hex(1).
bool plainStringText(const std::vector<uint8_t>& data, std::string* text) {
    if (data.size() < 2 || data.size() % 2 != 0) return false;
    std::u16string units = bytesToUnits(data);
    if (units.back() != 0) return false;
    units.pop_back();
    for (char16_t c : units)
        if (c == 0 || c == u'\r' || c == u'\n') return false;
    *text = ce::toUtf8(units);
    return ce::fromUtf8(*text) == units;
}

bool hasLineBreak(std::u16string_view s) {
    return s.find(u'\n') != std::u16string_view::npos || s.find(u'\r') != std::u16string_view::npos;
}

// Opens hKey\path for reading, or creates it.
LONG openKey(HKEY root, const std::u16string& path, bool create, HKEY* out) {
    if (create) {
        DWORD disposition = 0;
        return RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, out,
                               &disposition);
    }
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, out);
}

std::string errorText(LONG error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return "not found";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_BAD_PATHNAME: return "bad key path";
    case ERROR_INVALID_PARAMETER: return "invalid name or data";
    case ERROR_KEY_DELETED: return "key deleted";
    default: return "error " + std::to_string(error);
    }
}

} // namespace

bool parseRootName(std::string_view name, HKEY* root) {
    for (const auto& r : kRoots) {
        if (equalsNoCaseAscii(name, r.full) || equalsNoCaseAscii(name, r.shortName)) {
            *root = r.root;
            return true;
        }
    }
    return false;
}

const char* rootFullName(HKEY root) {
    for (const auto& r : kRoots)
        if (r.root == root) return r.full;
    return "";
}

bool parseKeyArgument(std::string_view text, HKEY* root, std::u16string* path) {
    size_t slash = text.find('\\');
    std::string_view rootPart = text.substr(0, slash);
    if (!parseRootName(rootPart, root)) return false;
    path->clear();
    if (slash != std::string_view::npos) *path = ce::fromUtf8(text.substr(slash + 1));
    std::vector<std::u16string> parts;
    return splitKeyPath(*path, &parts) == ERROR_SUCCESS;
}

namespace {

// 1 to maxDigits hex digits, nothing else.
bool parseHexNumber(std::string_view digits, size_t maxDigits, DWORD* out) {
    if (digits.empty() || digits.size() > maxDigits) return false;
    DWORD v = 0;
    for (char c : digits) {
        int d = hexDigit(c);
        if (d < 0) return false;
        v = (v << 4) | static_cast<DWORD>(d);
    }
    *out = v;
    return true;
}

// "[ROOT\path]" or "[-ROOT\path]" (s is trimmed and starts with '[').
bool parseKeyLine(std::string_view s, RegTextOp* op, std::string* why) {
    if (s.size() < 2 || s.back() != ']') {
        *why = "key line without its closing ']'";
        return false;
    }
    std::string_view inner = s.substr(1, s.size() - 2);
    bool remove = !inner.empty() && inner.front() == '-';
    if (remove) inner.remove_prefix(1);
    if (!parseKeyArgument(inner, &op->root, &op->key)) {
        *why = "bad key \"" + std::string(inner) + "\"";
        return false;
    }
    if (!op->key.empty() && op->key.back() == u'\\') op->key.pop_back();
    if (remove && op->key.empty()) {
        *why = "a root key cannot be deleted";
        return false;
    }
    op->op = remove ? TextOp::DeleteKey : TextOp::CreateKey;
    return true;
}

// The data after '=': -, "text", dword:, hex: or hex(type):.
bool parseValueData(std::string_view data, bool unicodeHex, RegTextOp* op, std::string* why) {
    if (data == "-") {
        op->op = TextOp::DeleteValue;
        return true;
    }
    op->op = TextOp::SetValue;
    if (!data.empty() && data.front() == '"') {
        size_t end = 0;
        std::string value;
        if (!readQuoted(data, &end, &value)) {
            *why = "string without its closing quote";
            return false;
        }
        if (!trim(data.substr(end)).empty()) {
            *why = "text after the closing quote";
            return false;
        }
        op->type = REG_SZ;
        op->data = stringData(value);
        return true;
    }
    if (startsWithNoCase(data, "dword:")) {
        DWORD v = 0;
        if (!parseHexNumber(trim(data.substr(6)), 8, &v)) {
            *why = "dword: needs 1 to 8 hex digits";
            return false;
        }
        op->type = REG_DWORD;
        op->data.resize(4);
        memcpy(op->data.data(), &v, 4);
        return true;
    }
    if (!startsWithNoCase(data, "hex:") && !startsWithNoCase(data, "hex(")) {
        *why = "unknown value data (expected \"text\", dword:, hex: or -)";
        return false;
    }
    op->type = REG_BINARY;
    size_t start = 4;
    if (data[3] == '(') {
        size_t close = data.find(')');
        if (close == std::string_view::npos || close + 1 >= data.size() || data[close + 1] != ':' ||
            !parseHexNumber(data.substr(4, close - 4), 8, &op->type)) {
            *why = "bad hex(type): prefix";
            return false;
        }
        start = close + 2;
    }
    std::vector<uint8_t> bytes;
    if (!parseHexList(data.substr(start), &bytes, why)) return false;
    if (bytes.size() > kMaxValueBytes) {
        *why = "value data too large";
        return false;
    }
    if (isStringType(op->type) && !unicodeHex) {
        // REGEDIT4 keeps text values as the file's own text bytes.
        op->data = unitsToBytes(ce::fromUtf8(std::string(bytes.begin(), bytes.end())));
    } else {
        op->data = std::move(bytes);
    }
    return true;
}

// A value line: @=data or "name"=data (s is trimmed).
bool parseValueLine(std::string_view s, bool unicodeHex, RegTextOp* op, std::string* why) {
    size_t pos = 0;
    std::string name;
    if (s.front() == '@') {
        pos = 1;
    } else if (s.front() == '"') {
        if (!readQuoted(s, &pos, &name)) {
            *why = "value name without its closing quote";
            return false;
        }
    } else {
        *why = "expected a key in [...], a \"name\" or @";
        return false;
    }
    op->name = ce::fromUtf8(name);
    if (op->name.size() > kMaxValueNameChars) {
        *why = "value name too long";
        return false;
    }
    while (pos < s.size() && isSpace(s[pos]))
        ++pos;
    if (pos >= s.size() || s[pos] != '=') {
        *why = "expected '=' after the value name";
        return false;
    }
    ++pos;
    while (pos < s.size() && isSpace(s[pos]))
        ++pos;
    return parseValueData(s.substr(pos), unicodeHex, op, why);
}

} // namespace

std::vector<RegTextOp> parseRegText(std::string_view text, std::vector<RegTextProblem>* problems) {
    std::vector<RegTextOp> ops;
    auto problem = [&](int line, std::string message) {
        if (problems) problems->push_back(RegTextProblem{line, std::move(message)});
    };
    if (text.size() >= 3 && static_cast<uint8_t>(text[0]) == 0xEF &&
        static_cast<uint8_t>(text[1]) == 0xBB && static_cast<uint8_t>(text[2]) == 0xBF)
        text.remove_prefix(3);

    std::vector<std::string_view> lines;
    for (size_t pos = 0; pos <= text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }

    size_t i = 0;
    while (i < lines.size() && trim(lines[i]).empty())
        ++i;
    if (i >= lines.size()) {
        problem(1, "empty file: no REGEDIT4 header");
        return ops;
    }
    std::string_view header = trim(lines[i]);
    bool unicodeHex = header == kHeader5;
    if (!unicodeHex && header != kHeader4) {
        problem(static_cast<int>(i + 1), "not a REGEDIT4 file (the first line must be REGEDIT4)");
        return ops;
    }
    ++i;

    bool haveKey = false; // the values that follow belong to `current`
    RegTextOp current;
    while (i < lines.size()) {
        int lineNo = static_cast<int>(i + 1);
        std::string logical(trim(lines[i]));
        ++i;
        // Hex data runs on over lines that end with a backslash.
        while (!logical.empty() && logical.back() == '\\' && i < lines.size()) {
            logical.pop_back();
            logical += trim(lines[i]);
            ++i;
        }
        std::string_view s = logical;
        if (s.empty() || s.front() == ';') continue;

        RegTextOp op;
        op.line = lineNo;
        std::string why;
        if (s.front() == '[') {
            haveKey = false;
            if (!parseKeyLine(s, &op, &why)) {
                problem(lineNo, why);
                continue;
            }
            if (op.op == TextOp::CreateKey) {
                haveKey = true;
                current = op;
            }
            ops.push_back(std::move(op));
            continue;
        }
        if (!haveKey) {
            problem(lineNo, "value outside a key");
            continue;
        }
        op.root = current.root;
        op.key = current.key;
        if (!parseValueLine(s, unicodeHex, &op, &why)) {
            problem(lineNo, why);
            continue;
        }
        ops.push_back(std::move(op));
    }
    return ops;
}

size_t applyRegText(const std::vector<RegTextOp>& ops, std::vector<RegTextProblem>* problems) {
    size_t done = 0;
    auto problem = [&](int line, std::string message) {
        if (problems) problems->push_back(RegTextProblem{line, std::move(message)});
    };
    HKEY open = nullptr, openRoot = nullptr;
    std::u16string openPath;
    auto closeOpen = [&] {
        if (open) RegCloseKey(open);
        open = nullptr;
    };
    for (const auto& op : ops) {
        switch (op.op) {
        case TextOp::DeleteKey: {
            closeOpen();
            LONG r = RegDeleteKeyW(op.root, op.key.c_str());
            if (r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND)
                ++done;
            else
                problem(op.line, "cannot delete key: " + errorText(r));
            break;
        }
        case TextOp::CreateKey:
        case TextOp::SetValue:
        case TextOp::DeleteValue: {
            if (!open || openRoot != op.root || openPath != op.key) {
                closeOpen();
                LONG r = openKey(op.root, op.key, true, &open);
                if (r != ERROR_SUCCESS) {
                    open = nullptr;
                    problem(op.line, "cannot create key: " + errorText(r));
                    break;
                }
                openRoot = op.root;
                openPath = op.key;
            }
            LONG r = ERROR_SUCCESS;
            if (op.op == TextOp::SetValue) {
                r = RegSetValueExW(open, op.name.c_str(), 0, op.type, op.data.data(),
                                   static_cast<DWORD>(op.data.size()));
            } else if (op.op == TextOp::DeleteValue) {
                r = RegDeleteValueW(open, op.name.c_str());
                if (r == ERROR_FILE_NOT_FOUND) r = ERROR_SUCCESS;
            }
            if (r == ERROR_SUCCESS)
                ++done;
            else
                problem(op.line, "cannot write value: " + errorText(r));
            break;
        }
        }
    }
    closeOpen();
    return done;
}

std::string formatRegTextValue(std::u16string_view name, DWORD type,
                               const std::vector<uint8_t>& data) {
    std::string line = name.empty() ? "@" : "\"" + escapeQuoted(ce::toUtf8(name)) + "\"";
    line += '=';
    std::string text;
    if (type == REG_SZ && plainStringText(data, &text))
        return line + "\"" + escapeQuoted(text) + "\"";
    if (type == REG_DWORD && data.size() == 4) {
        DWORD v = 0;
        memcpy(&v, data.data(), 4);
        char buf[16];
        snprintf(buf, sizeof buf, "dword:%08x", v);
        return line + buf;
    }
    if (type == REG_BINARY) {
        line += "hex:";
        return line + hexList(data, line.size());
    }
    char prefix[24];
    snprintf(prefix, sizeof prefix, "hex(%x):", type);
    line += prefix;
    if (isStringType(type)) {
        std::string utf8 = ce::toUtf8(bytesToUnits(data));
        return line + hexList(std::vector<uint8_t>(utf8.begin(), utf8.end()), line.size());
    }
    return line + hexList(data, line.size());
}

LONG exportRegText(HKEY root, std::u16string_view path, std::string* out, size_t* skipped) {
    if (skipped) *skipped = 0;
    const char* rootName = rootFullName(root);
    if (!*rootName) return ERROR_INVALID_HANDLE;
    {
        HKEY probe = nullptr;
        LONG r = openKey(root, std::u16string(path), false, &probe);
        if (r != ERROR_SUCCESS) return r;
        RegCloseKey(probe);
    }
    out->assign(kHeader4);
    *out += "\n";
    std::vector<std::u16string> pending{std::u16string(path)};
    while (!pending.empty()) {
        std::u16string keyPath = std::move(pending.back());
        pending.pop_back();
        HKEY key = nullptr;
        if (openKey(root, keyPath, false, &key) != ERROR_SUCCESS) continue; // deleted meanwhile
        *out += "\n[";
        *out += rootName;
        if (!keyPath.empty()) *out += "\\" + ce::toUtf8(keyPath);
        *out += "]\n";
        std::vector<WCHAR> name(kMaxValueNameChars + 1);
        std::vector<uint8_t> data;
        for (DWORD index = 0, retries = 0;;) {
            DWORD maxData = 0;
            RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, &maxData, nullptr, nullptr);
            data.assign(maxData + 1, 0);
            DWORD nameChars = static_cast<DWORD>(name.size());
            DWORD type = 0, size = static_cast<DWORD>(data.size());
            LONG r = RegEnumValueW(key, index, name.data(), &nameChars, nullptr, &type, data.data(),
                                   &size);
            if (r == ERROR_MORE_DATA && ++retries < 8) continue; // grew meanwhile: look again
            if (r != ERROR_SUCCESS) break;
            ++index;
            retries = 0;
            std::u16string valueName(name.data(), nameChars);
            if (hasLineBreak(valueName)) {
                if (skipped) ++*skipped;
                continue;
            }
            data.resize(size);
            *out += formatRegTextValue(valueName, type, data) + "\n";
        }
        std::vector<std::u16string> children;
        std::vector<WCHAR> child(kMaxKeyNameChars + 1);
        for (DWORD index = 0;; ++index) {
            DWORD chars = static_cast<DWORD>(child.size());
            if (RegEnumKeyExW(key, index, child.data(), &chars, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS)
                break;
            std::u16string childName(child.data(), chars);
            if (hasLineBreak(childName)) {
                if (skipped) ++*skipped;
                continue;
            }
            children.push_back(keyPath.empty() ? childName : keyPath + u"\\" + childName);
        }
        RegCloseKey(key);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.push_back(*it);
    }
    return ERROR_SUCCESS;
}

bool parseDwordText(std::string_view text, DWORD* out) {
    if (text.empty()) return false;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::string_view digits = text.substr(2);
        if (digits.size() > 8) return false;
        DWORD v = 0;
        for (char c : digits) {
            int d = hexDigit(c);
            if (d < 0) return false;
            v = (v << 4) | static_cast<DWORD>(d);
        }
        *out = v;
        return true;
    }
    bool negative = text[0] == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 10) return false;
    uint64_t v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (negative) {
        if (v > 2147483648ULL) return false;
        *out = static_cast<DWORD>(-static_cast<int64_t>(v));
    } else {
        if (v > 0xFFFFFFFFULL) return false;
        *out = static_cast<DWORD>(v);
    }
    return true;
}

bool parseHexText(std::string_view text, std::vector<uint8_t>* out) {
    out->clear();
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '\t') {
            if (high >= 0) return false; // a separator splits a byte
            continue;
        }
        int d = hexDigit(c);
        if (d < 0) return false;
        if (high < 0) {
            high = d;
        } else {
            out->push_back(static_cast<uint8_t>(high * 16 + d));
            high = -1;
        }
        if (out->size() > kMaxValueBytes) return false;
    }
    return high < 0;
}

std::vector<uint8_t> stringData(std::string_view utf8) {
    std::u16string units = ce::fromUtf8(utf8);
    units.push_back(u'\0');
    return unitsToBytes(units);
}

std::vector<uint8_t> multiStringData(std::string_view utf8) {
    std::u16string units;
    size_t pos = 0;
    while (pos <= utf8.size() && !utf8.empty()) {
        size_t sep = utf8.find("\\0", pos);
        if (sep == std::string_view::npos) sep = utf8.size();
        units += ce::fromUtf8(utf8.substr(pos, sep - pos));
        units.push_back(u'\0');
        pos = sep + 2;
    }
    units.push_back(u'\0');
    return unitsToBytes(units);
}

std::string formatValueData(DWORD type, const std::vector<uint8_t>& data) {
    if (type == REG_DWORD && data.size() == 4) {
        int32_t v = 0;
        memcpy(&v, data.data(), 4);
        return std::to_string(v);
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::u16string units = bytesToUnits(data);
        size_t end = units.find(u'\0');
        if (end != std::u16string::npos) units.resize(end);
        return ce::toUtf8(units);
    }
    if (type == REG_MULTI_SZ) {
        std::u16string units = bytesToUnits(data);
        while (!units.empty() && units.back() == 0)
            units.pop_back();
        std::string out;
        size_t pos = 0;
        for (;;) {
            size_t end = units.find(u'\0', pos);
            out += ce::toUtf8(std::u16string_view(units).substr(
                pos, end == std::u16string::npos ? std::u16string::npos : end - pos));
            if (end == std::u16string::npos) break;
            out += "\\0";
            pos = end + 1;
        }
        return out;
    }
    std::string out;
    char byte[4];
    for (uint8_t b : data) {
        snprintf(byte, sizeof byte, "%02x", b);
        out += byte;
    }
    return out;
}

} // namespace ce::reg
