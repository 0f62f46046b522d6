// device_test.cpp: the device folder, device.conf and the change counter.
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "kernel/device.h"
#include "testdevice.h"

namespace {

using cetest::DeviceTest;

std::string readText(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(DeviceConf, FormatThenParseKeepsEveryField) {
    ce::DeviceConf conf;
    conf.profile = *ce::findProfile("vga-landscape");
    conf.profile.osBuild = 21501;
    conf.profile.oemInfo = "HTC Touch Diamond i760 = special; text";
    conf.profile.locale = "de-DE";
    conf.profile.withdrawn = {"Imgdecmp.dll", "coredll.dll!AlphaBlend"};
    conf.clockBase = 130000000000000000LL;
    conf.clockAnchorMono = -5;
    conf.clockRate = 0.25;
    conf.tickBase = 123456789012LL;
    conf.clockSteps = 7;
    conf.timeZone = "custom";
    conf.timeZoneRule = "60,0,-60,3/5/0/2:0,10/5/0/3:0";
    conf.battery = 37;
    conf.acPower = true;
    conf.power = "unattended";
    conf.storageCards = {"Storage Card", "SD Card"};

    std::vector<std::string> warnings;
    ce::DeviceConf back = ce::parseDeviceConf(ce::formatDeviceConf(conf), &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    EXPECT_EQ(back.profile.name, "vga-landscape");
    EXPECT_EQ(back.profile.width, 640);
    EXPECT_EQ(back.profile.height, 480);
    EXPECT_EQ(back.profile.dpi, 192);
    EXPECT_EQ(back.profile.osBuild, 21501);
    // A value may hold '=' and ';' outside lists: only the first '=' splits.
    EXPECT_EQ(back.profile.oemInfo, conf.profile.oemInfo);
    EXPECT_EQ(back.profile.withdrawn, conf.profile.withdrawn);
    EXPECT_EQ(back.clockBase, conf.clockBase);
    EXPECT_EQ(back.clockAnchorMono, -5);
    EXPECT_DOUBLE_EQ(back.clockRate, 0.25);
    EXPECT_EQ(back.tickBase, conf.tickBase);
    EXPECT_EQ(back.clockSteps, 7u);
    EXPECT_EQ(back.timeZoneRule, conf.timeZoneRule);
    EXPECT_EQ(back.battery, 37);
    EXPECT_TRUE(back.acPower);
    EXPECT_EQ(back.power, "unattended");
    EXPECT_EQ(back.storageCards, conf.storageCards);
}

TEST(DeviceConf, BadLinesAreReportedAndSkipped) {
    std::vector<std::string> warnings;
    ce::DeviceConf conf = ce::parseDeviceConf("battery = 150\n"
                                              "clock.rate = -3\n"
                                              "clock.rate = nan\n"
                                              "screen.width = 12abc\n"
                                              "power = exploded\n"
                                              "just some words\n"
                                              "os.build = 99999999999999999999999\n"
                                              "locale = ja-JP\n",
                                              &warnings);
    EXPECT_EQ(warnings.size(), 7u);
    EXPECT_EQ(conf.battery, 100);
    EXPECT_DOUBLE_EQ(conf.clockRate, 1.0);
    EXPECT_EQ(conf.profile.width, 240);
    EXPECT_EQ(conf.power, "on");
    EXPECT_EQ(conf.profile.locale, "ja-JP");
}

TEST(DeviceConf, ProfilesHaveTheirScreens) {
    struct {
        const char* name;
        int w, h, dpi;
    } expected[] = {{"qvga", 240, 320, 96},
                    {"vga", 480, 640, 192},
                    {"qvga-landscape", 320, 240, 96},
                    {"vga-landscape", 640, 480, 192}};
    for (const auto& e : expected) {
        const ce::DeviceProfile* p = ce::findProfile(e.name);
        ASSERT_NE(p, nullptr) << e.name;
        EXPECT_EQ(p->width, e.w) << e.name;
        EXPECT_EQ(p->height, e.h) << e.name;
        EXPECT_EQ(p->dpi, e.dpi) << e.name;
    }
    EXPECT_EQ(ce::findProfile("QVGA"), nullptr);
}

TEST_F(DeviceTest, NewDeviceHasItsFolders) {
    for (const char* sub : {"Windows", "Program Files", "My Documents", "Temp", "Storage Card"})
        EXPECT_TRUE(std::filesystem::is_directory(device.fs() / sub)) << sub;
    EXPECT_TRUE(std::filesystem::is_regular_file(device.dir() / "device.conf"));
    std::string error;
    EXPECT_FALSE(ce::createDevice(device.dir(), "qvga", &error));
    EXPECT_NE(error.find("already"), std::string::npos) << error;
    EXPECT_FALSE(ce::createDevice(device.dir().parent_path() / "other", "hvga", &error));
}

TEST_F(DeviceTest, UpdateRewritesTheFileWholeAndLeavesNoTemporary) {
    std::string error;
    ASSERT_TRUE(ce::updateDeviceConf([](ce::DeviceConf& c) { c.battery = 42; }, &error)) << error;
    EXPECT_EQ(ce::deviceConf()->battery, 42);
    EXPECT_NE(readText(device.dir() / "device.conf").find("battery = 42\n"), std::string::npos);
    for (const auto& entry : std::filesystem::directory_iterator(device.dir()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

// Another process changes the state; this process sees it at its next read, because the
// shared counter moved, without re-reading the file on every call.
TEST_F(DeviceTest, ChangeInAnotherProcessIsSeenAtOnce) {
    uint32_t before = ce::deviceChangeCounter();
    EXPECT_EQ(ce::deviceConf()->battery, 100);
    int rc = cetest::runInChild(
        [] { return ce::updateDeviceConf([](ce::DeviceConf& c) { c.battery = 7; }) ? 0 : 1; });
    ASSERT_EQ(rc, 0);
    EXPECT_NE(ce::deviceChangeCounter(), before);
    EXPECT_EQ(ce::deviceConf()->battery, 7);
}

// Concurrent read-modify-write from several processes loses no update.
TEST_F(DeviceTest, ConcurrentUpdatesFromProcessesAreSerialised) {
    ASSERT_TRUE(ce::updateDeviceConf([](ce::DeviceConf& c) { c.clockSteps = 0; }));
    std::vector<std::unique_ptr<cetest::Child>> children;
    for (int i = 0; i < 4; ++i)
        children.push_back(std::make_unique<cetest::Child>([] {
            for (int k = 0; k < 25; ++k)
                if (!ce::updateDeviceConf([](ce::DeviceConf& c) { c.clockSteps++; })) return 1;
            return 0;
        }));
    for (auto& c : children)
        EXPECT_EQ(c->wait(), 0);
    EXPECT_EQ(ce::deviceConf()->clockSteps, 100u);
}

TEST(DeviceAttach, RefusesAFolderWithoutADevice) {
    std::string error;
    EXPECT_FALSE(ce::attachDevice("/nonexistent/device", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(ce::haveDevice());
    // Without a device the state is an in-memory one that still answers.
    EXPECT_EQ(ce::deviceConf()->timeZone, "UTC");
    EXPECT_EQ(ce::deviceChangeWord(), nullptr);
}

} // namespace
