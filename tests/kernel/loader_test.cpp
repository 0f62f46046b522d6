// loader_test.cpp: LoadLibraryW and its companions: plug-in libraries found through stubs,
// exports by ordinal and by name, DllMain's attach and detach calls and reference counting,
// the built-in system libraries, libraries and exports withdrawn by the device profile, and
// the stub format itself. The libraries are test_plugin (an export table and a DllMain that
// logs to \Temp\plugin.log) and test_plugin_plain (neither), from tests/programs.
#include <fstream>

#include "kernel/device.h"
#include "kernel/modules.h"
#include "kernel/strings.h"
#include "kernel/stub.h"
#include "testdevice.h"
#include "windows.h"

namespace {

using cetest::DeviceTest;

constexpr DWORD kPoison = 0xdeadbeef;

using IntFn = int (*)(int);

class LoaderTest : public DeviceTest {
protected:
    void SetUp() override {
        ASSERT_EQ(ce::writeLibraryStub(u"\\Windows\\TestPlugin.dll", "libtest_plugin.so"),
                  ERROR_SUCCESS);
        ASSERT_EQ(ce::writeLibraryStub(u"\\Windows\\Plain.dll", "test_plugin_plain"),
                  ERROR_SUCCESS);
    }

    std::vector<std::string> pluginLog() {
        std::ifstream in(device.fs() / "Temp" / "plugin.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    static std::string logLine(const char* what, HMODULE h) {
        char buf[64];
        snprintf(buf, sizeof buf, "%s %#lx", what, static_cast<unsigned long>(HandleToULong(h)));
        return buf;
    }

    void withdraw(std::vector<std::string> entries) {
        std::string error;
        ASSERT_TRUE(ce::updateDeviceConf(
            [&](ce::DeviceConf& conf) { conf.profile.withdrawn = entries; }, &error))
            << error;
    }

    // LoadLibraryW that must fail with the given error.
    void expectLoadFails(const char16_t* name, DWORD error) {
        SetLastError(kPoison);
        HMODULE h = LoadLibraryW(name);
        EXPECT_EQ(h, nullptr) << ce::toUtf8(name);
        EXPECT_EQ(GetLastError(), error) << ce::toUtf8(name);
        if (h) FreeLibrary(h);
    }

    // GetProcAddress that must fail with ERROR_PROC_NOT_FOUND.
    void expectNoExport(HMODULE h, const char16_t* name, const char* what) {
        SetLastError(kPoison);
        EXPECT_EQ(GetProcAddressW(h, name), nullptr) << what;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND) << what;
    }
};

// A Today item's exports are found by ordinal (MAKEINTRESOURCE numbers) and by name; both
// forms reach the same functions, and names the table does not list are not exported.
TEST_F(LoaderTest, ExportsByOrdinalAndByName) {
    HMODULE h = LoadLibraryW(u"testplugin.DLL");
    ASSERT_NE(h, nullptr) << GetLastError();
    auto init = reinterpret_cast<IntFn>(GetProcAddress(h, MAKEINTRESOURCE(240)));
    auto options = reinterpret_cast<IntFn>(GetProcAddressW(h, reinterpret_cast<LPCWSTR>(241)));
    ASSERT_NE(init, nullptr);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(init(1), 241);
    EXPECT_EQ(options(1), 242);
    EXPECT_EQ(reinterpret_cast<IntFn>(GetProcAddress(h, u"InitializeCustomItem")), init);
    EXPECT_EQ(reinterpret_cast<IntFn>(GetProcAddress(h, "InitializeCustomItem")), init);
    EXPECT_EQ(reinterpret_cast<IntFn>(GetProcAddress(h, u"CustomItemOptionsDlgProc")), options);
    EXPECT_NE(GetProcAddress(h, u"PluginInstance"), nullptr);

    expectNoExport(h, MAKEINTRESOURCE(242), "#242");
    expectNoExport(h, MAKEINTRESOURCE(0), "#0");
    expectNoExport(h, u"NotInTable", "a C function the table does not list");
    expectNoExport(h, u"initializecustomitem", "export names keep their case");
    expectNoExport(h, u"optionsDialogProc", "the function behind a renamed export");
    expectNoExport(h, u"Initialize\u00a7", "a name that is not ASCII");
    SetLastError(kPoison);
    EXPECT_EQ(GetProcAddressA(h, "printf"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
    EXPECT_TRUE(FreeLibrary(h));
}

// DllMain is called once with DLL_PROCESS_ATTACH and the module handle LoadLibraryW returns,
// and with DLL_PROCESS_DETACH only when the last of two references goes.
TEST_F(LoaderTest, AttachAndDetachFollowTheReferenceCount) {
    HMODULE first = LoadLibraryW(u"\\Windows\\TestPlugin.dll");
    ASSERT_NE(first, nullptr) << GetLastError();
    HMODULE second = LoadLibraryW(u"TESTPLUGIN");
    EXPECT_EQ(second, first);
    EXPECT_EQ(pluginLog(), std::vector<std::string>{logLine("attach", first)});
    auto instance = reinterpret_cast<HINSTANCE (*)()>(GetProcAddress(first, u"PluginInstance"));
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance(), first);
    EXPECT_EQ(GetModuleHandleW(u"testplugin.dll"), first);
    EXPECT_EQ(ce::moduleOfAddress(reinterpret_cast<void*>(instance)), first);

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(pluginLog().size(), 1u) << "detached while a reference remained";
    EXPECT_EQ(GetModuleHandleW(u"TestPlugin.dll"), first);
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(pluginLog(),
              (std::vector<std::string>{logLine("attach", first), logLine("detach", first)}));

    SetLastError(kPoison);
    EXPECT_EQ(GetModuleHandleW(u"TestPlugin.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
    SetLastError(kPoison);
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);

    // Loaded again, it attaches again, under a new handle value.
    HMODULE again = LoadLibraryW(u"TestPlugin.dll");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, first);
    EXPECT_EQ(pluginLog().size(), 3u);
    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_EQ(pluginLog().size(), 4u);
}

// A DllMain that refuses the attach fails the load with ERROR_DLL_INIT_FAILED; the library is
// detached at once and unloaded.
TEST_F(LoaderTest, RefusedAttachFailsTheLoad) {
    std::ofstream(device.fs() / "Temp" / "plugin.refuse") << "no\n";
    expectLoadFails(u"TestPlugin.dll", ERROR_DLL_INIT_FAILED);
    auto log = pluginLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].substr(0, 7), "attach ");
    EXPECT_EQ(log[1], "detach " + log[0].substr(7));
    EXPECT_EQ(GetModuleHandleW(u"TestPlugin.dll"), nullptr);
}

