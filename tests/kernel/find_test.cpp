// find_test.cpp: FindFirstFileW / FindNextFileW / FindClose (kernel/find.cpp): wildcard
// enumeration without regard to case, the find data, the errors at the start and the end, and
// the snapshot taken when the enumeration begins.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "kernel/clock.h"
#include "kernel/strings.h"
#include "testdevice.h"
#include "windows.h"
#include "gtest/gtest.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kPoison = 0xdeadbeef;

using Names = std::set<std::string>;

class FindTest : public cetest::DeviceTest {
protected:
    // The folder of the product's files, which the device image leaves empty.
    void SetUp() override {
        fs::create_directories(device.fs() / "Program Files" / "Zolvane");
        for (const char* name : {"alarm1.wav", "Alarm2.WAV", "alarm1.wma", "default.wav", "readme",
                                 "abc", "ac", "abbc"})
            put(std::string("Program Files/Zolvane/") + name, "12345");
        fs::create_directory(device.fs() / "Program Files" / "Zolvane" / "Rings");
    }
    void put(const std::string& rel, const std::string& content) {
        std::ofstream(device.fs() / rel, std::ios::binary) << content;
    }

    // Every name an enumeration of pattern reports; *error is the failure of FindFirstFileW
    // (0 when it found something) and the enumeration must end with ERROR_NO_MORE_FILES.
    Names find(const char16_t* pattern, DWORD* error = nullptr) {
        Names names;
        WIN32_FIND_DATAW data;
        memset(&data, 0xAB, sizeof data);
        SetLastError(kPoison);
        HANDLE h = FindFirstFileW(pattern, &data);
        if (error) *error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (h == INVALID_HANDLE_VALUE) return names;
        do {
            names.insert(ce::toUtf8(data.cFileName));
            memset(&data, 0xAB, sizeof data);
            SetLastError(kPoison);
        } while (FindNextFileW(h, &data));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(h));
        return names;
    }
};

// "*.wav" finds every .wav file whatever the case of name, extension and folder.
TEST_F(FindTest, ExtensionPatternsIgnoreCase) {
    const Names wavs{"Alarm2.WAV", "alarm1.wav", "default.wav"};
    EXPECT_EQ(find(u"\\Program Files\\Zolvane\\*.wav"), wavs);
    EXPECT_EQ(find(u"\\PROGRAM FILES\\ZOLVANE\\*.WAV"), wavs);
    EXPECT_EQ(find(u"/program files/zolvane/*.Wav"), wavs);
    EXPECT_EQ(find(u"\\Program Files\\Zolvane\\alarm1.*"), (Names{"alarm1.wav", "alarm1.wma"}));
}

// "*.*" and "*" report everything, names without a dot and folders included, but never "."
// or "..".
TEST_F(FindTest, StarDotStarMatchesEverything) {
    const Names all{"Alarm2.WAV", "Rings",      "abbc",        "abc",   "ac",
                    "alarm1.wav", "alarm1.wma", "default.wav", "readme"};
    EXPECT_EQ(find(u"\\Program Files\\Zolvane\\*.*"), all);
    EXPECT_EQ(find(u"\\Program Files\\Zolvane\\*"), all);
}

// '?' stands for exactly one character.
TEST_F(FindTest, QuestionMarkIsOneCharacter) {
    EXPECT_EQ(find(u"\\Program Files\\Zolvane\\a?c"), Names{"abc"});
    EXPECT_EQ(find(u"\\Program Files\\Zolvane\\ALARM?.W?V"), (Names{"Alarm2.WAV", "alarm1.wav"}));
}

// A name without wildcards finds that one entry, reported with its own case.
TEST_F(FindTest, PlainNameFindsTheEntryWithItsCase) {
    EXPECT_EQ(find(u"\\program files\\ZOLVANE\\ALARM2.wav"), Names{"Alarm2.WAV"});
    EXPECT_EQ(find(u"\\PROGRAM files\\zolvane"), Names{"Zolvane"});
}

