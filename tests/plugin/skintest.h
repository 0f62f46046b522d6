// skintest.h: what the skin tests share: a hosted item with the product's install folder,
// skin files written into it line by line (CR LF, after a first line of its own, as skins are
// written) and TGA pictures beside them.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../common/imagefiles.h"
#include "itemhost.h"

namespace skintest {

class SkinTest : public itemtest::ItemHost {
protected:
    explicit SkinTest(const char* profile = "qvga") : itemtest::ItemHost(profile) {}
    void SetUp() override {
        itemtest::ItemHost::SetUp();
        loadSettings();
    }
    void TearDown() override {
        freeSkin(TRUE);
        itemtest::ItemHost::TearDown();
    }
    std::filesystem::path folder() const { return device.fs() / "Program Files" / "Zolvane"; }
    void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    // name.skn with a comment line first and CR LF after every line.
    void writeSkin(const std::string& name, const std::vector<std::string>& lines) {
        std::string text = "; test skin\r\n";
        for (const std::string& line : lines)
            text += line + "\r\n";
        writeBytes(folder() / (name + ".skn"), text);
    }
    // A TGA of one colour, with a different top-left pixel when corner is given.
    void writeTga(const std::string& relative, int width, int height, int bits,
                  imagefiles::Bgra colour, const imagefiles::Bgra* corner = nullptr) {
        std::vector<imagefiles::Bgra> pixels(static_cast<size_t>(width * height), colour);
        std::string hostRelative = relative;
        for (char& c : hostRelative)
            if (c == '\\') c = '/';
        // The file's rows are bottom first: the top-left pixel is the first of the last row.
        if (corner) pixels[static_cast<size_t>((height - 1) * width)] = *corner;
        writeBytes(folder() / hostRelative, imagefiles::tgaFile(width, height, bits, pixels));
    }
    // Loads the named skin; returns the name as the loader left it.
    std::u16string load(const std::u16string& name, BOOL* result = nullptr) {
        WCHAR buffer[SKIN_NAME_CCH] = {};
        for (size_t i = 0; i < name.size() && i < SKIN_NAME_CCH - 1; ++i)
            buffer[i] = name[i];
        BOOL ok = loadSkin(buffer);
        if (result) *result = ok;
        return std::u16string(buffer);
    }
    std::string narrowName(const std::u16string& s) { return std::string(s.begin(), s.end()); }
};

} // namespace skintest
