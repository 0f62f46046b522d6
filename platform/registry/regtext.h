// regtext.h: the registry as text: REGEDIT4 import and export, and the value notation of
// `cedev reg`.
//
// REGEDIT4 files are UTF-8 here (the device's tools read and write UTF-8):
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Brenvox\Zolvane]
//   "skinName"="Blue \"Night\""        REG_SZ, with \\ and \" escapes
//   "maxAlarms"=dword:0000000c         REG_DWORD
//   "AlarmNotFlags"=hex:0d,00,00,00    REG_BINARY (long data continues after a trailing '\')
//   "List"=hex(7):61,00,62,00,00       any other type by number; for REG_SZ, REG_EXPAND_SZ and
//                                      REG_MULTI_SZ (1, 2, 7) the bytes are the UTF-8 text with
//                                      its 00 separators, as REGEDIT4 stored text in the file's
//                                      own encoding
//   @="default value"                  the key's default value
//   "old"=-                            deletes a value
//   [-HKEY_CURRENT_USER\Software\Old]  deletes a key with everything below it
//
// A file that starts with "Windows Registry Editor Version 5.00" is read the same way, except
// that its hex(1), hex(2) and hex(7) bytes are UTF-16LE, as that format defines. Lines starting
// with ';' are comments. A bad line is reported with its number and skipped; the rest of the
// file still counts.
//
// Inside the platform only (cedev, tests, the fuzzer).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "winreg.h"

namespace ce::reg {

enum class TextOp { CreateKey, DeleteKey, SetValue, DeleteValue };

struct RegTextOp {
    TextOp op = TextOp::CreateKey;
    HKEY root = nullptr;
    std::u16string key;  // below the root
    std::u16string name; // value name; empty for the default value
    DWORD type = 0;
    std::vector<uint8_t> data;
    int line = 0; // where it was written
};

struct RegTextProblem {
    int line = 0;
    std::string message;
};

// "HKEY_LOCAL_MACHINE" or "HKLM" (and the other two roots), in any case.
bool parseRootName(std::string_view name, HKEY* root);
// "HKEY_LOCAL_MACHINE" for HKEY_LOCAL_MACHINE ...; "" for anything else.
const char* rootFullName(HKEY root);
// "HKLM\Software\Microsoft" (UTF-8): the root and the subkey path below it (possibly empty).
bool parseKeyArgument(std::string_view text, HKEY* root, std::u16string* path);

// Parses REGEDIT4 text into the operations it asks for, in file order.
std::vector<RegTextOp> parseRegText(std::string_view text, std::vector<RegTextProblem>* problems);
// Carries the operations out on the registry; returns how many succeeded. Failures are added to
// problems with the line that asked for them.
size_t applyRegText(const std::vector<RegTextOp>& ops, std::vector<RegTextProblem>* problems);
// Writes the key, its values and every key below it as REGEDIT4 text. Keys and values whose
// names hold a line break cannot be written in this format: they are left out and counted in
// *skipped.
LONG exportRegText(HKEY root, std::u16string_view path, std::string* out,
                   size_t* skipped = nullptr);
// One "name"=data line of a REGEDIT4 file (without the line break).
std::string formatRegTextValue(std::u16string_view name, DWORD type,
                               const std::vector<uint8_t>& data);

// `cedev reg` notation. A DWORD is signed or unsigned decimal or 0x hex; binary data is hex
// digit pairs, optionally separated by spaces or commas.
bool parseDwordText(std::string_view text, DWORD* out);
bool parseHexText(std::string_view text, std::vector<uint8_t>* out);
// REG_SZ data (UTF-16 with terminator) from UTF-8 text.
std::vector<uint8_t> stringData(std::string_view utf8);
// REG_MULTI_SZ data from strings separated by the two characters "\0".
std::vector<uint8_t> multiStringData(std::string_view utf8);
// The DATA of a query line: DWORD as signed decimal, strings as UTF-8 text, REG_MULTI_SZ as
// its strings joined with "\0", anything else as lowercase hex.
std::string formatValueData(DWORD type, const std::vector<uint8_t>& data);

} // namespace ce::reg
