// cmd_reg.cpp: cedev reg: reading and writing the device registry from outside.
//
//   cedev reg query KEY [VALUE]     one line per value, "name=TYPE,DATA" (the default value is
//                                   named @), then one "[Subkey]" line per subkey
//   cedev reg set KEY NAME TYPE DATA      TYPE: dword | sz | expand_sz | multi_sz | binary
//   cedev reg delete KEY [NAME]     a value, or the key with everything below it
//   cedev reg export KEY FILE       REGEDIT4 text ("-" for stdout)
//   cedev reg import FILE           REGEDIT4 text ("-" for stdin)
//
// KEY starts with HKLM, HKCU, HKCR or the full root name, in any case. TYPE in query lines is
// the type number; DATA is a DWORD in signed decimal, text as UTF-8, a REG_MULTI_SZ as its
// strings joined by the two characters \0, anything else as lowercase hex. The same notation
// is accepted by set (a DWORD also unsigned or 0x hex, binary hex with or without spaces or
// commas).
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cedev.h"
#include "kernel/strings.h"
#include "registry/regdb.h"
#include "registry/regtext.h"
#include "winreg.h"

namespace cedev {

namespace {

using ce::reg::formatValueData;

std::string win32Error(LONG r) {
    switch (r) {
    case ERROR_FILE_NOT_FOUND: return "not found";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_BAD_PATHNAME: return "bad key path";
    case ERROR_INVALID_PARAMETER: return "invalid name or data";
    case ERROR_CANTOPEN: return "cannot open the registry";
    default: return "error " + std::to_string(r);
    }
}

bool keyArgument(const std::string& text, HKEY* root, std::u16string* path) {
    if (ce::reg::parseKeyArgument(text, root, path)) return true;
    usage("bad key \"" + text + "\" (expected HKLM\\..., HKCU\\... or HKCR\\...)");
    return false;
}

// "@" names the key's default value.
std::u16string valueName(const std::string& text) {
    return text == "@" ? std::u16string() : ce::fromUtf8(text);
}

std::string displayName(const std::u16string& name) {
    return name.empty() ? "@" : ce::toUtf8(name);
}

bool readWholeFile(const std::string& file, std::string* text) {
    if (file == "-") {
        text->assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    *text = s.str();
    return true;
}

void printValue(const std::u16string& name, DWORD type, const std::vector<uint8_t>& data) {
    printf("%s=%u,%s\n", displayName(name).c_str(), static_cast<unsigned>(type),
           formatValueData(type, data).c_str());
}

// Reads one whole value; false with the error in *r.
bool readValue(HKEY key, const std::u16string& name, DWORD* type, std::vector<uint8_t>* data,
               LONG* r) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD size = 0;
        *r = RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size);
        if (*r != ERROR_SUCCESS) return false;
        data->assign(size, 0);
        *r = RegQueryValueExW(key, name.c_str(), nullptr, type, data->data(), &size);
        if (*r == ERROR_MORE_DATA) continue;
        if (*r != ERROR_SUCCESS) return false;
        data->resize(size);
        return true;
    }
    return false;
}

