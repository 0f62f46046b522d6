// regimage.cpp: writes the device image's registry defaults into a new device's registry.db.
//
// createDevice calls this before the device exists for any process, so the database is opened
// here on its own connection (not the process's registry) and filled in one transaction: a
// device is either created with all its defaults or not at all.
#include "image/registry_defaults.h"
#include "kernel/strings.h"
#include "registry/regdb.h"
#include "winerror.h"
#include "winreg.h"

namespace ce::reg {

bool writeRegistryImage(const std::filesystem::path& deviceDir, std::string* error) {
    auto db = RegDb::openFile(deviceDir / "registry.db", error);
    if (!db) return false;
    std::string failed;
    LONG r = db->write([&] {
        for (const auto& d : ceimage::registryDefaults()) {
            KeyId root = d.root == ceimage::RegRoot::LocalMachine ? kLocalMachine : kCurrentUser;
            std::vector<std::u16string> parts;
            LONG split = splitKeyPath(ce::fromUtf8(d.key), &parts);
            KeyId id = 0;
            bool created = false;
            if (split == ERROR_SUCCESS) split = db->createPath(root, parts, &id, &created);
            if (split != ERROR_SUCCESS) {
                failed = d.key;
                return split;
            }
            std::u16string name = ce::fromUtf8(d.name ? d.name : "");
            LONG set = ERROR_SUCCESS;
            switch (d.kind) {
            case ceimage::RegKind::Key: break;
            case ceimage::RegKind::Dword: {
                DWORD v = d.number;
                set = db->setValue(id, name, REG_DWORD, reinterpret_cast<const uint8_t*>(&v),
                                   sizeof v);
                break;
            }
            case ceimage::RegKind::String: {
                std::u16string text = ce::fromUtf8(d.text ? d.text : "");
                set = db->setValue(id, name, REG_SZ, reinterpret_cast<const uint8_t*>(text.c_str()),
                                   (text.size() + 1) * sizeof(char16_t));
                break;
            }
            case ceimage::RegKind::Binary:
                set = db->setValue(id, name, REG_BINARY, d.data.data(), d.data.size());
                break;
            }
            if (set != ERROR_SUCCESS) {
                failed = std::string(d.key) + "\\" + (d.name ? d.name : "");
                return set;
            }
        }
        return LONG(ERROR_SUCCESS);
    });
    if (r != ERROR_SUCCESS) {
        if (error)
            *error =
                "cannot write the registry defaults (" + failed + "): error " + std::to_string(r);
        return false;
    }
    return true;
}

} // namespace ce::reg
