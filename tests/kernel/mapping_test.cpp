// mapping_test.cpp: file mappings (kernel/mapping.cpp): views of files read and written back,
// sizes and growth, alignment and bounds of views, named memory shared between processes, and
// the lifetime of mappings and their files.
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "testdevice.h"
#include "windows.h"
#include "gtest/gtest.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kPoison = 0xdeadbeef;
constexpr DWORD kFileInvalid = 1006;     // ERROR_FILE_INVALID
constexpr DWORD kMappedAlignment = 1132; // ERROR_MAPPED_ALIGNMENT
constexpr DWORD kUserMappedFile = 1224;  // ERROR_USER_MAPPED_FILE

class MappingTest : public cetest::DeviceTest {
protected:
    void put(const std::string& rel, const std::string& content) {
        std::ofstream(device.fs() / rel, std::ios::binary) << content;
    }
    std::string get(const std::string& rel) {
        std::ifstream in(device.fs() / rel, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    HANDLE openForMapping(const char16_t* name, DWORD access, DWORD share = 0) {
        return CreateFileForMappingW(name, access, share, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    }
};

// Write through a view, read it back with ReadFile; the view outlives CloseHandle of the
// mapping.
TEST_F(MappingTest, WriteThroughAViewReadBackWithReadFile) {
    put("Temp/data.bin", std::string(100, '.'));
    HANDLE file = openForMapping(u"\\Temp\\DATA.bin", GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetLastError(kPoison);
    HANDLE map = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(0));
    char* view = static_cast<char*>(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(CloseHandle(map)); // the view keeps the mapping
    EXPECT_EQ(view[99], '.');
    memcpy(view + 10, "mapped!", 7);
    EXPECT_TRUE(FlushViewOfFile(view + 10, 7));
    EXPECT_TRUE(UnmapViewOfFile(view));

    char buf[128];
    DWORD got = kPoison;
    ASSERT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), DWORD(0));
    ASSERT_TRUE(ReadFile(file, buf, sizeof buf, &got, nullptr));
    ASSERT_EQ(got, DWORD(100));
    EXPECT_EQ(std::string(buf + 8, 11), "..mapped!..");
    CloseHandle(file);
    EXPECT_EQ(get("Temp/data.bin").substr(10, 7), "mapped!");
}

// What WriteFile put in a file is what a read-only view shows; size 0 maps the whole file.
TEST_F(MappingTest, ReadOnlyViewOfAWholeFile) {
    HANDLE file = CreateFileW(u"\\Temp\\skin.skn", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string text = "[skin]\r\nname=Default\r\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr));
    HANDLE map = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(map, nullptr);
    const char* view = static_cast<const char*>(MapViewOfFile(map, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, text.size()), text);
    // Views of a read-only mapping cannot write.
    SetLastError(kPoison);
    EXPECT_EQ(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(UnmapViewOfFile(view));
    CloseHandle(map);
    CloseHandle(file);
}

// Sizes: a larger size grows the file for PAGE_READWRITE only; an empty file cannot be mapped
// with size 0; the protection must fit the file's access.
TEST_F(MappingTest, SizesAndAccess) {
    put("Temp/small.bin", "0123456789");
    HANDLE rw = openForMapping(u"\\Temp\\small.bin", GENERIC_READ | GENERIC_WRITE);
    HANDLE map = CreateFileMappingW(rw, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(GetFileSize(rw, nullptr), DWORD(4096));
    CloseHandle(map);
    CloseHandle(rw);

    HANDLE ro = openForMapping(u"\\Temp\\small.bin", GENERIC_READ, FILE_SHARE_READ);
    SetLastError(kPoison);
    EXPECT_EQ(CreateFileMappingW(ro, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_EQ(CreateFileMappingW(ro, nullptr, PAGE_READONLY, 0, 8192, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(GetFileSize(ro, nullptr), DWORD(4096));
    SetLastError(kPoison);
    EXPECT_EQ(CreateFileMappingW(ro, nullptr, 0x40 /* PAGE_EXECUTE_READWRITE */, 0, 0, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    CloseHandle(ro);

    put("Temp/empty.bin", "");
    HANDLE empty = openForMapping(u"\\Temp\\empty.bin", GENERIC_READ);
    SetLastError(kPoison);
    EXPECT_EQ(CreateFileMappingW(empty, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), kFileInvalid);
    CloseHandle(empty);

    HANDLE noRead = openForMapping(u"\\Temp\\small.bin", GENERIC_WRITE);
    SetLastError(kPoison);
    EXPECT_EQ(CreateFileMappingW(noRead, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(noRead);

    SetLastError(kPoison);
    EXPECT_EQ(CreateFileMappingW(ULongToHandle(0x7654320), nullptr, PAGE_READONLY, 0, 0, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

// View offsets are multiples of 64 KB; views stay inside the mapping.
TEST_F(MappingTest, ViewAlignmentAndBounds) {
    std::string content(128 * 1024, 'a');
    content[65536] = 'B';
    put("Temp/big.bin", content);
    HANDLE file = openForMapping(u"\\Temp\\big.bin", GENERIC_READ);
    HANDLE map = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(map, nullptr);
    SetLastError(kPoison);
    EXPECT_EQ(MapViewOfFile(map, FILE_MAP_READ, 0, 4096, 0), nullptr);
    EXPECT_EQ(GetLastError(), kMappedAlignment);
    const char* view = static_cast<const char*>(MapViewOfFile(map, FILE_MAP_READ, 0, 65536, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view[0], 'B');
    EXPECT_EQ(view[65535], 'a');

    SetLastError(kPoison);
    EXPECT_EQ(MapViewOfFile(map, FILE_MAP_READ, 0, 65536, 65537), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_EQ(MapViewOfFile(map, FILE_MAP_READ, 0, 131072, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_EQ(MapViewOfFile(map, FILE_MAP_READ, 1, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_EQ(MapViewOfFile(file, FILE_MAP_READ, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    // Only the view's own base address unmaps it, once.
    SetLastError(kPoison);
    EXPECT_FALSE(UnmapViewOfFile(view + 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_ADDRESS));
    EXPECT_TRUE(UnmapViewOfFile(view));
    SetLastError(kPoison);
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_ADDRESS));
    SetLastError(kPoison);
    EXPECT_FALSE(FlushViewOfFile(view, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_ADDRESS));
    CloseHandle(map);
    CloseHandle(file);
}

// A mapped file keeps its open alive: it cannot be deleted, cut short or replaced while any
// mapping of it lives, even after its file handle was closed.
TEST_F(MappingTest, MappedFilesStayWhole) {
    put("Temp/data.bin", std::string(8192, 'x'));
    HANDLE file = openForMapping(u"\\Temp\\data.bin", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE);
    HANDLE map = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    ASSERT_NE(map, nullptr);
    SetFilePointer(file, 10, nullptr, FILE_BEGIN);
    SetLastError(kPoison);
    EXPECT_FALSE(SetEndOfFile(file));
    EXPECT_EQ(GetLastError(), kUserMappedFile);
    SetLastError(kPoison);
    EXPECT_EQ(CreateFileW(u"\\Temp\\data.bin", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), kUserMappedFile);
    CloseHandle(file);
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteFileW(u"\\Temp\\data.bin"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(get("Temp/data.bin").size(), 8192u);

    CloseHandle(map);
    EXPECT_TRUE(DeleteFileW(u"\\Temp\\data.bin"));
}

// Named memory is one object per device: the second creator gets the same memory with
// ERROR_ALREADY_EXISTS, in this process or another; it goes with its last handle.
TEST_F(MappingTest, NamedMemoryIsSharedByName) {
    SetLastError(kPoison);
    HANDLE first = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                      u"ZolvaneSharedState");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(0));
    SetLastError(kPoison);
    HANDLE second = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8192,
                                       u"ZolvaneSharedState");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    char* a = static_cast<char*>(MapViewOfFile(first, FILE_MAP_WRITE, 0, 0, 0));
    char* b = static_cast<char*>(MapViewOfFile(second, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a[0], 0); // new memory is zero
    strcpy(a, "from a");
    EXPECT_STREQ(b, "from a");
    // The existing object's size holds, not the second request's.
    SetLastError(kPoison);
    EXPECT_EQ(MapViewOfFile(second, FILE_MAP_READ, 0, 0, 8192), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));

    // Another process of the device meets the same memory; the name is compared with case.
    EXPECT_EQ(cetest::runInChild([] {
                  SetLastError(kPoison);
                  HANDLE m = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                4096, u"ZolvaneSharedState");
                  if (!m || GetLastError() != ERROR_ALREADY_EXISTS) return 1;
                  char* v = static_cast<char*>(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 0));
                  if (!v || strcmp(v, "from a") != 0) return 2;
                  strcpy(v, "from child");
                  HANDLE other = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                    0, 4096, u"zolvanesharedstate");
                  if (!other || GetLastError() != 0) return 3;
                  return 0;
              }),
              0);
    EXPECT_STREQ(a, "from child");

    EXPECT_TRUE(UnmapViewOfFile(a));
    EXPECT_TRUE(UnmapViewOfFile(b));
    CloseHandle(first);
    CloseHandle(second);
    SetLastError(kPoison);
    HANDLE again = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                      u"ZolvaneSharedState");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(0));
    const char* c = static_cast<const char*>(MapViewOfFile(again, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c[0], 0);
    UnmapViewOfFile(c);
    CloseHandle(again);
}

// Unnamed memory belongs to its mapping alone; memory needs a size and PAGE_READWRITE.
TEST_F(MappingTest, UnnamedMemory) {
    HANDLE m1 = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
    HANDLE m2 = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, u"");
    ASSERT_NE(m1, nullptr);
    ASSERT_NE(m2, nullptr);
    char* a = static_cast<char*>(MapViewOfFile(m1, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    char* b = static_cast<char*>(MapViewOfFile(m2, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    a[0] = 'a';
    EXPECT_EQ(b[0], 0);
    UnmapViewOfFile(a);
    UnmapViewOfFile(b);
    CloseHandle(m1);
    CloseHandle(m2);

    SetLastError(kPoison);
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(kPoison);
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 4096, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

// FILE_MAP_COPY views are private: writes stay out of the file.
TEST_F(MappingTest, CopyOnWriteViewsArePrivate) {
    put("Temp/data.bin", "original");
    HANDLE file = openForMapping(u"\\Temp\\data.bin", GENERIC_READ | GENERIC_WRITE);
    HANDLE map = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    char* view = static_cast<char*>(MapViewOfFile(map, FILE_MAP_COPY, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    memcpy(view, "CHANGED!", 8);
    EXPECT_TRUE(UnmapViewOfFile(view));
    CloseHandle(map);
    CloseHandle(file);
    EXPECT_EQ(get("Temp/data.bin"), "original");
}

} // namespace
