// cedev_reg_test.cpp: cedev reg on a device made by cedev create, one command after another,
// as a script drives it.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "testdevice.h"

namespace {

using cetest::runCedev;

// A device made by `cedev create` in a temporary folder, removed at the end.
class CedevReg : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("cedev-reg-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::string out, err;
        ASSERT_EQ(runCedev({"create"}, &out, &err, dir_), 0) << err;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    int reg(const std::vector<std::string>& args, std::string* out = nullptr,
            std::string* err = nullptr) {
        std::vector<std::string> all{"reg"};
        all.insert(all.end(), args.begin(), args.end());
        std::string o, e;
        int rc = runCedev(all, &o, &e, dir_);
        if (out) *out = o;
        if (err) *err = e;
        return rc;
    }

    std::filesystem::path dir_;
};

TEST_F(CedevReg, ValueWrittenByOneCommandIsReadByTheNext) {
    std::string out, err;
    ASSERT_EQ(
        reg({"set", "HKCU\\Software\\Brenvox\\Zolvane", "maxAlarms", "dword", "12"}, &out, &err), 0)
        << err;
    ASSERT_EQ(reg({"query", "hkcu\\SOFTWARE\\brenvox\\zolvane", "MAXALARMS"}, &out, &err), 0)
        << err;
    EXPECT_EQ(out, "maxAlarms=4,12\n");
    // Every form of DWORD lands as the same 32 bits; query prints them signed.
    for (const char* form : {"4294967295", "-1", "0xFFFFFFFF"}) {
        ASSERT_EQ(reg({"set", "HKEY_CURRENT_USER\\Software\\Brenvox\\Zolvane", "v", "dword", form}),
                  0)
            << form;
        ASSERT_EQ(reg({"query", "HKCU\\Software\\Brenvox\\Zolvane", "v"}, &out), 0);
        EXPECT_EQ(out, "v=4,-1\n") << form;
    }
}

TEST_F(CedevReg, QueryListsValuesThenSubkeys) {
    ASSERT_EQ(reg({"set", "HKLM\\Software\\T", "s", "sz", "Grüße \\ \"q\""}), 0);
    ASSERT_EQ(reg({"set", "HKLM\\Software\\T", "b", "binary", "0d 00,00 FF"}), 0);
    ASSERT_EQ(reg({"set", "HKLM\\Software\\T", "m", "multi_sz", "one\\0two"}), 0);
    ASSERT_EQ(reg({"set", "HKLM\\Software\\T", "e", "expand_sz", "%windir%"}), 0);
    ASSERT_EQ(reg({"set", "HKLM\\Software\\T", "@", "dword", "7"}), 0);
    ASSERT_EQ(reg({"set", "HKLM\\Software\\T\\Sub", "x", "dword", "1"}), 0);
    std::string out, err;
    ASSERT_EQ(reg({"query", "HKLM\\Software\\T"}, &out, &err), 0) << err;
    EXPECT_EQ(out, "s=1,Grüße \\ \"q\"\n"
                   "b=3,0d0000ff\n"
                   "m=7,one\\0two\n"
                   "e=2,%windir%\n"
                   "@=4,7\n"
                   "[Sub]\n");
}

// The image defaults are there on a device made by cedev create.
TEST_F(CedevReg, NewDeviceHasTheSystemDefaults) {
    std::string out, err;
    ASSERT_EQ(reg({"query", "HKLM\\System\\CurrentControlSet\\Control\\Power\\Timeouts",
                   "BattSuspendTimeout"},
                  &out, &err),
              0)
        << err;
    EXPECT_EQ(out, "BattSuspendTimeout=4,180\n");
    ASSERT_EQ(reg({"query", "HKCU\\System\\State\\Shell\\Reminders", "Active"}, &out), 0);
    EXPECT_EQ(out, "Active=4,0\n");
}

TEST_F(CedevReg, DeleteValueAndKey) {
    ASSERT_EQ(reg({"set", "HKCU\\Software\\D\\Sub", "a", "dword", "1"}), 0);
    ASSERT_EQ(reg({"set", "HKCU\\Software\\D", "b", "dword", "2"}), 0);
    std::string out, err;
    ASSERT_EQ(reg({"delete", "HKCU\\Software\\D", "b"}), 0);
    EXPECT_EQ(reg({"query", "HKCU\\Software\\D", "b"}, &out, &err), 1);
    EXPECT_NE(err.find("not found"), std::string::npos) << err;
    ASSERT_EQ(reg({"delete", "HKCU\\Software\\D"}), 0);
    EXPECT_EQ(reg({"query", "HKCU\\Software\\D\\Sub"}, &out, &err), 1);
    EXPECT_EQ(reg({"delete", "HKCU\\Software\\D"}, &out, &err), 1);
}

TEST_F(CedevReg, ExportAndImportRoundTrip) {
    ASSERT_EQ(reg({"set", "HKCU\\Software\\Brenvox\\Zolvane", "skinName", "sz", "Blue"}), 0);
    ASSERT_EQ(
        reg({"set", "HKCU\\Software\\Brenvox\\Zolvane", "AlarmNotFlags", "binary", "0d000000"}), 0);
    ASSERT_EQ(reg({"set", "HKCU\\Software\\Brenvox\\Zolvane\\\"Item\"", "Enabled", "dword", "0"}),
              0);
    std::string file = (dir_ / "backup.reg").string();
    std::string out, err;
    ASSERT_EQ(reg({"export", "HKCU\\Software\\Brenvox", file}, &out, &err), 0) << err;
    std::string before;
    ASSERT_EQ(reg({"export", "HKCU\\Software\\Brenvox", "-"}, &before), 0);
    ASSERT_EQ(reg({"delete", "HKCU\\Software\\Brenvox"}), 0);
    ASSERT_EQ(reg({"import", file}, &out, &err), 0) << err;
    std::string after;
    ASSERT_EQ(reg({"export", "HKCU\\Software\\Brenvox", "-"}, &after), 0);
    EXPECT_EQ(after, before);
    EXPECT_NE(after.find("[HKEY_CURRENT_USER\\Software\\Brenvox\\Zolvane\\\"Item\"]"),
              std::string::npos)
        << after;
}

// A bad line is reported with its number; the other lines are imported all the same.
TEST_F(CedevReg, ImportReportsBadLinesAndKeepsTheRest) {
    std::string file = (dir_ / "in.reg").string();
    {
        std::ofstream f(file);
        f << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Imported]\n\"good\"=dword:00000005\n"
             "\"bad\"=dword:nothex\n\"also\"=\"fine\"\n";
    }
    std::string out, err;
    EXPECT_EQ(reg({"import", file}, &out, &err), 1);
    EXPECT_NE(err.find("in.reg:5:"), std::string::npos) << err;
    ASSERT_EQ(reg({"query", "HKLM\\Software\\Imported"}, &out, &err), 0) << err;
    EXPECT_EQ(out, "good=4,5\nalso=1,fine\n");
}

