// test_plugin.cpp: a plug-in library the loader tests load. Its DllMain appends "attach <hinst>"
// and "detach <hinst>" lines to \Temp\plugin.log in the device folder, and refuses to attach
// while \Temp\plugin.refuse exists. Its exports are declared with dllexports.h, by ordinal as
// a Today-screen item's are (240, 241), and by name.
#include <windows.h>
#include <dllexports.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

HINSTANCE instance;

std::string tempFile(const char* name) {
    const char* device = getenv("CEDEVICE");
    return std::string(device ? device : ".") + "/fs/Temp/" + name;
}

void record(const char* what, HANDLE module) {
    if (FILE* f = fopen(tempFile("plugin.log").c_str(), "a")) {
        fprintf(f, "%s %#lx\n", what, static_cast<unsigned long>(HandleToULong(module)));
        fclose(f);
    }
}

int optionsDialogProc(int value) {
    return value + 241;
}

} // namespace

// As the device's Today items write it: HANDLE first, C linkage from winprocess.h.
BOOL WINAPI DllMain(HANDLE hinstDLL, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        record("attach", hinstDLL);
        instance = static_cast<HINSTANCE>(hinstDLL);
        DisableThreadLibraryCalls(instance);
        return access(tempFile("plugin.refuse").c_str(), F_OK) != 0;
    }
    if (dwReason == DLL_PROCESS_DETACH) record("detach", hinstDLL);
    return TRUE;
}

extern "C" int InitializeCustomItem(int value) {
    return value + 240;
}
// The module handle DllMain was given, to compare with LoadLibraryW's answer.
extern "C" HINSTANCE PluginInstance() {
    return instance;
}
// A C function the export table does not list: GetProcAddress must not find it.
extern "C" __attribute__((visibility("default"))) int NotInTable() {
    return 1;
}

CE_EXPORTS_BEGIN
CE_EXPORT(240, InitializeCustomItem)
CE_EXPORT_NAMED(241, "CustomItemOptionsDlgProc", optionsDialogProc)
CE_EXPORT_BYNAME(PluginInstance)
CE_EXPORTS_END
