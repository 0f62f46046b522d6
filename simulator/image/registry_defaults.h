// registry_defaults.h: the system keys and values of a new device (part of the device image).
//
// The table is plain data, one line per value, so that what a fresh device holds can be read
// (and extended) at a glance; createDevice writes it into the new device's registry.db.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ceimage {

enum class RegRoot { LocalMachine, CurrentUser };

enum class RegKind {
    Key,    // the key only (created, no value)
    Dword,  // number
    String, // REG_SZ text (UTF-8 in the table, UTF-16 with terminator on the device)
    Binary, // REG_BINARY bytes
};

struct RegistryDefault {
    RegRoot root;
    const char* key;  // below the root, '\'-separated, UTF-8
    const char* name; // value name ("" = the key's default value); unused for Key
    RegKind kind;
    uint32_t number;               // Dword
    const char* text;              // String
    std::span<const uint8_t> data; // Binary
};

// Every default, in the order it is written (keys are created in this order too).
std::span<const RegistryDefault> registryDefaults();

} // namespace ceimage