// The name as the registry keeps it (names are looked up without regard to case).
std::u16string storedName(HKEY key, const std::u16string& asked) {
    std::vector<WCHAR> name(ce::reg::kMaxValueNameChars + 1);
    for (DWORD index = 0;; ++index) {
        DWORD chars = static_cast<DWORD>(name.size());
        if (RegEnumValueW(key, index, name.data(), &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            return asked;
        std::u16string candidate(name.data(), chars);
        if (ce::equalNoCase(candidate, asked)) return candidate;
    }
}

int regQuery(const Args& args) {
    if (args.size() < 2 || args.size() > 3) return usage("reg query KEY [VALUE]");
    HKEY root = nullptr;
    std::u16string path;
    if (!keyArgument(args[1], &root, &path)) return 2;
    HKEY key = nullptr;
    LONG r = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
    if (r != ERROR_SUCCESS) return fail(args[1] + ": " + win32Error(r));
    int status = 0;
    if (args.size() == 3) {
        std::u16string name = valueName(args[2]);
        DWORD type = 0;
        std::vector<uint8_t> data;
        if (readValue(key, name, &type, &data, &r))
            printValue(storedName(key, name), type, data);
        else
            status = fail(args[1] + " " + args[2] + ": " + win32Error(r));
        RegCloseKey(key);
        return status;
    }
    std::vector<WCHAR> name(ce::reg::kMaxValueNameChars + 1);
    for (DWORD index = 0;; ++index) {
        DWORD chars = static_cast<DWORD>(name.size());
        DWORD type = 0, size = 0;
        r = RegEnumValueW(key, index, name.data(), &chars, nullptr, &type, nullptr, &size);
        if (r != ERROR_SUCCESS) break;
        std::u16string valueName(name.data(), chars);
        std::vector<uint8_t> data;
        if (readValue(key, valueName, &type, &data, &r)) printValue(valueName, type, data);
    }
    for (DWORD index = 0;; ++index) {
        DWORD chars = static_cast<DWORD>(name.size());
        r = RegEnumKeyExW(key, index, name.data(), &chars, nullptr, nullptr, nullptr, nullptr);
        if (r != ERROR_SUCCESS) break;
        printf("[%s]\n", ce::toUtf8(std::u16string(name.data(), chars)).c_str());
    }
    RegCloseKey(key);
    return status;
}

int regSet(const Args& args) {
    if (args.size() != 5) return usage("reg set KEY NAME dword|sz|expand_sz|multi_sz|binary DATA");
    HKEY root = nullptr;
    std::u16string path;
    if (!keyArgument(args[1], &root, &path)) return 2;
    const std::string& kind = args[3];
    const std::string& text = args[4];
    DWORD type = 0;
    std::vector<uint8_t> data;
    if (kind == "dword") {
        DWORD v = 0;
        if (!ce::reg::parseDwordText(text, &v))
            return usage("bad dword \"" + text + "\" (decimal, -decimal or 0x hex)");
        type = REG_DWORD;
        data.resize(4);
        memcpy(data.data(), &v, 4);
    } else if (kind == "sz" || kind == "expand_sz") {
        type = kind == "sz" ? REG_SZ : REG_EXPAND_SZ;
        data = ce::reg::stringData(text);
    } else if (kind == "multi_sz") {
        type = REG_MULTI_SZ;
        data = ce::reg::multiStringData(text);
    } else if (kind == "binary") {
        if (!ce::reg::parseHexText(text, &data))
            return usage("bad binary \"" + text + "\" (hex byte pairs)");
        type = REG_BINARY;
    } else {
        return usage("unknown type \"" + kind + "\" (dword, sz, expand_sz, multi_sz, binary)");
    }
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG r = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                             &disposition);
    if (r != ERROR_SUCCESS) return fail(args[1] + ": " + win32Error(r));
    r = RegSetValueExW(key, valueName(args[2]).c_str(), 0, type, data.data(),
                       static_cast<DWORD>(data.size()));
    if (r == ERROR_SUCCESS) r = RegFlushKey(key);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) return fail(args[1] + " " + args[2] + ": " + win32Error(r));
    return 0;
}

int regDelete(const Args& args) {
    if (args.size() < 2 || args.size() > 3) return usage("reg delete KEY [NAME]");
    HKEY root = nullptr;
    std::u16string path;
    if (!keyArgument(args[1], &root, &path)) return 2;
    LONG r;
    if (args.size() == 2) {
        if (path.empty()) return usage("a root key cannot be deleted");
        r = RegDeleteKeyW(root, path.c_str());
    } else {
        HKEY key = nullptr;
        r = RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, &key);
        if (r == ERROR_SUCCESS) {
            r = RegDeleteValueW(key, valueName(args[2]).c_str());
            RegCloseKey(key);
        }
    }
    if (r != ERROR_SUCCESS)
        return fail(args[1] + (args.size() == 3 ? " " + args[2] : "") + ": " + win32Error(r));
    return 0;
}

int regExport(const Args& args) {
    if (args.size() != 3) return usage("reg export KEY FILE");
    HKEY root = nullptr;
    std::u16string path;
    if (!keyArgument(args[1], &root, &path)) return 2;
    std::string text;
    size_t skipped = 0;
    LONG r = ce::reg::exportRegText(root, path, &text, &skipped);
    if (r != ERROR_SUCCESS) return fail(args[1] + ": " + win32Error(r));
    if (skipped)
        fprintf(stderr, "cedev: %zu names with line breaks left out (REGEDIT4 cannot hold them)\n",
                skipped);
    if (args[2] == "-") {
        fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    std::ofstream out(args[2], std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) return fail("cannot write " + args[2]);
    return 0;
}

int regImport(const Args& args) {
    if (args.size() != 2) return usage("reg import FILE");
    std::string text;
    if (!readWholeFile(args[1], &text)) return fail("cannot read " + args[1]);
    std::vector<ce::reg::RegTextProblem> problems;
    auto ops = ce::reg::parseRegText(text, &problems);
    ce::reg::applyRegText(ops, &problems);
    for (const auto& p : problems)
        fprintf(stderr, "%s:%d: %s\n", args[1].c_str(), p.line, p.message.c_str());
    RegFlushKey(HKEY_LOCAL_MACHINE);
    return problems.empty() ? 0 : 1;
}

} // namespace

int cmdReg(const Args& args) {
    if (args.empty()) return usage("reg query|set|delete|export|import ... (see cedev --help)");
    if (!needDevice()) return 1;
    const std::string& verb = args[0];
    if (verb == "query") return regQuery(args);
    if (verb == "set") return regSet(args);
    if (verb == "delete") return regDelete(args);
    if (verb == "export") return regExport(args);
    if (verb == "import") return regImport(args);
    return usage("unknown reg command \"" + verb + "\"");
}

} // namespace cedev
