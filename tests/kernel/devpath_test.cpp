// devpath_test.cpp: the mapping of device paths to host paths below fs/ (kernel/devpath.h):
// matching without regard to case, the refusal of every way out of fs/, and wildcard matching.
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "kernel/devpath.h"
#include "kernel/strings.h"
#include "testdevice.h"
#include "windows.h"
#include "gtest/gtest.h"

namespace fs = std::filesystem;

namespace {

class DevPathTest : public cetest::DeviceTest {
protected:
    void SetUp() override {
        root = fs::canonical(device.fs());
        touch(root / "Windows" / "alarm1.wav");
    }
    static void touch(const fs::path& p) { std::ofstream(p) << "x"; }

    // Resolves and returns the error; *out receives the result.
    DWORD resolve(std::u16string_view path, ce::PathLookup lookup, ce::DevicePath* out,
                  bool followLeafLink = true) {
        return ce::resolveDevicePath(path, lookup, out, followLeafLink);
    }
    DWORD errorOf(std::u16string_view path, ce::PathLookup lookup = ce::PathLookup::Existing) {
        ce::DevicePath out;
        return resolve(path, lookup, &out);
    }

    fs::path root;
};

// Components are matched without regard to case; the device path reports the names as found.
TEST_F(DevPathTest, MatchesEveryComponentWithoutCase) {
    ce::DevicePath out;
    for (std::u16string_view spelling :
         {u"\\WINDOWS\\Alarm1.WAV", u"\\windows\\alarm1.wav", u"\\Windows\\ALARM1.wav"}) {
        ASSERT_EQ(resolve(spelling, ce::PathLookup::Existing, &out), DWORD(ERROR_SUCCESS));
        EXPECT_TRUE(out.exists);
        EXPECT_EQ(out.host, root / "Windows" / "alarm1.wav");
        EXPECT_EQ(out.device, u"\\Windows\\alarm1.wav");
    }
}

// When two host names differ only in case, the exact spelling wins.
TEST_F(DevPathTest, ExactNameComesFirst) {
    fs::create_directory(root / "Data");
    fs::create_directory(root / "data");
    ce::DevicePath out;
    ASSERT_EQ(resolve(u"\\data", ce::PathLookup::Existing, &out), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(out.host, root / "data");
    ASSERT_EQ(resolve(u"\\Data", ce::PathLookup::Existing, &out), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(out.host, root / "Data");
    ASSERT_EQ(resolve(u"\\DATA", ce::PathLookup::Existing, &out), DWORD(ERROR_SUCCESS));
    EXPECT_TRUE(out.host == root / "Data" || out.host == root / "data") << out.host;
}

// Slashes separate too, a path without a leading separator starts at the root (the device has
// no current directory), "." is dropped and repeated separators count as one.
TEST_F(DevPathTest, AcceptsTheDeviceSpellingsOfOnePath) {
    for (std::u16string_view spelling :
         {u"/Windows/alarm1.wav", u"Windows\\alarm1.wav", u"\\.\\Windows\\.\\alarm1.wav",
          u"\\Windows\\\\alarm1.wav", u"\\Windows/alarm1.wav"}) {
        ce::DevicePath out;
        ASSERT_EQ(resolve(spelling, ce::PathLookup::Existing, &out), DWORD(ERROR_SUCCESS))
            << ce::toUtf8(spelling);
        EXPECT_EQ(out.host, root / "Windows" / "alarm1.wav");
    }
}

TEST_F(DevPathTest, RootIsAFolder) {
    for (std::u16string_view spelling : {u"\\", u"/", u"\\.\\"}) {
        ce::DevicePath out;
        ASSERT_EQ(resolve(spelling, ce::PathLookup::Existing, &out), DWORD(ERROR_SUCCESS));
        EXPECT_TRUE(out.isRoot);
        EXPECT_EQ(out.host, root);
        EXPECT_EQ(out.device, u"\\");
    }
}

// A missing leaf is ERROR_FILE_NOT_FOUND, a missing (or non-folder) component on the way
// ERROR_PATH_NOT_FOUND, as the file API reports them.
TEST_F(DevPathTest, MissingPartsGiveTheWindowsErrors) {
    EXPECT_EQ(errorOf(u"\\Windows\\nosuch.wav"), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(errorOf(u"\\NoSuch\\alarm1.wav"), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(errorOf(u"\\Windows\\alarm1.wav\\x"), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(errorOf(u"\\NoSuch\\x", ce::PathLookup::Creatable), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(errorOf(u""), DWORD(ERROR_PATH_NOT_FOUND));
    ce::DevicePath out;
    EXPECT_EQ(ce::resolveDevicePath(static_cast<const char16_t*>(nullptr), ce::PathLookup::Existing,
                                    &out),
              DWORD(ERROR_PATH_NOT_FOUND));
    // A file cannot be named as a folder.
    EXPECT_EQ(errorOf(u"\\Windows\\alarm1.wav\\"), DWORD(ERROR_INVALID_NAME));
}

// A new leaf keeps the case it was given; an existing one is found whatever the case.
TEST_F(DevPathTest, CreatableKeepsTheGivenCase) {
    ce::DevicePath out;
    ASSERT_EQ(resolve(u"\\WINDOWS\\NewFile.TXT", ce::PathLookup::Creatable, &out),
              DWORD(ERROR_SUCCESS));
    EXPECT_FALSE(out.exists);
    EXPECT_EQ(out.host, root / "Windows" / "NewFile.TXT");
    EXPECT_EQ(out.device, u"\\Windows\\NewFile.TXT");
    ASSERT_EQ(resolve(u"\\WINDOWS\\ALARM1.WAV", ce::PathLookup::Creatable, &out),
              DWORD(ERROR_SUCCESS));
    EXPECT_TRUE(out.exists);
    EXPECT_EQ(out.host, root / "Windows" / "alarm1.wav");
    EXPECT_EQ(out.givenLeaf, u"ALARM1.WAV");
}

// ".." never climbs: not out of fs/, and not even inside it.
TEST_F(DevPathTest, RefusesDotDot) {
    for (std::u16string_view spelling :
         {u"..", u"\\..", u"\\Windows\\..\\Windows\\alarm1.wav", u"\\Windows\\..\\..\\etc\\passwd",
          u"../../../../etc/passwd", u"\\Windows\\...", u"\\Windows\\....\\x"}) {
        EXPECT_EQ(errorOf(spelling), DWORD(ERROR_INVALID_NAME)) << ce::toUtf8(spelling);
        EXPECT_EQ(errorOf(spelling, ce::PathLookup::Creatable), DWORD(ERROR_INVALID_NAME));
    }
}

// A host path is read as a device path: "/etc/passwd" names \etc\passwd below fs/.
TEST_F(DevPathTest, HostPathsStayInsideTheDevice) {
    EXPECT_EQ(errorOf(u"/etc/passwd"), DWORD(ERROR_PATH_NOT_FOUND));
    fs::create_directory(root / "etc");
    ce::DevicePath out;
    ASSERT_EQ(resolve(u"/etc/passwd", ce::PathLookup::Creatable, &out), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(out.host, root / "etc" / "passwd");
    EXPECT_FALSE(out.exists);
    const std::string hostPath = root.string() + "/Windows/alarm1.wav";
    const std::u16string asDevice(hostPath.begin(), hostPath.end());
    EXPECT_EQ(errorOf(asDevice), DWORD(ERROR_PATH_NOT_FOUND));
}

// Drive letters, "\\server\share" forms, wildcards outside patterns, control characters and
// the other characters Windows forbids in names are refused.
TEST_F(DevPathTest, RefusesForeignFormsAndForbiddenCharacters) {
    EXPECT_EQ(errorOf(u"C:\\Windows\\alarm1.wav"), DWORD(ERROR_INVALID_NAME));
    EXPECT_EQ(errorOf(u"\\\\server\\share\\x"), DWORD(ERROR_BAD_PATHNAME));
    EXPECT_EQ(errorOf(u"//server/share"), DWORD(ERROR_BAD_PATHNAME));
    for (char16_t c : std::u16string(u"<>:\"|?*\x01\x1f")) {
        std::u16string name = u"\\Windows\\a";
        name += c;
        name += u"b";
        EXPECT_EQ(errorOf(name), DWORD(ERROR_INVALID_NAME)) << "char " << int(c);
        EXPECT_EQ(errorOf(name, ce::PathLookup::Creatable), DWORD(ERROR_INVALID_NAME));
    }
    // An embedded NUL must not cut the name short.
    const std::u16string withNul(u"\\Windows\\alarm1.wav\0.txt", 24);
    EXPECT_EQ(errorOf(withNul), DWORD(ERROR_INVALID_NAME));
    // A surrogate without its partner has no spelling on the host.
    EXPECT_EQ(errorOf(u"\\Windows\\a\xD800"
                      u"b",
                      ce::PathLookup::Creatable),
              DWORD(ERROR_INVALID_NAME));
    EXPECT_EQ(errorOf(u"\\Windows\\a\xDC00", ce::PathLookup::Creatable), DWORD(ERROR_INVALID_NAME));
}

// MAX_PATH - 1 units at most; an unterminated buffer is never read past MAX_PATH units.
TEST_F(DevPathTest, LengthIsBoundedByMaxPath) {
    std::u16string longest = u"\\" + std::u16string(200, u'a') + u"\\" + std::u16string(57, u'b');
    ASSERT_EQ(longest.size(), size_t(MAX_PATH - 1));
    EXPECT_EQ(errorOf(longest), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(errorOf(longest + u"c"), DWORD(ERROR_FILENAME_EXCED_RANGE));

    // Exactly MAX_PATH units on the heap and no terminator: ASan reports any read past it.
    std::vector<char16_t> unterminated(MAX_PATH, u'a');
    ce::DevicePath out;
    EXPECT_EQ(ce::resolveDevicePath(unterminated.data(), ce::PathLookup::Existing, &out),
              DWORD(ERROR_FILENAME_EXCED_RANGE));
    // A name longer than the host's 255 bytes (here 130 units, 260 bytes of UTF-8) is out of
    // range as well.
    EXPECT_EQ(errorOf(u"\\" + std::u16string(127, u'\x00e9'), ce::PathLookup::Creatable),
              DWORD(ERROR_SUCCESS));
    EXPECT_EQ(errorOf(u"\\" + std::u16string(130, u'\x00e9'), ce::PathLookup::Creatable),
              DWORD(ERROR_FILENAME_EXCED_RANGE));
}

// Symbolic links are followed only while they stay inside fs/; the resolved host path then
// holds no link at all.
TEST_F(DevPathTest, FollowsLinksOnlyInsideTheDevice) {
    fs::create_directory_symlink("../Windows", root / "Temp" / "win");
    ce::DevicePath out;
    ASSERT_EQ(resolve(u"\\Temp\\WIN\\alarm1.wav", ce::PathLookup::Existing, &out),
              DWORD(ERROR_SUCCESS));
    EXPECT_EQ(out.host, root / "Windows" / "alarm1.wav");

    fs::create_directory_symlink("/etc", root / "Windows" / "hostetc");
    fs::create_symlink("/etc/passwd", root / "Windows" / "pw");
    fs::create_directory_symlink("../..", root / "Windows" / "up");
    fs::create_directory_symlink(root.parent_path(), root / "Windows" / "device");
    for (std::u16string_view spelling :
         {u"\\Windows\\hostetc\\passwd", u"\\Windows\\hostetc", u"\\Windows\\pw",
          u"\\Windows\\up\\etc\\passwd", u"\\Windows\\UP", u"\\Windows\\device\\device.conf"}) {
        EXPECT_EQ(errorOf(spelling), DWORD(ERROR_ACCESS_DENIED)) << ce::toUtf8(spelling);
        EXPECT_EQ(errorOf(spelling, ce::PathLookup::Creatable), DWORD(ERROR_ACCESS_DENIED));
    }
    // A dangling link is refused for creation (nothing is created through it), wherever it
    // points, and reads as missing when it would stay inside.
    fs::create_symlink(root.parent_path() / "outside.txt", root / "Temp" / "evil");
    fs::create_symlink("nothing-here", root / "Temp" / "gone");
    EXPECT_EQ(errorOf(u"\\Temp\\evil", ce::PathLookup::Creatable), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(errorOf(u"\\Temp\\evil"), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(errorOf(u"\\Temp\\gone", ce::PathLookup::Creatable), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(errorOf(u"\\Temp\\gone"), DWORD(ERROR_FILE_NOT_FOUND));
    // Asked not to follow the leaf, the link itself is the answer (for delete and rename).
    ASSERT_EQ(resolve(u"\\Windows\\pw", ce::PathLookup::Existing, &out, false),
              DWORD(ERROR_SUCCESS));
    EXPECT_EQ(out.host, root / "Windows" / "pw");
    EXPECT_TRUE(S_ISLNK(out.st.st_mode));
}

// Find patterns: wildcards in the last component only; the folder must exist.
TEST_F(DevPathTest, FindTargetsSplitFolderAndPattern) {
    ce::FindTarget target;
    ASSERT_EQ(ce::resolveFindTarget(u"\\WINDOWS\\*.wav", &target), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(target.folder, root / "Windows");
    EXPECT_EQ(target.pattern, u"*.wav");
    ASSERT_EQ(ce::resolveFindTarget(u"*", &target), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(target.folder, root);
    EXPECT_EQ(target.pattern, u"*");
    ASSERT_EQ(ce::resolveFindTarget(u"\\Windows\\", &target), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(target.pattern, u"");
    EXPECT_EQ(ce::resolveFindTarget(u"\\NoSuch\\*", &target), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ce::resolveFindTarget(u"\\Windows\\alarm1.wav\\*", &target),
              DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ce::resolveFindTarget(u"\\Win*\\x", &target), DWORD(ERROR_INVALID_NAME));
    EXPECT_EQ(ce::resolveFindTarget(u"\\Windows\\..\\*", &target), DWORD(ERROR_INVALID_NAME));
}

// Host names that are not UTF-8 have no device spelling and are left out of listings.
TEST_F(DevPathTest, ListingSkipsNamesWithoutADeviceSpelling) {
    touch(root / "Temp" / "b.txt");
    touch(root / "Temp" / "A.txt");
    touch(root / "Temp" / "bad\xff.txt");
    std::vector<std::u16string> names;
    for (const auto& e : ce::listDeviceFolder(root / "Temp"))
        names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A.txt", u"b.txt"}));
}

TEST_F(DevPathTest, ReverseMappingForTraces) {
    EXPECT_EQ(ce::hostToDevicePath(root / "Windows" / "alarm1.wav"), u"\\Windows\\alarm1.wav");
    EXPECT_EQ(ce::hostToDevicePath(root), u"\\");
    EXPECT_EQ(ce::hostToDevicePath("/etc/passwd"), u"");
    EXPECT_EQ(ce::hostToDevicePath(root.parent_path() / "fsx" / "a"), u"");
}

// Storage cards are root folders named in DeviceConf::storageCards, compared without case.
TEST_F(DevPathTest, StorageCardRoots) {
    EXPECT_TRUE(ce::isStorageCardRoot(root / "Storage Card"));
    EXPECT_FALSE(ce::isStorageCardRoot(root / "Windows"));
    EXPECT_FALSE(ce::isStorageCardRoot(root / "Windows" / "Storage Card"));
}

// Windows wildcard rules, compared without regard to case.
TEST(DevPathWildcard, MatchesAsWindowsDoes) {
    struct Case {
        std::u16string_view pattern, name;
        bool match;
    } cases[] = {
        {u"*.wav", u"ALARM1.WAV", true},
        {u"*.wav", u"alarm1.wave", false},
        {u"*.wav", u"wav", false},
        {u"*.*", u"README", true},
        {u"*.*", u"a.b.c", true},
        {u"*", u"x", true},
        {u"a?c", u"abc", true},
        {u"a?c", u"ABC", true},
        {u"a?c", u"ac", false},
        {u"a?c", u"abbc", false},
        {u"alarm?.w*", u"Alarm2.WMA", true},
        {u"alarm1.*", u"alarm1", true},
        {u"alarm1.*", u"alarm12", false},
        {u"*.", u"noext", true},
        {u"*.", u"a.b", false},
        {u"*a*b", u"xxAyyB", true},
        {u"*a*b", u"xxAyyBc", false},
        {u"", u"x", false},
        {u"\x00c4PFEL.TXT", u"\x00e4pfel.txt", true},
        {u"exact.txt", u"EXACT.TXT", true},
        {u"exact.txt", u"exact.txt2", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ce::matchWildcard(c.pattern, c.name), c.match)
            << ce::toUtf8(c.pattern) << " vs " << ce::toUtf8(c.name);
}

} // namespace
