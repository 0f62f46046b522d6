// cerc.cpp: the device's resource compiler for pictures, a host tool run at build time. It
// turns PNG files into a C++ source holding their pixels as a resource table
// (platform/include/ceresource.h) that registers itself with the module it is linked into:
//
//   cerc --output app_images.cpp --bitmap 101=splash.png --bitmap btn_normal=btn.png
//        --icon 200=clock16.png,clock32.png
//
// An id that is a number (1..65535) becomes MAKEINTRESOURCE(id); anything else is a resource
// name (letters, digits, '_', '-' and '.'). An icon lists one file per size. Pixels are
// written as premultiplied 0xAARRGGBB words; a picture whose every pixel is opaque is marked
// as having no alpha, so it draws as a plain bitmap. cmake/Resources.cmake runs this tool
// (ce_add_resources). The output is written to a temporary file and renamed, so a failed run
// leaves no half-written source behind.
#include <png.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kMaxSide = 4096; // the platform refuses larger pictures

struct Picture {
    std::string file;
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
    std::vector<uint32_t> pixels; // premultiplied 0xAARRGGBB
};

struct Resource {
    bool icon = false;
    unsigned id = 0;  // 0: named
    std::string name; // when not numbered
    std::vector<Picture> pictures;
};

// Reads a PNG of any colour type as premultiplied pixels; false with a message on error.
bool readPng(const std::string& file, Picture* out, std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) {
        *error = file + ": " + image.message;
        return false;
    }
    if (image.width == 0 || image.height == 0 || image.width > kMaxSide ||
        image.height > kMaxSide) {
        png_image_free(&image);
        *error = file + ": pictures must be 1 to 4096 pixels wide and high";
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        *error = file + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    out->file = file;
    out->width = static_cast<int>(image.width);
    out->height = static_cast<int>(image.height);
    out->pixels.resize(static_cast<size_t>(out->width) * static_cast<size_t>(out->height));
    out->hasAlpha = false;
    for (size_t i = 0; i < out->pixels.size(); ++i) {
        const uint32_t r = rgba[4 * i], g = rgba[4 * i + 1], b = rgba[4 * i + 2],
                       a = rgba[4 * i + 3];
        if (a != 255) out->hasAlpha = true;
        auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
        out->pixels[i] = a << 24 | pre(r) << 16 | pre(g) << 8 | pre(b);
    }
    return true;
}

bool validName(const std::string& name) {
    if (name.empty() || name.size() > 64) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'))
            return false;
    return true;
}

// Parses "ID=file[,file...]" into a resource; false with a message on error.
bool parseEntry(const std::string& entry, bool icon, Resource* out, std::string* error) {
    const size_t eq = entry.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == entry.size()) {
        *error = "expected ID=file.png, got \"" + entry + "\"";
        return false;
    }
    const std::string id = entry.substr(0, eq);
    out->icon = icon;
    if (id.find_first_not_of("0123456789") == std::string::npos) {
        const unsigned long value = id.size() <= 5 ? std::strtoul(id.c_str(), nullptr, 10) : 0;
        if (value == 0 || value > 0xFFFF) {
            *error = "resource number " + id + " is not in 1..65535";
            return false;
        }
        out->id = static_cast<unsigned>(value);
    } else if (validName(id)) {
        out->name = id;
    } else {
        *error = "resource name \"" + id + "\" may hold only letters, digits, _ - .";
        return false;
    }
    std::stringstream files(entry.substr(eq + 1));
    for (std::string file; std::getline(files, file, ',');) {
        if (file.empty()) continue;
        Picture p;
        if (!readPng(file, &p, error)) return false;
        out->pictures.push_back(std::move(p));
    }
    if (out->pictures.empty()) {
        *error = "no picture for resource " + id;
        return false;
    }
    if (!icon && out->pictures.size() > 1) {
        *error = "a bitmap has one picture: " + entry;
        return false;
    }
    return true;
}

std::string entryName(const Resource& r) {
    return r.id ? std::to_string(r.id) + ", nullptr" : "0, u\"" + r.name + "\"";
}