// No match: ERROR_FILE_NOT_FOUND; a missing folder: ERROR_PATH_NOT_FOUND; a pattern in a
// folder component or an escape: ERROR_INVALID_NAME.
TEST_F(FindTest, FailuresAtTheStart) {
    DWORD error = kPoison;
    EXPECT_TRUE(find(u"\\Program Files\\Zolvane\\*.mp3", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(find(u"\\Program Files\\Zolvane\\Rings\\*", &error).empty()); // an empty folder
    EXPECT_EQ(error, DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(find(u"\\NoSuch\\*", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(find(u"\\Program Files\\Zolvane\\readme\\*", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(find(u"\\Program*\\*.wav", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_INVALID_NAME));
    EXPECT_TRUE(find(u"\\Program Files\\Zolvane\\..\\*", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_INVALID_NAME));
    EXPECT_TRUE(find(u"\\Program Files\\Zolvane\\", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_FILE_NOT_FOUND));
    SetLastError(kPoison);
    EXPECT_EQ(FindFirstFileW(u"\\Program Files\\Zolvane\\*", nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

// The find data: attributes as GetFileAttributesW gives them, size, times from the device
// clock, a terminated name.
TEST_F(FindTest, FindDataIsFilledIn) {
    device.freezeAt("2027-05-01T08:00:00Z");
    HANDLE f = CreateFileW(u"\\Program Files\\Zolvane\\stamp.txt", GENERIC_WRITE, 0, nullptr,
                           CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(f, "1234567", 7, &written, nullptr));
    CloseHandle(f);

    WIN32_FIND_DATAW data;
    memset(&data, 0xAB, sizeof data);
    HANDLE h = FindFirstFileW(u"\\Program Files\\Zolvane\\STAMP.TXT", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(data.nFileSizeLow, DWORD(7));
    EXPECT_EQ(data.nFileSizeHigh, DWORD(0));
    EXPECT_EQ(ce::fileTimeToInt(data.ftLastWriteTime),
              cetest::isoToFileTime("2027-05-01T08:00:00Z"));
    EXPECT_EQ(std::u16string(data.cFileName), u"stamp.txt");
    SetLastError(kPoison);
    EXPECT_FALSE(FindNextFileW(h, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
    SetLastError(kPoison);
    EXPECT_FALSE(FindNextFileW(h, &data)); // and it stays at the end
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));

    memset(&data, 0xAB, sizeof data);
    h = FindFirstFileW(u"\\Program Files\\Zolvane\\Rings", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(data.nFileSizeLow, DWORD(0));
    FindClose(h);
}

// The storage card is found as the device's programs look for it: the entry of "\*" whose
// attributes hold DIRECTORY and TEMPORARY.
TEST_F(FindTest, StorageCardIsTheTemporaryFolderOfTheRoot) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(u"\\*", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::vector<std::string> cards;
    Names all;
    do {
        all.insert(ce::toUtf8(data.cFileName));
        if ((data.dwFileAttributes & 0x110) == 0x110) cards.push_back(ce::toUtf8(data.cFileName));
    } while (FindNextFileW(h, &data));
    FindClose(h);
    EXPECT_EQ(cards, std::vector<std::string>{"Storage Card"});
    EXPECT_EQ(all.count("Windows"), 1u);
    EXPECT_EQ(all.count("."), 0u);
    EXPECT_EQ(all.count(".."), 0u);
}

// The enumeration reports the folder as it was at FindFirstFileW.
TEST_F(FindTest, EnumerationIsASnapshot) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(u"\\Program Files\\Zolvane\\*.wav", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Names seen{ce::toUtf8(data.cFileName)};
    put("Program Files/Zolvane/late.wav", "x");
    ASSERT_TRUE(DeleteFileW(u"\\Program Files\\Zolvane\\default.wav"));
    while (FindNextFileW(h, &data))
        seen.insert(ce::toUtf8(data.cFileName));
    FindClose(h);
    EXPECT_EQ(seen, (Names{"Alarm2.WAV", "alarm1.wav", "default.wav"}));
}

// Links are listed only when they lead to something inside the device.
TEST_F(FindTest, LinksOutOfTheDeviceAreNotListed) {
    fs::create_directory_symlink("/etc", device.fs() / "Temp" / "hostetc");
    fs::create_symlink("../Program Files/Zolvane/abc", device.fs() / "Temp" / "inside");
    DWORD error = kPoison;
    EXPECT_EQ(find(u"\\Temp\\*", &error), Names{"inside"});
    EXPECT_EQ(error, DWORD(0));
    EXPECT_TRUE(find(u"\\Temp\\hostetc\\*", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_ACCESS_DENIED));
}

// Only find handles are accepted by FindNextFileW and FindClose, and only once.
TEST_F(FindTest, HandlesAreChecked) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(u"\\Program Files\\Zolvane\\*", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FindClose(h));
    SetLastError(kPoison);
    EXPECT_FALSE(FindClose(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    SetLastError(kPoison);
    EXPECT_FALSE(FindNextFileW(h, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    HANDLE file = CreateFileW(u"\\Program Files\\Zolvane\\abc", GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetLastError(kPoison);
    EXPECT_FALSE(FindNextFileW(file, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    SetLastError(kPoison);
    EXPECT_FALSE(FindClose(file));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(file)); // still open: FindClose left it alone
}

} // namespace
