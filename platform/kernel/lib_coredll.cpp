// lib_coredll.cpp: coredll.dll, the device's kernel library, as a built-in system library.
//
// On the device coredll.dll holds the kernel and most of the Win32 API. Here the platform
// library is that kernel, so coredll.dll answers GetProcAddress by name with the platform's own
// C function of that name (AlphaBlend, SetPowerRequirement, ...), except for names another
// system library lists in its table. It lists no ordinals: programs look its functions up by
// name.
#include "kernel/modules.h"

namespace ce {
namespace {

const BuiltinLibrary kCoredll{"coredll.dll", nullptr, 0, true};
const BuiltinLibraryRegistration registerCoredll(kCoredll);

} // namespace
} // namespace ce
