// cedev_test.cpp: the control tool, driven as a person or a script drives it.
#include <fstream>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "testdevice.h"

namespace {

using cetest::DeviceTest;
using cetest::runCedev;

std::string firstLine(const std::string& s) {
    return s.substr(0, s.find('\n'));
}

TEST(CedevCreate, CreatesADeviceWithTheProfile) {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("cedev-create-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::string out, err;
    ASSERT_EQ(runCedev({"create", "--profile", "vga-landscape"}, &out, &err, dir), 0) << err;
    EXPECT_TRUE(std::filesystem::is_directory(dir / "fs" / "Windows"));
    ASSERT_EQ(runCedev({"profile"}, &out, &err, dir), 0) << err;
    EXPECT_NE(out.find("screen.width = 640\n"), std::string::npos) << out;
    EXPECT_NE(out.find("screen.dpi = 192\n"), std::string::npos) << out;
    // A second create on the same folder refuses and keeps the device.
    EXPECT_EQ(runCedev({"create"}, &out, &err, dir), 1);
    EXPECT_NE(err.find("already"), std::string::npos) << err;
    EXPECT_EQ(runCedev({"create", "--profile", "hvga"}, &out, &err, dir / "x"), 2);
    std::filesystem::remove_all(dir);
}

TEST_F(DeviceTest, TimeSetWithoutZoneIsLocalAndWithZoneIsAbsolute) {
    std::string out, err;
    ASSERT_EQ(runCedev({"tz", "set", "Europe/Berlin"}, &out, &err), 0) << err;
    ASSERT_EQ(runCedev({"time", "set", "2027-07-01T12:00:00", "--rate", "0"}, &out, &err), 0)
        << err;
    ASSERT_EQ(runCedev({"time"}, &out, &err), 0) << err;
    EXPECT_EQ(firstLine(out), "2027-07-01T12:00:00");
    EXPECT_NE(out.find("utc 2027-07-01T10:00:00Z"), std::string::npos) << out;
    EXPECT_EQ(ce::deviceUtcNow(), cetest::isoToFileTime("2027-07-01T10:00:00Z"));

    ASSERT_EQ(runCedev({"time", "set", "2027-07-01T12:00:00+05:30"}, &out, &err), 0) << err;
    EXPECT_EQ(ce::deviceUtcNow(), cetest::isoToFileTime("2027-07-01T06:30:00Z"));
    ASSERT_EQ(runCedev({"time", "set", "2027-01-15T08:00Z"}, &out, &err), 0) << err;
    ASSERT_EQ(runCedev({"time"}, &out, &err), 0);
    EXPECT_EQ(firstLine(out), "2027-01-15T09:00:00"); // winter: UTC+1
}

TEST_F(DeviceTest, FrozenClockMovesOnlyByAdvance) {
    std::string out, err;
    ASSERT_EQ(runCedev({"time", "set", "2027-03-28T01:59:00Z", "--rate", "0"}, &out, &err), 0);
    usleep(300 * 1000);
    ASSERT_EQ(runCedev({"time"}, &out, &err), 0);
    EXPECT_EQ(firstLine(out), "2027-03-28T01:59:00");
    for (const char* d : {"90s", "15m", "2h", "3d", "1h30m", "250ms"})
        ASSERT_EQ(runCedev({"time", "advance", d}, &out, &err), 0) << d << err;
    // 90s + 15m + 2h + 3d + 1h30m + 0.25s after 01:59:00
    EXPECT_EQ(ce::deviceUtcNow(), cetest::isoToFileTime("2027-03-31T05:45:30.250Z"));
    for (const char* bad : {"", "15", "m", "-5m", "5y", "1.5h", "99999999999h"})
        EXPECT_EQ(runCedev({"time", "advance", bad}, &out, &err), 2) << bad;
}

TEST_F(DeviceTest, BadInputIsRefusedWithAnError) {
    std::string out, err;
    EXPECT_EQ(runCedev({"time", "set", "2027-02-30T10:00:00"}, &out, &err), 2);
    EXPECT_NE(err.find("no such time"), std::string::npos) << err;
    EXPECT_EQ(runCedev({"time", "set", "yesterday"}, &out, &err), 2);
    EXPECT_EQ(runCedev({"time", "--rate", "-1"}, &out, &err), 2);
    EXPECT_EQ(runCedev({"tz", "set", "Mars/Olympus"}, &out, &err), 1);
    EXPECT_EQ(runCedev({"profile", "set", "screen.width", "wide"}, &out, &err), 2);
    EXPECT_EQ(runCedev({"profile", "set", "clock.rate", "5"}, &out, &err), 2);
    EXPECT_EQ(runCedev({"frobnicate"}, &out, &err), 2);
    EXPECT_EQ(runCedev({"time"}, &out, &err, "/nonexistent/dev"), 1);
    EXPECT_FALSE(err.empty());
}

TEST_F(DeviceTest, ProfileSetChangesTheDeviceState) {
    std::string out, err;
    ASSERT_EQ(runCedev({"profile", "set", "os.build", "21501"}, &out, &err), 0) << err;
    ASSERT_EQ(runCedev({"profile", "set", "oem", "HTC Touch i760 Ünïcode"}, &out, &err), 0);
    ASSERT_EQ(runCedev({"profile", "set", "profile", "vga"}, &out, &err), 0) << err;
    auto conf = ce::deviceConf();
    EXPECT_EQ(conf->profile.osBuild, 21501);
    EXPECT_EQ(conf->profile.oemInfo, "HTC Touch i760 Ünïcode");
    EXPECT_EQ(conf->profile.width, 480);
    EXPECT_EQ(conf->profile.dpi, 192);
}

TEST_F(DeviceTest, JournalSinceShowsLaterEventsOnly) {
    std::string out, err;
    ASSERT_EQ(runCedev({"time", "set", "2027-05-01T10:00:00", "--rate", "0"}, &out, &err), 0);
    ASSERT_EQ(runCedev({"tz", "set", "Asia/Tokyo"}, &out, &err), 0);
    ASSERT_EQ(runCedev({"time", "advance", "1h"}, &out, &err), 0);
    ASSERT_EQ(runCedev({"journal"}, &out, &err), 0);
    EXPECT_NE(out.find("\"event\":\"clock.set\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"event\":\"tz.set\""), std::string::npos) << out;
    // Device local times: 10:00 UTC was 19:00 in Tokyo, one hour later 20:00.
    ASSERT_EQ(runCedev({"journal", "--since", "2027-05-01T19:30"}, &out, &err), 0);
    EXPECT_EQ(out.find("tz.set"), std::string::npos) << out;
    EXPECT_NE(out.find("\"t\":\"2027-05-01T20:00:00.000\""), std::string::npos) << out;
    EXPECT_NE(out.find("clock.advance"), std::string::npos) << out;
}

} // namespace
