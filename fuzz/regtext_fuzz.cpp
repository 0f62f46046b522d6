// regtext_fuzz.cpp: libFuzzer target for the REGEDIT4 parser (cedev reg import).
//
// Any input must parse without a crash, an overflow or undefined behaviour, and every value the
// parser accepts must survive being written out as a REGEDIT4 line and read back: binary and
// DWORD data byte for byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/regtext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<ce::reg::RegTextProblem> problems;
    auto ops = ce::reg::parseRegText(text, &problems);
    for (const auto& op : ops) {
        if (op.op != ce::reg::TextOp::SetValue) continue;
        if (op.name.find_first_of(u"\r\n") != std::u16string::npos) continue;
        std::string line = ce::reg::formatRegTextValue(op.name, op.type, op.data);
        std::string again = "REGEDIT4\n[HKEY_CURRENT_USER\\F]\n" + line + "\n";
        std::vector<ce::reg::RegTextProblem> reparsed;
        auto back = ce::reg::parseRegText(again, &reparsed);
        if (!reparsed.empty() || back.size() != 2) __builtin_trap();
        if ((op.type == 3 || (op.type == 4 && op.data.size() == 4)) &&
            (back[1].type != op.type || back[1].data != op.data))
            __builtin_trap();
    }
    return 0;
}
