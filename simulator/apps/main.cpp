// main.cpp: the WinMain of ceapps: runs the program the stub's entry names.
#include <cstdio>
#include <strings.h>

#include <vector>

#include "apps.h"
#include "kernel/process.h"

namespace {

struct App {
    const char* entry;
    AppMain main;
};

std::vector<App>& apps() {
    static std::vector<App> all;
    return all;
}

} // namespace

AppRegistration::AppRegistration(const char* entry, AppMain main) {
    apps().push_back({entry, main});
}

AppMain findApp(const char* entry) {
    for (const App& a : apps())
        if (strcasecmp(a.entry, entry) == 0) return a.main;
    return nullptr;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int show) {
    const std::string& entry = ce::programEntry();
    AppMain main = findApp(entry.c_str());
    if (!main) {
        fprintf(stderr, "ceapps: no program \"%s\"\n", entry.c_str());
        return 1;
    }
    return main(instance, commandLine, show);
}
