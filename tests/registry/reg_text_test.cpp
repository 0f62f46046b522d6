// reg_text_test.cpp: REGEDIT4 import and export, and the value notation of cedev reg.
#include <cstring>

#include "registry/regtext.h"
#include "kernel/strings.h"
#include "regtest.h"
#include "testdevice.h"

namespace {

using namespace ce::reg;
using cetest::DeviceTest;
using namespace regtest;

class RegTextRoundTrip : public DeviceTest {};

struct Snapshot {
    std::vector<std::string> keys;
    std::vector<std::string> values; // "key|name|type|hex data"
};

std::string hex(const std::vector<BYTE>& data) {
    std::string s;
    char b[4];
    for (BYTE c : data) {
        snprintf(b, sizeof b, "%02x", c);
        s += b;
    }
    return s;
}

// Everything below root\path, in enumeration order.
void snapshot(HKEY root, const std::u16string& path, Snapshot* out) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    out->keys.push_back(ce::toUtf8(path));
    for (DWORD i = 0;; ++i) {
        WCHAR name[300];
        DWORD chars = 300;
        if (RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr)) break;
        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_TRUE(readValue(key, name, &type, &data));
        out->values.push_back(ce::toUtf8(path) + "|" + ce::toUtf8(name) + "|" +
                              std::to_string(type) + "|" + hex(data));
    }
    std::vector<std::u16string> children;
    for (DWORD i = 0;; ++i) {
        WCHAR name[300];
        DWORD chars = 300;
        if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr)) break;
        children.push_back(path + u"\\" + name);
    }
    RegCloseKey(key);
    for (const auto& c : children)
        snapshot(root, c, out);
}

std::vector<BYTE> units(const std::u16string& s, bool terminate = true) {
    std::vector<BYTE> out(reinterpret_cast<const BYTE*>(s.data()),
                          reinterpret_cast<const BYTE*>(s.data() + s.size()));
    if (terminate) out.insert(out.end(), {0, 0});
    return out;
}

