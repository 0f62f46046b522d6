// test_plugin_plain.cpp: a plug-in library without an export table, for the loader's by-name
// lookup among a library's own C functions. Its DllMain takes an HINSTANCE, so it does not
// match the declaration in winprocess.h and keeps its C++ name, as happens in a library that
// spells the entry point that way; the loader must still call it. It logs "plain attach" and
// "plain detach" to \Temp\plugin.log.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID) {
    const char* device = getenv("CEDEVICE");
    std::string log = std::string(device ? device : ".") + "/fs/Temp/plugin.log";
    if (FILE* f = fopen(log.c_str(), "a")) {
        fprintf(f, "plain %s\n", dwReason == DLL_PROCESS_ATTACH ? "attach" : "detach");
        fclose(f);
    }
    return TRUE;
}

extern "C" __attribute__((visibility("default"))) int PlainAnswer() {
    return 42;
}

// Uses the C library, so that printf is among the symbols dlsym could reach through it.
extern "C" __attribute__((visibility("default"))) void PlainPrint() {
    printf("plain\n");
}
