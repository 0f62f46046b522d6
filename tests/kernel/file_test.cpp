// file_test.cpp: the device's file API (kernel/fileapi.cpp): creation dispositions and their
// error codes, reading and writing, the file pointer, share modes within a process and across
// processes, delete/copy/move, folders, attributes and times, and the refusal of paths that
// lead out of the device.
#include <algorithm>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "kernel/clock.h"
#include "kernel/device.h"
#include "testdevice.h"
#include "windows.h"
#include "gtest/gtest.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kPoison = 0xdeadbeef;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kUserMappedFile = 1224; // ERROR_USER_MAPPED_FILE

HANDLE openFile(const char16_t* name, DWORD access, DWORD share, DWORD disposition,
                DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileW(name, access, share, nullptr, disposition, attributes, nullptr);
}

// 0 when the open succeeds (the handle is closed again), else the error.
DWORD openError(const char16_t* name, DWORD access, DWORD share, DWORD disposition) {
    SetLastError(kPoison);
    HANDLE h = openFile(name, access, share, disposition);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(h);
    return 0;
}

std::string readAll(HANDLE h) {
    std::string out;
    char buf[256];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        out.append(buf, got);
    return out;
}

bool writeText(HANDLE h, const std::string& text) {
    DWORD written = kPoison;
    return WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

// A one-way channel between a test and its forked child.
class Pipe {
public:
    Pipe() { EXPECT_EQ(pipe(fds_), 0); }
    ~Pipe() {
        close(fds_[0]);
        close(fds_[1]);
    }
    void send(DWORD v) { EXPECT_EQ(write(fds_[1], &v, sizeof v), ssize_t(sizeof v)); }
    DWORD receive() {
        DWORD v = kPoison;
        EXPECT_EQ(read(fds_[0], &v, sizeof v), ssize_t(sizeof v));
        return v;
    }

private:
    int fds_[2] = {-1, -1};
};

class FileTest : public cetest::DeviceTest {
protected:
    fs::path host(const std::string& rel) const { return device.fs() / rel; }
    void put(const std::string& rel, const std::string& content) {
        std::ofstream(host(rel), std::ios::binary) << content;
    }
    std::string get(const std::string& rel) const {
        std::ifstream in(host(rel), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    bool hostExists(const std::string& rel) const {
        std::error_code ec;
        return fs::exists(fs::symlink_status(host(rel), ec));
    }
};

// ---- Creation dispositions ----------------------------------------------------------------------

// CREATE_NEW creates a missing file (last error 0) and refuses an existing one.
TEST_F(FileTest, CreateNew) {
    SetLastError(kPoison);
    HANDLE h = openFile(u"\\Temp\\new.txt", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(0));
    EXPECT_TRUE(writeText(h, "abc"));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(get("Temp/new.txt"), "abc");

    EXPECT_EQ(openError(u"\\Temp\\new.txt", GENERIC_WRITE, 0, CREATE_NEW),
              DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(openError(u"\\TEMP\\NEW.TXT", GENERIC_READ, 0, CREATE_NEW), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(get("Temp/new.txt"), "abc");
}

// CREATE_ALWAYS empties an existing file and says so with ERROR_ALREADY_EXISTS.
TEST_F(FileTest, CreateAlways) {
    put("Temp/a.txt", "old content");
    SetLastError(kPoison);
    HANDLE h = openFile(u"\\Temp\\a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    DWORD high = kPoison;
    EXPECT_EQ(GetFileSize(h, &high), DWORD(0));
    EXPECT_EQ(high, DWORD(0));
    CloseHandle(h);
    EXPECT_EQ(get("Temp/a.txt"), "");

    SetLastError(kPoison);
    h = openFile(u"\\Temp\\b.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(0));
    CloseHandle(h);
    EXPECT_TRUE(hostExists("Temp/b.txt"));
}

// OPEN_ALWAYS keeps an existing file (ERROR_ALREADY_EXISTS) and creates a missing one (0).
TEST_F(FileTest, OpenAlways) {
    put("Temp/a.txt", "keep");
    SetLastError(kPoison);
    HANDLE h = openFile(u"\\Temp\\a.txt", GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(readAll(h), "keep");
    CloseHandle(h);

    SetLastError(kPoison);
    h = openFile(u"\\Temp\\fresh.txt", GENERIC_WRITE, 0, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(0));
    CloseHandle(h);
    EXPECT_TRUE(hostExists("Temp/fresh.txt"));
}

// OPEN_EXISTING: ERROR_FILE_NOT_FOUND for a missing file, ERROR_PATH_NOT_FOUND for a missing
// folder; nothing is created.
TEST_F(FileTest, OpenExisting) {
    EXPECT_EQ(openError(u"\\Temp\\none.txt", GENERIC_READ, 0, OPEN_EXISTING),
              DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(openError(u"\\NoFolder\\none.txt", GENERIC_READ, 0, OPEN_EXISTING),
              DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(openError(u"\\NoFolder\\none.txt", GENERIC_WRITE, 0, CREATE_ALWAYS),
              DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(hostExists("Temp/none.txt"));
    put("Temp/a.txt", "data");
    SetLastError(kPoison);
    HANDLE h = openFile(u"\\temp\\A.TXT", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(readAll(h), "data");
    CloseHandle(h);
}

// TRUNCATE_EXISTING needs GENERIC_WRITE (ERROR_INVALID_PARAMETER, the file untouched) and an
// existing file.
TEST_F(FileTest, TruncateExisting) {
    put("Temp/a.txt", "content");
    EXPECT_EQ(openError(u"\\Temp\\a.txt", GENERIC_READ, 0, TRUNCATE_EXISTING),
              DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(get("Temp/a.txt"), "content");
    EXPECT_EQ(openError(u"\\Temp\\none.txt", GENERIC_WRITE, 0, TRUNCATE_EXISTING),
              DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(hostExists("Temp/none.txt"));
    EXPECT_EQ(openError(u"\\Temp\\a.txt", GENERIC_WRITE, 0, TRUNCATE_EXISTING), DWORD(0));
    EXPECT_EQ(get("Temp/a.txt"), "");
}

TEST_F(FileTest, BadArgumentsAreRefused) {
    EXPECT_EQ(openError(u"\\Temp\\a.txt", GENERIC_WRITE, 0, 0), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(openError(u"\\Temp\\a.txt", GENERIC_WRITE, 0, 6), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(openError(u"\\Temp\\a.txt", GENERIC_WRITE, 0x100, CREATE_ALWAYS),
              DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(openError(nullptr, GENERIC_READ, 0, OPEN_EXISTING), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(openError(u"", GENERIC_READ, 0, OPEN_EXISTING), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(openError(u"\\Temp\\new\\", GENERIC_WRITE, 0, CREATE_NEW), DWORD(ERROR_INVALID_NAME));
    EXPECT_FALSE(hostExists("Temp/new"));
}

// Folders cannot be opened as files on the device.
TEST_F(FileTest, FoldersCannotBeOpened) {
    EXPECT_EQ(openError(u"\\Windows", GENERIC_READ, kShareAll, OPEN_EXISTING),
              DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(openError(u"\\Windows", GENERIC_WRITE, 0, OPEN_ALWAYS), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(openError(u"\\Windows", GENERIC_WRITE, 0, CREATE_ALWAYS), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(openError(u"\\Windows", GENERIC_WRITE, 0, CREATE_NEW), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(openError(u"\\", GENERIC_READ, kShareAll, OPEN_EXISTING), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(fs::is_directory(host("Windows")));
}

// Names are found without regard to case and created with the case given.
TEST_F(FileTest, PathsMatchWithoutCase) {
    put("Windows/alarm1.wav", "RIFF");
    HANDLE h = openFile(u"\\WINDOWS\\Alarm1.WAV", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(readAll(h), "RIFF");
    CloseHandle(h);
    EXPECT_NE(GetFileAttributesW(u"\\windows\\ALARM1.wav"), INVALID_FILE_ATTRIBUTES);

    h = openFile(u"\\windows\\NewName.Txt", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(hostExists("Windows/NewName.Txt"));
    EXPECT_FALSE(hostExists("windows"));
}

// ---- Reading, writing, the file pointer
// -----------------------------------------------------------

// ReadFile and WriteFile check the handle's access; the byte count is zeroed first.
TEST_F(FileTest, AccessIsCheckedOnReadAndWrite) {
    put("Temp/a.txt", "0123456789");
    char buf[16];
    DWORD count = kPoison;

    HANDLE reader = openFile(u"\\Temp\\a.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    SetLastError(kPoison);
    EXPECT_FALSE(WriteFile(reader, "x", 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(count, DWORD(0));

    HANDLE writer = openFile(u"\\Temp\\a.txt", GENERIC_WRITE, kShareAll, OPEN_EXISTING);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    count = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(ReadFile(writer, buf, sizeof buf, &count, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(count, DWORD(0));

    // Access 0 opens for attributes only: no data either way, but the size is there.
    HANDLE query = openFile(u"\\Temp\\a.txt", 0, 0, OPEN_EXISTING);
    ASSERT_NE(query, INVALID_HANDLE_VALUE);
    SetLastError(kPoison);
    EXPECT_FALSE(ReadFile(query, buf, sizeof buf, &count, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetFileSize(query, nullptr), DWORD(10));

    CloseHandle(query);
    CloseHandle(writer);
    CloseHandle(reader);
    EXPECT_EQ(get("Temp/a.txt"), "0123456789");
}

// A read stops at the end of the file and writes nothing past the bytes it reports.
TEST_F(FileTest, ReadStopsAtTheEndAndRespectsTheBuffer) {
    put("Temp/a.txt", "hello");
    HANDLE h = openFile(u"\\Temp\\a.txt", GENERIC_READ, 0, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buf[12];
    memset(buf, 0x5A, sizeof buf);
    DWORD got = kPoison;
    ASSERT_TRUE(ReadFile(h, buf, 3, &got, nullptr));
    EXPECT_EQ(got, DWORD(3));
    EXPECT_EQ(std::string(buf, 3), "hel");
    for (size_t i = 3; i < sizeof buf; ++i)
        EXPECT_EQ(buf[i], 0x5A) << "guard byte " << i;
    got = kPoison;
    memset(buf, 0x5A, sizeof buf);
    ASSERT_TRUE(ReadFile(h, buf, 8, &got, nullptr));
    EXPECT_EQ(got, DWORD(2));
    EXPECT_EQ(std::string(buf, 2), "lo");
    for (size_t i = 2; i < sizeof buf; ++i)
        EXPECT_EQ(buf[i], 0x5A) << "guard byte " << i;
    got = kPoison;
    ASSERT_TRUE(ReadFile(h, buf, 8, &got, nullptr)); // at the end: success, nothing read
    EXPECT_EQ(got, DWORD(0));
    SetLastError(kPoison);
    EXPECT_FALSE(ReadFile(h, buf, 8, &got, buf)); // no overlapped I/O on the device
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    CloseHandle(h);

    SetLastError(kPoison);
    EXPECT_FALSE(ReadFile(h, buf, 8, &got, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    SetLastError(kPoison);
    EXPECT_FALSE(WriteFile(INVALID_HANDLE_VALUE, buf, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

// The documented SetFilePointer contract: 32-bit and 64-bit distances, the three origins,
// ERROR_NEGATIVE_SEEK without moving, and NO_ERROR when a valid position looks like the error.
TEST_F(FileTest, SetFilePointer) {
    put("Temp/a.txt", "0123456789");
    HANDLE h = openFile(u"\\Temp\\a.txt", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char c = 0;
    DWORD got = 0;
    EXPECT_EQ(SetFilePointer(h, 5, nullptr, FILE_BEGIN), DWORD(5));
    EXPECT_EQ(SetFilePointer(h, -2, nullptr, FILE_CURRENT), DWORD(3));
    ASSERT_TRUE(ReadFile(h, &c, 1, &got, nullptr));
    EXPECT_EQ(c, '3');
    EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_END), DWORD(9));

    SetLastError(kPoison);
    EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NEGATIVE_SEEK));
    ASSERT_TRUE(ReadFile(h, &c, 1, &got, nullptr)); // still at 9
    EXPECT_EQ(c, '9');

    LONG high = 1;
    SetLastError(kPoison);
    EXPECT_EQ(SetFilePointer(h, 0x10, &high, FILE_BEGIN), DWORD(0x10));
    EXPECT_EQ(high, LONG(1));
    // Past 4 GB the position no longer fits the 32-bit form.
    SetLastError(kPoison);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    high = -1; // a negative 64-bit distance
    EXPECT_EQ(SetFilePointer(h, -0x20, &high, FILE_CURRENT), DWORD(0xFFFFFFF0));
    EXPECT_EQ(high, LONG(0));

    high = 0;
    SetLastError(kPoison);
    EXPECT_EQ(SetFilePointer(h, LONG(0xFFFFFFFF), &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), DWORD(NO_ERROR)); // a success that looks like the error value
    EXPECT_EQ(high, LONG(0));

    SetLastError(kPoison);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, 3), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    // None of this wrote anything.
    DWORD sizeHigh = kPoison;
    EXPECT_EQ(GetFileSize(h, &sizeHigh), DWORD(10));
    EXPECT_EQ(sizeHigh, DWORD(0));
    CloseHandle(h);

    SetLastError(kPoison);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

// SetEndOfFile moves the end to the file pointer, both ways, with write access only; sizes
// past 4 GB come back in the high part.
TEST_F(FileTest, SetEndOfFileAndSizes) {
    put("Temp/a.txt", "0123456789");
    HANDLE h = openFile(u"\\Temp\\a.txt", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFilePointer(h, 4, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, nullptr), DWORD(4));
    SetFilePointer(h, 100, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, nullptr), DWORD(100));

    LONG high = 1;
    SetFilePointer(h, 5, &high, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h)); // sparse on the host
    DWORD sizeHigh = kPoison;
    EXPECT_EQ(GetFileSize(h, &sizeHigh), DWORD(5));
    EXPECT_EQ(sizeHigh, DWORD(1));
    high = 0;
    SetFilePointer(h, -1, &high, FILE_BEGIN); // 0xFFFFFFFF
    ASSERT_TRUE(SetEndOfFile(h));
    SetLastError(kPoison);
    EXPECT_EQ(GetFileSize(h, &sizeHigh), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), DWORD(NO_ERROR));
    EXPECT_EQ(sizeHigh, DWORD(0));
    SetFilePointer(h, 4, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
    EXPECT_EQ(get("Temp/a.txt"), "0123");

    h = openFile(u"\\Temp\\a.txt", GENERIC_READ, 0, OPEN_EXISTING);
    SetFilePointer(h, 1, nullptr, FILE_BEGIN);
    SetLastError(kPoison);
    EXPECT_FALSE(SetEndOfFile(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_FALSE(FlushFileBuffers(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(h);
    SetLastError(kPoison);
    EXPECT_EQ(GetFileSize(h, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

// Writes stamp the file with the device clock, not the host's; SetFileTime sets what
// GetFileTime reads back.
TEST_F(FileTest, TimesFollowTheDeviceClock) {
    device.freezeAt("2027-03-28T00:30:00Z");
    const int64_t t0 = cetest::isoToFileTime("2027-03-28T00:30:00Z");
    HANDLE h = openFile(u"\\Temp\\log.txt", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME created{kPoison, kPoison}, accessed{kPoison, kPoison}, written{kPoison, kPoison};
    ASSERT_TRUE(GetFileTime(h, &created, &accessed, &written));
    EXPECT_EQ(ce::fileTimeToInt(written), t0);
    EXPECT_EQ(ce::fileTimeToInt(created), t0);

    ASSERT_TRUE(ce::advanceDeviceClock(90 * ce::kFileTimePerMinute));
    ASSERT_TRUE(writeText(h, "line\r\n"));
    ASSERT_TRUE(FlushFileBuffers(h));
    ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &written));
    EXPECT_EQ(ce::fileTimeToInt(written), t0 + 90 * ce::kFileTimePerMinute);
    CloseHandle(h);

    // Reading does not move the write time.
    ASSERT_TRUE(ce::advanceDeviceClock(ce::kFileTimePerDay));
    h = openFile(u"\\Temp\\log.txt", GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_EQ(readAll(h), "line\r\n");
    ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &written));
    EXPECT_EQ(ce::fileTimeToInt(written), t0 + 90 * ce::kFileTimePerMinute);
    const FILETIME wanted = ce::intToFileTime(cetest::isoToFileTime("2001-02-03T04:05:06.789Z"));
    SetLastError(kPoison);
    EXPECT_FALSE(SetFileTime(h, nullptr, nullptr, &wanted));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(h);

    h = openFile(u"\\Temp\\log.txt", GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_TRUE(SetFileTime(h, nullptr, &wanted, &wanted));
    CloseHandle(h);
    h = openFile(u"\\Temp\\log.txt", 0, 0, OPEN_EXISTING);
    ASSERT_TRUE(GetFileTime(h, nullptr, &accessed, &written));
    EXPECT_EQ(ce::fileTimeToInt(written), ce::fileTimeToInt(wanted));
    EXPECT_EQ(ce::fileTimeToInt(accessed), ce::fileTimeToInt(wanted));
    CloseHandle(h);
}

// ---- Share modes ----------------------------------------------------------------------------

// Every pair of opens: the second succeeds exactly when each one's share mode allows the
// other's access (the documented rule), else ERROR_SHARING_VIOLATION.
TEST_F(FileTest, ShareModeMatrixWithinAProcess) {
    put("Temp/a.txt", "x");
    const DWORD accesses[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    const DWORD shares[] = {0, FILE_SHARE_READ, FILE_SHARE_WRITE, kShareAll};
    auto allows = [](DWORD share, DWORD access) {
        return (!(access & GENERIC_READ) || (share & FILE_SHARE_READ)) &&
               (!(access & GENERIC_WRITE) || (share & FILE_SHARE_WRITE));
    };
    for (DWORD a1 : accesses)
        for (DWORD s1 : shares)
            for (DWORD a2 : accesses)
                for (DWORD s2 : shares) {
                    HANDLE first = openFile(u"\\Temp\\a.txt", a1, s1, OPEN_EXISTING);
                    ASSERT_NE(first, INVALID_HANDLE_VALUE);
                    const bool expected = allows(s1, a2) && allows(s2, a1);
                    EXPECT_EQ(openError(u"\\Temp\\a.txt", a2, s2, OPEN_EXISTING),
                              expected ? DWORD(0) : DWORD(ERROR_SHARING_VIOLATION))
                        << std::hex << "first " << a1 << "/" << s1 << " second " << a2 << "/" << s2;
                    CloseHandle(first);
                }
}

// Opens without data access never conflict; CREATE_ALWAYS on a file open elsewhere does not
// truncate it.
TEST_F(FileTest, AttributeOnlyOpensNeverConflict) {
    put("Temp/a.txt", "data");
    HANDLE h = openFile(u"\\Temp\\a.txt", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(openError(u"\\Temp\\a.txt", 0, 0, OPEN_EXISTING), DWORD(0));
    EXPECT_EQ(openError(u"\\Temp\\a.txt", GENERIC_WRITE, kShareAll, CREATE_ALWAYS),
              DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(openError(u"\\Temp\\a.txt", GENERIC_WRITE, kShareAll, TRUNCATE_EXISTING),
              DWORD(ERROR_SHARING_VIOLATION));
    CloseHandle(h);
    EXPECT_EQ(get("Temp/a.txt"), "data");
    EXPECT_EQ(openError(u"\\Temp\\a.txt", GENERIC_READ, 0, OPEN_EXISTING), DWORD(0));
}

// A file held with share mode 0 in one process is closed to every other process, even for
// deletion, until the handle is closed. The child was forked while the handle was open, which
// must not keep the parent's share state alive.
TEST_F(FileTest, ExclusiveOpenHoldsAcrossProcesses) {
    HANDLE h = openFile(u"\\Temp\\log.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Pipe toParent, toChild;
    cetest::Child child([&] {
        toParent.send(openError(u"\\Temp\\log.txt", GENERIC_READ, kShareAll, OPEN_EXISTING));
        toParent.send(openError(u"\\Temp\\log.txt", GENERIC_WRITE, 0, OPEN_ALWAYS));
        SetLastError(kPoison);
        toParent.send(DeleteFileW(u"\\Temp\\log.txt") ? 0 : GetLastError());
        toChild.receive();
        toParent.send(openError(u"\\Temp\\log.txt", GENERIC_WRITE, 0, OPEN_EXISTING));
        return 0;
    });
    EXPECT_EQ(toParent.receive(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(toParent.receive(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(toParent.receive(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(hostExists("Temp/log.txt"));
    EXPECT_TRUE(CloseHandle(h));
    toChild.send(1);
    EXPECT_EQ(toParent.receive(), DWORD(0));
    EXPECT_EQ(child.wait(), 0);
}

// With FILE_SHARE_READ held by a reader, other processes may read but not write.
TEST_F(FileTest, SharedReadAcrossProcesses) {
    put("Temp/lang.txt", "text");
    HANDLE h = openFile(u"\\Temp\\lang.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(cetest::runInChild([] {
                  return int(
                      openError(u"\\Temp\\LANG.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
              }),
              0);
    EXPECT_EQ(cetest::runInChild([] {
                  return int(
                      openError(u"\\Temp\\lang.txt", GENERIC_WRITE, kShareAll, OPEN_EXISTING));
              }),
              int(ERROR_SHARING_VIOLATION));
    // A reader that will not share reading conflicts with the parent's reading.
    EXPECT_EQ(cetest::runInChild([] {
                  return int(openError(u"\\Temp\\lang.txt", GENERIC_READ, 0, OPEN_EXISTING));
              }),
              int(ERROR_SHARING_VIOLATION));
    CloseHandle(h);
    EXPECT_EQ(cetest::runInChild([] {
                  return int(openError(u"\\Temp\\lang.txt", GENERIC_WRITE, 0, OPEN_EXISTING));
              }),
              0);
}

// A process that dies holding a file leaves no lock behind.
TEST_F(FileTest, DeadHolderLeavesNoLock) {
    Pipe toParent, toChild;
    cetest::Child child([&] {
        HANDLE h = openFile(u"\\Temp\\log.txt", GENERIC_WRITE, 0, OPEN_ALWAYS);
        toParent.send(h == INVALID_HANDLE_VALUE ? GetLastError() : 0);
        toChild.receive();
        raise(SIGKILL); // no CloseHandle, no exit handlers
        return 0;
    });
    ASSERT_EQ(toParent.receive(), DWORD(0));
    EXPECT_EQ(openError(u"\\Temp\\log.txt", GENERIC_READ, kShareAll, OPEN_EXISTING),
              DWORD(ERROR_SHARING_VIOLATION));
    toChild.send(1);
    EXPECT_EQ(child.wait(), -1);
    EXPECT_EQ(openError(u"\\Temp\\log.txt", GENERIC_WRITE, 0, OPEN_EXISTING), DWORD(0));
    EXPECT_TRUE(DeleteFileW(u"\\Temp\\log.txt"));
}

// ---- Delete, copy, move ----------------------------------------------------------------------

TEST_F(FileTest, DeleteFile) {
    put("Temp/a.txt", "x");
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteFileW(u"\\Temp\\none.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteFileW(u"\\NoFolder\\a.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteFileW(u"\\Temp"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(fs::is_directory(host("Temp")));

    // Open in this process, even only for reading with every sharing: it stays.
    HANDLE h = openFile(u"\\Temp\\a.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteFileW(u"\\TEMP\\A.TXT"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    CloseHandle(h);
    EXPECT_TRUE(hostExists("Temp/a.txt"));

    // Read-only files cannot be deleted until the attribute is cleared.
    ASSERT_TRUE(SetFileAttributesW(u"\\Temp\\a.txt", FILE_ATTRIBUTE_READONLY));
    SetLastError(kPoison);
    EXPECT_FALSE(DeleteFileW(u"\\Temp\\a.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(SetFileAttributesW(u"\\Temp\\a.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileW(u"\\Temp\\a.txt"));
    EXPECT_FALSE(hostExists("Temp/a.txt"));
}

// Deleting a symbolic link removes the link, never what it points to.
TEST_F(FileTest, DeleteRemovesALinkNotItsTarget) {
    put("Windows/alarm1.wav", "RIFF");
    fs::create_symlink("../Windows/alarm1.wav", host("Temp/link.wav"));
    EXPECT_TRUE(DeleteFileW(u"\\Temp\\link.wav"));
    EXPECT_FALSE(hostExists("Temp/link.wav"));
    EXPECT_EQ(get("Windows/alarm1.wav"), "RIFF");
}

TEST_F(FileTest, CopyFile) {
    device.freezeAt("2027-01-01T12:00:00Z");
    put("Temp/src.txt", "payload");
    ASSERT_TRUE(SetFileAttributesW(u"\\Temp\\src.txt", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CopyFileW(u"\\TEMP\\SRC.TXT", u"\\My Documents\\copy.txt", TRUE));
    EXPECT_EQ(get("My Documents/copy.txt"), "payload");
    // Attributes and the write time come along.
    EXPECT_EQ(GetFileAttributesW(u"\\My Documents\\copy.txt"),
              DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    HANDLE a = openFile(u"\\Temp\\src.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
    HANDLE b = openFile(u"\\My Documents\\copy.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
    FILETIME ta{}, tb{kPoison, kPoison};
    GetFileTime(a, nullptr, nullptr, &ta);
    GetFileTime(b, nullptr, nullptr, &tb);
    EXPECT_EQ(ce::fileTimeToInt(ta), ce::fileTimeToInt(tb));
    CloseHandle(a);
    CloseHandle(b);

    // A read-only target is not replaced.
    SetLastError(kPoison);
    EXPECT_FALSE(CopyFileW(u"\\Temp\\src.txt", u"\\My Documents\\copy.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(SetFileAttributesW(u"\\My Documents\\copy.txt", FILE_ATTRIBUTE_NORMAL));
    put("My Documents/copy.txt", "older");
    SetLastError(kPoison);
    EXPECT_FALSE(CopyFileW(u"\\Temp\\src.txt", u"\\My Documents\\Copy.TXT", TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(get("My Documents/copy.txt"), "older");
    EXPECT_TRUE(CopyFileW(u"\\Temp\\src.txt", u"\\My Documents\\Copy.TXT", FALSE));
    EXPECT_EQ(get("My Documents/copy.txt"), "payload");

    // Nothing is left of the temporary copies.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(host("My Documents")))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"copy.txt"});
}

TEST_F(FileTest, CopyFileFailures) {
    put("Temp/src.txt", "payload");
    SetLastError(kPoison);
    EXPECT_FALSE(CopyFileW(u"\\Temp\\none.txt", u"\\Temp\\dst.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    SetLastError(kPoison);
    EXPECT_FALSE(CopyFileW(u"\\Temp\\src.txt", u"\\NoFolder\\dst.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    SetLastError(kPoison);
    EXPECT_FALSE(CopyFileW(u"\\Windows", u"\\Temp\\dst", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_FALSE(CopyFileW(u"\\Temp\\src.txt", u"\\Windows", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    // Onto itself: the source is open for reading while the target would be replaced.
    SetLastError(kPoison);
    EXPECT_FALSE(CopyFileW(u"\\Temp\\src.txt", u"\\temp\\SRC.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(get("Temp/src.txt"), "payload");

    // A source being written without shared reading, and a target that is open, both refuse.
    HANDLE w = openFile(u"\\Temp\\src.txt", GENERIC_WRITE, 0, OPEN_EXISTING);
    SetLastError(kPoison);
    EXPECT_FALSE(CopyFileW(u"\\Temp\\src.txt", u"\\Temp\\dst.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    CloseHandle(w);
    put("Temp/dst.txt", "busy");
    HANDLE r = openFile(u"\\Temp\\dst.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    SetLastError(kPoison);
    EXPECT_FALSE(CopyFileW(u"\\Temp\\src.txt", u"\\Temp\\dst.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    CloseHandle(r);
    EXPECT_EQ(get("Temp/dst.txt"), "busy");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(host("Temp")))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dst.txt", "src.txt"}));
}

TEST_F(FileTest, MoveFile) {
    put("Temp/alarm_rpt.tmp", "new");
    put("Temp/alarm_rpt.cfg", "old");
    // An existing target is never replaced.
    SetLastError(kPoison);
    EXPECT_FALSE(MoveFileW(u"\\Temp\\alarm_rpt.tmp", u"\\Temp\\ALARM_RPT.CFG"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(get("Temp/alarm_rpt.cfg"), "old");
    // The usual replace: delete, then move.
    ASSERT_TRUE(DeleteFileW(u"\\Temp\\alarm_rpt.cfg"));
    ASSERT_TRUE(MoveFileW(u"\\Temp\\alarm_rpt.tmp", u"\\Temp\\alarm_rpt.cfg"));
    EXPECT_EQ(get("Temp/alarm_rpt.cfg"), "new");
    EXPECT_FALSE(hostExists("Temp/alarm_rpt.tmp"));

    // A change of case only is a rename.
    ASSERT_TRUE(MoveFileW(u"\\Temp\\alarm_rpt.cfg", u"\\Temp\\Alarm_Rpt.CFG"));
    EXPECT_TRUE(hostExists("Temp/Alarm_Rpt.CFG"));
    EXPECT_FALSE(hostExists("Temp/alarm_rpt.cfg"));

    // Folders move with their content.
    ASSERT_TRUE(CreateDirectoryW(u"\\Temp\\Skins", nullptr));
    put("Temp/Skins/a.skn", "skin");
    ASSERT_TRUE(MoveFileW(u"\\Temp\\Skins", u"\\My Documents\\Skins"));
    EXPECT_EQ(get("My Documents/Skins/a.skn"), "skin");
}

TEST_F(FileTest, MoveFileFailures) {
    put("Temp/a.txt", "a");
    SetLastError(kPoison);
    EXPECT_FALSE(MoveFileW(u"\\Temp\\none.txt", u"\\Temp\\b.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    SetLastError(kPoison);
    EXPECT_FALSE(MoveFileW(u"\\Temp\\a.txt", u"\\NoFolder\\b.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    SetLastError(kPoison);
    EXPECT_FALSE(MoveFileW(u"\\Temp", u"\\Temp\\Inner"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_FALSE(MoveFileW(u"\\Storage Card", u"\\Card"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    HANDLE h = openFile(u"\\Temp\\a.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
    SetLastError(kPoison);
    EXPECT_FALSE(MoveFileW(u"\\Temp\\a.txt", u"\\Temp\\b.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    CloseHandle(h);
    EXPECT_TRUE(hostExists("Temp/a.txt"));
    EXPECT_FALSE(hostExists("Temp/b.txt"));
}

// ---- Folders and attributes --------------------------------------------------------------------

TEST_F(FileTest, CreateAndRemoveDirectory) {
    EXPECT_TRUE(CreateDirectoryW(u"\\My Documents\\New Folder", nullptr));
    EXPECT_EQ(GetFileAttributesW(u"\\my documents\\new folder"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(fs::is_directory(host("My Documents/New Folder")));
    SetLastError(kPoison);
    EXPECT_FALSE(CreateDirectoryW(u"\\MY DOCUMENTS\\NEW FOLDER", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    put("Temp/file", "x");
    SetLastError(kPoison);
    EXPECT_FALSE(CreateDirectoryW(u"\\Temp\\file", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    SetLastError(kPoison);
    EXPECT_FALSE(CreateDirectoryW(u"\\NoFolder\\Sub", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(CreateDirectoryW(u"\\Temp\\WithSlash\\", nullptr));

    put("My Documents/New Folder/x.txt", "x");
    SetLastError(kPoison);
    EXPECT_FALSE(RemoveDirectoryW(u"\\My Documents\\New Folder"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIR_NOT_EMPTY));
    SetLastError(kPoison);
    EXPECT_FALSE(RemoveDirectoryW(u"\\My Documents\\New Folder\\x.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
    ASSERT_TRUE(DeleteFileW(u"\\My Documents\\New Folder\\x.txt"));
    EXPECT_TRUE(RemoveDirectoryW(u"\\MY DOCUMENTS\\NEW FOLDER"));
    EXPECT_FALSE(hostExists("My Documents/New Folder"));
    SetLastError(kPoison);
    EXPECT_FALSE(RemoveDirectoryW(u"\\My Documents\\New Folder"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    // The root and the storage cards belong to the device.
    SetLastError(kPoison);
    EXPECT_FALSE(RemoveDirectoryW(u"\\Storage Card"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_FALSE(RemoveDirectoryW(u"\\"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(fs::is_directory(host("Storage Card")));
}

// The attributes the device reports: DIRECTORY for folders (with TEMPORARY for storage
// cards, 0x110), ARCHIVE for files, READONLY from the host's permission.
TEST_F(FileTest, FileAttributes) {
    put("Windows/alarm1.wav", "RIFF");
    EXPECT_EQ(GetFileAttributesW(u"\\"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(u"\\Windows"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(u"\\Storage Card"), DWORD(0x110));
    EXPECT_EQ(GetFileAttributesW(u"\\STORAGE CARD\\"), DWORD(0x110));
    ASSERT_TRUE(CreateDirectoryW(u"\\Storage Card\\Music", nullptr));
    EXPECT_EQ(GetFileAttributesW(u"\\Storage Card\\Music"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(u"\\Windows\\alarm1.wav"), DWORD(FILE_ATTRIBUTE_ARCHIVE));

    SetLastError(kPoison);
    EXPECT_EQ(GetFileAttributesW(u"\\Windows\\none.wav"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    SetLastError(kPoison);
    EXPECT_EQ(GetFileAttributesW(u"\\Programme\\Zolvane"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));

    // A card named in device.conf appears as one once its folder exists.
    ASSERT_TRUE(
        ce::updateDeviceConf([](ce::DeviceConf& c) { c.storageCards.push_back("SD Card"); }));
    fs::create_directory(host("SD Card"));
    EXPECT_EQ(GetFileAttributesW(u"\\sd card"), DWORD(0x110));
    fs::create_directory(host("Built-in Storage"));
    EXPECT_EQ(GetFileAttributesW(u"\\Built-in Storage"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
}

// READONLY is kept as the host's write permission and enforced; other attributes are accepted.
TEST_F(FileTest, ReadOnlyAttribute) {
    put("Temp/a.txt", "data");
    ASSERT_TRUE(
        SetFileAttributesW(u"\\Temp\\A.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\a.txt"),
              DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(openError(u"\\Temp\\a.txt", GENERIC_WRITE, 0, OPEN_EXISTING),
              DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(openError(u"\\Temp\\a.txt", GENERIC_READ, 0, CREATE_ALWAYS),
              DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(openError(u"\\Temp\\a.txt", GENERIC_READ, 0, OPEN_EXISTING), DWORD(0));
    EXPECT_EQ(get("Temp/a.txt"), "data");
    ASSERT_TRUE(SetFileAttributesW(u"\\Temp\\a.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\a.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(openError(u"\\Temp\\a.txt", GENERIC_WRITE, 0, OPEN_EXISTING), DWORD(0));
    SetLastError(kPoison);
    EXPECT_FALSE(SetFileAttributesW(u"\\Temp\\none.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    // Created read-only: the creating handle may still write.
    HANDLE h = openFile(u"\\Temp\\ro.txt", GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(writeText(h, "abc"));
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\ro.txt"),
              DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(get("Temp/ro.txt"), "abc");
}

// ---- Escapes ------------------------------------------------------------------------------------

// No path reaches the host outside fs/: host paths are device paths, ".." is refused, links
// leading out are refused, and nothing is created through them.
TEST_F(FileTest, PathsNeverLeaveTheDevice) {
    fs::create_directories(host("etc"));
    put("etc/passwd", "device copy");
    HANDLE h = openFile(u"/etc/passwd", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(readAll(h), "device copy");
    CloseHandle(h);

    EXPECT_EQ(openError(u"\\Windows\\..\\..\\etc\\passwd", GENERIC_READ, kShareAll, OPEN_EXISTING),
              DWORD(ERROR_INVALID_NAME));
    EXPECT_EQ(openError(u"..\\..\\..\\etc\\passwd", GENERIC_READ, kShareAll, OPEN_EXISTING),
              DWORD(ERROR_INVALID_NAME));

    const fs::path outside = device.dir().parent_path() / "outside";
    fs::create_directories(outside);
    std::ofstream(outside / "secret.txt") << "host secret";
    fs::create_directory_symlink(outside, host("Windows/hostdir"));
    fs::create_symlink(outside / "secret.txt", host("Temp/secret.txt"));
    fs::create_symlink(outside / "planted.txt", host("Temp/planted.txt"));
    EXPECT_EQ(openError(u"\\Windows\\hostdir\\secret.txt", GENERIC_READ, kShareAll, OPEN_EXISTING),
              DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(openError(u"\\Temp\\secret.txt", GENERIC_READ, kShareAll, OPEN_EXISTING),
              DWORD(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\secret.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(openError(u"\\Temp\\planted.txt", GENERIC_WRITE, 0, CREATE_ALWAYS),
              DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(openError(u"\\Windows\\hostdir\\new.txt", GENERIC_WRITE, 0, CREATE_NEW),
              DWORD(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(CreateDirectoryW(u"\\Windows\\hostdir\\sub", nullptr));
    EXPECT_FALSE(CopyFileW(u"\\Temp\\secret.txt", u"\\Temp\\copy.txt", FALSE));
    put("Temp/src.txt", "source");
    EXPECT_FALSE(CopyFileW(u"\\Temp\\src.txt", u"\\Windows\\hostdir\\copy.txt", FALSE));
    EXPECT_FALSE(MoveFileW(u"\\Windows\\hostdir\\secret.txt", u"\\Temp\\moved.txt"));
    EXPECT_FALSE(DeleteFileW(u"\\Windows\\hostdir\\secret.txt"));

    EXPECT_FALSE(fs::exists(outside / "planted.txt"));
    EXPECT_FALSE(fs::exists(outside / "new.txt"));
    EXPECT_FALSE(fs::exists(outside / "sub"));
    EXPECT_FALSE(fs::exists(outside / "copy.txt"));
    EXPECT_TRUE(fs::exists(outside / "secret.txt"));
    EXPECT_FALSE(hostExists("Temp/copy.txt"));
    fs::remove_all(outside);
}

} // namespace