// Export, delete, import: every key and value comes back with its type, bytes and order.
TEST_F(RegTextRoundTrip, EveryKindOfValueSurvives) {
    {
        TestKey key(u"Software\\Brenvox\\Zolvane");
        ASSERT_EQ(setDword(key, u"maxAlarms", 12), ERROR_SUCCESS);
        ASSERT_EQ(setDword(key, u"negative", 0xFFFFFFFE), ERROR_SUCCESS);
        ASSERT_EQ(setString(key, u"skinName", u"Blue \"Night\" \\ Grüße ✓"), ERROR_SUCCESS);
        ASSERT_EQ(setString(key, u"", u"default"), ERROR_SUCCESS);
        ASSERT_EQ(setString(key, u"name \"with\" quotes\\", u""), ERROR_SUCCESS);
        ASSERT_EQ(setString(key, u"path", u"%windir%\\x", REG_EXPAND_SZ), ERROR_SUCCESS);
        ASSERT_EQ(setBytes(key, u"multi", REG_MULTI_SZ, units(std::u16string(u"one\0two\0", 8))),
                  ERROR_SUCCESS);
        std::vector<BYTE> blob(150);
        for (size_t i = 0; i < blob.size(); ++i)
            blob[i] = static_cast<BYTE>(i * 37);
        ASSERT_EQ(setBytes(key, u"SHColor", REG_BINARY, blob), ERROR_SUCCESS);
        ASSERT_EQ(setBytes(key, u"empty", REG_BINARY, {}), ERROR_SUCCESS);
        ASSERT_EQ(setBytes(key, u"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}), ERROR_SUCCESS);
        ASSERT_EQ(setBytes(key, u"shortDword", REG_DWORD, {1, 2}), ERROR_SUCCESS);
        ASSERT_EQ(setBytes(key, u"unterminated", REG_SZ, units(u"abc", false)), ERROR_SUCCESS);
        ASSERT_EQ(setString(key, u"lines", u"Meeting\r\nRoom 4"), ERROR_SUCCESS);
        TestKey item(u"Software\\Brenvox\\Zolvane\\\"Item\" [1] {x}");
        ASSERT_EQ(setDword(item, u"Enabled", 1), ERROR_SUCCESS);
        TestKey empty(u"Software\\Brenvox\\Zolvane\\Empty");
    }
    Snapshot before;
    snapshot(HKEY_CURRENT_USER, u"Software\\Brenvox", &before);
    std::string text;
    ASSERT_EQ(exportRegText(HKEY_CURRENT_USER, u"Software\\Brenvox", &text), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Brenvox"), ERROR_SUCCESS);

    std::vector<RegTextProblem> problems;
    auto ops = parseRegText(text, &problems);
    EXPECT_TRUE(problems.empty()) << problems[0].line << ": " << problems[0].message << "\n"
                                  << text;
    EXPECT_EQ(applyRegText(ops, &problems), ops.size());
    Snapshot after;
    snapshot(HKEY_CURRENT_USER, u"Software\\Brenvox", &after);
    EXPECT_EQ(after.keys, before.keys);
    EXPECT_EQ(after.values, before.values) << text;
    EXPECT_NE(text.find("\"maxAlarms\"=dword:0000000c\n"), std::string::npos) << text;
    EXPECT_NE(text.find("@=\"default\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"skinName\"=\"Blue \\\"Night\\\" \\\\ Grüße ✓\"\n"), std::string::npos)
        << text;
}

TEST(RegTextParse, BadLinesAreReportedAndTheRestImported) {
    const char* text = "REGEDIT4\n"                             // 1
                       "\n"                                     // 2
                       "\"orphan\"=dword:1\n"                   // 3: no key yet
                       "[HKEY_CURRENT_USER\\Software\\T]\n"     // 4
                       "\"a\"=dword:0000000A\n"                 // 5
                       "\"b\"=dword:xyz\n"                      // 6: bad
                       "\"c\"=\"unterminated\n"                 // 7: bad
                       "; a comment\n"                          // 8
                       "\"d\"=hex:01,02,\\\n"                   // 9
                       "  03,04\n"                              // 10
                       "\"e\"=hex(7):61,00,62,00,00\n"          // 11
                       "noise\n"                                // 12: bad
                       "[HKLM\\Software\\T2\n"                  // 13: bad
                       "\"f\"=dword:1\n"                        // 14: no key (13 failed)
                       "[-HKEY_CURRENT_USER\\Software\\Old]\n"  // 15
                       "[hkey_local_machine\\Software\\T3]\n"   // 16
                       "\"g\"=-\n"                              // 17
                       "@=\"dflt\"\n"                           // 18
                       "\"h\"=hex(b):01,02,03,04,05,06,07,08\n" // 19
                       "\"i\"=dword:123456789\n";               // 20: bad
    std::vector<RegTextProblem> problems;
    auto ops = parseRegText(text, &problems);
    std::vector<int> lines;
    for (const auto& p : problems)
        lines.push_back(p.line);
    EXPECT_EQ(lines, (std::vector<int>{3, 6, 7, 12, 13, 14, 20}));
    ASSERT_EQ(ops.size(), 9u);
    EXPECT_EQ(ops[0].op, TextOp::CreateKey);
    EXPECT_EQ(ops[0].root, HKEY_CURRENT_USER);
    EXPECT_EQ(ops[0].key, u"Software\\T");
    EXPECT_EQ(ops[1].name, u"a");
    EXPECT_EQ(ops[1].data, (std::vector<uint8_t>{10, 0, 0, 0}));
    EXPECT_EQ(ops[2].name, u"d");
    EXPECT_EQ(ops[2].line, 9);
    EXPECT_EQ(ops[2].type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(ops[2].data, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(ops[3].type, static_cast<DWORD>(REG_MULTI_SZ));
    // REGEDIT4 text bytes: each byte of the file's text is a character of the value.
    EXPECT_EQ(ops[3].data, units(std::u16string(u"a\0b\0\0", 5), false));
    EXPECT_EQ(ops[4].op, TextOp::DeleteKey);
    EXPECT_EQ(ops[5].root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(ops[6].op, TextOp::DeleteValue);
    EXPECT_EQ(ops[6].name, u"g");
    EXPECT_EQ(ops[7].name, u"");
    EXPECT_EQ(ops[7].data, units(u"dflt"));
    EXPECT_EQ(ops[8].type, static_cast<DWORD>(REG_QWORD));
    EXPECT_EQ(ops[8].data, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(RegTextParse, HeaderDecidesTheFile) {
    std::vector<RegTextProblem> problems;
    EXPECT_TRUE(parseRegText("[HKEY_CURRENT_USER\\X]\n\"a\"=dword:1\n", &problems).empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 1);
    problems.clear();
    EXPECT_TRUE(parseRegText("", &problems).empty());
    EXPECT_EQ(problems.size(), 1u);
    // Version 5 files carry hex(7) text as UTF-16LE; a UTF-8 byte order mark is skipped.
    problems.clear();
    auto ops = parseRegText("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_CURRENT_USER\\X]\r\n\"m\"=hex(7):61,00,00,00,00,00\r\n",
                            &problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[1].data, (std::vector<uint8_t>{0x61, 0, 0, 0, 0, 0}));
}

class RegTextApply : public DeviceTest {};

TEST_F(RegTextApply, DeletionsAndBadWritesAreCarriedOutOrReported) {
    TestKey old(u"Software\\Old\\Sub");
    TestKey keep(u"Software\\Keep");
    ASSERT_EQ(setDword(keep, u"gone", 1), ERROR_SUCCESS);
    ASSERT_EQ(setDword(keep, u"stays", 2), ERROR_SUCCESS);
    std::vector<RegTextProblem> problems;
    auto ops = parseRegText("REGEDIT4\n[-HKEY_CURRENT_USER\\Software\\Old]\n"
                            "[-HKEY_CURRENT_USER\\Software\\NeverWas]\n"
                            "[HKEY_CURRENT_USER\\Software\\Keep]\n\"gone\"=-\n\"never\"=-\n"
                            "\"new\"=\"x\"\n",
                            &problems);
    ASSERT_TRUE(problems.empty());
    EXPECT_EQ(applyRegText(ops, &problems), ops.size());
    EXPECT_TRUE(problems.empty());
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Old", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(valueNames(keep), (std::vector<std::string>{"stays", "new"}));
    // A key name the registry refuses is reported with its line.
    std::string longKey =
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\" + std::string(300, 'k') + "]\n\"v\"=dword:1\n";
    problems.clear();
    ops = parseRegText(longKey, &problems);
    applyRegText(ops, &problems);
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems[0].line, 2);
}

TEST(RegTextNotation, DwordsInEveryAcceptedForm) {
    struct Case {
        const char* text;
        bool ok;
        DWORD value;
    } cases[] = {
        {"0", true, 0},
        {"12", true, 12},
        {"4294967295", true, 0xFFFFFFFF},
        {"-1", true, 0xFFFFFFFF},
        {"-2147483648", true, 0x80000000},
        {"0xFFFFFFFF", true, 0xFFFFFFFF},
        {"0x1a", true, 0x1A},
        {"4294967296", false, 0},
        {"-2147483649", false, 0},
        {"0x123456789", false, 0},
        {"0x", false, 0},
        {"12a", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {" 1", false, 0},
    };
    for (const auto& c : cases) {
        DWORD v = kPoisonDword;
        EXPECT_EQ(parseDwordText(c.text, &v), c.ok) << c.text;
        EXPECT_EQ(v, c.ok ? c.value : kPoisonDword) << c.text;
    }
}

TEST(RegTextNotation, HexAndDisplayForms) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(parseHexText("0d000000", &bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x0D, 0, 0, 0}));
    EXPECT_TRUE(parseHexText("0D 00,ff, Aa", &bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x0D, 0, 0xFF, 0xAA}));
    EXPECT_TRUE(parseHexText("", &bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(parseHexText("0d0", &bytes));
    EXPECT_FALSE(parseHexText("0 d", &bytes));
    EXPECT_FALSE(parseHexText("zz", &bytes));

    EXPECT_EQ(formatValueData(REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}), "-2");
    EXPECT_EQ(formatValueData(REG_SZ, stringData("Grüße")), "Grüße");
    EXPECT_EQ(formatValueData(REG_MULTI_SZ, multiStringData("a\\0b")), "a\\0b");
    EXPECT_EQ(multiStringData("a\\0b"), units(std::u16string(u"a\0b\0", 4)));
    EXPECT_EQ(formatValueData(REG_BINARY, {0x0D, 0xAB}), "0dab");
    EXPECT_EQ(formatValueData(REG_DWORD, {1, 2}), "0102") << "a DWORD of the wrong size is hex";
}

} // namespace