TEST_F(CedevReg, BadArgumentsAreRefused) {
    std::string out, err;
    EXPECT_EQ(reg({"query", "HKXX\\Software"}, &out, &err), 2);
    EXPECT_EQ(reg({"set", "HKCU\\Software\\T", "v", "dword", "4294967296"}, &out, &err), 2);
    EXPECT_EQ(reg({"set", "HKCU\\Software\\T", "v", "dword", "twelve"}, &out, &err), 2);
    EXPECT_EQ(reg({"set", "HKCU\\Software\\T", "v", "binary", "0d0"}, &out, &err), 2);
    EXPECT_EQ(reg({"set", "HKCU\\Software\\T", "v", "qword", "1"}, &out, &err), 2);
    EXPECT_EQ(reg({"set", "HKCU\\Software\\T", "v"}, &out, &err), 2);
    EXPECT_EQ(reg({"frob"}, &out, &err), 2);
    EXPECT_EQ(reg({"query", "HKCU\\Software\\Missing"}, &out, &err), 1);
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(reg({"import", (dir_ / "none.reg").string()}, &out, &err), 1);
    EXPECT_EQ(reg({"delete", "HKLM"}, &out, &err), 2);
    EXPECT_EQ(reg({"query", "HKCU\\Software\\T", "v"}, &out, &err), 1) << "nothing was written";
}

} // namespace