// The device path of a module, and what happens when the buffer is too small: the path is
// cut and terminated, the guard behind the buffer untouched.
TEST_F(LoaderTest, ModuleFileNameIsTheDevicePath) {
    HMODULE h = LoadLibraryW(u"\\WINDOWS\\testplugin.dll");
    ASSERT_NE(h, nullptr);
    WCHAR buf[MAX_PATH + 1];
    std::fill(std::begin(buf), std::end(buf), u'\xAAAA');
    EXPECT_EQ(GetModuleFileNameW(h, buf, MAX_PATH), 23u);
    EXPECT_EQ(std::u16string(buf), u"\\Windows\\TestPlugin.dll");

    std::fill(std::begin(buf), std::end(buf), u'\xAAAA');
    SetLastError(kPoison);
    EXPECT_EQ(GetModuleFileNameW(h, buf, 5), 5u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(buf), u"\\Win");
    EXPECT_EQ(buf[5], u'\xAAAA');

    HMODULE core = GetModuleHandleW(u"coredll.dll");
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(GetModuleFileNameW(core, buf, MAX_PATH), 20u);
    EXPECT_EQ(std::u16string(buf), u"\\Windows\\coredll.dll");
    EXPECT_TRUE(DisableThreadLibraryCalls(h));
    EXPECT_TRUE(FreeLibrary(h));

    SetLastError(kPoison);
    EXPECT_EQ(GetModuleFileNameW(h, buf, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
    SetLastError(kPoison);
    EXPECT_FALSE(DisableThreadLibraryCalls(h));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetModuleHandleW(nullptr), ULongToHandle(ce::kProgramModule));
}

// A library without an export table exports its own C functions by name, nothing by ordinal,
// and never the symbols of the libraries it uses. Its DllMain, declared with an HINSTANCE and
// so with a C++ name, is called all the same.
TEST_F(LoaderTest, LibraryWithoutTableExportsItsOwnFunctionsByName) {
    HMODULE h = LoadLibraryW(u"plain");
    ASSERT_NE(h, nullptr) << GetLastError();
    EXPECT_EQ(pluginLog(), std::vector<std::string>{"plain attach"});
    auto answer = reinterpret_cast<int (*)()>(GetProcAddress(h, u"PlainAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    expectNoExport(h, u"printf", "a symbol of the C library");
    expectNoExport(h, u"GetLastError", "a symbol of the platform");
    expectNoExport(h, MAKEINTRESOURCE(1), "an ordinal");
    expectNoExport(h, u"", "an empty name");
    expectNoExport(h, u"DllMain", "the entry point, which is no export");
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(pluginLog(), (std::vector<std::string>{"plain attach", "plain detach"}));
}

// Libraries that are not there, and files that are not libraries.
TEST_F(LoaderTest, MissingAndBrokenLibraries) {
    std::ofstream(device.fs() / "Windows" / "text.dll") << "not a library\n";
    ASSERT_EQ(ce::writeProgramStub(u"\\Windows\\prog.dll", "test_echo"), ERROR_SUCCESS);
    ASSERT_EQ(ce::writeLibraryStub(u"\\Windows\\Unbuilt.dll", "no_such_library"), ERROR_SUCCESS);
    ASSERT_EQ(ce::writeLibraryStub(u"\\Windows\\Exe.dll", "test_echo"), ERROR_SUCCESS);
    expectLoadFails(u"NoSuch.dll", ERROR_MOD_NOT_FOUND);
    expectLoadFails(u"\\NoFolder\\TestPlugin.dll", ERROR_MOD_NOT_FOUND);
    expectLoadFails(u"\\Windows\\..\\TestPlugin.dll", ERROR_MOD_NOT_FOUND);
    expectLoadFails(u"text.dll", ERROR_BAD_EXE_FORMAT);
    expectLoadFails(u"prog.dll", ERROR_BAD_EXE_FORMAT);
    expectLoadFails(u"Unbuilt.dll", ERROR_MOD_NOT_FOUND);
    expectLoadFails(u"Exe.dll", ERROR_BAD_EXE_FORMAT);
    expectLoadFails(u"", ERROR_MOD_NOT_FOUND);
    expectLoadFails(nullptr, ERROR_INVALID_PARAMETER);
    SetLastError(kPoison);
    EXPECT_EQ(GetProcAddress(static_cast<HMODULE>(ULongToHandle(0x12340000)), u"x"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

// coredll.dll is built in: loaded in every process, found with or without "\Windows\", with
// or without ".dll", and it exports the platform's functions by name, nothing else.
TEST_F(LoaderTest, CoredllIsBuiltIn) {
    HMODULE core = GetModuleHandleW(u"COREDLL.DLL");
    ASSERT_NE(core, nullptr);
    for (const char16_t* name :
         {u"coredll.dll", u"CoreDll", u"\\windows\\coredll.dll", u"windows\\COREDLL.dll"}) {
        HMODULE h = LoadLibraryW(name);
        EXPECT_EQ(h, core) << ce::toUtf8(name);
        if (h) {
            EXPECT_TRUE(FreeLibrary(h));
        }
    }
    EXPECT_EQ(GetProcAddress(core, u"GetTickCount"), reinterpret_cast<FARPROC>(&GetTickCount));
    EXPECT_EQ(GetProcAddress(core, "CreateProcessW"), reinterpret_cast<FARPROC>(&CreateProcessW));
    expectNoExport(core, u"printf", "the C library's function");
    expectNoExport(core, u"_ZN2ce10deviceConfEv", "a C++ function of the platform");
    expectNoExport(core, u"NoSuchFunction", "a name nothing has");
    expectNoExport(core, MAKEINTRESOURCE(1), "an ordinal");
    // The file system has its stub, as the device has the file.
    ce::ProgramStub stub;
    EXPECT_EQ(ce::readStubFile(device.fs() / "Windows" / "coredll.dll", &stub), ERROR_SUCCESS);
    EXPECT_EQ(stub.builtin, "coredll.dll");
    EXPECT_NE(GetFileAttributesW(u"\\windows\\COREDLL.dll"), INVALID_FILE_ATTRIBUTES);
    // A stub elsewhere that names the system library loads that library.
    ASSERT_TRUE(ce::writeStubFile(device.fs() / "My Documents" / "core.dll", stub));
    HMODULE viaStub = LoadLibraryW(u"\\My Documents\\core.dll");
    EXPECT_EQ(viaStub, core);
    if (viaStub) {
        EXPECT_TRUE(FreeLibrary(viaStub));
    }
}

// The device profile can withdraw a whole library, so every "library missing" path of a
// program can be tested; the check is made at each call.
TEST_F(LoaderTest, WithdrawnLibraryIsNotFound) {
    withdraw({"testplugin.DLL", "\\windows\\CoreDll.dll"});
    expectLoadFails(u"TestPlugin.dll", ERROR_MOD_NOT_FOUND);
    expectLoadFails(u"\\Windows\\TestPlugin.dll", ERROR_MOD_NOT_FOUND);
    expectLoadFails(u"coredll.dll", ERROR_MOD_NOT_FOUND);
    expectLoadFails(u"\\Windows\\coredll", ERROR_MOD_NOT_FOUND);
    EXPECT_TRUE(pluginLog().empty()) << "DllMain of a withdrawn library ran";
    HMODULE plain = LoadLibraryW(u"Plain.dll");
    EXPECT_NE(plain, nullptr);
    if (plain) FreeLibrary(plain);
    withdraw({});
    HMODULE h = LoadLibraryW(u"TestPlugin.dll");
    EXPECT_NE(h, nullptr);
    if (h) FreeLibrary(h);
}

// One export can be withdrawn by name or by ordinal; either form hides the export both ways,
// and the library's other exports stay.
TEST_F(LoaderTest, WithdrawnExportIsNotFound) {
    HMODULE h = LoadLibraryW(u"TestPlugin.dll");
    ASSERT_NE(h, nullptr);
    HMODULE core = GetModuleHandleW(u"coredll.dll");
    ASSERT_NE(GetProcAddress(core, u"GetTickCount"), nullptr);

    withdraw({"TESTPLUGIN.dll#240", "testplugin.dll!CustomItemOptionsDlgProc",
              "coredll.dll!GetTickCount"});
    expectNoExport(h, MAKEINTRESOURCE(240), "#240 withdrawn by ordinal");
    expectNoExport(h, u"InitializeCustomItem", "#240 by its name");
    expectNoExport(h, MAKEINTRESOURCE(241), "#241 withdrawn by name");
    expectNoExport(h, u"CustomItemOptionsDlgProc", "#241 by its name");
    expectNoExport(core, u"GetTickCount", "coredll.dll!GetTickCount");
    EXPECT_NE(GetProcAddress(h, u"PluginInstance"), nullptr);
    EXPECT_NE(GetProcAddress(core, u"GetLastError"), nullptr);
    // Export names keep their case: another spelling withdraws nothing.
    withdraw({"coredll.dll!gettickcount", "TestPlugin.dll#0240x"});
    EXPECT_NE(GetProcAddress(core, u"GetTickCount"), nullptr);
    EXPECT_NE(GetProcAddress(h, MAKEINTRESOURCE(240)), nullptr);
    withdraw({});
    EXPECT_NE(GetProcAddress(h, MAKEINTRESOURCE(241)), nullptr);
    EXPECT_TRUE(FreeLibrary(h));
}

// The stubs of system libraries follow the withdrawn list; other files are left alone.
TEST_F(LoaderTest, SystemLibraryStubsFollowTheProfile) {
    std::filesystem::path stubFile = device.fs() / "Windows" / "coredll.dll";
    ASSERT_TRUE(std::filesystem::exists(stubFile));
    ASSERT_TRUE(ce::writeBuiltinLibraryStubs(device.fs(), {"COREDLL.DLL"}));
    EXPECT_FALSE(std::filesystem::exists(stubFile));
    ASSERT_TRUE(ce::writeBuiltinLibraryStubs(device.fs(), {}));
    EXPECT_TRUE(std::filesystem::exists(stubFile));
    std::ofstream(stubFile) << "a file of the user's\n";
    ASSERT_TRUE(ce::writeBuiltinLibraryStubs(device.fs(), {"coredll.dll"}));
    EXPECT_TRUE(std::filesystem::exists(stubFile));
}

// Stub text: the accepted form, and everything a hostile file could try.
TEST(LoaderStub, ParsesOnlyWellFormedStubs) {
    ce::ProgramStub stub;
    ASSERT_TRUE(ce::parseStub("CEPROGRAM 1\r\n# comment\r\nbinary = zvWakeup\r\nentry = cal\r\n"
                              "future = ignored\r\n",
                              &stub));
    EXPECT_EQ(stub.kind, ce::StubKind::Program);
    EXPECT_EQ(stub.binary, "zvWakeup");
    EXPECT_EQ(stub.entry, "cal");
    ASSERT_TRUE(ce::parseStub("CELIBRARY 1\nbuiltin = Imgdecmp.dll", &stub));
    EXPECT_EQ(stub.kind, ce::StubKind::Library);
    EXPECT_EQ(stub.builtin, "Imgdecmp.dll");
    EXPECT_EQ(stub.binary, "");

    ce::ProgramStub kept;
    kept.binary = "kept";
    for (const char* bad :
         {"", "CEPROGRAM 2\nbinary = x\n", "binary = x\n", "CEPROGRAM 1\n",
          "CEPROGRAM 1\nbinary = ../x\n", "CEPROGRAM 1\nbinary = a/b\n",
          "CEPROGRAM 1\nbinary = ..\n", "CEPROGRAM 1\nbinary = .\n",
          "CEPROGRAM 1\nbinary = /bin/sh\n", "CEPROGRAM 1\nbinary = a\x01\n",
          "CEPROGRAM 1\nbinary = x\nentry = a b\n", "CEPROGRAM 1\nbinary = x\nno equals\n",
          "CELIBRARY 1\nbinary = x\nbuiltin = y.dll\n", "CELIBRARY 1\nbinary = x\nentry = e\n",
          "CELIBRARY 1\nbuiltin = a\\b.dll\n", "CEPROGRAM 1\nbuiltin = coredll.dll\n"}) {
        ce::ProgramStub out = kept;
        EXPECT_FALSE(ce::parseStub(bad, &out)) << bad;
        EXPECT_EQ(out.binary, "kept") << bad;
    }
    std::string huge = "CEPROGRAM 1\nbinary = x\n# " + std::string(ce::kMaxStubSize, 'x') + "\n";
    EXPECT_FALSE(ce::parseStub(huge, &stub));

    ce::ProgramStub program;
    program.binary = "zvHost";
    program.entry = "host";
    ce::ProgramStub back;
    ASSERT_TRUE(ce::parseStub(ce::formatStub(program), &back));
    EXPECT_EQ(back.binary, "zvHost");
    EXPECT_EQ(back.entry, "host");
}

// Writing a stub refuses names that could leave the binary folder, and creates the folders of
// its device path.
class LoaderStubTest : public DeviceTest {};

TEST_F(LoaderStubTest, WriterChecksNamesAndMakesFolders) {
    EXPECT_EQ(ce::writeProgramStub(u"\\Program Files\\Zolvane\\zvHost.exe", "zvHost"),
              ERROR_SUCCESS);
    EXPECT_TRUE(
        std::filesystem::is_regular_file(device.fs() / "Program Files" / "Zolvane" / "zvHost.exe"));
    EXPECT_EQ(ce::writeProgramStub(u"\\Windows\\x.exe", "../../bin/sh"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ce::writeLibraryStub(u"\\Windows\\x.dll", ""), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ce::writeProgramStub(u"\\Windows\\..\\x.exe", "x"), ERROR_INVALID_NAME);
    EXPECT_EQ(ce::writeProgramStub(u"\\Windows", "x"), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(std::filesystem::exists(device.fs() / "Windows" / "x.exe"));
}

} // namespace