// The C++ source of the resource table.
std::string generate(const std::vector<Resource>& resources) {
    std::ostringstream out;
    out << "// Generated by cerc (simulator/rescomp) from PNG files; do not edit.\n//\n";
    for (const Resource& r : resources)
        for (const Picture& p : r.pictures)
            out << "//   " << (r.icon ? "icon " : "bitmap ")
                << (r.id ? std::to_string(r.id) : r.name) << ": " << p.file << " (" << p.width
                << "x" << p.height << ")\n";
    out << "#include <ceresource.h>\n\nnamespace {\n\n";
    int index = 0;
    std::vector<int> firstImage;
    for (const Resource& r : resources) {
        firstImage.push_back(index);
        for (const Picture& p : r.pictures) {
            out << "const DWORD kPixels" << index << "[] = {";
            char word[16];
            for (size_t i = 0; i < p.pixels.size(); ++i) {
                if (i % 6 == 0) out << "\n   ";
                std::snprintf(word, sizeof word, " 0x%08X,", p.pixels[i]);
                out << word;
            }
            out << "\n};\n";
            ++index;
        }
        out << "const CeImage kImages" << firstImage.back() << "[] = {\n";
        for (size_t i = 0; i < r.pictures.size(); ++i) {
            const Picture& p = r.pictures[i];
            out << "    {" << p.width << ", " << p.height << ", " << (p.hasAlpha ? "TRUE" : "FALSE")
                << ", kPixels" << firstImage.back() + static_cast<int>(i) << "},\n";
        }
        out << "};\n\n";
    }
    size_t bitmaps = 0, icons = 0;
    for (int pass = 0; pass < 2; ++pass) {
        const bool icon = pass == 1;
        std::ostringstream list;
        size_t count = 0;
        for (size_t i = 0; i < resources.size(); ++i) {
            if (resources[i].icon != icon) continue;
            list << "    {" << entryName(resources[i]) << ", kImages" << firstImage[i] << ", "
                 << resources[i].pictures.size() << "},\n";
            ++count;
        }
        if (count)
            out << "const CeImageEntry k" << (icon ? "Icons" : "Bitmaps") << "[] = {\n"
                << list.str() << "};\n";
        (icon ? icons : bitmaps) = count;
    }
    out << "\nconst CeResourceTable kTable = {\n    CE_RESOURCE_TABLE_VERSION, nullptr, 0,\n    "
        << (bitmaps ? "kBitmaps" : "nullptr") << ", " << bitmaps << ",\n    "
        << (icons ? "kIcons" : "nullptr") << ", " << icons << ",\n    nullptr, 0};\n"
        << "CE_REGISTER_RESOURCES(kTable);\n\n} // namespace\n";
    return out.str();
}

int usage() {
    std::fprintf(stderr, "usage: cerc --output FILE.cpp [--bitmap ID=FILE.png]... "
                         "[--icon ID=FILE.png[,FILE.png...]]...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string output;
    std::vector<Resource> resources;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size()) return usage();
        if (a == "--output") {
            output = args[++i];
        } else if (a == "--bitmap" || a == "--icon") {
            Resource r;
            std::string error;
            if (!parseEntry(args[++i], a == "--icon", &r, &error)) {
                std::fprintf(stderr, "cerc: %s\n", error.c_str());
                return 1;
            }
            for (const Resource& other : resources)
                if (other.icon == r.icon && other.id == r.id && other.name == r.name) {
                    std::fprintf(stderr, "cerc: resource %s given twice\n", args[i].c_str());
                    return 1;
                }
            resources.push_back(std::move(r));
        } else {
            return usage();
        }
    }
    if (output.empty()) return usage();
    const std::string text = generate(resources);
    const std::string temp = output + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            std::fprintf(stderr, "cerc: cannot write %s\n", temp.c_str());
            std::remove(temp.c_str());
            return 1;
        }
    }
    if (std::rename(temp.c_str(), output.c_str()) != 0) {
        std::fprintf(stderr, "cerc: cannot write %s\n", output.c_str());
        std::remove(temp.c_str());
        return 1;
    }
    return 0;
}
